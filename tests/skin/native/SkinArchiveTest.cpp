// The archive reader: its lookups, the shapes of name lists, and every
// archive it must refuse, made with the writer's fault modes or by hand.
#include <gtest/gtest.h>

#include <random>

#include "skin/SkinArchive.h"
#include "tools/skinkit/SkinWriter.h"

namespace {

using skin::SkinLoadResult;
using skin::TSkinReader;
using skinkit::SkinEntry;
using skinkit::WriterFaults;
using Bytes = std::vector<uint8_t>;

std::vector<SkinEntry> ThreeEntries() {
    return {{"Skin.INI", {'[', 'a', ']'}}, {"one.bmp", {'B', 'M', 1, 2, 3}}, {"Two.bmp", {'B', 'M', 9}}};
}

std::string Text(const forms::TMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

Bytes Int32(int32_t v) {
    Bytes b;
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return b;
}

// A file around decoded bytes made by hand.
Bytes FileOf(const Bytes& decoded) {
    Bytes f = Int32(static_cast<int32_t>(decoded.size()));
    const Bytes s = skinkit::LzhEncode(decoded);
    f.insert(f.end(), s.begin(), s.end());
    return f;
}

Bytes Header(int32_t version, int32_t listLength) {
    Bytes b = Int32(version);
    for (int32_t v : {listLength, 0, 0}) {
        const Bytes x = Int32(v);
        b.insert(b.end(), x.begin(), x.end());
    }
    return b;
}

TEST(SkinArchive, ReadsTheDirectoryAndFindsEntriesByLowercasedName) {
    const Bytes file = skinkit::WriteSkinArchive(ThreeEntries());
    TSkinReader r;
    ASSERT_TRUE(r.LoadFromBytes(file.data(), file.size()));
    EXPECT_EQ(r.Count(), 3);
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"skin.ini", "one.bmp", "two.bmp"}));
    EXPECT_EQ(r.Header()[0], 20000);
    EXPECT_EQ(r.Header()[1], 28);  // three names, each with CR LF
    EXPECT_EQ(r.Entries().Bytes().size(), 3u + 5u + 3u);

    forms::TMemoryStream dest;
    r.GetEntry("TWO.Bmp", dest);
    EXPECT_EQ(Text(dest), std::string("BM\x09"));
    EXPECT_EQ(dest.Position(), 0);
    r.GetEntry("three.bmp", dest);
    EXPECT_EQ(dest.Size(), 0);

    std::string name = "unchanged";
    r.FindEntry(".ini", dest, name);
    EXPECT_EQ(name, "skin.ini");
    EXPECT_EQ(Text(dest), "[a]");
    name = "unchanged";
    r.FindEntry(".INI", dest, name);  // the part is not lowercased
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(dest.Size(), 0);
}

TEST(SkinArchive, NameListsEndWithOrWithoutABreakOfAnyKind) {
    struct Case {
        std::string lineBreak;
        bool finalBreak;
    } cases[] = {{"\r\n", true}, {"\r\n", false}, {"\n", true}, {"\r", true}, {"\r", false}};
    for (const Case& c : cases) {
        WriterFaults f;
        f.lineBreak = c.lineBreak;
        f.finalBreak = c.finalBreak;
        const Bytes file = skinkit::WriteSkinArchive(ThreeEntries(), f);
        TSkinReader r;
        ASSERT_TRUE(r.LoadFromBytes(file.data(), file.size()));
        EXPECT_EQ(r.Count(), 3) << "break " << c.lineBreak.size() << " final " << c.finalBreak;
        forms::TMemoryStream dest;
        r.GetEntry("two.bmp", dest);
        EXPECT_EQ(Text(dest), std::string("BM\x09"));
    }
}

