// Headers, colour tables, sub-block texts and extension blocks, read and
// written byte for byte; sorting by use; the picture's version and sizes.
#include <gtest/gtest.h>

#include <cstring>

#include "gif/GifExtensions.h"
#include "tests/gif/native/GifTestUtil.h"

using namespace gif;
using giftest::Bytes;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// Screen 4 x 2, optionally a 2-colour global table.
Bytes Screen(bool withTable) {
    Bytes b = Concat({Text("GIF89a"), {4, 0, 2, 0, static_cast<uint8_t>(withTable ? 0x80 : 0x00), 0, 0}});
    if (withTable) b.insert(b.end(), {0, 0, 0, 255, 255, 255});
    return b;
}

// A 4 x 2 frame of index 1 with code size 2: clear, 1, 11, 111, 11, end.
Bytes Frame() {
    return {0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x00, 2, 3, 0x8C, 0x6F, 0x05, 0};
}

TGIFSubImageCore& AddFrame(giftest::TestImage& image, int w, int h, uint8_t fill = 0) {
    auto frame = image.NewFrame();
    frame->SetWidth(w);
    frame->SetHeight(h);
    frame->AllocatePixels();
    std::memset(frame->Pixels(), fill, static_cast<size_t>(w) * h);
    TGIFSubImageCore& f = *frame;
    image.Frames().Append(std::move(frame));
    return f;
}

}  // namespace

TEST(GifHeader, SignaturesAndPrefixes) {
    struct Case {
        const char* name;
        Bytes data;
        const char* error;  // nullptr: loads
    };
    const Bytes lsd = {1, 0, 1, 0, 0, 0, 0};
    const Case cases[] = {
        {"89a", Concat({Text("GIF89a"), lsd}), nullptr},
        {"lower case", Concat({Text("gif87a"), lsd}), nullptr},
        {"any version", Concat({Text("GIFxyz"), lsd}), nullptr},
        {"4-byte prefix", Concat({{9, 9, 9, 9}, Text("GIF89a"), lsd}), nullptr},
        {"1-byte prefix", Concat({{9}, Text("GIF89a"), lsd}), msg::InvalidSignature},
        {"no signature", Concat({Text("PNG89a"), lsd, lsd}), msg::InvalidSignature},
        {"short", Text("GIF8"), msg::PrematureEnd},
        {"short descriptor", Concat({Text("GIF89a"), {1, 0, 1}}), msg::PrematureEnd},
        {"short table", Concat({Text("GIF89a"), {1, 0, 1, 0, 0x81, 0, 0}, {1, 2, 3}}), msg::PrematureEnd},
    };
    for (const Case& c : cases) {
        giftest::TestImage image;
        forms::TMemoryStream stream(c.data);
        try {
            image.Header().LoadFromStream(stream);
            EXPECT_EQ(c.error, nullptr) << c.name;
            EXPECT_EQ(image.Header().Width(), 1) << c.name;
        } catch (const GIFException& e) {
            ASSERT_NE(c.error, nullptr) << c.name << ": " << e.what();
            EXPECT_STREQ(e.what(), c.error) << c.name;
        }
    }
}

TEST(GifHeader, TablePaddingAndPackedFields) {
    struct Case {
        int colours;
        int written;      // entries written
        uint8_t packed;   // with one frame that has no table of its own
    };
    const Case cases[] = {{0, 0, 0x70 | 0x07}, {1, 2, 0x80}, {2, 2, 0x80}, {3, 4, 0x91},
                          {5, 8, 0xA2}, {129, 256, 0xF7}, {256, 256, 0xF7}};
    for (const Case& c : cases) {
        giftest::TestImage image;
        image.Header().SetWidth(4);
        image.Header().SetHeight(2);
        for (int i = 0; i < c.colours; ++i) image.GlobalColourTable().AppendColour(0x000001 * i + 0x010000);
        AddFrame(image, 4, 2);
        const Bytes gif = giftest::SaveGif(image);
        EXPECT_EQ(gif[10], c.packed) << c.colours;
        // Signature, descriptor, table, then the frame's separator.
        EXPECT_EQ(gif[13 + 3 * c.written], 0x2C) << c.colours;
        for (int i = c.colours; i < c.written; ++i)
            EXPECT_EQ(gif[13 + 3 * i] | gif[14 + 3 * i] | gif[15 + 3 * i], 0) << c.colours;
        EXPECT_TRUE(giftest::SlurpWithGiflib(gif).Ok) << c.colours;
    }
}

