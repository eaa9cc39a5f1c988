// Skinned menus. TSkinPopupMenu skins one popup-menu window ("#32768"): it
// paints the skin's MenuBackground as the menu's 3-pixel border and keeps
// the background picture at the window's size, from which owner-drawn menu
// items take their own background. The system's popup menus paint their
// whole face in WM_PAINT (no WM_PRINTCLIENT comes), so the skinner paints
// after the menu's own painting.
//
// The skinned menu bar and the skinned system menu are reached through
// SkinMenuHooks; without them a skinned window keeps the system's menu bar,
// drawn by the system into the skinned frame, and the system menu.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"

namespace forms {
class TMainMenu;
}

namespace skin {

class TSkinData;
class TSkinForm;
class TNCObject;

class TSkinPopupMenu {
public:
    TSkinPopupMenu();
    ~TSkinPopupMenu();
    TSkinPopupMenu(const TSkinPopupMenu&) = delete;
    TSkinPopupMenu& operator=(const TSkinPopupMenu&) = delete;

    void Attach(HWND wnd, TSkinData* skin, HMENU menu);
    void Detach();

    HWND Handle() const { return m_handle; }
    TSkinData* SkinData() const { return m_skinData; }
    HMENU MenuHandle() const { return m_menuHandle; }
    void SetMenuHandle(HMENU menu) { m_menuHandle = menu; }
    // The last painted background, at the window's size.
    forms::TBitmap& Background() { return m_background; }
    bool Attached() const { return m_oldProc != nullptr; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT CallOld(UINT msg, WPARAM wParam, LPARAM lParam);
    // Builds the background and paints its 3-pixel ring over the window's
    // edge; false without a skin or a MenuBackground picture.
    bool PaintBorder();

    WNDPROC m_oldProc = nullptr;
    HWND m_handle = nullptr;
    TSkinData* m_skinData = nullptr;
    forms::TBitmap m_background;
    HMENU m_menuHandle = nullptr;
};

// The popup skinner that last painted before its menu was known; the
// owner-drawn item painter gives it the menu handle and clears this.
extern TSkinPopupMenu* PendingPopup;

// A skinned menu bar: the form skinner draws the frame around it and
// passes the menu-bar band's mouse and keyboard to it.
class TSkinMenuBar {
public:
    virtual ~TSkinMenuBar() = default;
    // Takes the window's menu over (and off the window).
    virtual void LoadFromMenu(HMENU menu, forms::TMainMenu* formMenu) = 0;
    virtual HMENU Menu() const = 0;
    // Draws the bar into its band (window coordinates).
    virtual void Paint(HDC dc, const RECT& band) = 0;
    // The bar's button under a point (window coordinates) with a caption.
    virtual TNCObject* ButtonAt(POINT windowPoint) = 0;
    virtual void Open(TNCObject* button) = 0;
    // An enabled button has this accelerator; with open, it is opened.
    virtual bool Accelerator(char16_t key, bool open) = 0;
    // Gives the menu back to the window.
    virtual void GiveBack() = 0;
};

struct SkinMenuHooks {
    // Makes the skinned menu bar of a form skinner.
    std::function<std::unique_ptr<TSkinMenuBar>(TSkinForm& form)> makeMenuBar;
    // Builds and frees the skinned system menu.
    std::function<void(TSkinForm& form)> buildSystemMenu;
    std::function<void(TSkinForm& form)> freeSystemMenu;
    // Shows the skinned system menu at a screen point; false when it is not
    // shown (the system menu is tracked instead).
    std::function<bool(TSkinForm& form, POINT screen)> showSystemMenu;
    // WM_MEASUREITEM and WM_DRAWITEM of menus; false leaves the message to
    // the window.
    std::function<bool(TSkinForm& form, forms::TMessage& message)> menuItemMessage;
    // Makes the form's popup menus owner-drawn, or gives them back.
    std::function<void(TSkinForm& form, bool ownerDrawn)> formPopupMenus;
};
SkinMenuHooks& MenuSkinning();

}  // namespace skin