TEST(SkinArchive, RefusesWhatDoesNotFitAndKeepsWhatItHad) {
    std::vector<SkinEntry> many;
    for (int i = 0; i < 1002; ++i) many.push_back({"e" + std::to_string(i), {1}});
    std::vector<SkinEntry> exactly(many.begin(), many.begin() + 1001);

    auto faulty = [](std::vector<SkinEntry> e, auto change) {
        WriterFaults f;
        change(f);
        return skinkit::WriteSkinArchive(e, f);
    };
    Bytes longList = Header(20000, 1000);
    longList.insert(longList.end(), 10, 'a');
    Bytes negativeList = Header(20000, -4);
    negativeList.insert(negativeList.end(), 10, 'a');
    Bytes noRoomForSizes = Header(20000, 4);
    for (char c : std::string("a\r\nb")) noRoomForSizes.push_back(static_cast<uint8_t>(c));
    noRoomForSizes.push_back(0);  // one byte of the eight the sizes need
    Bytes shortHeader = Int32(20000);
    shortHeader.push_back(3);

    struct Case {
        const char* what;
        Bytes file;
        SkinLoadResult result;
    } cases[] = {
        {"version 19999", faulty(ThreeEntries(), [](WriterFaults& f) { f.version = 19999; }), SkinLoadResult::OldVersion},
        {"declared size 0", faulty(ThreeEntries(), [](WriterFaults& f) { f.originalSize = 0; }), SkinLoadResult::OldVersion},
        {"declared size -1", faulty(ThreeEntries(), [](WriterFaults& f) { f.originalSize = -1; }), SkinLoadResult::OldVersion},
        {"1002 names", faulty(many, [](WriterFaults& f) { f.allowManyNames = true; }), SkinLoadResult::Corrupt},
        {"sizes beyond the data", faulty(ThreeEntries(), [](WriterFaults& f) { f.sizeSkew = 1; }), SkinLoadResult::Corrupt},
        {"a negative size", faulty(ThreeEntries(), [](WriterFaults& f) { f.sizeSkew = -4; }), SkinLoadResult::Corrupt},
        {"declared size above the limit", faulty(ThreeEntries(), [](WriterFaults& f) { f.originalSize = (64 << 20) + 1; }),
         SkinLoadResult::TooLarge},
        {"2 GiB declared for a tiny file", Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0}, SkinLoadResult::TooLarge},
        {"no size at all", Bytes{1, 0}, SkinLoadResult::Corrupt},
        {"name list longer than the data", FileOf(longList), SkinLoadResult::Corrupt},
        {"negative name list", FileOf(negativeList), SkinLoadResult::Corrupt},
        {"no room for the sizes", FileOf(noRoomForSizes), SkinLoadResult::Corrupt},
        {"shorter than the header", FileOf(shortHeader), SkinLoadResult::Corrupt},
    };
    const Bytes good = skinkit::WriteSkinArchive(ThreeEntries());
    for (const Case& c : cases) {
        TSkinReader r;
        ASSERT_TRUE(r.LoadFromBytes(good.data(), good.size()));
        EXPECT_FALSE(r.LoadFromBytes(c.file.data(), c.file.size())) << c.what;
        EXPECT_EQ(r.LastResult(), c.result) << c.what;
        // The reader still holds the good archive.
        EXPECT_EQ(r.Count(), 3) << c.what;
        forms::TMemoryStream dest;
        r.GetEntry("one.bmp", dest);
        EXPECT_EQ(dest.Size(), 5) << c.what;
    }
    const Bytes limit = skinkit::WriteSkinArchive(exactly);
    TSkinReader r;
    EXPECT_TRUE(r.LoadFromBytes(limit.data(), limit.size()));
    EXPECT_EQ(r.Count(), 1001);
}

TEST(SkinArchive, ShortAndScribbledFilesNeverReachOutsideTheData) {
    std::vector<SkinEntry> entries = ThreeEntries();
    for (int i = 0; i < 20; ++i) entries.push_back({"pad" + std::to_string(i) + ".bmp", Bytes(300, static_cast<uint8_t>(i))});
    const Bytes good = skinkit::WriteSkinArchive(entries);
    std::mt19937 rng(3);
    int loaded = 0;
    for (int n = 0; n < 400; ++n) {
        Bytes file = good;
        if (n % 2) {
            file.resize(rng() % good.size());
        } else {
            for (int k = 0; k < 3; ++k) file[4 + rng() % (file.size() - 4)] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        TSkinReader r;
        if (!r.LoadFromBytes(file.data(), file.size())) continue;
        ++loaded;
        size_t total = 0;
        for (int i = 0; i < r.Count(); ++i) total += r.EntrySize(i);
        ASSERT_LE(total, r.Entries().Bytes().size());
        forms::TMemoryStream dest;
        std::string name;
        for (const std::string& each : r.Names()) r.GetEntry(each, dest);
        r.FindEntry(".ini", dest, name);
    }
    // A cut file still decodes to its declared size, so many load.
    EXPECT_GT(loaded, 0);
}

}  // namespace