// The size field of the header describes the global table as written, not
// the deepest table of the picture.
TEST(GifHeader, SizeFieldFollowsTheGlobalTable) {
    giftest::TestImage image;
    image.Header().SetWidth(4);
    image.Header().SetHeight(2);
    image.GlobalColourTable().AppendColour(0x000000);
    image.GlobalColourTable().AppendColour(0xFFFFFF);
    TGIFSubImageCore& deep = AddFrame(image, 4, 2, 200);
    for (int i = 0; i < 256; ++i) deep.ColourMap().AppendColour(i * 0x010101);
    AddFrame(image, 4, 2, 1);
    const Bytes gif = giftest::SaveGif(image);
    EXPECT_EQ(gif[10] & 0x87, 0x80);
    EXPECT_EQ((gif[10] >> 4) & 7, 7);  // colour resolution: the deepest table
    const giftest::RefGif ref = giftest::SlurpWithGiflib(gif);
    ASSERT_TRUE(ref.Ok);
    EXPECT_EQ(ref.GlobalMap, (Bytes{0, 0, 0, 255, 255, 255}));
    ASSERT_EQ(ref.Frames.size(), 2u);
    EXPECT_EQ(ref.Frames[0].Pixels, Bytes(8, 200));
    EXPECT_EQ(ref.Frames[1].Pixels, Bytes(8, 1));
}

TEST(GifHeader, VersionFollowsWhatTheFileUses) {
    struct Case {
        const char* name;
        bool sorted;
        uint8_t aspect;
        bool comment;
        const char* version;
    };
    const Case cases[] = {
        {"plain", false, 0, false, "GIF87a"},
        {"sorted global table", true, 0, false, "GIF89a"},
        {"aspect ratio", false, 49, false, "GIF89a"},
        {"extension", false, 0, true, "GIF89a"},
    };
    for (const Case& c : cases) {
        giftest::TestImage image;
        image.Header().SetWidth(4);
        image.Header().SetHeight(2);
        image.GlobalColourTable().AppendColour(0);
        image.GlobalColourTable().AppendColour(0xFFFFFF);
        image.GlobalColourTable().SetUsageSorted(c.sorted);
        image.Header().SetAspectRatio(c.aspect);
        TGIFSubImageCore& f = AddFrame(image, 4, 2);
        if (c.comment) {
            auto ext = std::make_unique<TGIFCommentExtension>(f);
            ext->Comment().push_back("hi");
            f.Extensions().Append(std::move(ext));
        }
        const Bytes gif = giftest::SaveGif(image);
        EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), c.version) << c.name;
        EXPECT_EQ((gif[10] & 0x08) != 0, c.sorted) << c.name;
        EXPECT_EQ(gif[12], c.aspect) << c.name;
    }
    giftest::TestImage empty;
    try {
        giftest::SaveGif(empty);
        FAIL() << "an empty picture was saved";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), msg::UnsupportedVersion);
    }
}

TEST(GifColourMap, FindAppendRemoveAndColourAt) {
    giftest::TestImage image;
    TGIFColorMap& map = image.GlobalColourTable();
    EXPECT_EQ(map.AppendColour(0x112233), 0);
    EXPECT_EQ(map.AppendColour(0x445566), 1);
    EXPECT_EQ(map.AppendColour(0x112233), 2);
    EXPECT_EQ(map.FindColour(0x112233), 2);  // the last duplicate
    map.SetUsageSorted(true);
    EXPECT_EQ(map.FindColour(0x112233), 0);  // sorted: the first
    EXPECT_EQ(map.FindColour(0x000001), -1);
    EXPECT_EQ(map.AppendIfMissing(0x445566), 1);
    EXPECT_TRUE(map.UsageSorted());
    EXPECT_EQ(map.AppendIfMissing(0x778899), 3);
    EXPECT_FALSE(map.UsageSorted());
    map.RemoveAt(3);
    EXPECT_EQ(map.Entries()[3], 0x66);  // red first, as in the file
    EXPECT_EQ(map.Entries()[5], 0x44);

    EXPECT_EQ(map.ColourAt(7), 0x112233);
    ASSERT_EQ(image.Warnings.size(), 1u);
    EXPECT_EQ(image.Warnings[0], msg::InvalidColourIndex);
    map.RemoveAt(0);
    EXPECT_EQ(map.ColourAt(0), 0x445566);
    EXPECT_THROW(map.RemoveAt(2), GIFException);
    map.Reset();
    EXPECT_THROW(map.ColourAt(0), GIFException);

    for (int i = 0; i < 256; ++i) map.AppendColour(i);
    try {
        map.AppendColour(0xABCDEF);
        FAIL() << "a 257th colour was taken";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), msg::TableOverflow);
    }
    EXPECT_EQ(map.EntryCount(), 256);
}

