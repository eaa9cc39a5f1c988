// The LZW decoder on crafted code streams (damage included) and both
// encoders against independent decoders: giflib, giftopnm and a small
// code-stream reader that checks what a GIF decoder may expect.
#include <gtest/gtest.h>

#include <cstring>

#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"
#include "tests/gif/native/GifTestUtil.h"

using namespace gif;
using giftest::Bytes;

namespace {

struct Code {
    int Value, Width;
};

// The code size byte, the codes packed LSB first into sub-blocks of at
// most blockSize bytes, and (unless left out) the terminator.
Bytes PackCodes(int codeSize, const std::vector<Code>& codes, size_t blockSize = 255, bool terminator = true) {
    Bytes data;
    uint32_t bucket = 0;
    int bits = 0;
    for (const Code& c : codes) {
        bucket |= static_cast<uint32_t>(c.Value) << bits;
        bits += c.Width;
        while (bits >= 8) {
            data.push_back(static_cast<uint8_t>(bucket));
            bucket >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) data.push_back(static_cast<uint8_t>(bucket));
    Bytes out{static_cast<uint8_t>(codeSize)};
    for (size_t at = 0; at < data.size(); at += blockSize) {
        const size_t n = std::min(blockSize, data.size() - at);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    if (terminator) out.push_back(0);
    return out;
}

// Literal codes at the widths a decoder uses after a clear.
std::vector<Code> Literals(int codeSize, const std::vector<int>& values, bool withClear = true) {
    const int clear = 1 << codeSize;
    int width = codeSize + 1, next = clear + 2;
    std::vector<Code> codes;
    if (withClear) codes.push_back({clear, width});
    for (size_t i = 0; i < values.size(); ++i) {
        codes.push_back({values[i], width});
        if (i == 0) continue;
        if (next < 4096) ++next;
        if (next >= (1 << width) && width < 12) ++width;
    }
    return codes;
}

struct Decoded {
    Bytes Pixels;
    std::vector<std::string> Warnings;
    int64_t End = 0;
    std::string Error;
};

Decoded Decode(const Bytes& data, int w, int h, bool interlaced = false, uint8_t fill = 0xEE) {
    Decoded d;
    d.Pixels.assign(static_cast<size_t>(w) * h, fill);
    forms::TMemoryStream stream(data);
    try {
        DecodeLzwData(stream, d.Pixels.data(), w, h, interlaced,
                      [&d](const std::string& m) { d.Warnings.push_back(m); });
    } catch (const GIFException& e) {
        d.Error = e.what();
    }
    d.End = stream.Position();
    return d;
}

// What a GIF decoder sees in a code stream: the codes read at the widths
// it keeps, and whether each code was one it could know.
struct CodeStream {
    std::vector<int> Codes;
    std::vector<int> Generation;  // codes between clears, per clear
    bool AllKnown = true;
    bool Ended = false;
};

CodeStream ReadCodeStream(const Bytes& data) {
    CodeStream s;
    const int size = data.at(0);
    Bytes bytes;
    for (size_t at = 1; at < data.size() && data[at] != 0; at += data[at] + 1u)
        bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at + 1),
                     data.begin() + static_cast<std::ptrdiff_t>(at + 1 + data[at]));
    const int clear = 1 << size, end = clear + 1;
    int width = size + 1, next = clear + 2, inGeneration = -1;
    size_t bit = 0;
    bool first = true;
    while (bit + width <= bytes.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
        s.Codes.push_back(code);
        if (code == clear) {
            if (inGeneration >= 0) s.Generation.push_back(inGeneration);
            inGeneration = 0;
            width = size + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (code == end) {
            s.Ended = true;
            break;
        }
        ++inGeneration;
        if (code > next || (first && code >= clear)) s.AllKnown = false;
        if (!first && next < 4096) {
            ++next;
            if (next >= (1 << width) && width < 12) ++width;
        }
        first = false;
    }
    return s;
}

Bytes Encode(bool rle, int bits, int colours, const Bytes& pixels, int w, int h, bool interlaced) {
    forms::TMemoryStream out;
    if (rle)
        TRLEEncoder(nullptr).Encode(out, bits, colours, pixels.data(), interlaced, h, w);
    else
        TLZWEncoder(nullptr).Encode(out, bits, colours, pixels.data(), interlaced, h, w);
    return out.Bytes();
}

// A whole file around one frame of `bits` per pixel, distinct colours.
Bytes WrapFrame(const Bytes& data, int bits, int w, int h, bool interlaced) {
    Bytes gif{'G', 'I', 'F', '8', '7', 'a', static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
              static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(0x80 | (bits - 1)), 0, 0};
    for (int i = 0; i < (1 << bits); ++i) {
        gif.push_back(static_cast<uint8_t>(i));
        gif.push_back(static_cast<uint8_t>(255 - i));
        gif.push_back(static_cast<uint8_t>(i * 7));
    }
    const Bytes desc{0x2C, 0, 0, 0, 0, static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
                     static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(interlaced ? 0x40 : 0)};
    gif.insert(gif.end(), desc.begin(), desc.end());
    gif.insert(gif.end(), data.begin(), data.end());
    gif.push_back(0x3B);
    return gif;
}

}  // namespace

TEST(LzwDecoder, CraftedStreams) {
    struct Case {
        const char* name;
        int codeSize, w, h;
        bool interlaced;
        std::vector<Code> codes;
        Bytes pixels;
    };
    const Case cases[] = {
        {"literals", 2, 3, 1, false, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}}, {1, 2, 3}},
        {"next free code (KwKwK)", 2, 3, 1, false, {{4, 3}, {1, 3}, {6, 3}, {5, 3}}, {1, 1, 1}},
        {"no clear first", 2, 3, 1, false, {{1, 3}, {6, 3}, {5, 3}}, {1, 1, 1}},
        {"clears in a row", 2, 3, 1, false, {{4, 3}, {4, 3}, {1, 3}, {6, 3}, {5, 3}}, {1, 1, 1}},
        {"strings and widening", 2, 8, 1, false, {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {6, 4}, {5, 4}}, Bytes(8, 1)},
        {"interlaced 3 rows", 3, 1, 3, true, {{8, 4}, {5, 4}, {6, 4}, {7, 4}, {9, 4}}, {5, 7, 6}},
        {"interlaced 5 rows", 3, 1, 5, true, {{8, 4}, {0, 4}, {4, 4}, {2, 4}, {1, 4}, {3, 4}, {9, 4}}, {0, 1, 2, 3, 4}},
        {"code size 1", 1, 4, 1, false, {{2, 2}, {1, 2}, {0, 2}, {1, 3}, {0, 3}, {3, 3}}, {1, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        for (size_t block : {size_t{255}, size_t{1}}) {
            const Bytes data = PackCodes(c.codeSize, c.codes, block);
            const Decoded d = Decode(data, c.w, c.h, c.interlaced);
            EXPECT_EQ(d.Error, "") << c.name;
            EXPECT_EQ(d.Pixels, c.pixels) << c.name << ", blocks of " << block;
            EXPECT_TRUE(d.Warnings.empty()) << c.name << ": " << (d.Warnings.empty() ? "" : d.Warnings[0]);
            EXPECT_EQ(d.End, static_cast<int64_t>(data.size())) << c.name;
        }
    }
}

// After 4096 entries the table stops growing and codes stay 12 bits wide.
TEST(LzwDecoder, FullTableKeepsTwelveBitCodes) {
    std::vector<int> values;
    giftest::Random random(7);
    for (int i = 0; i < 6000; ++i) values.push_back(random.Below(256));
    std::vector<Code> codes = Literals(8, values);
    codes.push_back({257, 12});
    const Decoded d = Decode(PackCodes(8, codes), 6000, 1);
    EXPECT_EQ(d.Error, "");
    EXPECT_TRUE(d.Warnings.empty());
    EXPECT_EQ(d.Pixels, Bytes(values.begin(), values.end()));
}

TEST(LzwDecoder, DamagedStreams) {
    struct Case {
        const char* name;
        Bytes data;
        int w, h;
        Bytes pixels;  // 0xEE: the fill
        std::vector<std::string> warnings;
        const char* error;
        int64_t end;  // -1: the whole data
    };
    const Bytes next{0x21, 0xFE, 1, 'x', 0, 0x3B};  // the block that follows
    auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Bytes early = PackCodes(2, {{4, 3}, {1, 3}, {5, 3}});
    const Bytes surplus = PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {3, 4}, {2, 4}, {5, 4}}, 1);
    Bytes cut = PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {5, 4}});
    cut.resize(2);  // count byte 2, then no data at all
    Bytes shortBlock = PackCodes(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}, {2, 4}, {5, 4}}, 255, false);
    shortBlock[1] = 40;  // announces more than there is
    const Case cases[] = {
        {"early end code", join(early, next), 4, 1, {1, 0xEE, 0xEE, 0xEE}, {}, nullptr, static_cast<int64_t>(early.size())},
        {"codes beyond the image", join(surplus, next), 2, 1, {1, 2}, {}, nullptr, static_cast<int64_t>(surplus.size())},
        // An end code right after a clear ends the data; it is no pixel.
        {"clear then end", join(PackCodes(2, {{4, 3}, {5, 3}}), next), 2, 1, {0xEE, 0xEE}, {}, nullptr, 4},
        {"no data", {}, 2, 1, {0xEE, 0xEE}, {}, nullptr, -1},
        {"code size only", {2}, 2, 1, {0xEE, 0xEE}, {}, nullptr, -1},
        {"cut inside a block", cut, 2, 1, {0xEE, 0xEE}, {msg::PrematureEnd}, nullptr, -1},
        {"short last block", shortBlock, 8, 1, {1, 2, 3, 1, 2, 0xEE, 0xEE, 0xEE}, {msg::PrematureEnd}, nullptr, -1},
        // The padding bits of the last byte read as codes 0.
        {"terminator before the end code", PackCodes(2, {{4, 3}, {1, 3}, {2, 3}}), 4, 1, {1, 2, 0, 0},
         {msg::BitBufferUnderrun}, nullptr, -1},
        {"self-referring entry", PackCodes(2, {{4, 3}, {1, 3}, {7, 3}, {7, 3}, {7, 4}}), 8, 1,
         {1, 1, 1, 0, 0, 1, 0xEE, 0xEE}, {}, msg::CircularEntry, -2},
        {"looping entries", PackCodes(2, {{4, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}}), 64, 1, {}, {}, msg::CircularEntry, -2},
        {"code size 12", {12, 1, 0, 0}, 2, 1, {0xEE, 0xEE}, {}, msg::InvalidData, -2},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.data, c.w, c.h);
        EXPECT_EQ(d.Error, c.error ? c.error : "") << c.name;
        if (!c.pixels.empty()) {
            EXPECT_EQ(d.Pixels, c.pixels) << c.name;
        }
        EXPECT_EQ(d.Warnings, c.warnings) << c.name;
        if (c.end != -2) {
            EXPECT_EQ(d.End, c.end == -1 ? static_cast<int64_t>(c.data.size()) : c.end) << c.name;
        }
    }
}

