// The explorer pane's rules without windows: items built from find data,
// the entries a listing takes, masks, texts of sizes, dates and drives,
// path helpers, the sort order and the header clicks that choose it, and
// the commands' rules (which items they take, free names, tree sizes).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "shellbrowse/CommandRules.h"
#include "shellbrowse/FileListRules.h"
#include "shellbrowse/ShellText.h"

using namespace shellbrowse;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

std::vector<std::string> U8(const std::vector<String>& list) {
    std::vector<std::string> out;
    for (const String& s : list) out.push_back(U8(s));
    return out;
}

// 2024-05-17 10:20:30 UTC in 100-ns units since 1601.
constexpr std::uint64_t kMay2024 = 133603488300000000ull;
constexpr std::uint64_t kSecond = 10000000;

TFindEntry Entry(const String& name, std::uint32_t attributes, std::uint64_t size = 0,
                 std::uint64_t lastWrite = kMay2024) {
    TFindEntry e;
    e.name = name;
    e.attributes = attributes;
    e.size = size;
    e.lastWrite = lastWrite;
    return e;
}

class Item final : public IItemTexts {
public:
    explicit Item(TFileItem item) : m_item(std::move(item)) {}
    const String& Caption() const override { return m_item.caption; }
    String SubItem(int index) const override {
        return index >= 0 && index < static_cast<int>(m_item.subItems.size()) ? m_item.subItems[index] : String();
    }

private:
    TFileItem m_item;
};

String AsciiUpper(const String& s) { return forms::UpperCase(s); }

// A folder listing: the parent entry, two folders and three files of
// different sizes, names and times.
std::vector<Item> SampleFolder() {
    const String folder = u"C:\\Films\\";
    std::vector<Item> items;
    auto add = [&](const TFindEntry& e) {
        items.emplace_back(BuildFileItem(e, folder, e.attributes & kAttrDirectory ? u"Folder" : u"Video", 1, u"",
                                         false));
    };
    add(Entry(u"..", kAttrDirectory, 0, kMay2024 + 5 * kSecond));
    add(Entry(u"archive", kAttrDirectory, 0, kMay2024 + 9 * kSecond));
    add(Entry(u"Beta", kAttrDirectory, 0, kMay2024 + 1 * kSecond));
    add(Entry(u"big.avi", kAttrArchive, 3ull << 30, kMay2024 + 2 * kSecond));
    add(Entry(u"Clip.mpg", kAttrArchive, 1, kMay2024 + 7 * kSecond));
    add(Entry(u"alpha.wmv", kAttrArchive, 5000, kMay2024 + 3 * kSecond));
    return items;
}

std::vector<std::string> Sorted(int column, bool reverse) {
    std::vector<Item> items = SampleFolder();
    std::vector<const Item*> order;
    for (const Item& i : items) order.push_back(&i);
    std::stable_sort(order.begin(), order.end(), [&](const Item* a, const Item* b) {
        return CompareItems(*a, *b, column, reverse, AsciiUpper) < 0;
    });
    std::vector<std::string> captions;
    for (const Item* i : order) captions.push_back(U8(i->Caption()));
    return captions;
}

}  // namespace

