// Menus: items in a tree, a form's menu bar and popup menus. Native menus
// are rebuilt from the items whenever the tree or an item changes.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Graphics.h"

namespace forms {

class TMenu;

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

private:
    friend class TMenuItem;
    TMenuItem* m_root;
    bool m_menuBar;
};

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