TEST(LzwDecoder, FrameFillsWithItsTransparentIndex) {
    giftest::TestImage image;
    TGIFSubImageCore frame(&image);
    forms::TMemoryStream in(Bytes{0x21, 0xF9, 4, 1, 0, 0, 3, 0, 0x2C, 0, 0, 0, 0, 3, 0, 1, 0, 0});
    frame.LoadFromStream(in);  // extensions and descriptor; no data follows
    EXPECT_EQ(Bytes(frame.Pixels(), frame.Pixels() + 3), (Bytes{3, 3, 3}));
    Bytes cut = PackCodes(2, {{4, 3}, {1, 3}}, 255, false);
    cut[1] = 5;  // announces more than there is
    forms::TMemoryStream data(cut);
    DecodeFrameData(frame, data);
    EXPECT_EQ(Bytes(frame.Pixels(), frame.Pixels() + 3), (Bytes{1, 3, 3}));
    EXPECT_EQ(image.Warnings, std::vector<std::string>{msg::PrematureEnd});
}

TEST(LzwEncoder, RandomImagesDecodeAlikeEverywhere) {
    giftest::TempDir dir;
    int withGiftopnm = 0;
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {3, 3}, {17, 13}, {64, 64}, {255, 3}, {320, 240}, {1000, 9}};
    for (bool rle : {false, true}) {
        for (int bits = 1; bits <= 8; ++bits) {
            for (auto [w, h] : sizes) {
                for (bool interlaced : {false, true}) {
                    const uint32_t seed = static_cast<uint32_t>(bits * 1000 + w * 7 + h + (rle ? 500000 : 0));
                    const Bytes pixels = giftest::PatternPixels(w, h, 1 << bits, seed);
                    const Bytes data = Encode(rle, bits, 1 << bits, pixels, w, h, interlaced);
                    const std::string what = std::string(rle ? "RLE" : "LZW") + " " + std::to_string(bits) +
                                             " bits " + std::to_string(w) + "x" + std::to_string(h) +
                                             (interlaced ? " interlaced" : "");
                    const CodeStream codes = ReadCodeStream(data);
                    EXPECT_TRUE(codes.AllKnown && codes.Ended) << what;
                    const Decoded ours = Decode(data, w, h, interlaced);
                    EXPECT_EQ(ours.Pixels, pixels) << what;
                    EXPECT_EQ(ours.End, static_cast<int64_t>(data.size())) << what;
                    const Bytes gif = WrapFrame(data, bits, w, h, interlaced);
                    const giftest::RefGif ref = giftest::SlurpWithGiflib(gif);
                    ASSERT_TRUE(ref.Ok && ref.Frames.size() == 1) << what;
                    EXPECT_EQ(ref.Frames[0].Pixels, pixels) << what;
                    if ((w * h + bits) % 5 != 0) continue;  // giftopnm on a share of them
                    ++withGiftopnm;
                    giftest::WriteFileBytes(dir.File("e.gif"), gif);
                    int pw = 0, ph = 0;
                    const Bytes rgb = giftest::ColoursWithGiftopnm(dir.File("e.gif"), &pw, &ph);
                    ASSERT_EQ(pw * ph, w * h) << what;
                    Bytes indices;
                    for (size_t i = 0; i + 2 < rgb.size(); i += 3) indices.push_back(rgb[i]);
                    EXPECT_EQ(indices, pixels) << what;
                }
            }
        }
    }
    EXPECT_GT(withGiftopnm, 20);
}

