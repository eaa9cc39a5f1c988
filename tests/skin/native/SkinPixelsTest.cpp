// Skin bitmaps: BMP files of every kind the decoder takes (made by
// ImageMagick, not by us), damaged ones, and the four transforms.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "skin/SkinPixels.h"
#include "tools/skinkit/DefaultSkin.h"

namespace {

using skin::SkinPixels;
using Bytes = std::vector<uint8_t>;

SkinPixels RandomPixels(int w, int h, unsigned seed, int levels = 256) {
    std::mt19937 rng(seed);
    SkinPixels p;
    p.Resize(w, h);
    for (auto& b : p.bytes) b = static_cast<uint8_t>(rng() % levels * (255 / (levels - 1)));
    return p;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SkinPixels, DecodesBmpFilesWrittenByImageMagick) {
    const std::string convert = "/usr/bin/convert-im6.q16";
    if (!std::ifstream(convert)) GTEST_SKIP() << "ImageMagick is not installed";
    // Few colours, so that the indexed kinds hold the picture exactly.
    const SkinPixels source = RandomPixels(13, 7, 5, 2);
    char dir[] = "/tmp/skinbmpXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string ppm = std::string(dir) + "/in.ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n13 7\n255\n";
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                const uint8_t* p = source.Row(y) + x * 3;
                out.put(static_cast<char>(p[2])).put(static_cast<char>(p[1])).put(static_cast<char>(p[0]));
            }
    }
    struct Case {
        const char* what;
        const char* options;
    } cases[] = {
        {"24 bits", "-type TrueColor BMP3:"},
        {"32 bits", "-type TrueColorAlpha -alpha on BMP:"},
        {"8-bit palette", "-type Palette BMP3:"},
        {"8-bit RLE", "-type Palette -compress RLE BMP3:"},
        {"4-bit palette", "-type Palette -colors 8 -depth 4 BMP3:"},
        {"BMP with a v5 header", "-type TrueColor BMP:"},
        {"16 bits", "-define bmp:subtype=RGB555 BMP:"},
    };
    for (const Case& c : cases) {
        const std::string out = std::string(dir) + "/out.bmp";
        const std::string cmd = convert + " " + ppm + " " + c.options + out + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << c.what;
        const Bytes file = ReadAll(out);
        SkinPixels got;
        ASSERT_TRUE(skin::DecodeBmp(file.data(), file.size(), got)) << c.what;
        ASSERT_EQ(got.width, 13);
        ASSERT_EQ(got.height, 7);
        EXPECT_EQ(got.bytes, source.bytes) << c.what;
        std::remove(out.c_str());
    }
    std::remove(ppm.c_str());
    rmdir(dir);
}

TEST(SkinPixels, RefusesDamagedBitmaps) {
    const Bytes good = skinkit::EncodeBmp(RandomPixels(9, 5, 1));
    SkinPixels p;
    ASSERT_TRUE(skin::DecodeBmp(good.data(), good.size(), p));
    auto with = [&](size_t at, uint32_t value, int bytes) {
        Bytes b = good;
        for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return b;
    };
    const Bytes cases[] = {
        Bytes(good.begin(), good.end() - 1),  // a row short
        with(0, 'X', 1),                      // not "BM"
        with(18, 0, 4),                       // width 0
        with(18, 0x7FFFFFFF, 4),              // absurd width
        with(22, 0x80000000, 4),              // the most negative height
        with(28, 12, 2),                      // 12 bits per pixel
        with(30, 7, 4),                       // unknown compression
        with(14, 1000, 4),                    // header longer than the file
        with(10, 0xFFFF, 4),                  // pixels past the end
    };
    int n = 0;
    for (const Bytes& b : cases) {
        EXPECT_FALSE(skin::DecodeBmp(b.data(), b.size(), p)) << "case " << n++;
        EXPECT_TRUE(p.Empty());
    }
}

TEST(SkinPixels, TransformsUndoThemselvesAndTurnTheRightWay) {
    for (int w : {1, 2, 7, 13})
        for (int h : {1, 3, 8}) {
            const SkinPixels a = RandomPixels(w, h, static_cast<unsigned>(w * 31 + h));
            SkinPixels b = a;
            skin::MirrorPixels(b);
            EXPECT_EQ(b.Pixel(0, 0), a.Pixel(w - 1, 0));
            skin::MirrorPixels(b);
            EXPECT_EQ(b.bytes, a.bytes);
            skin::FlipPixels(b);
            EXPECT_EQ(b.Pixel(0, 0), a.Pixel(0, h - 1));
            skin::FlipPixels(b);
            EXPECT_EQ(b.bytes, a.bytes);
            skin::RotatePixelsLeft(b);
            ASSERT_EQ(b.width, h);
            ASSERT_EQ(b.height, w);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) ASSERT_EQ(b.Pixel(y, w - 1 - x), a.Pixel(x, y));
            skin::RotatePixelsRight(b);
            EXPECT_EQ(b.width, w);
            EXPECT_EQ(b.bytes, a.bytes);
            skin::RotatePixelsRight(b);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) ASSERT_EQ(b.Pixel(h - 1 - y, x), a.Pixel(x, y));
        }
    // A one-pixel strip turned left: its rightmost pixel on top.
    SkinPixels strip = RandomPixels(5, 1, 2);
    const uint32_t right = strip.Pixel(4, 0);
    skin::RotatePixelsLeft(strip);
    EXPECT_EQ(strip.width, 1);
    EXPECT_EQ(strip.Pixel(0, 0), right);
}

}  // namespace
