#include "app/FolderSearch.h"

#include <set>
#include <vector>

#include "app/TaskRules.h"

namespace app {

namespace {

bool IsDotEntry(const String& name) { return name == u"." || name == u".."; }

}  // namespace

SubFolders FindSubFolders(IFolderSystem& fs, const String& folder) {
    std::unique_ptr<IFolderListing> listing = fs.List(forms::IncludeTrailingBackslash(folder));
    if (!listing) return SubFolders::Unusable;
    FolderEntry e;
    while (listing->Next(e))
        if (e.directory && !IsDotEntry(e.name)) return SubFolders::Yes;
    return SubFolders::No;
}

void FolderTreeSearch::Run(const String& top) {
    struct Level {
        String folder;
        std::unique_ptr<IFolderListing> listing;
    };
    std::vector<Level> levels;
    std::set<std::string> visited;

    // Shows the folder and opens it; false when it was seen before.
    auto enter = [&](const String& path) {
        const String folder = forms::IncludeTrailingBackslash(path);
        std::string id = m_fs.Identity(folder);
        // Without an identity the path itself tells folders apart.
        if (id.empty()) id = "path:" + forms::TextToUtf8(forms::LowerCase(folder));
        if (!visited.insert(id).second) return false;
        if (m_handlers.enterFolder) m_handlers.enterFolder(folder);
        levels.push_back(Level{folder, m_fs.List(folder)});
        return true;
    };
    auto cancelled = [&] { return m_handlers.cancelled && m_handlers.cancelled(); };
    auto pump = [&] {
        if (m_handlers.pump) m_handlers.pump();
    };

    enter(top);
    while (!levels.empty()) {
        Level& level = levels.back();
        FolderEntry e;
        if (!level.listing || !level.listing->Next(e)) {
            levels.pop_back();
            // A sub-folder has returned: a cancel now ends every level.
            if (!levels.empty() && cancelled()) levels.clear();
            continue;
        }
        if (e.directory) {
            if (IsDotEntry(e.name)) continue;
            pump();
            // A link, or a folder reached before, returns at once.
            if (e.link || !enter(level.folder + e.name)) {
                if (cancelled()) levels.clear();
            }
            continue;
        }
        pump();
        if (IsVideoExtension(e.name) && m_handlers.addFile) m_handlers.addFile(level.folder + e.name);
    }
}

}  // namespace app