TEST(LzwEncoder, SmallTablesNoPixelsAndColoursOutsideTheTable) {
    for (bool rle : {false, true}) {
        const Bytes two = Encode(rle, 1, 2, {0, 1, 1, 0}, 2, 2, false);
        EXPECT_EQ(two[0], 2);  // minimum code size 2
        EXPECT_EQ(Decode(two, 2, 2).Pixels, (Bytes{0, 1, 1, 0}));

        forms::TMemoryStream empty;
        if (rle)
            TRLEEncoder(nullptr).Encode(empty, 8, 256, nullptr, false, 0, 0);
        else
            TLZWEncoder(nullptr).Encode(empty, 8, 256, nullptr, false, 0, 0);
        EXPECT_EQ(empty.Bytes(), (Bytes{8, 2, 0x01, 0x01, 0}));  // the end code alone

        forms::TMemoryStream out;
        const Bytes pixels{0, 1, 2, 3, 4};
        try {
            TLZWEncoder(nullptr).Encode(out, 2, 4, pixels.data(), false, 1, 5);
            FAIL() << "index 4 of a 4-colour table was written";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), msg::ColourNotInTable);
        }
        // What was buffered went out as a whole sub-block; no terminator.
        const Bytes written = out.Bytes();
        ASSERT_GE(written.size(), 3u);
        EXPECT_EQ(written.size(), 2u + written[1]);
    }
}