TEST(ShellRules, ItemsFromFindDataCarryTheirFactsInTheirPlaces) {
    const String folder = u"C:\\Films\\";
    struct Case {
        std::uint64_t size;
        const char* text;
    };
    // Every size reads as a file, beyond 2 and 4 GiB too.
    for (const Case& c : {Case{0, "0 KB"}, Case{1, "1 KB"}, Case{1023, "1 KB"}, Case{1ull << 20, "1024 KB"},
                          Case{3ull << 30, "3145728 KB"}}) {
        const TFileItem item = BuildFileItem(Entry(u"clip.avi", kAttrArchive, c.size), folder, u"AVI Video", 7,
                                             u"5/17/2024 10:20", false);
        EXPECT_EQ(item.caption, u"clip.avi");
        EXPECT_EQ(item.imageIndex, 7);
        EXPECT_EQ(item.size, c.size);
        EXPECT_EQ(U8(item.subItems), (std::vector<std::string>{c.text, "AVI Video", "5/17/2024 10:20", "A",
                                                                "C:\\Films\\clip.avi", "file", "1.336034883E17"}))
            << c.size;
        EXPECT_EQ(SizeTextKB(item.subItems[kSubSize]), static_cast<std::int64_t>((c.size + 1023) / 1024));
    }

    // Folders show a blank for their size; the parent entry its fixed
    // caption and its folder + "..".
    const TFileItem sub = BuildFileItem(Entry(u"sub.d", kAttrDirectory | kAttrHidden), folder, u"Folder", 3, u"m", true);
    EXPECT_EQ(sub.caption, u"sub.d");  // folders keep their whole names
    EXPECT_EQ(U8(sub.subItems[kSubSize]), " ");
    EXPECT_EQ(U8(sub.subItems[kSubAttr]), "H");
    EXPECT_EQ(U8(sub.subItems[kSubPath]), "C:\\Films\\sub.d");
    EXPECT_EQ(U8(sub.subItems[kSubKind]), "dir");
    const TFileItem parent = BuildFileItem(Entry(u"..", kAttrDirectory), folder, u"Folder", 9, u"m", false);
    EXPECT_EQ(U8(parent.caption), " Parent");
    EXPECT_EQ(U8(parent.subItems), (std::vector<std::string>{" ", " ", "m", "", "C:\\Films\\..", "dir",
                                                              "1.336034883E17"}));

    // Hidden extensions leave the full name in the path.
    const TFileItem hidden = BuildFileItem(Entry(u"a.txt.avi", kAttrArchive, 10), folder, u"t", 0, u"", true);
    EXPECT_EQ(U8(hidden.caption), "a.txt");
    EXPECT_EQ(U8(hidden.subItems[kSubPath]), "C:\\Films\\a.txt.avi");
    EXPECT_EQ(U8(BuildFileItem(Entry(u"README", 0), folder, u"t", 0, u"", true).caption), "README");
    EXPECT_EQ(U8(BuildFileItem(Entry(u".profile", 0), folder, u"t", 0, u"", true).caption), ".profile");
}

TEST(ShellRules, ListingsTakeEntriesByTheirAttributes) {
    const std::uint32_t files = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
    const std::uint32_t folders = files | kAttrDirectory;
    EXPECT_TRUE(AcceptEntry(Entry(u"a", kAttrArchive), files, true));
    EXPECT_FALSE(AcceptEntry(Entry(u"a", kAttrDirectory), files, true));  // folders only in the folder pass
    EXPECT_FALSE(AcceptEntry(Entry(u"a", kAttrArchive), folders, true));
    EXPECT_TRUE(AcceptEntry(Entry(u"linked", kAttrDirectory | 0x400), folders, true));
    EXPECT_FALSE(AcceptEntry(Entry(u".", kAttrDirectory), folders, true));
    EXPECT_TRUE(AcceptEntry(Entry(u"..", kAttrDirectory), folders, true));
    EXPECT_FALSE(AcceptEntry(Entry(u"..", kAttrDirectory), folders, false));
    // Without its bit in the filter, a hidden, system or read-only entry is
    // left out; archive and normal do not filter.
    const std::uint32_t noHidden = kAttrReadOnly | kAttrSystem;
    EXPECT_FALSE(AcceptEntry(Entry(u"h", kAttrHidden | kAttrArchive), noHidden, true));
    EXPECT_FALSE(AcceptEntry(Entry(u"h", kAttrHidden | kAttrDirectory), noHidden | kAttrDirectory, true));
    EXPECT_TRUE(AcceptEntry(Entry(u"s", kAttrSystem | kAttrReadOnly), noHidden, true));
    EXPECT_FALSE(AcceptEntry(Entry(u"r", kAttrReadOnly), kAttrHidden, true));
    EXPECT_TRUE(AcceptEntry(Entry(u"n", kAttrNormal), 0, true));

    EXPECT_EQ(U8(SplitMask(u" *.avi;*.mpg ")), (std::vector<std::string>{"*.avi", "*.mpg"}));
    EXPECT_EQ(U8(SplitMask(u"   ")), (std::vector<std::string>{"*.*"}));
    EXPECT_EQ(U8(SplitMask(u"")), (std::vector<std::string>{"*.*"}));
    // Pieces stay as written inside; empty ones list nothing.
    EXPECT_EQ(U8(SplitMask(u"*.a; *.b;;*.c;")), (std::vector<std::string>{"*.a", " *.b", "*.c"}));
}

