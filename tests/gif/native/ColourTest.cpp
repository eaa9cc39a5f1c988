// Colour lookups, fixed palettes, the octree quantiser and the dithering
// engines.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "gif/ColourLookup.h"
#include "gif/Dither.h"
#include "tests/gif/native/GifTestUtil.h"

using namespace gif;

namespace {

struct Rgb {
    uint8_t R, G, B;
    bool operator<(const Rgb& o) const { return std::tie(R, G, B) < std::tie(o.R, o.G, o.B); }
    bool operator==(const Rgb& o) const { return R == o.R && G == o.G && B == o.B; }
};

// A 24-bit picture in memory (blue, green, red).
class Picture : public TRowSource {
public:
    Picture(int w, int h) : m_w(w), m_h(h), m_bytes(static_cast<size_t>(w) * h * 3) {}
    int Width() const override { return m_w; }
    int Height() const override { return m_h; }
    const uint8_t* Row(int y) override { return &m_bytes[static_cast<size_t>(y) * m_w * 3]; }
    void Set(int x, int y, Rgb c) {
        uint8_t* p = &m_bytes[(static_cast<size_t>(y) * m_w + x) * 3];
        p[0] = c.B;
        p[1] = c.G;
        p[2] = c.R;
    }
    Rgb At(int x, int y) const {
        const uint8_t* p = &m_bytes[(static_cast<size_t>(y) * m_w + x) * 3];
        return Rgb{p[2], p[1], p[0]};
    }

private:
    int m_w, m_h;
    std::vector<uint8_t> m_bytes;
};

Rgb Match(TColorLookup& lookup, Rgb c, int* index = nullptr) {
    Rgb m{};
    const uint8_t i = lookup.MatchColour(c.R, c.G, c.B, m.R, m.G, m.B);
    if (index) *index = i;
    return m;
}

int Distance(const TPaletteEntry& e, Rgb c) { return std::abs(e.Red - c.R) + std::abs(e.Green - c.G) + std::abs(e.Blue - c.B); }

Picture Colourful(int w, int h, uint32_t seed) {
    Picture p(w, h);
    giftest::Random random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.Set(x, y, Rgb{static_cast<uint8_t>(x * 255 / std::max(1, w - 1)), static_cast<uint8_t>(y * 255 / std::max(1, h - 1)),
                            static_cast<uint8_t>((x * y + random.Below(32)) & 255)});
    return p;
}

}  // namespace

