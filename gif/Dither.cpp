#include "gif/Dither.h"

#include <algorithm>
#include <cstring>

namespace gif {

uint8_t TDitherEngine::DitherPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) {
    const uint8_t index = m_lookup.MatchColour(r, g, b, mr, mg, mb);
    AdvanceColumn();
    return index;
}

void TDitherEngine::AdvanceRow() {
    m_direction = -m_direction;
    m_column = m_direction > 0 ? 0 : m_rowWidth - 1;
}

TErrorDiffusionDitherer::TErrorDiffusionDitherer(int rowWidth, TColorLookup& lookup, int divisor,
                                                 std::vector<TKernelTap> kernel)
    : TDitherEngine(rowWidth, lookup), m_divisor(divisor), m_kernel(std::move(kernel)) {
    for (const TKernelTap& t : m_kernel) {
        m_rowCount = std::max(m_rowCount, t.Row + 1);
        m_spare = std::max(m_spare, std::abs(t.Column));
    }
    m_rows.assign(static_cast<size_t>(m_rowCount), std::vector<int>(static_cast<size_t>(3 * (rowWidth + 2 * m_spare)), 0));
    PlaceTaps();
}

void TErrorDiffusionDitherer::PlaceTaps() {
    m_taps.clear();
    for (const TKernelTap& t : m_kernel) m_taps.emplace_back(t.Row, 3 * t.Column * m_direction);
}

int TErrorDiffusionDitherer::PendingError(int channel, int row, int column) const {
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(3 * (m_spare + column) + channel)];
}

namespace {
// Division truncating toward zero, by the kinds' divisors as constants.
inline int Divide(int n, int d) {
    switch (d) {
    case 16: return n / 16;
    case 32: return n / 32;
    case 42: return n / 42;
    case 48: return n / 48;
    case 200: return n / 200;
    default: return n / d;
    }
}
}  // namespace

uint8_t TErrorDiffusionDitherer::DitherPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg,
                                             uint8_t& mb) {
    const int at = 3 * (m_spare + m_column);
    const int half = m_divisor / 2;
    const int* arriving = m_rows[0].data() + at;
    const int ar = std::clamp(r + Divide(arriving[0] + half, m_divisor), 0, 255);
    const int ag = std::clamp(g + Divide(arriving[1] + half, m_divisor), 0, 255);
    const int ab = std::clamp(b + Divide(arriving[2] + half, m_divisor), 0, 255);
    const uint8_t index =
        m_lookup.MatchColour(static_cast<uint8_t>(ar), static_cast<uint8_t>(ag), static_cast<uint8_t>(ab), mr, mg, mb);
    const int er = ar - mr, eg = ag - mg, eb = ab - mb;
    if (er != 0 || eg != 0 || eb != 0) {
        for (size_t k = 0; k < m_taps.size(); ++k) {
            int* p = m_rows[static_cast<size_t>(m_taps[k].first)].data() + at + m_taps[k].second;
            const int w = m_kernel[k].Weight;
            p[0] += w * er;
            p[1] += w * eg;
            p[2] += w * eb;
        }
    }
    AdvanceColumn();
    return index;
}

void TErrorDiffusionDitherer::AdvanceRow() {
    std::fill(m_rows.front().begin(), m_rows.front().end(), 0);
    std::rotate(m_rows.begin(), m_rows.begin() + 1, m_rows.end());
    TDitherEngine::AdvanceRow();
    PlaceTaps();
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int rowWidth, TColorLookup& lookup)
    : TErrorDiffusionDitherer(rowWidth, lookup, 16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}) {}

TStuckiDitherer::TStuckiDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 42,
                    {{0, 1, 8}, {0, 2, 4},
                     {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                     {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}) {}

TSierraDitherer::TSierraDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 32,
                    {{0, 1, 5}, {0, 2, 3},
                     {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                     {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}) {}

TJaJuNiDitherer::TJaJuNiDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 48,
                    {{0, 1, 7}, {0, 2, 5},
                     {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                     {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}) {}

TSteveArcheDitherer::TSteveArcheDitherer(int rowWidth, TColorLookup& lookup)
    : TErrorDiffusionDitherer(rowWidth, lookup, 200,
                              {{0, 2, 32},
                               {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
                               {2, -2, 12}, {2, 0, 26}, {2, 2, 12},
                               {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}) {}

TBurkesDitherer::TBurkesDitherer(int rowWidth, TColorLookup& lookup)
    : TErrorDiffusionDitherer(rowWidth, lookup, 32,
                              {{0, 1, 8}, {0, 2, 4},
                               {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}) {}

std::unique_ptr<TDitherEngine> CreateDitherer(uint8_t kind, int rowWidth, TColorLookup& lookup) {
    switch (kind) {
    case DitherNone: return std::make_unique<TDitherEngine>(rowWidth, lookup);
    case DitherFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(rowWidth, lookup);
    case DitherStucki: return std::make_unique<TStuckiDitherer>(rowWidth, lookup);
    case DitherSierra: return std::make_unique<TSierraDitherer>(rowWidth, lookup);
    case DitherJarvisJudiceNinke: return std::make_unique<TJaJuNiDitherer>(rowWidth, lookup);
    case DitherStevensonArce: return std::make_unique<TSteveArcheDitherer>(rowWidth, lookup);
    case DitherBurkes: return std::make_unique<TBurkesDitherer>(rowWidth, lookup);
    default: return nullptr;
    }
}

void DitherRows(TDitherEngine& ditherer, TRowSource& rows, uint8_t* indices, int64_t stride) {
    const int h = rows.Height();
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = rows.Row(y);
        uint8_t* out = indices + y * stride;
        uint8_t mr, mg, mb;
        while (ditherer.InRow()) {
            const int x = ditherer.CurrentColumn();
            const uint8_t* p = src + 3 * x;
            out[x] = ditherer.DitherPixel(p[2], p[1], p[0], mr, mg, mb);
        }
        ditherer.AdvanceRow();
    }
}

}  // namespace gif
