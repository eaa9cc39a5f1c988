#include "framework/forms/Menus.h"

#include <algorithm>
#include <map>

#include "framework/com/WinText.h"
#include "framework/forms/Controls.h"

namespace forms {
namespace {

std::map<UINT, TMenuItem*>& Commands() {
    static std::map<UINT, TMenuItem*> commands;
    return commands;
}

UINT NextCommand() {
    // Above the dialog command identifiers, below the system commands.
    static UINT next = 0x100;
    while (Commands().count(next)) next = next >= 0xEFFF ? 0x100 : next + 1;
    const UINT c = next;
    next = next >= 0xEFFF ? 0x100 : next + 1;
    return c;
}

}  // namespace

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), m_command(NextCommand()) {
    Commands()[m_command] = this;
}

TMenuItem::~TMenuItem() {
    SetDestroying();
    while (!m_items.empty()) delete m_items.back();
    if (m_parent) m_parent->Remove(this);
    DestroyNative();
    Commands().erase(m_command);
}

TMenuItem* TMenuItem::FindByCommand(UINT command) {
    const auto it = Commands().find(command);
    return it == Commands().end() ? nullptr : it->second;
}

void TMenuItem::DestroyNative() {
    if (!m_handle) return;
    // Detach the submenus first: destroying a menu destroys its submenus.
    while (GetMenuItemCount(m_handle) > 0) RemoveMenu(m_handle, 0, MF_BYPOSITION);
    DestroyMenu(m_handle);
    m_handle = nullptr;
}

void TMenuItem::SetCaption(const String& caption) {
    if (caption == m_caption) return;
    m_caption = caption;
    Changed();
}

void TMenuItem::SetEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    Changed();
}

void TMenuItem::SetChecked(bool on) {
    if (on == m_checked) return;
    m_checked = on;
    Changed();
}

void TMenuItem::SetBitmap(HBITMAP bitmap) {
    if (bitmap == m_bitmap) return;
    m_bitmap = bitmap;
    Changed();
}

void TMenuItem::SetVisible(bool on) {
    if (on == m_visible) return;
    m_visible = on;
    Changed();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item || item->m_parent) throw EInvalidOperation("Menu item is already in a menu");
    if (index < 0 || index > Count()) throw EListError("Menu index out of bounds");
    m_items.insert(m_items.begin() + index, item);
    item->m_parent = this;
    Rebuild();
}

void TMenuItem::Remove(TMenuItem* item) {
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    if (it == m_items.end()) return;
    m_items.erase(it);
    item->m_parent = nullptr;
    if (!(ComponentState() & csDestroying)) Rebuild();
}

void TMenuItem::Clear() {
    while (!m_items.empty()) delete m_items.back();
    Rebuild();
}

int TMenuItem::MenuIndex() const {
    if (!m_parent) return -1;
    const auto& list = m_parent->m_items;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

TMenu* TMenuItem::ParentMenu() const {
    const TMenuItem* i = this;
    while (i->m_parent) i = i->m_parent;
    return i->m_menu;
}

HMENU TMenuItem::Handle() {
    if (!m_handle) {
        m_handle = (m_menu && m_menu->m_menuBar) ? CreateMenu() : CreatePopupMenu();
        if (!m_handle) throw EOutOfResources("Cannot create a menu");
        Rebuild();
    }
    return m_handle;
}

void TMenuItem::Changed() {
    if (m_parent) m_parent->Rebuild();
}

void TMenuItem::Rebuild() {
    if (!m_handle || (ComponentState() & csDestroying)) return;
    while (GetMenuItemCount(m_handle) > 0) RemoveMenu(m_handle, 0, MF_BYPOSITION);
    for (TMenuItem* item : m_items) {
        if (!item->m_visible) continue;
        if (item->IsSeparator()) {
            AppendMenuW(m_handle, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (!item->m_enabled) flags |= MF_GRAYED;
        if (item->m_checked) flags |= MF_CHECKED;
        UINT_PTR id = item->m_command;
        if (!item->m_items.empty()) {
            flags |= MF_POPUP;
            id = reinterpret_cast<UINT_PTR>(item->Handle());
        }
        AppendMenuW(m_handle, flags, id, com::W(item->m_caption));
        if (item->m_bitmap) {
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_BITMAP;
            info.hbmpItem = item->m_bitmap;
            SetMenuItemInfoW(m_handle, static_cast<UINT>(GetMenuItemCount(m_handle) - 1), TRUE, &info);
        }
    }
    if (TMenu* menu = ParentMenu())
        if (menu->OnMenuChanged) menu->OnMenuChanged(menu);
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

TMenu::TMenu(TComponent* owner, bool menuBar) : TComponent(owner), m_root(new TMenuItem(nullptr)), m_menuBar(menuBar) {
    m_root->m_menu = this;
}

TMenu::~TMenu() { delete m_root; }

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    HWND owner = GetActiveWindow();
    if (auto* c = dynamic_cast<TWinControl*>(m_popupComponent)) owner = c->Handle();
    else if (auto* g = dynamic_cast<TControl*>(m_popupComponent); g && g->Parent()) owner = g->Parent()->Handle();
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                                            x, y, owner, nullptr));
    if (!command) return;
    if (TMenuItem* item = TMenuItem::FindByCommand(command)) item->Click();
}

}  // namespace forms