TEST(ColourLookups, FixedPalettesAndTheirArithmetic) {
    const auto web = WebSafeEntries();
    ASSERT_EQ(web.size(), 216u);
    EXPECT_EQ(web[2 * 36 + 3 * 6 + 4].Red, 102);
    EXPECT_EQ(web[2 * 36 + 3 * 6 + 4].Green, 153);
    EXPECT_EQ(web[2 * 36 + 3 * 6 + 4].Blue, 204);
    EXPECT_EQ(GreyEntries256()[77].Green, 77);
    EXPECT_EQ(GreyEntries256()[77].Flags, kNoCollapse);
    const auto grey4 = GreyEntries4();
    ASSERT_EQ(grey4.size(), 4u);
    EXPECT_EQ(grey4[1].Red, 128);
    EXPECT_EQ(grey4[2].Red, 192);
    EXPECT_EQ(BlackWhiteEntries()[1].Blue, 255);

    struct Case {
        const char* name;
        TColorLookup* lookup;
        Rgb in;
        int index;
        Rgb out;
    };
    TNetscapeColorLookup webLookup;
    TGrayScaleLookup grey;
    TMonochromeLookup mono;
    const Case cases[] = {
        {"web white", &webLookup, {255, 255, 255}, 215, {255, 255, 255}},
        {"web 47", &webLookup, {47, 47, 47}, 0, {0, 0, 0}},
        {"web 48", &webLookup, {48, 48, 48}, 43, {51, 51, 51}},
        // Each channel to the level (c + 3) / 51: below the nearer level above.
        {"web mixed", &webLookup, {200, 10, 100}, 3 * 36 + 0 * 6 + 2, {153, 0, 102}},
        {"grey red", &grey, {255, 0, 0}, 76, {76, 76, 76}},
        {"grey white", &grey, {255, 255, 255}, 255, {255, 255, 255}},
        {"mono just dark", &mono, {127, 127, 127}, 0, {0, 0, 0}},
        {"mono just light", &mono, {128, 127, 127}, 1, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        int index = -1;
        EXPECT_TRUE(Match(*c.lookup, c.in, &index) == c.out) << c.name;
        EXPECT_EQ(index, c.index) << c.name;
    }
    // Every web-safe colour finds itself.
    for (int i = 0; i < 216; ++i) {
        int index = -1;
        Match(webLookup, Rgb{web[static_cast<size_t>(i)].Red, web[static_cast<size_t>(i)].Green, web[static_cast<size_t>(i)].Blue}, &index);
        EXPECT_EQ(index, i);
    }
}

TEST(ColourLookups, FastLookupResolvesEachCellOnce) {
    const std::vector<TPaletteEntry> bw = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    TFastColorLookup lookup(bw.data(), 2);
    EXPECT_EQ(lookup.ColourCount(), 2);
    int index = -1;
    EXPECT_TRUE(Match(lookup, {100, 100, 100}, &index) == (Rgb{0, 0, 0}));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(Match(lookup, {130, 130, 130}, &index) == (Rgb{255, 255, 255}));
    // Same 5-5-5 cell as 130: the index found first, though 128 is nearer black.
    Match(lookup, {128, 135, 129}, &index);
    EXPECT_EQ(index, 1);

    // An entry claims its own cell when the lookup is made, before any search.
    const std::vector<TPaletteEntry> close = {{0, 0, 0, 0}, {7, 0, 0, 0}, {8, 0, 0, 0}};
    TFastColorLookup claimed(close.data(), 3);
    Match(claimed, {7, 0, 0}, &index);
    EXPECT_EQ(index, 0);
    Match(claimed, {12, 0, 0}, &index);
    EXPECT_EQ(index, 2);

    const std::vector<TPaletteEntry> tie = {{10, 0, 0, 0}, {0, 10, 0, 0}};
    TFastColorLookup ties(tie.data(), 2);
    Match(ties, {100, 100, 0}, &index);
    EXPECT_EQ(index, 0);  // equal distances: the lower index
}

TEST(Octree, FewColoursKeepTheirExactColours) {
    Picture p(40, 30);
    const Rgb colours[5] = {{1, 2, 3}, {250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {128, 128, 128}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) p.Set(x, y, colours[(x / 7 + y) % 5]);
    TColorQuantizer q(16, 8);
    q.BuildFromImage(p);
    EXPECT_EQ(q.LeafCount(), 5);
    std::array<TRGBQuad, 256> leaves{};
    ASSERT_EQ(q.CollectLeafColours(leaves), 5);
    std::set<Rgb> found;
    for (int i = 0; i < 5; ++i) found.insert(Rgb{leaves[static_cast<size_t>(i)].Red, leaves[static_cast<size_t>(i)].Green, leaves[static_cast<size_t>(i)].Blue});
    EXPECT_EQ(found, std::set<Rgb>(colours, colours + 5));
}

TEST(Octree, LeavesWithinTheAskedColoursAndColoursFindTheirNearestLeaf) {
    Picture p = Colourful(120, 90, 4);
    for (int colours : {2, 7, 16, 64, 236, 256, 300}) {
        TColorQuantizer q(colours, 8);
        q.BuildFromImage(p);
        EXPECT_LE(q.LeafCount(), std::min(colours, 256)) << colours;
        EXPECT_GE(q.LeafCount(), std::min(colours, 256) / 8) << colours;
        const auto palette = OctreePaletteEntries(p, colours, 8, nullptr);
        ASSERT_EQ(palette.size(), static_cast<size_t>(std::min(colours, 256))) << colours;
        // Each colour of the picture, searched afresh, lands on a nearest entry.
        for (int y = 0; y < 90; y += 17) {
            for (int x = 0; x < 120; x += 13) {
                const Rgb c = p.At(x, y);
                TFastColorLookup lookup(palette.data(), static_cast<int>(palette.size()));
                int index = -1;
                Match(lookup, c, &index);
                int best = 1 << 30;
                for (const TPaletteEntry& e : palette) best = std::min(best, Distance(e, c));
                EXPECT_EQ(Distance(palette[static_cast<size_t>(index)], c), best) << colours;
            }
        }
    }
}

TEST(Octree, DepthsAndSystemColours) {
    // Reduction bits beyond 8 (or below 1) would ask for more than 256
    // colours, or shift past the word: kept within 1..8.
    EXPECT_EQ(OctreeColoursForBits(3), 8);
    EXPECT_EQ(OctreeColoursForBits(8), 256);
    EXPECT_EQ(OctreeColoursForBits(9), 256);
    EXPECT_EQ(OctreeColoursForBits(40), 256);
    EXPECT_EQ(OctreeColoursForBits(0), 2);
    EXPECT_EQ(OctreeColoursForBits(-5), 2);

    Picture p = Colourful(64, 64, 9);
    std::vector<TPaletteEntry> system(20);
    for (int i = 0; i < 20; ++i) system[static_cast<size_t>(i)] = TPaletteEntry{static_cast<uint8_t>(i), 7, 200, 0};
    const auto palette = OctreePaletteEntries(p, 256, 8, system.data());
    ASSERT_EQ(palette.size(), 256u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(palette[static_cast<size_t>(i)].Red, i);
        EXPECT_EQ(palette[static_cast<size_t>(246 + i)].Red, 10 + i);
        EXPECT_EQ(palette[static_cast<size_t>(246 + i)].Blue, 200);
    }
    // Fewer leaves than asked: the rest of the palette is black.
    Picture two(4, 1);
    two.Set(0, 0, {255, 0, 0});
    two.Set(1, 0, {255, 0, 0});
    two.Set(2, 0, {0, 0, 255});
    two.Set(3, 0, {0, 0, 255});
    const auto small = OctreePaletteEntries(two, 8, 8, nullptr);
    ASSERT_EQ(small.size(), 8u);
    EXPECT_EQ(small[5].Red | small[5].Green | small[5].Blue, 0);
}

// Sums of one leaf past 2^32 / 255 pixels keep their average.
TEST(Octree, LargePicturesKeepTheirAverage) {
    TColorQuantizer q(2, 8);
    for (int i = 0; i < 16843010; ++i) q.AddColour(255, 254, 1);
    std::array<TRGBQuad, 256> leaves{};
    ASSERT_EQ(q.CollectLeafColours(leaves), 1);
    EXPECT_EQ(leaves[0].Red, 255);
    EXPECT_EQ(leaves[0].Green, 254);
    EXPECT_EQ(leaves[0].Blue, 1);
}

TEST(Dither, SerpentineMirrorsTheKernel) {
    TMonochromeLookup mono;
    TFloydSteinbergDitherer fs(3, mono);
    uint8_t r, g, b;
    EXPECT_EQ(fs.RowDirection(), 1);
    for (int x = 0; x < 3; ++x) fs.DitherPixel(0, 0, 0, r, g, b);  // exact: no error
    fs.AdvanceRow();
    EXPECT_EQ(fs.RowDirection(), -1);
    EXPECT_EQ(fs.CurrentColumn(), 2);
    fs.DitherPixel(100, 100, 100, r, g, b);  // black: error 100
    EXPECT_EQ(fs.CurrentColumn(), 1);
    EXPECT_EQ(fs.PendingError(0, 0, 1), 700);  // ahead is to the left
    EXPECT_EQ(fs.PendingError(0, 1, 3), 300);  // behind: the spare place right of the row
    EXPECT_EQ(fs.PendingError(0, 1, 2), 500);
    EXPECT_EQ(fs.PendingError(0, 1, 1), 100);
    EXPECT_EQ(fs.PendingError(2, 1, 2), 500);
    // The next pixel gets 100 + (700 + 8) / 16 = 144: white, error -111.
    EXPECT_EQ(fs.DitherPixel(100, 100, 100, r, g, b), 1);
    EXPECT_EQ(fs.PendingError(1, 0, 0), 7 * -111);
    EXPECT_EQ(fs.PendingError(1, 1, 2), 500 + 3 * -111);
}

TEST(Dither, ExactColoursSpreadNothingAndNoDitherIgnoresTheWalk) {
    TNetscapeColorLookup web;
    for (uint8_t kind = DitherFloydSteinberg; kind <= DitherBurkes; ++kind) {
        auto d = CreateDitherer(kind, 4, web);
        uint8_t r, g, b;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d->DitherPixel(51, 102, 153, r, g, b), 1 * 36 + 2 * 6 + 3) << int(kind);
        auto* diffusion = static_cast<TErrorDiffusionDitherer*>(d.get());
        for (int c = 0; c < 3; ++c)
            for (int row = 0; row < 2; ++row)
                for (int x = 0; x < 4; ++x) EXPECT_EQ(diffusion->PendingError(c, row, x), 0) << int(kind);
    }
    EXPECT_EQ(CreateDitherer(7, 4, web), nullptr);

    Picture p = Colourful(31, 6, 2);
    std::vector<uint8_t> plain(31 * 6);
    TDitherEngine none(31, web);
    DitherRows(none, p, plain.data(), 31);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 31; ++x) {
            int index = -1;
            Match(web, p.At(x, y), &index);
            EXPECT_EQ(plain[static_cast<size_t>(y * 31 + x)], index);
        }
}

