#include "gif/ColourLookup.h"

#include <algorithm>

namespace gif {

// ---- Fixed palettes ----------------------------------------------------------------

std::vector<TPaletteEntry> WebSafeEntries() {
    std::vector<TPaletteEntry> e;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                e.push_back(TPaletteEntry{static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                          static_cast<uint8_t>(b * 51), 0});
    return e;
}

std::vector<TPaletteEntry> GreyEntries256() {
    std::vector<TPaletteEntry> e;
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        e.push_back(TPaletteEntry{v, v, v, kNoCollapse});
    }
    return e;
}

std::vector<TPaletteEntry> GreyEntries4() {
    std::vector<TPaletteEntry> e;
    for (uint8_t v : {0, 128, 192, 255}) e.push_back(TPaletteEntry{v, v, v, kNoCollapse});
    return e;
}

std::vector<TPaletteEntry> BlackWhiteEntries() {
    return {TPaletteEntry{0, 0, 0, kNoCollapse}, TPaletteEntry{255, 255, 255, kNoCollapse}};
}

// ---- Lookups -------------------------------------------------------------------------

TFastColorLookup::TFastColorLookup(const TPaletteEntry* entries, int count)
    : TColorLookup(std::clamp(count, 0, 256)), m_cache(32768, -1) {
    std::copy(entries, entries + m_colourCount, m_entries.begin());
    for (int i = 0; i < m_colourCount; ++i) {
        m_red[static_cast<size_t>(i)] = entries[i].Red;
        m_green[static_cast<size_t>(i)] = entries[i].Green;
        m_blue[static_cast<size_t>(i)] = entries[i].Blue;
    }
    for (int i = 0; i < m_colourCount; ++i) {
        const TPaletteEntry& e = m_entries[static_cast<size_t>(i)];
        int16_t& cell = m_cache[static_cast<size_t>(Cell(e.Red, e.Green, e.Blue))];
        if (cell < 0) cell = static_cast<int16_t>(i);
    }
}

int TFastColorLookup::Resolve(uint8_t r, uint8_t g, uint8_t b) const {
    // The smallest sum of channel differences; the first entry that has it.
    std::array<int16_t, 256> distance;
    int16_t smallest = 0x7FFF;
    for (int i = 0; i < m_colourCount; ++i) {
        const auto d = static_cast<int16_t>(std::abs(m_red[static_cast<size_t>(i)] - r) +
                                            std::abs(m_green[static_cast<size_t>(i)] - g) +
                                            std::abs(m_blue[static_cast<size_t>(i)] - b));
        distance[static_cast<size_t>(i)] = d;
        smallest = std::min(smallest, d);
    }
    int best = 0;
    while (best < m_colourCount && distance[static_cast<size_t>(best)] != smallest) ++best;
    return best < m_colourCount ? best : 0;
}

uint8_t TFastColorLookup::MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) {
    int16_t& cell = m_cache[static_cast<size_t>(Cell(r, g, b))];
    if (cell < 0) cell = static_cast<int16_t>(Resolve(r, g, b));
    const TPaletteEntry& e = m_entries[static_cast<size_t>(cell)];
    mr = e.Red;
    mg = e.Green;
    mb = e.Blue;
    return static_cast<uint8_t>(cell);
}

uint8_t TNetscapeColorLookup::MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) {
    const int qr = (r + 3) / 51, qg = (g + 3) / 51, qb = (b + 3) / 51;
    mr = static_cast<uint8_t>(qr * 51);
    mg = static_cast<uint8_t>(qg * 51);
    mb = static_cast<uint8_t>(qb * 51);
    return static_cast<uint8_t>(qb + 6 * qg + 36 * qr);
}

uint8_t TGrayScaleLookup::MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) {
    const auto y = static_cast<uint8_t>((29 * b + 150 * g + 77 * r) >> 8);
    mr = mg = mb = y;
    return y;
}

uint8_t TMonochromeLookup::MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) {
    const bool white = 29 * b + 150 * g + 77 * r >= 32513;
    mr = mg = mb = white ? 255 : 0;
    return white ? 1 : 0;
}

