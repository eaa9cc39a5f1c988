// The LZHUF codec: golden streams made by hand, the tree's invariants after
// every update and rebuild, round trips through the writer's encoder, and
// decoding in pieces of any size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <random>

#include "skin/Lzh.h"
#include "tools/skinkit/SkinWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A whole file: int32 size, then the stream.
Bytes DecodeFile(const Bytes& file, size_t inPiece = 0, size_t outPiece = 0) {
    int32_t size = 0;
    for (int i = 0; i < 4 && i < static_cast<int>(file.size()); ++i) size |= file[i] << (8 * i);
    auto d = std::make_unique<skin::LzhDecoder>();
    d->Init(size);
    Bytes out;
    size_t at = 4;
    for (;;) {
        size_t in = file.size() - at;
        if (inPiece && in > inPiece) in = inPiece;
        const bool end = at + in == file.size();
        uint8_t buffer[256];
        size_t room = outPiece ? std::min(outPiece, sizeof buffer) : sizeof buffer;
        const skin::LzhStatus s = d->Decode(file.data() + at, &in, buffer, &room, end);
        at += in;
        out.insert(out.end(), buffer, buffer + room);
        if (s == skin::LzhStatus::Finished) return out;
    }
}

Bytes WithSize(int32_t size, const Bytes& stream) {
    Bytes f;
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(static_cast<uint32_t>(size) >> (8 * i)));
    f.insert(f.end(), stream.begin(), stream.end());
    return f;
}

TEST(Lzh, GoldenStreamsDecodeToTheirText) {
    struct Case {
        const char* what;
        Bytes file;
        std::string text;
    } cases[] = {
        {"one literal, code 111001101", {0x01, 0, 0, 0, 0xE6, 0x80}, "A"},
        {"a match into the initial spaces", {0x03, 0, 0, 0, 0x8C, 0x29, 0x00}, "   "},
        {"the same without its last byte", {0x03, 0, 0, 0, 0x8C, 0x29}, "   "},
        {"literals and an overlapping match", {0x08, 0, 0, 0, 0xE6, 0xF3, 0xA3, 0xC0, 0x20}, "ABABABAB"},
        {"declared size 0", {0, 0, 0, 0}, ""},
        {"declared size negative", {0xFF, 0xFF, 0xFF, 0xFF, 0x12}, ""},
        // A match that crosses the declared size is still copied whole.
        {"a last match runs past the size", {0x05, 0, 0, 0, 0xE6, 0xF3, 0xA3, 0xC0, 0x20}, "ABABABAB"},
    };
    for (const Case& c : cases) {
        const Bytes out = DecodeFile(c.file);
        EXPECT_EQ(std::string(out.begin(), out.end()), c.text) << c.what;
    }
}

TEST(Lzh, TheEncoderWritesTheGoldenStreams) {
    EXPECT_EQ(skinkit::LzhEncode({'A'}), (Bytes{0xE6, 0x80}));
    EXPECT_EQ(skinkit::LzhEncode({'A', 'B', 'A', 'B', 'A', 'B', 'A', 'B'}), (Bytes{0xE6, 0xF3, 0xA3, 0xC0, 0x20}));
}

TEST(Lzh, InputThatEndsEarlyReadsAsZeroBits) {
    // Nothing at all after the size: all-zero bits walk to one symbol, a
    // match, until the declared size is passed (the last match whole).
    const Bytes out = DecodeFile({0x10, 0, 0, 0});
    EXPECT_GE(out.size(), 16u);
    EXPECT_LT(out.size(), 16u + 60u);
    EXPECT_EQ(DecodeFile({0x10, 0, 0, 0, 0, 0}), out);
}

// Every property that decoding relies on, checked from scratch.
void ExpectTreeSound(const skin::LzhTree& t) {
    using namespace skin;
    for (int k = 0; k + 1 < kLzhTreeSize; ++k) ASSERT_LE(t.freq[k], t.freq[k + 1]) << "at node " << k;
    ASSERT_EQ(t.freq[kLzhTreeSize], 0xFFFF);
    int leaves = 0;
    for (int k = 0; k < kLzhTreeSize; ++k) {
        const int s = t.son[k];
        if (s >= kLzhTreeSize) {
            ++leaves;
            ASSERT_EQ(t.prnt[s], k) << "leaf of node " << k;
        } else {
            ASSERT_EQ(s % 2, 0);
            ASSERT_EQ(t.freq[k], t.freq[s] + t.freq[s + 1]) << "sum at node " << k;
            ASSERT_EQ(t.prnt[s], k);
            ASSERT_EQ(t.prnt[s + 1], k);
        }
    }
    ASSERT_EQ(leaves, kLzhSymbols);
}