TEST(GifColourMap, Room) {
    giftest::TestImage image;
    TGIFColorMap& map = image.GlobalColourTable();
    const std::pair<int, int> steps[] = {{0, 16}, {16, 16}, {17, 32}, {33, 64}, {200, 224}, {255, 256}, {256, 256}};
    for (auto [n, room] : steps) {
        map.EnsureRoom(n);
        EXPECT_EQ(map.Room(), room) << n;
    }
    map.EnsureRoom(3);
    EXPECT_EQ(map.Room(), 256);
}

TEST(GifSubBlocks, StringsAsSubBlocks) {
    const std::string long600(600, 'x');
    forms::TMemoryStream out;
    WriteStringsAsSubBlocks(out, {"ab", "", long600});
    const Bytes b = out.Bytes();
    ASSERT_EQ(b.size(), 3u + 256 + 256 + 91 + 1);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[3], 255);
    EXPECT_EQ(b[3 + 256], 255);
    EXPECT_EQ(b[3 + 512], 90);
    EXPECT_EQ(b.back(), 0);
    forms::TMemoryStream in(b);
    TGIFStrings read;
    ReadSubBlocksAsStrings(in, read);
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0], "ab");
    EXPECT_EQ(read[1] + read[2] + read[3], long600);
    // Cut short by the end of the data: what is there.
    forms::TMemoryStream cut(Bytes{5, 'a', 'b'});
    ReadSubBlocksAsStrings(cut, read);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0], "ab");
}

TEST(GifSort, ByUsageRemapsPixelsTransparencyAndBackground) {
    giftest::TestImage image;
    image.Header().SetWidth(4);
    image.Header().SetHeight(2);
    TGIFColorMap& map = image.GlobalColourTable();
    for (TColor c : {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}) map.AppendColour(c);
    image.Header().SetBackgroundIndex(4);  // white, used by no pixel
    TGIFSubImageCore& f = AddFrame(image, 4, 2);
    const uint8_t pixels[8] = {1, 3, 3, 3, 2, 2, 3, 1};  // 3 x4, 1 x2, 2 x2, 0 none
    std::memcpy(f.Pixels(), pixels, 8);
    auto gce = std::make_unique<TGIFGraphicControlExtension>(f);
    gce->SetTransparent(true);
    gce->StoreTransparentIndex(2);
    f.Extensions().Append(std::move(gce));

    ASSERT_TRUE(map.TrySortByUsage());
    EXPECT_TRUE(map.UsageSorted());
    // Entry 0 (black) is used by nothing and dropped; white stays for the
    // background.
    ASSERT_EQ(map.EntryCount(), 4);
    EXPECT_EQ(map.ColourAt(0), 0xFF0000);
    EXPECT_EQ(map.ColourAt(image.Header().BackgroundIndex()), 0xFFFFFF);
    EXPECT_EQ(map.ColourAt(f.TransparentIndex()), 0x00FF00);
    const TColor before[4] = {0x0000FF, 0xFF0000, 0xFF0000, 0xFF0000};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(map.ColourAt(f.Pixels()[i]), before[i]) << i;

    // In falling order already: nothing moves, unused entries stay.
    giftest::TestImage sorted;
    for (TColor c : {0x0000FF, 0x00FF00, 0x000000}) sorted.GlobalColourTable().AppendColour(c);
    TGIFSubImageCore& g = AddFrame(sorted, 4, 2);
    const uint8_t falling[8] = {0, 0, 0, 0, 0, 1, 1, 1};
    std::memcpy(g.Pixels(), falling, 8);
    sorted.Header().SetBackgroundIndex(0);
    ASSERT_TRUE(sorted.GlobalColourTable().TrySortByUsage());
    EXPECT_EQ(sorted.GlobalColourTable().EntryCount(), 3);
    EXPECT_EQ(std::memcmp(g.Pixels(), falling, 8), 0);

    giftest::TestImage none;
    none.GlobalColourTable().AppendColour(0);
    none.GlobalColourTable().AppendColour(1);
    EXPECT_FALSE(none.GlobalColourTable().TrySortByUsage());  // no frames
}

