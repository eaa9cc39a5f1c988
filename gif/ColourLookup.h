// Turning 24-bit colours into palette indices: the fixed palettes the
// program builds (as entries; the platform layer makes palettes of them),
// the lookups that map a colour to an index of such a palette together
// with the colour found, and the octree quantiser that builds a palette
// for a 24-bit picture.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GifCommon.h"

namespace gif {

// Palette flag that keeps an entry out of the system's colour mapping.
constexpr uint8_t kNoCollapse = 0x04;

std::vector<TPaletteEntry> WebSafeEntries();      // 216: (r, g, b) x 51, red slowest
std::vector<TPaletteEntry> GreyEntries256();       // i, i, i
std::vector<TPaletteEntry> GreyEntries4();         // 0, 128, 192, 255
std::vector<TPaletteEntry> BlackWhiteEntries();    // black, white

class TColorLookup {
public:
    explicit TColorLookup(int colourCount) : m_colourCount(colourCount) {}
    virtual ~TColorLookup() = default;
    // How many palette entries the lookup can return.
    int ColourCount() const { return m_colourCount; }
    // The index for a colour, and the palette's colour at that index.
    virtual uint8_t MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) = 0;

protected:
    int m_colourCount;
};

// Any palette: each 5-5-5 colour cell is resolved once, to the entry with
// the smallest sum of channel differences (the lowest index on ties).
class TFastColorLookup : public TColorLookup {
public:
    // Up to 256 entries are taken.
    TFastColorLookup(const TPaletteEntry* entries, int count);
    uint8_t MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) override;

private:
    static int Cell(uint8_t r, uint8_t g, uint8_t b) { return ((b & 0xF8) << 7) | ((g >> 3) << 5) | (r >> 3); }
    int Resolve(uint8_t r, uint8_t g, uint8_t b) const;
    std::array<TPaletteEntry, 256> m_entries{};
    // The channels apart, for a search the compiler can vectorise.
    std::array<int16_t, 256> m_red{}, m_green{}, m_blue{};
    std::vector<int16_t> m_cache;  // 32768 cells, -1 unresolved
};

// The 216 web-safe colours (WebSafeEntries), by arithmetic.
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    uint8_t MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) override;
};

// 256 greys (GreyEntries256) by luminance.
class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    uint8_t MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) override;
};

// Black or white by luminance.
class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    uint8_t MatchColour(uint8_t r, uint8_t g, uint8_t b, uint8_t& mr, uint8_t& mg, uint8_t& mb) override;
};

// Rows of a 24-bit picture (blue, green, red bytes), top row first.
class TRowSource {
public:
    virtual ~TRowSource() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual const uint8_t* Row(int y) = 0;
};

class TOctreeNode {
public:
    bool Leaf = false;
    uint32_t Tally = 0;
    uint64_t Red = 0, Green = 0, Blue = 0;  // 32 bits would overflow past 16 million pixels
    std::array<std::unique_ptr<TOctreeNode>, 8> Children;
    TOctreeNode* NextInLevel = nullptr;  // the next inner node of the same depth
};

class TColorQuantizer {
public:
    // maxColours is kept within 1..256, colourBits within 1..8.
    TColorQuantizer(int maxColours, int colourBits);
    ~TColorQuantizer();
    TColorQuantizer(const TColorQuantizer&) = delete;
    TColorQuantizer& operator=(const TColorQuantizer&) = delete;

    void BuildFromImage(TRowSource& rows);
    void AddColour(uint8_t r, uint8_t g, uint8_t b);
    int LeafCount() const { return m_leaves; }
    // One entry per leaf, depth first, children in order; returns the count.
    int CollectLeafColours(std::array<TRGBQuad, 256>& colours) const;

private:
    void AddPixelColour(std::unique_ptr<TOctreeNode>& slot, uint8_t r, uint8_t g, uint8_t b, int depth);
    void FoldDeepestNode();

    std::unique_ptr<TOctreeNode> m_root;
    int m_leaves = 0;
    int m_maxColours;
    int m_colourBits;
    std::array<TOctreeNode*, 8> m_reducible{};
};

// The palette entries of an octree palette: maxColours entries quantised
// from the picture, or, with system colours (20 entries: the stock
// palette's), 256 entries whose first and last ten are those colours and
// whose 236 between come from the picture. Entries no leaf fills are black.
std::vector<TPaletteEntry> OctreePaletteEntries(TRowSource& rows, int maxColours, int colourBits,
                                                const TPaletteEntry* systemColours);

// Colours of an octree palette for `bits` bits of reduction, kept within 1..8.
int OctreeColoursForBits(int bits);

}  // namespace gif