TEST(Lzh, TheTreeStaysSoundThroughUpdatesAndRebuilds) {
    auto t = std::make_unique<skin::LzhTree>();
    t->Start();
    ExpectTreeSound(*t);
    // Symbols 0-115 have 9-bit codes at the start, the rest 8 bits.
    auto depth = [&](int c) {
        int d = 0;
        for (int k = t->prnt[c + skin::kLzhTreeSize]; k != skin::kLzhRoot; k = t->prnt[k]) ++d;
        return d;
    };
    EXPECT_EQ(depth(0), 9);
    EXPECT_EQ(depth(115), 9);
    EXPECT_EQ(depth(116), 8);
    EXPECT_EQ(depth(313), 8);

    std::mt19937 rng(7);
    // Skewed toward a few symbols, so the root reaches the limit often.
    std::discrete_distribution<int> pick({40, 20, 10, 5, 5, 5, 5, 5, 5});
    int rebuilds = 0;
    for (int n = 0; n < 120000; ++n) {
        const int c = pick(rng) * 35;
        if (t->freq[skin::kLzhRoot] == skin::kLzhMaxFreq) {
            // Leaves come back at half their frequency, rounded up.
            std::vector<int> before(skin::kLzhSymbols), after(skin::kLzhSymbols);
            for (int k = 0; k < skin::kLzhTreeSize; ++k)
                if (t->son[k] >= skin::kLzhTreeSize) before[t->son[k] - skin::kLzhTreeSize] = t->freq[k];
            auto copy = std::make_unique<skin::LzhTree>(*t);
            copy->Rebuild();
            ExpectTreeSound(*copy);
            for (int k = 0; k < skin::kLzhTreeSize; ++k)
                if (copy->son[k] >= skin::kLzhTreeSize) after[copy->son[k] - skin::kLzhTreeSize] = copy->freq[k];
            for (int s = 0; s < skin::kLzhSymbols; ++s) ASSERT_EQ(after[s], (before[s] + 1) / 2);
            ++rebuilds;
        }
        t->Update(c);
        ExpectTreeSound(*t);
        if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_GE(rebuilds, 2);
}

Bytes Patterned(size_t n) {
    // Long runs of few symbols: matches of every length and tree rebuilds.
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>("abcab"[i % 5] + (i / 9973) % 3);
    return b;
}

Bytes Random(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

TEST(Lzh, RoundTripsAtTheEdgesOfTheRingAndLookahead) {
    std::vector<Bytes> inputs;
    for (size_t n : {0, 1, 59, 60, 61, 4095, 4096, 4097}) {
        inputs.push_back(Random(n, static_cast<unsigned>(n)));
        inputs.push_back(Patterned(n));
    }
    inputs.push_back(Random(100 * 1024, 1));
    inputs.push_back(Patterned(200 * 1024));
    // Text with repeats at exactly the ring's distance.
    Bytes ring = Random(4096, 9);
    ring.insert(ring.end(), ring.begin(), ring.begin() + 100);
    inputs.push_back(ring);
    for (const Bytes& in : inputs) {
        for (bool literals : {false, true}) {
            const Bytes file = WithSize(static_cast<int32_t>(in.size()), skinkit::LzhEncode(in, literals));
            ASSERT_EQ(DecodeFile(file), in) << in.size() << " bytes, literals only " << literals;
        }
    }
    // The patterned input really is compressed.
    EXPECT_LT(skinkit::LzhEncode(Patterned(200 * 1024)).size(), 20u * 1024);
}

// lha's "-lh1-" method is this coding: the archiver, written by others,
// checks our encoder (and so the tree both sides share) bit for bit.
TEST(Lzh, AnIndependentArchiverReadsOurStreams) {
    if (std::system("command -v lha > /dev/null 2>&1") != 0) GTEST_SKIP() << "lha (lhasa) is not installed";
    char dir[] = "/tmp/lzhXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string archive = std::string(dir) + "/test.lzh", member = std::string(dir) + "/member.out";
    for (const Bytes& in : {Patterned(200 * 1024), Random(30000, 4), Bytes{'A'}}) {
        const Bytes lzh = skinkit::WrapAsLhaArchive("member.out", in, skinkit::LzhEncode(in));
        FILE* f = std::fopen(archive.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(lzh.data(), 1, lzh.size(), f);
        std::fclose(f);
        const std::string cmd = "cd " + std::string(dir) + " && lha xqf test.lzh";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << in.size();
        f = std::fopen(member.c_str(), "rb");
        ASSERT_TRUE(f);
        Bytes out(in.size() + 1);
        const size_t n = std::fread(out.data(), 1, out.size(), f);
        std::fclose(f);
        out.resize(n);
        EXPECT_EQ(out, in) << in.size() << " bytes";
        std::remove(member.c_str());
    }
    std::remove(archive.c_str());
    rmdir(dir);
}

TEST(Lzh, DecodingInPiecesGivesTheSameBytes) {
    const Bytes in = Patterned(20000);
    const Bytes file = WithSize(static_cast<int32_t>(in.size()), skinkit::LzhEncode(in));
    for (auto [inPiece, outPiece] : {std::pair<size_t, size_t>{1, 1}, {1, 7}, {3, 61}, {4096, 1}})
        EXPECT_EQ(DecodeFile(file, inPiece, outPiece), in) << inPiece << "/" << outPiece;
}

TEST(Lzh, TheCallbackDecoderReadsAStreamThatEndsEarly) {
    const Bytes in = Patterned(5000);
    Bytes stream = skinkit::LzhEncode(in);
    stream.resize(stream.size() / 2);
    size_t at = 0;
    Bytes out;
    skin::TLZH lzh;
    lzh.Decode(
        5000,
        [&](void* buffer, int count, int& actual) {
            actual = static_cast<int>(std::min<size_t>(count, stream.size() - at));
            std::memcpy(buffer, stream.data() + at, actual);
            at += actual;
        },
        [&](void* buffer, int count, int& actual) {
            out.insert(out.end(), static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + count);
            actual = count;
        });
    ASSERT_GE(out.size(), 5000u);
    EXPECT_TRUE(std::equal(in.begin(), in.begin() + 1000, out.begin()));
}

}  // namespace
