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
    m_rows.assign(static_cast<size_t>(3 * m_rowCount), std::vector<int>(static_cast<size_t>(rowWidth + 2 * m_spare), 0));
}

int TErrorDiffusionDitherer::PendingError(int channel, int row, int column) const {
    return m_rows[static_cast<size_t>(channel * m_rowCount + row)][static_cast<size_t>(m_spare + column)];
}

uint8_t TErrorDiffusionDitherer::DitherPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg,
                                             uint8_t& mb) {
    const int at = m_spare + m_column;
    const int half = m_divisor / 2;
    int adjusted[3];
    const uint8_t source[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
        const int v = source[c] + (RowOf(c, 0)[at] + half) / m_divisor;
        adjusted[c] = std::clamp(v, 0, 255);
    }
    const uint8_t index = m_lookup.MatchColour(static_cast<uint8_t>(adjusted[0]), static_cast<uint8_t>(adjusted[1]),
                                               static_cast<uint8_t>(adjusted[2]), mr, mg, mb);
    const uint8_t matched[3] = {mr, mg, mb};
    for (int c = 0; c < 3; ++c) {
        const int error = adjusted[c] - matched[c];
        if (error == 0) continue;
        for (const TKernelTap& t : m_kernel) RowOf(c, t.Row)[at + t.Column * m_direction] += t.Weight * error;
    }
    AdvanceColumn();
    return index;
}

void TErrorDiffusionDitherer::AdvanceRow() {
    for (int c = 0; c < 3; ++c) {
        const auto first = m_rows.begin() + c * m_rowCount;
        std::fill(first->begin(), first->end(), 0);
        std::rotate(first, first + 1, first + m_rowCount);
    }
    TDitherEngine::AdvanceRow();
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