TEST(ShellRules, SizeAttributeDriveAndDateTexts) {
    EXPECT_EQ(U8(SizeText(5000, u"dir")), " ");
    EXPECT_EQ(U8(SizeText(5000, u"DIR")), " ");
    EXPECT_EQ(U8(SizeText(0, u"file")), "0 KB");
    EXPECT_EQ(U8(SizeText(1, u"file")), "1 KB");
    EXPECT_EQ(SizeTextKB(u" "), 0);
    EXPECT_EQ(SizeTextKB(u"12x KB"), 0);

    EXPECT_EQ(U8(AttrText(0)), "");
    EXPECT_EQ(U8(AttrText(0x27)), "ARHS");
    EXPECT_EQ(U8(AttrText(0x21)), "AR");
    EXPECT_EQ(U8(AttrText(0x10 | 0x80)), "");

    EXPECT_EQ(U8(DriveCaption(u'C', u"System (C:)")), " (C:)  System ");
    EXPECT_EQ(U8(DriveCaption(u'C', u" (C:)")), " (C:)   ");
    EXPECT_EQ(U8(DriveCaption(u'T', u"no brackets")), " (T:)  ");
    EXPECT_EQ(U8(DriveOfText(u" (T:)  Films")), "T:");
    EXPECT_EQ(U8(DriveTypeText(5)), "CD-ROM Disk");
    EXPECT_EQ(U8(DriveTypeText(1)), "Not exist");
    EXPECT_EQ(U8(DiskSizeText(0)), "0 Mb");
    EXPECT_EQ(U8(DiskSizeText(-1)), "0 Mb");
    EXPECT_EQ(U8(DiskSizeText(999)), " Mb");  // "###" prints no digit for 0
    EXPECT_EQ(U8(DiskSizeText(1000)), "1 Mb");
    EXPECT_EQ(U8(DiskSizeText(12345678901ll)), "12,345,678 Mb");

    forms::TFormatSettings fs;
    fs.ShortTimeFormat = u"h:mm AMPM";
    fs.LongTimeFormat = u"h:mm:ss AMPM";
    EXPECT_EQ(U8(DatePattern(TDtFormat::df_ddMMyy_DE, u"M/d/yyyy")), "dd.MM.yy");
    EXPECT_EQ(U8(DatePattern(TDtFormat::df_Customize, u"M/d/yyyy")), "M/d/yyyy");
    EXPECT_EQ(U8(TimePattern(TTmFormat::tfShortFormat, fs, u"h:mm:ss tt")), "h:mm AMPM");
    EXPECT_EQ(U8(TimePattern(TTmFormat::tfCustomize, fs, u"h:mm:ss tt")), "h:mm:ss  AM/PM");
    forms::TDateTimeParts t{2024, 5, 7, 15, 4, 9};
    EXPECT_EQ(U8(forms::FormatDateTime(DatePattern(TDtFormat::df_yyyyMMdd, u"") + u" " +
                                           TimePattern(TTmFormat::tfCustomize, fs, u"HH:mm:ss tt"),
                                       t, fs)),
              "2024-05-07 03:04:09  PM");
    // Date numbers read back in the order of the times they stand for.
    EXPECT_LT(forms::StrToFloatDef(DateNumberText(kMay2024), 0),
              forms::StrToFloatDef(DateNumberText(kMay2024 + kSecond / 1000), 0));
}

TEST(ShellRules, PathHelpersHaveDefinedResults) {
    EXPECT_EQ(U8(JoinPath(u"C:\\a", u"b")), "C:\\a\\b");
    EXPECT_EQ(U8(JoinPath(u"C:\\a\\", u"b")), "C:\\a\\b");
    EXPECT_EQ(U8(JoinPath(u"", u"b")), "b");
    EXPECT_EQ(U8(JoinPath(u"C:\\a", u"")), "C:\\a");
    EXPECT_EQ(U8(JoinPath(u"", u"")), "");

    EXPECT_EQ(U8(NameWithoutExt(u"C:\\x\\a.txt.b.txt")), "a.txt.b");
    EXPECT_EQ(U8(NameWithoutExt(u"C:\\x\\film.avi")), "film");
    EXPECT_EQ(U8(NameWithoutExt(u"C:\\x.d\\README")), "README");

    EXPECT_EQ(U8(IncludeTrailingSlash(u"")), "");
    EXPECT_EQ(U8(IncludeTrailingSlash(u"C:")), "C:\\");
    EXPECT_EQ(U8(IncludeTrailingSlash(u"C:\\")), "C:\\");
    EXPECT_EQ(U8(ExcludeTrailingSlash(u"C:\\a\\\\")), "C:\\a\\");
    EXPECT_EQ(U8(ExcludeTrailingSlash(u"")), "");

    EXPECT_EQ(U8(AddTrailingNul(u"")), "");
    EXPECT_EQ(AddTrailingNul(u"a"), String(u"a\0", 2));
    EXPECT_EQ(AddTrailingNul(String(u"a\0", 2)), String(u"a\0", 2));
    EXPECT_TRUE(ContainsAnyChar(kInvalidNameChars, u"a:b"));
    EXPECT_TRUE(ContainsAnyChar(kInvalidNameChars, u"x^"));
    EXPECT_FALSE(ContainsAnyChar(kInvalidNameChars, u"New Folder (2).old"));

    EXPECT_EQ(U8(PathComponents(u"C:\\Data\\Music\\")), (std::vector<std::string>{"C:\\", "Data\\", "Music\\"}));
    EXPECT_EQ(U8(PathComponents(u"C:\\Data\\tail")), (std::vector<std::string>{"C:\\", "Data\\"}));
}

