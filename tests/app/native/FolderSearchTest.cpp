// The folder search over an in-memory file system: listing order, links
// and loops, cancel, unusable folders, and trees deeper than any stack.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/FolderSearch.h"

using namespace app;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

// Folders by path (with trailing backslash); an entry either names a file,
// a sub-folder, or a link. Aliases map a path onto another folder's
// identity, as a bind mount or a hard-linked folder would.
class FakeFolders final : public IFolderSystem {
public:
    struct Node {
        std::vector<FolderEntry> entries;
    };
    void Folder(const String& path, std::vector<FolderEntry> entries, bool dots = true) {
        if (dots) entries.insert(entries.begin(), {FolderEntry{u".", true, false}, FolderEntry{u"..", true, false}});
        m_nodes[path].entries = std::move(entries);
    }
    void Alias(const String& path, const String& target) { m_alias[path] = target; }

    std::unique_ptr<IFolderListing> List(const String& folder) override {
        listed.push_back(U8(folder));
        auto it = m_nodes.find(Resolve(folder));
        if (it == m_nodes.end()) return nullptr;
        ++open;
        maxOpen = std::max(maxOpen, open);
        return std::make_unique<Listing>(*this, it->second.entries);
    }
    std::string Identity(const String& folder) override {
        return m_nodes.count(Resolve(folder)) ? U8(Resolve(folder)) : std::string();
    }

    std::vector<std::string> listed;
    int open = 0;
    int maxOpen = 0;

private:
    class Listing final : public IFolderListing {
    public:
        Listing(FakeFolders& fs, const std::vector<FolderEntry>& e) : m_fs(fs), m_entries(e) {}
        ~Listing() override { --m_fs.open; }
        bool Next(FolderEntry& e) override {
            if (m_next >= m_entries.size()) return false;
            e = m_entries[m_next++];
            return true;
        }

    private:
        FakeFolders& m_fs;
        std::vector<FolderEntry> m_entries;
        size_t m_next = 0;
    };
    String Resolve(const String& path) const {
        auto a = m_alias.find(path);
        return a == m_alias.end() ? path : a->second;
    }
    std::map<String, Node> m_nodes;
    std::map<String, String> m_alias;
};

FolderEntry File(const char16_t* name) { return FolderEntry{name, false, false}; }
FolderEntry Dir(const char16_t* name) { return FolderEntry{name, true, false}; }
FolderEntry Link(const char16_t* name) { return FolderEntry{name, true, true}; }

struct Recorder {
    std::vector<std::string> events;
    bool cancel = false;
    std::function<void(const String&)> onAdd;
    FolderTreeSearch::Handlers Handlers() {
        FolderTreeSearch::Handlers h;
        h.enterFolder = [this](const String& f) { events.push_back("enter " + U8(f)); };
        h.pump = [] {};
        h.cancelled = [this] { return cancel; };
        h.addFile = [this](const String& p) {
            events.push_back("add " + U8(p));
            if (onAdd) onAdd(p);
        };
        return h;
    }
    std::vector<std::string> Added() const {
        std::vector<std::string> out;
        for (const auto& e : events)
            if (e.rfind("add ", 0) == 0) out.push_back(e.substr(4));
        return out;
    }
};

}  // namespace

TEST(FolderSearch, DepthFirstInListingOrderWithOnlyVideoFiles) {
    FakeFolders fs;
    fs.Folder(u"C:\\v\\", {File(u"b.avi"), Dir(u"sub"), File(u"notes.txt"), File(u"a.MPG")});
    fs.Folder(u"C:\\v\\sub\\", {File(u"c.wmv"), Dir(u"empty")});
    fs.Folder(u"C:\\v\\sub\\empty\\", {});
    Recorder r;
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\v");
    const std::vector<std::string> expected = {
        "enter C:\\v\\",       "add C:\\v\\b.avi",          "enter C:\\v\\sub\\", "add C:\\v\\sub\\c.wmv",
        "enter C:\\v\\sub\\empty\\", "add C:\\v\\a.MPG",
    };
    EXPECT_EQ(r.events, expected);
    EXPECT_EQ(fs.open, 0);  // every listing closed
}

TEST(FolderSearch, LinksAreNotFollowedAndNoFolderIsEnteredTwice) {
    FakeFolders fs;
    // "loop" is a link back to the top; "again" reaches the top through
    // another path that the system does not mark as a link.
    fs.Folder(u"Z:\\t\\", {File(u"a.avi"), Dir(u"d")});
    fs.Folder(u"Z:\\t\\d\\", {Link(u"loop"), Dir(u"again"), File(u"b.avi")});
    fs.Alias(u"Z:\\t\\d\\again\\", u"Z:\\t\\");
    fs.Folder(u"Z:\\t\\d\\loop\\", {File(u"never.avi")});
    Recorder r;
    FolderTreeSearch(fs, r.Handlers()).Run(u"Z:\\t\\");
    EXPECT_EQ(r.Added(), (std::vector<std::string>{"Z:\\t\\a.avi", "Z:\\t\\d\\b.avi"}));
    for (const std::string& folder : fs.listed) EXPECT_EQ(folder.find("loop"), std::string::npos) << folder;
}

