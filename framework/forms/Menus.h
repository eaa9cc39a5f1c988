// Menus: items in a tree, a form's menu bar and popup menus. Native menus
// are rebuilt from the items whenever the tree or an item changes. Items of
// an owner-drawn menu are measured and drawn by their events (or plainly);
// the hidden popup-list window, owner of every popup menu shown, routes the
// measure and draw messages to them.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Graphics.h"
#include "framework/forms/Messages.h"

namespace forms {

class TMenu;
class TImageList;

// A key with its shift keys: the virtual key in the low byte.
using TShortCut = WORD;
enum : TShortCut { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
// "Ctrl+Shift+F4" and back; an unknown text is 0.
String ShortCutToText(TShortCut shortCut);
TShortCut TextToShortCut(const String& text);
// Whether the caption marks the key as its accelerator ("&File" and 'f').
bool IsAccel(char16_t key, const String& caption);

using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas& canvas, int& width, int& height)>;
using TMenuDrawItemEvent = std::function<void(TObject* sender, TCanvas& canvas, const RECT& rect, bool selected)>;

class TMenuItem : public TComponent {
public:
    FORMS_CLASS(TMenuItem)
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    // "-" makes a separator; "&" marks the accelerator.
    const String& Caption() const { return m_caption; }
    void SetCaption(const String& caption);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    bool Checked() const { return m_checked; }
    void SetChecked(bool on);
    bool Visible() const { return m_visible; }
    void SetVisible(bool on);
    bool IsSeparator() const { return m_caption == u"-"; }
    // A picture shown before the caption; not owned (whoever made it frees
    // it after the menu).
    HBITMAP Bitmap() const { return m_bitmap; }
    void SetBitmap(HBITMAP bitmap);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index) { m_groupIndex = index; }
    // The bold item of its menu.
    bool Default() const { return m_default; }
    void SetDefault(bool on);
    TShortCut ShortCut() const { return m_shortCut; }
    void SetShortCut(TShortCut shortCut);
    // In the menu's Images; -1 for none.
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);

    int Count() const { return static_cast<int>(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.at(static_cast<size_t>(index)); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out without freeing it.
    void Remove(TMenuItem* item);
    void Clear();  // frees the sub-items
    TMenuItem* Parent() const { return m_parent; }
    int MenuIndex() const;
    TMenu* ParentMenu() const;

    UINT Command() const { return m_command; }
    // The submenu of an item with sub-items (of the root item: the menu's own).
    HMENU Handle();
    static TMenuItem* FindByCommand(UINT command);

    TNotifyEvent OnClick;
    virtual void Click();

    // Owner-drawn items (canvas with the menu font): the plain measure,
    // then OnMeasureItem; OnAdvancedDrawItem when set, else the plain
    // drawing.
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnAdvancedDrawItem;
    void MeasureItem(TCanvas& canvas, int& width, int& height);
    void AdvancedDrawItem(TCanvas& canvas, const RECT& rect, bool selected);
    void DefaultMeasureItem(TCanvas& canvas, int& width, int& height);
    void DefaultDrawItem(TCanvas& canvas, const RECT& rect, bool selected);

private:
    friend class TMenu;
    void Changed();
    void Rebuild();
    void DestroyNative();

    String m_caption;
    bool m_enabled = true;
    bool m_checked = false;
    bool m_visible = true;
    HBITMAP m_bitmap = nullptr;
    int m_groupIndex = 0;
    bool m_default = false;
    TShortCut m_shortCut = 0;
    int m_imageIndex = -1;
    UINT m_command;
    TMenuItem* m_parent = nullptr;
    TMenu* m_menu = nullptr;  // set on a menu's root item
    std::vector<TMenuItem*> m_items;
    HMENU m_handle = nullptr;
};

class TMenu : public TComponent {
public:
    FORMS_CLASS(TMenu)
    TMenu(TComponent* owner, bool menuBar);
    ~TMenu() override;
    TMenuItem* Items() const { return m_root; }
    HMENU Handle() { return m_root->Handle(); }
    // Called after the native menu was rebuilt.
    std::function<void(TMenu*)> OnMenuChanged;
    // Items are made owner-drawn (they keep their text).
    bool OwnerDraw() const { return m_ownerDraw; }
    void SetOwnerDraw(bool on);
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TMenuItem;
    void RebuildAll(TMenuItem* item);
    TMenuItem* m_root;
    bool m_menuBar;
    bool m_ownerDraw = false;
    TImageList* m_images = nullptr;
};

// WM_MEASUREITEM and WM_DRAWITEM of an owner-drawn item of a framework menu:
// the item is measured or drawn and true returned; false for anything else.
bool MenuOwnerDrawMessage(TMessage& m);
// The hidden window that owns the popup menus while they are shown.
HWND PopupListWindow();

class TMainMenu : public TMenu {
public:
    FORMS_CLASS(TMainMenu)
    explicit TMainMenu(TComponent* owner) : TMenu(owner, true) {}
};

class TPopupMenu : public TMenu {
public:
    FORMS_CLASS(TPopupMenu)
    explicit TPopupMenu(TComponent* owner) : TMenu(owner, false) {}

    bool AutoPopup() const { return m_autoPopup; }
    void SetAutoPopup(bool on) { m_autoPopup = on; }
    TComponent* PopupComponent() const { return m_popupComponent; }
    void SetPopupComponent(TComponent* c) { m_popupComponent = c; }
    // Shows the menu at a screen point and runs the chosen item's Click.
    virtual void Popup(int x, int y);

    TNotifyEvent OnPopup;

private:
    bool m_autoPopup = true;
    TComponent* m_popupComponent = nullptr;
};

}  // namespace forms
