// The explorer pane's folder tree and file list, as the main window reads
// them: the tree's selected folder and the list's folder and items (caption,
// then the size text first among the sub-items). The shell views that fill
// them (drives, folders, icons, commands) are not built yet; until then
// both hold what the program sets.
#pragma once

#include "framework/forms/ComCtrls.h"

namespace shellbrowse {

using forms::String;

class TFileListView;

class TDirTree : public forms::TCustomTreeView {
public:
    FORMS_CLASS(TDirTree)
    explicit TDirTree(forms::TComponent* owner);

    // The selected folder, or "Drives" for the drive list.
    const String& SelectedPath() const { return m_selectedPath; }
    // Stores the value when it differs ignoring case.
    void SetSelectedPath(const String& path);
    // Opens the folder in the tree.
    void OpenPath(const String& path);
    TFileListView* FileList() const { return m_fileList; }
    void SetFileList(TFileListView* list) { m_fileList = list; }

private:
    String m_selectedPath;
    TFileListView* m_fileList = nullptr;
};

class TFileListView : public forms::TCustomListView {
public:
    FORMS_CLASS(TFileListView)
    explicit TFileListView(forms::TComponent* owner);

    // The shown folder with a trailing backslash, or "Drives".
    const String& Directory() const { return m_directory; }
    // The drive list for "drives" in any case; an existing folder; anything
    // else is ignored.
    void SetDirectory(const String& folder);

private:
    String m_directory = u"Drives";
};

}  // namespace shellbrowse
