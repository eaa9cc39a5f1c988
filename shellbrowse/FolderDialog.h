// TBrowseFolderDialog: the shell's folder browser as a component. Execute
// shows it modally; Selection holds the chosen (or initial) folder. While
// the browser is open its status text, OK button, caption and selection
// follow the properties at once.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>

#include "framework/forms/Controls.h"
#include "shellbrowse/FolderDialogRules.h"

namespace shellbrowse {

using forms::TComponent;
using forms::TObject;

class TBrowseFolderDialog : public TComponent {
public:
    FORMS_CLASS(TBrowseFolderDialog)
    using TBDSelChangedEvent = std::function<void(TObject* sender, const String& newSel, LPCITEMIDLIST newSelPidl)>;
    using TBDValidateFailedEvent = std::function<void(TObject* sender, const String& path, bool& cancel)>;

    explicit TBrowseFolderDialog(TComponent* owner);
    ~TBrowseFolderDialog() override;

    String Version() const { return u"TBrowseFolderDialog v2.61"; }
    void SetVersion(const String&) {}
    const String& Selection() const { return m_selection; }
    void SetSelection(const String& path);
    const String& Title() const { return m_title; }
    void SetTitle(const String& title) { m_title = title; }
    TRootID Root() const { return m_root; }
    void SetRoot(TRootID root) { m_root = root; }
    TBrowseFlags Options() const { return m_options; }
    void SetOptions(TBrowseFlags options);
    bool Center() const { return m_center; }
    void SetCenter(bool on) { m_center = on; }
    const String& StatusText() const { return m_statusText; }
    void SetStatusText(const String& text);
    bool FitStatusText() const { return m_fitStatusText; }
    void SetFitStatusText(bool on);
    bool EnableOKButton() const { return m_enableOK; }
    void SetEnableOKButton(bool on);
    int ImageIndex() const { return m_imageIndex; }
    String Caption() const;
    void SetCaption(const String& caption);
    bool ShowSelectionInStatus() const { return m_showSelectionInStatus; }
    void SetShowSelectionInStatus(bool on) { m_showSelectionInStatus = on; }
    // The open browser's window, or nullptr.
    HWND DialogHandle() const { return m_dialog; }

    TBDSelChangedEvent OnSelChanged;
    forms::TNotifyEvent OnCreate;
    TBDValidateFailedEvent OnValidateFailed;

    virtual void DialogInitialized(HWND wnd);
    virtual void SelectionChanged(HWND wnd, LPCITEMIDLIST pidl);
    virtual void ValidateFailed(const String& path, bool& cancel);
    // True when the user chose an item; Selection then holds its path.
    virtual bool Execute();

private:
    static int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data);
    HWND OwnerWindow() const;
    void ApplyInitialSelection();
    // Moves the open browser to the remembered item (m_item, which is the
    // folder of Selection), asking again while the browser is not there.
    void SelectInBrowser();
    static void CALLBACK SelectionRetry(HWND wnd, UINT msg, UINT_PTR id, DWORD time);
    void SendStatusText();
    String FittedStatusText();
    void ForgetItem();

    String m_selection;
    String m_title;
    TRootID m_root = TRootID::idDesktop;
    TBrowseFlags m_options;
    bool m_center = true;
    String m_statusText;
    bool m_fitStatusText = true;
    bool m_enableOK = true;
    int m_imageIndex = -1;
    String m_caption;
    bool m_showSelectionInStatus = false;

    IMalloc* m_malloc = nullptr;
    forms::TWinControl* m_ownerControl = nullptr;
    HWND m_dialog = nullptr;
    LPITEMIDLIST m_item = nullptr;  // the last chosen folder, freed with m_malloc
    String m_browserPath;           // the open browser's selection, as it last reported it
    int m_selectionRetries = 0;
    DWORD m_selectionAsked = 0;  // tick count when the browser was first asked for it
};

// With critical-error boxes suppressed: a drive root ("C:\") is a folder
// when its drive exists; any other path (one trailing "\" ignored) when a
// search for it finds a folder.
bool IsDirectory(const String& path);

}  // namespace shellbrowse