// Extension blocks as they stand in files: each is read and written back
// byte for byte.
TEST(GifExtensions, ReadAndWrittenByteForByte) {
    struct Case {
        const char* name;
        Bytes block;
        const char* className;
    };
    const Case cases[] = {
        {"graphic control", {0x21, 0xF9, 4, 0x0D, 0x34, 0x12, 7, 0}, "TGIFGraphicControlExtension"},
        {"odd control size", {0x21, 0xF9, 9, 0x00, 0x01, 0x00, 0, 0}, "TGIFGraphicControlExtension"},
        {"comment", Concat({{0x21, 0xFE, 3}, Text("abc"), {2}, Text("de"), {0}}), "TGIFCommentExtension"},
        {"empty comment", {0x21, 0xFE, 0}, "TGIFCommentExtension"},
        {"plain text", Concat({{0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 8, 0, 6, 8, 1, 0, 5}, Text("Hello"), {0}}),
         "TGIFTextExtension"},
        {"loop", Concat({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 5, 0, 0}}), "TGIFAppExtNSLoop"},
        {"loop and buffer", Concat({{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), {3, 1, 0, 0, 5, 2, 0, 1, 0, 0, 0}}),
         "TGIFAppExtNSLoop"},
        {"animexts", Concat({{0x21, 0xFF, 11}, Text("ANIMEXTS1.0"), {3, 1, 2, 1, 0}}), "TGIFAppExtNSLoop"},
        {"unknown application",
         Concat({{0x21, 0xFF, 11}, Text("XMP DataXMP"), {4, 1, 2, 3, 4, 1, 9, 0}}), "TGIFUnknownAppExtension"},
    };
    for (const Case& c : cases) {
        giftest::TestImage image;
        TGIFSubImageCore frame(&image);
        forms::TMemoryStream in(Concat({c.block, {0x3B}}));
        frame.LoadFromStream(in);
        ASSERT_EQ(frame.Extensions().ItemCount(), 1) << c.name;
        EXPECT_STREQ(frame.Extensions().ItemAt(0).ClassName(), c.className) << c.name;
        EXPECT_EQ(in.Position(), static_cast<int64_t>(c.block.size())) << c.name;
        forms::TMemoryStream out;
        frame.Extensions().SaveToStream(out);
        EXPECT_EQ(out.Bytes(), c.block) << c.name;
        EXPECT_TRUE(image.Warnings.empty()) << c.name;
    }
}

TEST(GifExtensions, FieldsAndTheirRules) {
    giftest::TestImage image;
    TGIFSubImageCore frame(&image);
    forms::TMemoryStream in(Bytes{0x21, 0xF9, 4, 0x0F, 0x34, 0x12, 9, 0, 0x3B});
    frame.LoadFromStream(in);
    frame.ColourMap().AppendColour(0);
    frame.ColourMap().AppendColour(1);
    auto& gce = static_cast<TGIFGraphicControlExtension&>(frame.Extensions().ExtensionAt(0));
    EXPECT_EQ(frame.ControlExtension(), &gce);
    EXPECT_TRUE(frame.Transparent());
    EXPECT_EQ(gce.TransparentIndex(), 9);  // as read, beyond the table
    EXPECT_EQ(gce.Delay(), 0x1234);
    EXPECT_EQ(gce.DisposalMethod(), 3);
    EXPECT_TRUE(gce.UserInput());
    gce.SetDisposalMethod(9);
    EXPECT_EQ(gce.DisposalMethod(), 1);
    EXPECT_TRUE(gce.Transparent() && gce.UserInput());
    gce.SetTransparentIndex(5);
    EXPECT_EQ(gce.TransparentIndex(), 0);
    ASSERT_EQ(image.Warnings.size(), 1u);
    EXPECT_EQ(image.Warnings[0], msg::InvalidColourIndex);
    gce.SetTransparent(false);
    EXPECT_FALSE(frame.Transparent());
    frame.Extensions().DeleteAt(0);
    EXPECT_EQ(frame.ControlExtension(), nullptr);

    // A short control block warns and keeps what the frame had.
    TGIFSubImageCore shortFrame(&image);
    forms::TMemoryStream cut(Bytes{0x21, 0xF9, 4, 1});
    shortFrame.LoadFromStream(cut);
    EXPECT_EQ(image.Warnings.back(), msg::PrematureEnd);
    EXPECT_FALSE(shortFrame.Transparent());
}

