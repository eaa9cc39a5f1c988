// Skinned menus. TSkinPopupMenu skins one popup-menu window ("#32768"): it
// paints the skin's MenuBackground as the menu's 3-pixel border and keeps
// the background picture at the window's size, from which owner-drawn menu
// items take their own background. The system's popup menus paint their
// whole face in WM_PAINT (no WM_PRINTCLIENT comes), so the skinner paints
// after the menu's own painting.
//
// TSkinMenuBar draws a skinned window's menu bar itself. The skinned menu
// bar, the skinned system menu and owner-drawn menu items are reached
// through SkinMenuHooks; without them a skinned window keeps the system's
// menu bar, drawn by the system into the skinned frame, and the system menu.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"
#include "skin/SkinDescription.h"
#include "skin/SkinForm.h"

namespace forms {
class TImageList;
class TMainMenu;
}

namespace skin {

class TSkinData;
class TSkinMenuBar;

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

// One item of a skinned menu bar.
class TMenuBtn : public TNCObject {
public:
    TMenuBtn(TSkinForm& owner, TSkinMenuBar& bar) : TNCObject(owner), m_bar(bar) {}
    int Index = 0;
    forms::String Caption;
    bool Enabled = true;
    HMENU SubMenu = nullptr;
    UINT Command = 0;
    // Alone, in its mouse state, straight onto the window.
    void Paint() override;

private:
    TSkinMenuBar& m_bar;
};

// The skinned menu bar: takes the window's menu (off the window), draws
// the top items in the frame's menu band and opens their submenus, with a
// message filter that moves between the items while a submenu is open.
class TSkinMenuBar {
public:
    explicit TSkinMenuBar(TSkinForm& form);
    ~TSkinMenuBar();
    TSkinMenuBar(const TSkinMenuBar&) = delete;
    TSkinMenuBar& operator=(const TSkinMenuBar&) = delete;

    // Takes the items of the window's menu (with the framework menu for
    // items without text); with no menu, the framework menu's own items.
    void LoadFromMenu(HMENU menu, forms::TMainMenu* formMenu);
    HMENU Menu() const { return m_menu; }
    // Draws the bar into its band (window coordinates).
    void Paint(HDC dc, const RECT& band);
    // The button under a point (window coordinates) with a caption.
    TNCObject* ButtonAt(POINT windowPoint);
    // Opens the button's submenu (posting its command first); while open,
    // the keyboard and the mouse may move to the other buttons.
    void Open(TNCObject* button);
    // The first enabled button with the accelerator; with open, a click
    // on it is posted.
    bool Accelerator(char16_t key, bool open);
    // Gives the menu back to the window.
    void GiveBack();
    // Posts a click on the button (its top-left corner, screen point).
    void PostClick(const TMenuBtn& button);

    int Count() const { return static_cast<int>(m_buttons.size()); }
    TMenuBtn& Button(int index) { return *m_buttons.at(static_cast<size_t>(index)); }
    TSkinForm& Form() { return m_form; }
    forms::TBitmap& Background() { return m_background; }
    HFONT Font() const { return m_font; }
    // The bar's rectangle as last painted (window coordinates).
    const RECT& BarRect() const { return m_barRect; }

private:
    void PaintMdiButtons(forms::TCanvas& canvas, const RECT& band);

    TSkinForm& m_form;
    std::vector<std::unique_ptr<TMenuBtn>> m_buttons;
    forms::TMainMenu* m_formMenu = nullptr;
    forms::TBitmap m_background;
    HMENU m_menu = nullptr;
    RECT m_barRect{};
    HFONT m_font = nullptr;
};

// What an owner-drawn menu item shows.
struct MenuItemFacts {
    forms::String caption;  // "-" for a separator
    bool enabled = true;
    bool checked = false;
    bool isDefault = false;
    WORD shortCut = 0;
    int imageIndex = -1;
    forms::TImageList* images = nullptr;
    // Mirrored: glyph at the right, text right-aligned, short cut at the left.
    bool rightToLeft = false;
};
// Draws a menu item from the skin's MenuItem strip (frame 4 selected, 1
// normal, the separator from frame 2) over the background of its menu's
// popup skinner; without the strip, on the highlight or the menu colour.
void SkinMenuItemDraw(TSkinData& data, const MenuItemFacts& item, HDC dc, bool selected, const RECT& rect,
                      HMENU parent);
// A skin colour as drawn (system colours looked up).
COLORREF MenuColourOf(SkinColour colour);
// The system's menu font, bold for default items; the caller frees it.
HFONT CreateMenuFont(bool bold);
// A text's size in the menu font.
SIZE MeasureMenuText(const forms::String& text);
// Sets or clears the owner-drawn type of every item of a menu, all the way
// down (the items keep their text).
void MakeMenuOwnerDrawn(HMENU menu, bool on);

// The bar index whose submenu is open, -1 when none; whether the menu
// filter is in place.
int TrackedMenuIndex();
bool MenuFilterInstalled();

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
    // Makes a menu bar's submenu owner-drawn (all its items, all the way
    // down), or gives it back.
    std::function<void(TSkinForm& form, HMENU submenu, bool ownerDrawn)> ownerDrawSubmenu;
};
// The hooks in force: the skinned menu bar, system menu and menu items of
// this engine unless a test has put others in place.
SkinMenuHooks& MenuSkinning();
SkinMenuHooks DefaultMenuHooks();
// The system menu, menu items and popup menus of the defaults.
void InstallItemHooks(SkinMenuHooks& hooks);

}  // namespace skin