TEST(LzwEncoder, ClearsBeforeCode4095AndRunsBeyondTheCodeSpace) {
    giftest::Random random(3);
    Bytes noise(400 * 300);
    for (uint8_t& p : noise) p = static_cast<uint8_t>(random.Below(256));
    const CodeStream lzw = ReadCodeStream(Encode(false, 8, 256, noise, 400, 300, false));
    EXPECT_EQ(lzw.Codes.front(), 256);
    ASSERT_GE(lzw.Generation.size(), 3u);
    for (int n : lzw.Generation) EXPECT_EQ(n, 4094 - 256);  // a clear as the table reaches code 4095
    for (int c : lzw.Codes) EXPECT_LT(c, 4095);

    // One run of more pixels than a whole table of run codes can spell
    // (s(s + 1) / 2 for a code space of s), split across clears.
    for (int bits : {2, 8}) {
        const Bytes flat(3000 * 3000, 1);
        const Bytes data = Encode(true, bits, 1 << bits, flat, 3000, 3000, false);
        const CodeStream rle = ReadCodeStream(data);
        EXPECT_TRUE(rle.AllKnown && rle.Ended) << bits;
        EXPECT_GE(rle.Generation.size(), 2u) << bits;
        EXPECT_EQ(Decode(data, 3000, 3000).Pixels, flat) << bits;
    }
}