TEST(GifExtensions, UnusualApplicationBlocks) {
    struct Case {
        const char* name;
        Bytes block;
        const char* error;    // nullptr: loads
        const char* className;
        Bytes written;        // what is written back
        int loops;
    };
    const Bytes id = Text("NETSCAPE2.0");
    const Case cases[] = {
        {"block size 10", Concat({{0x21, 0xFF, 10}, Text("ABCDEFGH10"), {1, 7, 0}}), nullptr, "TGIFUnknownAppExtension",
         Concat({{0x21, 0xFF, 11}, Text("ABCDEFGH10"), {0, 1, 7, 0}}), -1},
        // Longer identifier blocks are kept whole, even with a known identifier.
        {"block size 12", Concat({{0x21, 0xFF, 12}, id, {'!', 3, 1, 4, 0, 0}}), nullptr, "TGIFUnknownAppExtension",
         Concat({{0x21, 0xFF, 12}, id, {'!', 3, 1, 4, 0, 0}}), -1},
        {"block size 200", Concat({{0x21, 0xFF, 200}, Bytes(200, 'q'), {2, 1, 2, 0}}), nullptr,
         "TGIFUnknownAppExtension", Concat({{0x21, 0xFF, 200}, Bytes(200, 'q'), {2, 1, 2, 0}}), -1},
        {"block size 9", Concat({{0x21, 0xFF, 9}, Bytes(9, 'q'), {0}}), msg::AppBlockSize, nullptr, {}, -1},
        {"loop size 2", Concat({{0x21, 0xFF, 11}, id, {2, 1, 5, 0}}), msg::InvalidData, nullptr, {}, -1},
        {"loop sub-blocks to the end", Concat({{0x21, 0xFF, 11}, id, {3, 1, 6, 0}}), nullptr, "TGIFAppExtNSLoop",
         Concat({{0x21, 0xFF, 11}, id, {3, 1, 6, 0, 0}}), 6},
        {"loop with extra bytes and ids", Concat({{0x21, 0xFF, 11}, id, {5, 1, 8, 0, 9, 9, 2, 3, 4, 0}}), nullptr,
         "TGIFAppExtNSLoop", Concat({{0x21, 0xFF, 11}, id, {3, 1, 8, 0, 0}}), 8},
        {"data that spells an identifier",
         Concat({{0x21, 0xFF, 11}, Text("XMP DataXMP"), {11}, id, {3, 1, 9, 0, 0}}), nullptr, "TGIFUnknownAppExtension",
         Concat({{0x21, 0xFF, 11}, Text("XMP DataXMP"), {11}, id, {3, 1, 9, 0, 0}}), -1},
        {"truncated identifier", Concat({{0x21, 0xFF, 11}, Text("NETS")}), msg::PrematureEnd, nullptr, {}, -1},
        {"unknown label", {0x21, 0x02, 1, 0, 0}, msg::UnknownExtension, nullptr, {}, -1},
        {"truncated after introducer", {0x21}, msg::UnknownExtension, nullptr, {}, -1},
    };
    for (const Case& c : cases) {
        giftest::TestImage image;
        TGIFSubImageCore frame(&image);
        forms::TMemoryStream in(c.block);
        try {
            frame.LoadFromStream(in);
            ASSERT_EQ(c.error, nullptr) << c.name;
        } catch (const GIFException& e) {
            ASSERT_NE(c.error, nullptr) << c.name << ": " << e.what();
            EXPECT_STREQ(e.what(), c.error) << c.name;
            continue;
        }
        ASSERT_EQ(frame.Extensions().ItemCount(), 1) << c.name;
        EXPECT_STREQ(frame.Extensions().ItemAt(0).ClassName(), c.className) << c.name;
        forms::TMemoryStream out;
        frame.Extensions().SaveToStream(out);
        EXPECT_EQ(out.Bytes(), c.written) << c.name;
        if (c.loops >= 0) {
            EXPECT_EQ(static_cast<TGIFAppExtNSLoop&>(frame.Extensions().ExtensionAt(0)).Loops(), c.loops) << c.name;
        }
    }
}

