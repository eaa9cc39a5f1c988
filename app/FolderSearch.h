// The recursive search behind Add Dir: walks a folder tree depth first in
// the order the file system lists entries, handing every file with a
// recognised extension to the caller. It never follows a directory link
// and never enters a folder twice (under Wine drive Z: is the Unix root,
// whose links loop), and keeps its own stack of open folders, so no tree
// can exhaust the thread's stack. No platform headers: tested natively.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/forms/SysUtils.h"

namespace app {

using forms::String;

struct FolderEntry {
    String name;
    bool directory = false;
    bool link = false;  // a reparse point: symbolic link, junction, mount point
};

// The listing of one folder; closed when destroyed.
class IFolderListing {
public:
    virtual ~IFolderListing() = default;
    virtual bool Next(FolderEntry& entry) = 0;
};

class IFolderSystem {
public:
    virtual ~IFolderSystem() = default;
    // All entries of folder (with a trailing backslash), "." and ".."
    // included where the system lists them. nullptr when the path cannot
    // be listed at all; an empty listing for a folder without entries.
    virtual std::unique_ptr<IFolderListing> List(const String& folder) = 0;
    // What tells two paths to one folder apart from two folders (volume
    // and file number); empty when unknown.
    virtual std::string Identity(const String& folder) = 0;
};

enum class SubFolders { No, Yes, Unusable };
// Whether the folder lists any directory other than "." and "..".
SubFolders FindSubFolders(IFolderSystem& fs, const String& folder);

class FolderTreeSearch {
public:
    struct Handlers {
        std::function<void(const String& folder)> enterFolder;  // with trailing backslash
        std::function<void()> pump;
        std::function<bool()> cancelled;
        std::function<void(const String& path)> addFile;
    };

    FolderTreeSearch(IFolderSystem& fs, Handlers handlers) : m_fs(fs), m_handlers(std::move(handlers)) {}

    // Each folder: it is shown, then its entries in listing order: a
    // sub-folder is searched at once, and when it returns a cancel stops
    // every level; a file is added when its extension is recognised.
    void Run(const String& folder);

private:
    IFolderSystem& m_fs;
    Handlers m_handlers;
};

}  // namespace app