TEST(LzwEncoder, InterlacedRowsInPassOrder) {
    const std::vector<std::vector<int>> order = {{0}, {0, 1}, {0, 2, 1}, {0, 2, 1, 3}, {0, 4, 2, 1, 3}};
    for (bool rle : {false, true}) {
        for (int h = 1; h <= 5; ++h) {
            Bytes pixels;
            for (int y = 0; y < h; ++y) pixels.insert(pixels.end(), 3, static_cast<uint8_t>(y));
            const Bytes data = Encode(rle, 3, 8, pixels, 3, h, true);
            Bytes expected;
            for (int y : order[static_cast<size_t>(h - 1)]) expected.insert(expected.end(), 3, static_cast<uint8_t>(y));
            EXPECT_EQ(Decode(data, 3, h, false).Pixels, expected) << h;  // as stored
            EXPECT_EQ(Decode(data, 3, h, true).Pixels, pixels) << h;
        }
    }
}

TEST(LzwEncoder, ExactlyOneFullSubBlock) {
    bool found = false;
    for (uint32_t seed = 1; seed < 50 && !found; ++seed) {
        giftest::Random random(seed);
        Bytes pixels;
        for (int n = 1; n < 400; ++n) {
            pixels.push_back(static_cast<uint8_t>(random.Below(256)));
            const Bytes data = Encode(false, 8, 256, pixels, n, 1, false);
            if (data.size() - 3 != 255) continue;
            found = true;
            EXPECT_EQ(data[1], 255);
            EXPECT_EQ(data.size(), 258u);
            EXPECT_EQ(data.back(), 0);
            EXPECT_EQ(Decode(data, n, 1).Pixels, pixels);
            break;
        }
    }
    EXPECT_TRUE(found);
}