// A grey ramp reduced to black and white: error diffusion keeps the local
// average of every 8 x 8 block within a small budget; no dithering cannot.
TEST(Dither, GradientsWithinAnErrorBudget) {
    const int w = 256, h = 64;
    Picture ramp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ramp.Set(x, y, Rgb{static_cast<uint8_t>(x), static_cast<uint8_t>(x), static_cast<uint8_t>(x)});
    struct Budget {
        uint8_t kind;
        double meanBlockError;  // grey levels
    };
    const Budget budgets[] = {{DitherNone, 1000}, {DitherFloydSteinberg, 10}, {DitherStucki, 10}, {DitherSierra, 10},
                              {DitherJarvisJudiceNinke, 10}, {DitherStevensonArce, 12}, {DitherBurkes, 10}};
    double noneError = 0;
    for (const Budget& bud : budgets) {
        TMonochromeLookup mono;
        auto d = CreateDitherer(bud.kind, w, mono);
        std::vector<uint8_t> out(static_cast<size_t>(w) * h);
        DitherRows(*d, ramp, out.data(), w);
        double total = 0;
        int blocks = 0;
        for (int by = 8; by < h; by += 8) {  // the first rows settle in
            for (int bx = 0; bx < w; bx += 8) {
                double want = 0, got = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        want += x;
                        got += out[static_cast<size_t>(y * w + x)] ? 255 : 0;
                    }
                total += std::fabs(want - got) / 64;
                ++blocks;
            }
        }
        const double mean = total / blocks;
        if (bud.kind == DitherNone) noneError = mean;
        EXPECT_LT(mean, bud.meanBlockError) << int(bud.kind);
    }
    EXPECT_GT(noneError, 50);
}

// One pixel wide, every kind stays inside its error rows (the sanitizer
// build watches).
TEST(Dither, OnePixelWide) {
    Picture column = Colourful(1, 40, 5);
    for (uint8_t kind = DitherNone; kind <= DitherBurkes; ++kind) {
        TGrayScaleLookup grey;
        auto d = CreateDitherer(kind, 1, grey);
        std::vector<uint8_t> out(40);
        DitherRows(*d, column, out.data(), 1);
        EXPECT_EQ(d->CurrentColumn(), 0) << int(kind);
    }
}
