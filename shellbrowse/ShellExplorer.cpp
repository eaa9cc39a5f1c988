#include "shellbrowse/ShellExplorer.h"

#include "shellbrowse/FolderDialog.h"

namespace shellbrowse {

TDirTree::TDirTree(forms::TComponent* owner) : TCustomTreeView(owner) { SetHideSelection(false); }

void TDirTree::SetSelectedPath(const String& path) {
    if (!forms::SameText(path, m_selectedPath)) m_selectedPath = path;
}

void TDirTree::OpenPath(const String& path) {
    SetSelectedPath(path);
    if (m_fileList) m_fileList->SetDirectory(path);
}

TFileListView::TFileListView(forms::TComponent* owner) : TCustomListView(owner) {
    SetMultiSelect(true);
    SetReadOnly(false);
    SetHideSelection(false);
    SetViewStyle(forms::TViewStyle::vsReport);
    SetShowColumnHeaders(true);
}

void TFileListView::SetDirectory(const String& folder) {
    if (forms::SameText(folder, m_directory)) return;
    if (forms::UpperCase(folder) == u"DRIVES") {
        m_directory = folder;
    } else if (!folder.empty() && IsDirectory(folder)) {
        m_directory = forms::IncludeTrailingBackslash(folder);
    }
}

}  // namespace shellbrowse