TEST(ShellRules, SortsKeepFoldersTogetherAndTheParentFirst) {
    // Names ascending: folders first, the parent ahead of them.
    EXPECT_EQ(Sorted(0, false),
              (std::vector<std::string>{" Parent", "archive", "Beta", "alpha.wmv", "big.avi", "Clip.mpg"}));
    // Descending: files before folders, the parent still first.
    EXPECT_EQ(Sorted(0, true),
              (std::vector<std::string>{" Parent", "Clip.mpg", "big.avi", "alpha.wmv", "Beta", "archive"}));
    // Sizes in KB: the 3 GiB file is the largest, not a negative number.
    EXPECT_EQ(Sorted(1, false),
              (std::vector<std::string>{" Parent", "archive", "Beta", "Clip.mpg", "alpha.wmv", "big.avi"}));
    EXPECT_EQ(Sorted(1, true),
              (std::vector<std::string>{" Parent", "big.avi", "alpha.wmv", "Clip.mpg", "archive", "Beta"}));
    // Type column: by type name; modified column: by date number.
    EXPECT_EQ(Sorted(3, false),
              (std::vector<std::string>{"Beta", " Parent", "archive", "big.avi", "alpha.wmv", "Clip.mpg"}));
    EXPECT_EQ(Sorted(3, true),
              (std::vector<std::string>{" Parent", "Clip.mpg", "alpha.wmv", "big.avi", "archive", "Beta"}));
    EXPECT_EQ(Sorted(4, true).front(), " Parent");

    // One order for every column and direction (a sort algorithm given
    // anything else may order at random): items that compare equal
    // compare alike with every third one.
    const std::vector<Item> items = SampleFolder();
    for (int column = 0; column < 6; ++column)
        for (bool reverse : {false, true}) {
            auto cmp = [&](const Item& a, const Item& b) { return CompareItems(a, b, column, reverse, AsciiUpper); };
            for (const Item& a : items)
                for (const Item& b : items) {
                    EXPECT_EQ(cmp(a, b), -cmp(b, a)) << U8(a.Caption()) << " " << U8(b.Caption());
                    for (const Item& c : items) {
                        if (cmp(a, b) == 0) {
                            EXPECT_EQ(cmp(a, c), cmp(b, c)) << column << reverse;
                        }
                        if (cmp(a, b) < 0 && cmp(b, c) < 0) {
                            EXPECT_LT(cmp(a, c), 0) << column << reverse;
                        }
                    }
                }
        }
}

TEST(ShellRules, HeaderClicksTurnTheOrderAndMoveTheArrow) {
    TSortState s;
    // A refresh of a fresh list: names ascending with the down arrow.
    s.AfterRefresh();
    EXPECT_EQ(s.SortColumn(), 0);
    EXPECT_FALSE(s.SortReverse());
    EXPECT_EQ(s.ArrowOf(0), TSortState::Arrow::Down);
    EXPECT_EQ(s.ArrowOf(1), TSortState::Arrow::None);
    // First click on Size: reversed (largest first, up arrow); second: not.
    EXPECT_TRUE(s.Click(1));
    EXPECT_EQ(s.SortColumn(), 1);
    EXPECT_TRUE(s.SortReverse());
    EXPECT_EQ(s.ArrowOf(1), TSortState::Arrow::Up);
    EXPECT_EQ(s.ArrowOf(0), TSortState::Arrow::None);
    s.Click(1);
    EXPECT_FALSE(s.SortReverse());
    // Sorted by Modified, then another folder opened: names descending.
    s.Click(3);
    s.AfterRefresh();
    EXPECT_EQ(s.SortColumn(), 0);
    EXPECT_TRUE(s.SortReverse());
    EXPECT_EQ(s.ArrowOf(0), TSortState::Arrow::Up);
    // The drive list: header clicks change nothing.
    s.SetEnabled(false);
    EXPECT_FALSE(s.Click(2));
    EXPECT_EQ(s.SortColumn(), 0);
    EXPECT_TRUE(s.SortReverse());
}

// ---- The commands' rules -------------------------------------------------------------