TEST(FolderSearch, ASelfLoopWithoutIdentitiesEndsByPath) {
    // A system that cannot tell identities still never lists a path twice.
    class NoIdentity final : public IFolderSystem {
    public:
        std::unique_ptr<IFolderListing> List(const String& folder) override { return inner.List(folder); }
        std::string Identity(const String&) override { return {}; }
        FakeFolders inner;
    } fs;
    fs.inner.Folder(u"C:\\a\\", {Dir(u"B"), File(u"x.avi")});
    fs.inner.Folder(u"C:\\a\\B\\", {File(u"y.avi")});
    Recorder r;
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\a\\");
    EXPECT_EQ(r.Added(), (std::vector<std::string>{"C:\\a\\B\\y.avi", "C:\\a\\x.avi"}));
}

TEST(FolderSearch, CancelStopsOnceTheSubFolderInProgressReturns) {
    FakeFolders fs;
    fs.Folder(u"C:\\v\\", {Dir(u"one"), Dir(u"two"), File(u"top.avi")});
    fs.Folder(u"C:\\v\\one\\", {File(u"1a.avi"), File(u"1b.avi"), Dir(u"deep")});
    fs.Folder(u"C:\\v\\one\\deep\\", {File(u"d.avi")});
    fs.Folder(u"C:\\v\\two\\", {File(u"2a.avi")});
    Recorder r;
    // Cancel while the first file of "one" is added: the rest of "one"
    // (files, and the folder "deep" as well, which returns and stops) is
    // the sub-folder in progress.
    r.onAdd = [&](const String& p) {
        if (p == u"C:\\v\\one\\1a.avi") r.cancel = true;
    };
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\v\\");
    EXPECT_EQ(r.Added(), (std::vector<std::string>{"C:\\v\\one\\1a.avi", "C:\\v\\one\\1b.avi", "C:\\v\\one\\deep\\d.avi"}));
    EXPECT_EQ(fs.open, 0);
}

TEST(FolderSearch, CancelBeforeAnySubFolderLetsTheTopFilesThrough) {
    FakeFolders fs;
    fs.Folder(u"C:\\v\\", {File(u"a.avi"), File(u"b.avi"), Dir(u"s"), File(u"c.avi")});
    fs.Folder(u"C:\\v\\s\\", {});
    Recorder r;
    r.cancel = true;
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\v\\");
    EXPECT_EQ(r.Added(), (std::vector<std::string>{"C:\\v\\a.avi", "C:\\v\\b.avi"}));
}

TEST(FolderSearch, UnusableFoldersAreSkipped) {
    FakeFolders fs;
    fs.Folder(u"C:\\v\\", {Dir(u"locked"), File(u"a.avi")});
    Recorder r;
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\v\\");
    EXPECT_EQ(r.Added(), (std::vector<std::string>{"C:\\v\\a.avi"}));
    Recorder none;
    FolderTreeSearch(fs, none.Handlers()).Run(u"Q:\\missing\\");
    EXPECT_TRUE(none.Added().empty());
}

TEST(FolderSearch, DeepTreesKeepOneOpenListingPerLevel) {
    FakeFolders fs;
    String path = u"C:\\";
    const int depth = 1500;
    for (int i = 0; i < depth; ++i) {
        fs.Folder(path, {Dir(u"d")});
        path += u"d\\";
    }
    fs.Folder(path, {File(u"bottom.avi")});
    Recorder r;
    FolderTreeSearch(fs, r.Handlers()).Run(u"C:\\");
    ASSERT_EQ(r.Added().size(), 1u);
    EXPECT_EQ(fs.maxOpen, depth + 1);
    EXPECT_EQ(fs.open, 0);
}

TEST(FolderSearch, SubFoldersAreDirectoriesOtherThanTheDots) {
    FakeFolders fs;
    fs.Folder(u"C:\\a\\", {File(u"x.avi")});
    fs.Folder(u"C:\\b\\", {File(u"x.avi"), Dir(u"s")});
    fs.Folder(u"D:\\", {}, false);  // a drive root lists no dots
    EXPECT_EQ(FindSubFolders(fs, u"C:\\a"), SubFolders::No);
    EXPECT_EQ(FindSubFolders(fs, u"C:\\b\\"), SubFolders::Yes);
    EXPECT_EQ(FindSubFolders(fs, u"D:\\"), SubFolders::No);
    EXPECT_EQ(FindSubFolders(fs, u"Q:"), SubFolders::Unusable);
}