TEST(GifExtensions, ReadingStopsAtBlocksThatAreNoExtensions) {
    giftest::TestImage image;
    for (uint8_t stop : {0x2C, 0x3B}) {
        TGIFSubImageCore frame(&image);
        forms::TMemoryStream in(Bytes{0x21, 0xFE, 1, 'x', 0, stop, 1, 2});
        frame.Extensions().LoadFromStream(in);
        EXPECT_EQ(frame.Extensions().ItemCount(), 1);
        EXPECT_EQ(in.Position(), 5);
    }
    TGIFSubImageCore frame(&image);
    forms::TMemoryStream in(Bytes{0x21, 0xFE, 0, 0x00, 0x2C});
    frame.Extensions().LoadFromStream(in);
    EXPECT_EQ(in.Position(), 3);
    ASSERT_EQ(image.Warnings.size(), 1u);
    EXPECT_EQ(image.Warnings[0], msg::InvalidIntroducer);
}

TEST(GifPicture, ReadsBlocksBetweenZerosAndKeepsFramesOnStrayBytes) {
    struct Case {
        const char* name;
        Bytes data;
        size_t frames;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"trailer", Concat({Screen(true), Frame(), {0x3B}}), 1, {}},
        {"no trailer", Concat({Screen(true), Frame()}), 1, {}},
        {"zeros between blocks", Concat({Screen(true), {0, 0}, Frame(), {0, 0, 0}, Frame(), {0x3B}}), 2, {}},
        {"stray byte", Concat({Screen(true), Frame(), {0x42}, Frame(), {0x3B}}), 1,
         {msg::UnknownBlock, msg::InvalidTrailer}},
        {"extensions only at the end", Concat({Screen(true), Frame(), {0x21, 0xFE, 1, 'x', 0, 0x3B}}), 2, {}},
        {"empty picture", Concat({Screen(false), {0x3B}}), 0, {}},
        {"zero-sized frame", Concat({Screen(true), {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 0x8C, 0x6F, 0x05, 0, 0x3B}}), 1,
         {msg::ExceedsScreen}},
    };
    for (const Case& c : cases) {
        std::string error;
        auto image = giftest::LoadGif(c.data, &error);
        EXPECT_EQ(error, "") << c.name;
        EXPECT_EQ(image->Frames().ItemCount(), static_cast<int>(c.frames)) << c.name;
        EXPECT_EQ(image->Warnings, c.warnings) << c.name;
        if (c.frames > 0) {
            TGIFSubImageCore& f = image->Frames().FrameAt(0);
            EXPECT_EQ(f.Width(), 4) << c.name;
            EXPECT_EQ(Bytes(f.Pixels(), f.Pixels() + f.PixelCount()), Bytes(8, 1)) << c.name;
        }
    }
    // A trailer other than ";" is a block of no known kind.
    Bytes bad = Concat({Screen(true), Frame(), {0x3C}});
    auto image = giftest::LoadGif(bad);
    EXPECT_EQ(image->Frames().ItemCount(), 1);
    EXPECT_EQ(image->Warnings, (std::vector<std::string>{msg::UnknownBlock, msg::InvalidTrailer}));
}

TEST(GifPicture, FailedLoadLeavesThePictureEmptyAndTheStreamWhereItWas) {
    const Bytes data = Concat({{7, 7}, Screen(true), Frame(), {0x21, 0x02, 0, 0x3B}});
    giftest::TestImage image;
    forms::TMemoryStream stream(data);
    stream.SetPosition(2);
    EXPECT_THROW(image.LoadFromStream(stream), GIFException);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.ScreenWidth(), 0);
}