TEST(CommandRules, FileOperationsNeverTakeTheParentEntryOrADrive) {
    EXPECT_TRUE(IsOperableItem(u"notes.txt", u"R:\\Films\\notes.txt", u"txt file"));
    EXPECT_TRUE(IsOperableItem(u"sub1", u"R:\\Films\\sub1", u"Folder"));
    // A file that is only called "Parent" is a file.
    EXPECT_TRUE(IsOperableItem(u"Parent", u"R:\\Films\\Parent", u"Folder"));
    // The parent entry's path names the folder above: deleting it loses that folder.
    EXPECT_FALSE(IsOperableItem(u" Parent", u"R:\\Films\\..", u""));
    EXPECT_FALSE(IsOperableItem(u"x", u"R:\\Films\\..", u"Folder"));
    EXPECT_FALSE(IsOperableItem(u"x", u"R:\\Films\\.\\", u"Folder"));
    EXPECT_FALSE(IsOperableItem(u"(C:)", u"C:\\", u"DRV"));
    EXPECT_FALSE(IsOperableItem(u"x", u"", u"txt file"));
}

TEST(CommandRules, FreeNamesNeverReplaceWhatIsThere) {
    std::vector<String> taken = {u"New Folder", u"New Folder(2)", u"D:\\Desk\\notes.lnk"};
    auto exists = [&](const String& name) { return std::find(taken.begin(), taken.end(), name) != taken.end(); };
    EXPECT_EQ(U8(FreeFolderName(u"New Folder", exists)), "New Folder(3)");
    EXPECT_EQ(U8(FreeFolderName(u"Other", exists)), "Other");
    EXPECT_EQ(U8(FreeLinkName(u"D:\\Desk", u"notes", exists)), "D:\\Desk\\notes (2).lnk");
    taken.push_back(u"D:\\Desk\\notes (2).lnk");
    EXPECT_EQ(U8(FreeLinkName(u"D:\\Desk\\", u"notes", exists)), "D:\\Desk\\notes (3).lnk");
    EXPECT_EQ(U8(FreeLinkName(u"D:\\Desk", u"film", exists)), "D:\\Desk\\film.lnk");
    // One argument whatever blanks the name holds.
    EXPECT_EQ(U8(QuoteArgument(u"R:\\My Films\\a b.txt")), "\"R:\\My Films\\a b.txt\"");
    EXPECT_EQ(SendToNumber(u"Send_To12"), 12);
    EXPECT_EQ(SendToNumber(u"Send_To3"), 3);
    EXPECT_EQ(SendToNumber(u"ItemOpen"), -1);
    EXPECT_EQ(SendToNumber(u"Send_Tox"), -1);
}

TEST(CommandRules, TreeSizeStaysInItsOwnFolderAndCountsPastFourGigabytes) {
    EXPECT_TRUE(IsInFolder(u"C:\\Foo\\inner", u"C:\\Foo"));
    EXPECT_TRUE(IsInFolder(u"c:\\foo\\", u"C:\\Foo\\"));
    EXPECT_FALSE(IsInFolder(u"C:\\FooBar", u"C:\\Foo"));
    EXPECT_FALSE(IsInFolder(u"C:\\FooBar\\x", u"C:\\Foo\\"));
    EXPECT_FALSE(IsInFolder(u"C:\\", u"C:\\Foo"));
    EXPECT_EQ(U8(TreeSizeText(0)), "0.00 KB");
    EXPECT_EQ(U8(TreeSizeText(1)), "1.00 KB");
    EXPECT_EQ(U8(TreeSizeText(1023)), "1.00 KB");
    EXPECT_EQ(U8(TreeSizeText(2047)), "1.00 KB");
    EXPECT_EQ(U8(TreeSizeText(99999ULL * 1024)), "99,999.00 KB");
    EXPECT_EQ(U8(TreeSizeText(100000ULL * 1024)), "97.66 MB");
    EXPECT_EQ(U8(TreeSizeText(6ULL << 30, u',')), "6,144,00 MB");
    EXPECT_EQ(U8(TreeSizeText((5ULL << 40) + 1)), "5,242,880.00 MB");
    EXPECT_EQ(U8(TreeSizeTitle(u"C:\\", true)), "Drive C:\\");
    EXPECT_EQ(U8(TreeSizeTitle(u"C:\\Foo\\", false)), "Folder \"Foo\"");
    EXPECT_EQ(U8(JoinLines({u"a", u"b c", u"d"})), "a\r\nb c\r\nd");
    EXPECT_EQ(U8(JoinLines({})), "");
}