// ---- Octree quantiser ---------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int maxColours, int colourBits)
    : m_maxColours(std::clamp(maxColours, 1, 256)), m_colourBits(std::clamp(colourBits, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() = default;

void TColorQuantizer::AddPixelColour(std::unique_ptr<TOctreeNode>& slot, uint8_t r, uint8_t g, uint8_t b,
                                     int depth) {
    // Walks down without recursion: the tree is at most 8 deep.
    std::unique_ptr<TOctreeNode>* at = &slot;
    for (;; ++depth) {
        if (!*at) {
            *at = std::make_unique<TOctreeNode>();
            TOctreeNode& node = **at;
            if (depth == m_colourBits) {
                node.Leaf = true;
                ++m_leaves;
            } else {
                node.NextInLevel = m_reducible[static_cast<size_t>(depth)];
                m_reducible[static_cast<size_t>(depth)] = &node;
            }
        }
        TOctreeNode& node = **at;
        if (node.Leaf) {
            ++node.Tally;
            node.Red += r;
            node.Green += g;
            node.Blue += b;
            return;
        }
        const int shift = 7 - depth;
        const int child = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
        at = &node.Children[static_cast<size_t>(child)];
    }
}

void TColorQuantizer::FoldDeepestNode() {
    int depth = m_colourBits - 1;
    while (depth > 0 && !m_reducible[static_cast<size_t>(depth)]) --depth;
    TOctreeNode* node = m_reducible[static_cast<size_t>(depth)];
    if (!node) return;
    m_reducible[static_cast<size_t>(depth)] = node->NextInLevel;
    int children = 0;
    for (auto& child : node->Children) {
        if (!child) continue;
        node->Tally += child->Tally;
        node->Red += child->Red;
        node->Green += child->Green;
        node->Blue += child->Blue;
        child.reset();
        ++children;
    }
    node->Leaf = true;
    m_leaves -= children - 1;
}

void TColorQuantizer::AddColour(uint8_t r, uint8_t g, uint8_t b) {
    AddPixelColour(m_root, r, g, b, 0);
    while (m_leaves > m_maxColours) FoldDeepestNode();
}

void TColorQuantizer::BuildFromImage(TRowSource& rows) {
    const int w = rows.Width(), h = rows.Height();
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = rows.Row(y);
        for (int x = 0; x < w; ++x, p += 3) AddColour(p[2], p[1], p[0]);
    }
}

namespace {
void Collect(const TOctreeNode* node, std::array<TRGBQuad, 256>& colours, int& n) {
    if (!node) return;
    if (node->Leaf) {
        if (n >= 256) return;
        TRGBQuad& q = colours[static_cast<size_t>(n++)];
        q = TRGBQuad{0, 0, 0, 0};
        if (node->Tally > 0) {
            q.Red = static_cast<uint8_t>(node->Red / node->Tally);
            q.Green = static_cast<uint8_t>(node->Green / node->Tally);
            q.Blue = static_cast<uint8_t>(node->Blue / node->Tally);
        }
        return;
    }
    for (const auto& child : node->Children) Collect(child.get(), colours, n);
}
}  // namespace

int TColorQuantizer::CollectLeafColours(std::array<TRGBQuad, 256>& colours) const {
    int n = 0;
    Collect(m_root.get(), colours, n);
    return n;
}

int OctreeColoursForBits(int bits) { return 1 << std::clamp(bits, 1, 8); }

std::vector<TPaletteEntry> OctreePaletteEntries(TRowSource& rows, int maxColours, int colourBits,
                                                const TPaletteEntry* systemColours) {
    maxColours = std::clamp(maxColours, 1, 256);
    std::vector<TPaletteEntry> palette(static_cast<size_t>(maxColours), TPaletteEntry{0, 0, 0, 0});
    size_t first = 0;
    if (systemColours) {
        palette.assign(256, TPaletteEntry{0, 0, 0, 0});
        for (int i = 0; i < 10; ++i) {
            palette[static_cast<size_t>(i)] = systemColours[i];
            palette[static_cast<size_t>(246 + i)] = systemColours[10 + i];
        }
        maxColours = 236;
        first = 10;
    }
    TColorQuantizer quantizer(maxColours, colourBits);
    quantizer.BuildFromImage(rows);
    std::array<TRGBQuad, 256> colours{};
    const int n = std::min(quantizer.CollectLeafColours(colours), maxColours);
    for (int i = 0; i < n; ++i) {
        const TRGBQuad& q = colours[static_cast<size_t>(i)];
        palette[first + static_cast<size_t>(i)] = TPaletteEntry{q.Red, q.Green, q.Blue, 0};
    }
    return palette;
}

}  // namespace gif
