#include "framework/forms/Menus.h"

#include <algorithm>
#include <map>
#include <string>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Controls.h"
#include "framework/forms/ImgList.h"

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

void TMenuItem::SetDefault(bool on) {
    if (on == m_default) return;
    m_default = on;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
    if (shortCut == m_shortCut) return;
    m_shortCut = shortCut;
    Changed();
}

void TMenuItem::SetImageIndex(int index) {
    if (index == m_imageIndex) return;
    m_imageIndex = index;
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
    TMenu* menu = ParentMenu();
    const bool ownerDraw = menu && menu->m_ownerDraw;
    UINT position = 0;
    for (TMenuItem* item : m_items) {
        if (!item->m_visible) continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
        // Separators keep their command too: owner-drawn, they are found by it.
        info.wID = item->m_command;
        String text = item->m_caption;
        if (item->IsSeparator()) {
            info.fType = MFT_SEPARATOR;
        } else {
            info.fMask |= MIIM_STRING;
            if (!item->m_enabled) info.fState |= MFS_GRAYED;
            if (item->m_checked) info.fState |= MFS_CHECKED;
            if (item->m_default) info.fState |= MFS_DEFAULT;
            if (item->m_shortCut && !ownerDraw) text += u"\t" + ShortCutToText(item->m_shortCut);
            if (!item->m_items.empty()) {
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = item->Handle();
            }
        }
        // Owner-drawn items keep their text: it still answers for them.
        if (ownerDraw) info.fType |= MFT_OWNERDRAW;
        if (item->m_bitmap) {
            info.fMask |= MIIM_BITMAP;
            info.hbmpItem = item->m_bitmap;
        }
        std::u16string buffer = text;
        info.dwTypeData = const_cast<LPWSTR>(com::W(buffer));
        InsertMenuItemW(m_handle, position++, TRUE, &info);
    }
    if (menu && menu->OnMenuChanged) menu->OnMenuChanged(menu);
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

namespace {

HFONT NewMenuFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

// A canvas on a screen-compatible DC with the menu font.
class MenuCanvas {
public:
    MenuCanvas() : m_dc(CreateCompatibleDC(nullptr)), m_font(NewMenuFont()) {
        m_canvas.SetHandle(m_dc);
        if (m_font) m_old = SelectObject(m_dc, m_font);
    }
    ~MenuCanvas() {
        m_canvas.SetHandle(nullptr);
        if (m_old) SelectObject(m_dc, m_old);
        if (m_font) DeleteObject(m_font);
        DeleteDC(m_dc);
    }
    TCanvas& Canvas() { return m_canvas; }

private:
    HDC m_dc;
    HFONT m_font = nullptr;
    HGDIOBJ m_old = nullptr;
    TCanvas m_canvas;
};

SIZE TextSize(HDC dc, const String& text) {
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, com::W(text.empty() ? String(u" ") : text), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace

void TMenuItem::MeasureItem(TCanvas& canvas, int& width, int& height) {
    // The handler adjusts the plain measure.
    DefaultMeasureItem(canvas, width, height);
    if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

void TMenuItem::AdvancedDrawItem(TCanvas& canvas, const RECT& rect, bool selected) {
    if (OnAdvancedDrawItem) OnAdvancedDrawItem(this, canvas, rect, selected);
    else DefaultDrawItem(canvas, rect, selected);
}

void TMenuItem::DefaultMeasureItem(TCanvas& canvas, int& width, int& height) {
    if (IsSeparator()) {
        width = 10;
        height = 8;
        return;
    }
    const HDC dc = canvas.Handle();
    const SIZE text = TextSize(dc, m_caption);
    const TMenu* menu = ParentMenu();
    const int glyph = menu && menu->m_images ? menu->m_images->Width() : 16;
    width = glyph + 6 + text.cx;
    if (m_shortCut) width += TextSize(dc, ShortCutToText(m_shortCut)).cx + 16;
    height = std::max<int>(text.cy + 4, menu && menu->m_images ? menu->m_images->Height() + 2 : 0);
}

void TMenuItem::DefaultDrawItem(TCanvas& canvas, const RECT& rect, bool selected) {
    const HDC dc = canvas.Handle();
    FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    if (IsSeparator()) {
        RECT line{rect.left, rect.top + 4, rect.right, rect.bottom};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    const TMenu* menu = ParentMenu();
    const int glyph = menu && menu->m_images ? menu->m_images->Width() : 16;
    if (menu && menu->m_images && m_imageIndex >= 0)
        menu->m_images->Draw(canvas, rect.left + 1, rect.top + 1, m_imageIndex, m_enabled);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(
        dc, GetSysColor(!m_enabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    RECT text{rect.left + glyph + 4, rect.top, rect.right - 10, rect.bottom};
    DrawTextW(dc, com::W(m_caption), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS);
    if (m_shortCut)
        DrawTextW(dc, com::W(ShortCutToText(m_shortCut)), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

bool MenuOwnerDrawMessage(TMessage& m) {
    if (m.Msg == WM_MEASUREITEM) {
        auto* d = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        if (!d || d->CtlType != ODT_MENU) return false;
        TMenuItem* item = TMenuItem::FindByCommand(d->itemID);
        if (!item) return false;
        MenuCanvas canvas;
        int w = static_cast<int>(d->itemWidth), h = static_cast<int>(d->itemHeight);
        item->MeasureItem(canvas.Canvas(), w, h);
        d->itemWidth = static_cast<UINT>(std::max(w, 0));
        d->itemHeight = static_cast<UINT>(std::max(h, 0));
        m.Result = TRUE;
        return true;
    }
    if (m.Msg == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        if (!d || d->CtlType != ODT_MENU) return false;
        TMenuItem* item = TMenuItem::FindByCommand(d->itemID);
        if (!item) return false;
        TCanvas canvas;
        canvas.SetHandle(d->hDC);
        const int saved = SaveDC(d->hDC);
        // A throwing draw handler still gets the font deselected and freed.
        const com::GdiFont font(NewMenuFont());
        const com::SelectedObject selected(d->hDC, font.Get());
        item->AdvancedDrawItem(canvas, d->rcItem, (d->itemState & ODS_SELECTED) != 0);
        canvas.SetHandle(nullptr);
        RestoreDC(d->hDC, saved);
        m.Result = TRUE;
        return true;
    }
    return false;
}

namespace {

LRESULT CALLBACK PopupListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MEASUREITEM || msg == WM_DRAWITEM) {
        TMessage m{msg, wParam, lParam, 0};
        // An exception must not cross the system's menu code.
        try {
            if (MenuOwnerDrawMessage(m)) return m.Result;
        } catch (...) {
            return FALSE;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

HWND PopupListWindow() {
    static HWND window = nullptr;
    if (window && IsWindow(window)) return window;
    static const WCHAR kClass[] = L"CorvanePopupList";
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PopupListProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    window = CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    return window;
}

TMenu::TMenu(TComponent* owner, bool menuBar) : TComponent(owner), m_root(new TMenuItem(nullptr)), m_menuBar(menuBar) {
    m_root->m_menu = this;
}

TMenu::~TMenu() {
    SetDestroying();
    if (m_images) m_images->RemoveFreeNotification(this);
    delete m_root;
}

void TMenu::RebuildAll(TMenuItem* item) {
    item->Rebuild();
    for (TMenuItem* child : item->m_items)
        if (!child->m_items.empty()) RebuildAll(child);
}

void TMenu::SetOwnerDraw(bool on) {
    if (on == m_ownerDraw) return;
    m_ownerDraw = on;
    RebuildAll(m_root);
}

void TMenu::SetImages(TImageList* images) {
    if (images == m_images) return;
    if (m_images) m_images->RemoveFreeNotification(this);
    m_images = images;
    if (m_images) m_images->FreeNotification(this);
    RebuildAll(m_root);
}

void TMenu::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == m_images) m_images = nullptr;
}

// ---- Short cuts and accelerators ----------------------------------------------------

namespace {

struct KeyName {
    WORD key;
    const char16_t* name;
};
const KeyName kKeyNames[] = {
    {VK_BACK, u"BkSp"}, {VK_TAB, u"Tab"},   {VK_RETURN, u"Enter"}, {VK_ESCAPE, u"Esc"}, {VK_SPACE, u"Space"},
    {VK_PRIOR, u"PgUp"}, {VK_NEXT, u"PgDn"}, {VK_END, u"End"},     {VK_HOME, u"Home"},  {VK_LEFT, u"Left"},
    {VK_UP, u"Up"},     {VK_RIGHT, u"Right"}, {VK_DOWN, u"Down"},  {VK_INSERT, u"Ins"}, {VK_DELETE, u"Del"},
};

const char16_t* const kShiftNames[] = {u"Shift+", u"Ctrl+", u"Alt+"};
const TShortCut kShiftBits[] = {scShift, scCtrl, scAlt};

String KeyText(WORD key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char16_t>(key));
    if (key >= VK_F1 && key <= VK_F24) return u"F" + com::U16(std::to_string(key - VK_F1 + 1));
    for (const KeyName& k : kKeyNames)
        if (k.key == key) return k.name;
    return String();
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameText(const String& a, const String& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

}  // namespace

String ShortCutToText(TShortCut shortCut) {
    const String key = KeyText(static_cast<WORD>(shortCut & 0xFF));
    if (key.empty()) return String();
    String text;
    for (int i = 0; i < 3; ++i)
        if (shortCut & kShiftBits[i]) text += kShiftNames[i];
    return text + key;
}

TShortCut TextToShortCut(const String& text) {
    TShortCut shift = 0;
    String rest = text;
    for (bool found = true; found;) {
        found = false;
        for (int i = 0; i < 3; ++i) {
            const String name = kShiftNames[i];
            if (rest.size() > name.size() && SameText(rest.substr(0, name.size()), name)) {
                shift |= kShiftBits[i];
                rest = rest.substr(name.size());
                found = true;
            }
        }
    }
    for (WORD key = 1; key < 0xFF; ++key) {
        const String name = KeyText(key);
        if (!name.empty() && SameText(name, rest)) return static_cast<TShortCut>(shift | key);
    }
    return 0;
}

bool IsAccel(char16_t key, const String& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] == u'&') {
            ++i;
            continue;
        }
        return Upper(caption[i + 1]) == Upper(key);
    }
    return false;
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    // The popup list owns the menu: it measures and draws owner-drawn items.
    HWND owner = PopupListWindow();
    if (!owner) owner = GetActiveWindow();
    const UINT command = static_cast<UINT>(TrackPopupMenuEx(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                                            x, y, owner, nullptr));
    if (!command) return;
    if (TMenuItem* item = TMenuItem::FindByCommand(command)) item->Click();
}

}  // namespace forms