TEST(LzwEncoder, HashTableFillsEverySlot) {
    THashTable table;
    // Keys that all start at slot 1: the probe must reach every other slot.
    std::vector<uint32_t> keys;
    for (uint32_t k = 0; keys.size() < THashTable::kSize - 1 && k < (1u << 20); ++k)
        if (THashTable::SlotFor(k) % 2 == 1) keys.push_back(k);
    ASSERT_EQ(keys.size(), static_cast<size_t>(THashTable::kSize - 1));
    for (size_t i = 0; i < keys.size(); ++i) table.StoreCode(keys[i], static_cast<int>(i % 4096));
    for (size_t i = 0; i < keys.size(); i += 97) EXPECT_EQ(table.FindCode(keys[i]), static_cast<int>(i % 4096));
    EXPECT_EQ(table.FindCode((1u << 20) - 2), -1);
    table.StoreCode((1u << 20) - 2, 5);  // the last empty slot
    EXPECT_EQ(table.FindCode((1u << 20) - 2), 5);
    EXPECT_EQ(table.FindCode((1u << 20) - 3), -1);  // a full table answers too
}

TEST(LzwEncoder, WriteOnlyStream) {
    forms::TMemoryStream target;
    TGIFStream stream(target, nullptr);
    char b;
    for (auto op : {0, 1, 2}) {
        try {
            if (op == 0) stream.Read(&b, 1);
            if (op == 1) stream.Seek(0, forms::TSeekOrigin::soBeginning);
            if (op == 2) stream.Write(&b, 1);
            FAIL() << op;
        } catch (const forms::Exception& e) {
            EXPECT_STREQ(e.what(), msg::InvalidStreamOperation);
        }
    }
}

// A descriptor may claim up to 65535 x 65535 pixels: beyond a million (2^20),
// only data that could fill them gets them allocated.
TEST(LzwDecoder, FramesFarLargerThanTheirData) {
    struct Case {
        int w, h;
        bool loads;
    };
    for (const Case& c : {Case{65535, 65535, false}, Case{1500, 1000, false}, Case{1024, 1024, true}}) {
        giftest::TestImage image;
        TGIFSubImageCore frame(&image);
        Bytes data{0x2C, 0, 0, 0, 0, static_cast<uint8_t>(c.w), static_cast<uint8_t>(c.w >> 8),
                   static_cast<uint8_t>(c.h), static_cast<uint8_t>(c.h >> 8), 0};
        const Bytes codes = PackCodes(2, {{4, 3}, {1, 3}, {5, 3}});
        data.insert(data.end(), codes.begin(), codes.end());
        forms::TMemoryStream in(data);
        try {
            frame.LoadFromStream(in);
            EXPECT_TRUE(c.loads) << c.w << "x" << c.h;
            EXPECT_EQ(frame.PixelCount(), int64_t{c.w} * c.h);
            EXPECT_EQ(frame.Pixels()[0], 1);
        } catch (const GIFException& e) {
            EXPECT_FALSE(c.loads) << c.w << "x" << c.h;
            EXPECT_STREQ(e.what(), msg::PrematureEnd);
            EXPECT_EQ(frame.PixelCount(), 0);
        }
    }
}

// Many such frames in one picture share one allowance.
TEST(LzwDecoder, ManyLargeFramesShareTheLoadsAllowance) {
    Bytes gif{'G', 'I', 'F', '8', '9', 'a', 0x00, 0x04, 0x00, 0x04, 0, 0, 0};
    const Bytes codes = PackCodes(2, {{4, 3}, {1, 3}, {5, 3}});
    for (int i = 0; i < 300; ++i) {
        const Bytes desc{0x2C, 0, 0, 0, 0, 0x00, 0x04, 0x00, 0x04, 0};  // 1024 x 1024
        gif.insert(gif.end(), desc.begin(), desc.end());
        gif.insert(gif.end(), codes.begin(), codes.end());
    }
    gif.push_back(0x3B);
    std::string error;
    auto image = giftest::LoadGif(gif, &error);
    EXPECT_EQ(error, msg::PrematureEnd);
    EXPECT_TRUE(image->Empty());
    // Afterwards the picture loads frames of any size again.
    auto small = giftest::LoadGif(Bytes(gif.begin(), gif.begin() + 13 + 10 + static_cast<std::ptrdiff_t>(codes.size())));
    EXPECT_EQ(small->Frames().ItemCount(), 1);
}
