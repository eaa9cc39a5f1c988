#include <algorithm>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "skin/SkinMenu.h"

namespace skin {

namespace {

// What the menu filter works with while a bar's submenu is open: one set
// per process, since one menu loop runs at a time.
struct MenuTracking {
    HHOOK hook = nullptr;
    TSkinMenuBar* bar = nullptr;
    HMENU submenu = nullptr;
    int index = -1;
    // The button to open once the open submenu has closed.
    int next = -1;
    bool switching = false;
    bool first = false;
    POINT lastPoint{};
};
MenuTracking g_track;

// The deepest highlighted item of an open menu: the menu it is in and
// whether it has a submenu of its own.
bool HighlightedItem(HMENU menu, HMENU& in, bool& hasSubmenu) {
    for (int depth = 0; menu && depth < 16; ++depth) {
        const int count = GetMenuItemCount(menu);
        HMENU below = nullptr;
        bool found = false;
        for (int i = 0; i < count; ++i) {
            if (!(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE)) continue;
            in = menu;
            below = GetSubMenu(menu, i);
            hasSubmenu = below != nullptr;
            found = true;
            break;
        }
        if (!found) return depth > 0;
        menu = below;
    }
    return true;
}

LRESULT CALLBACK MenuFilter(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    TSkinMenuBar* bar = g_track.bar;
    WPARAM key = msg ? msg->wParam : 0;
    if (bar && msg && code == MSGF_MENU && bar->Form().RightToLeft && msg->message == WM_KEYDOWN) {
        if (key == VK_LEFT) key = VK_RIGHT;
        else if (key == VK_RIGHT) key = VK_LEFT;
    }
    const LRESULT next = CallNextHookEx(g_track.hook, code, wParam, lParam);
    if (next || code != MSGF_MENU || !bar || !msg) return next;
    TSkinForm& form = bar->Form();
    if (g_track.first) {
        g_track.first = false;
        PostMessageW(form.Handle, WM_KEYDOWN, VK_DOWN, 0);
    }
    const int count = bar->Count();
    int chosen = -1;
    switch (msg->message) {
    case WM_KEYDOWN:
        if (key == VK_RETURN || key == VK_ESCAPE) {
            g_track.switching = false;
        } else if (key == VK_LEFT || key == VK_RIGHT) {
            HMENU in = nullptr;
            bool hasSubmenu = false;
            const bool current = HighlightedItem(g_track.submenu, in, hasSubmenu);
            if (key == VK_LEFT && (!current || in == g_track.submenu))
                chosen = g_track.index <= 0 ? count - 1 : g_track.index - 1;
            if (key == VK_RIGHT && (!current || !hasSubmenu))
                chosen = g_track.index >= count - 1 ? 0 : g_track.index + 1;
        }
        break;
    case WM_SYSKEYDOWN:
        if (key == VK_MENU) form.Tracking = false;
        return 0;
    case WM_MOUSEMOVE:
        if (msg->pt.x != g_track.lastPoint.x || msg->pt.y != g_track.lastPoint.y) {
            g_track.lastPoint = msg->pt;
            if (auto* b = dynamic_cast<TMenuBtn*>(bar->ButtonAt(form.ScreenToWindow(msg->pt)))) chosen = b->Index;
        }
        break;
    default:
        break;
    }
    if (chosen < 0 || chosen >= count || chosen == g_track.index) return 0;
    // The open menu closes first; the next opens when it has: one menu
    // loop at a time.
    g_track.switching = true;
    g_track.next = chosen;
    EndMenu();
    return 1;
}

// Tracking starts afresh for each submenu.
void InstallFilter(TSkinMenuBar* bar, HMENU submenu, int index) {
    const HHOOK hook = g_track.hook;
    g_track = MenuTracking{};
    g_track.bar = bar;
    g_track.submenu = submenu;
    g_track.index = index;
    g_track.first = true;
    GetCursorPos(&g_track.lastPoint);
    g_track.hook = hook ? hook : SetWindowsHookExW(WH_MSGFILTER, &MenuFilter, nullptr, GetCurrentThreadId());
}

void RemoveFilter() {
    if (g_track.hook) UnhookWindowsHookEx(g_track.hook);
    g_track = MenuTracking{};
}

}  // namespace

SkinMenuHooks DefaultMenuHooks() {
    SkinMenuHooks hooks;
    hooks.makeMenuBar = [](TSkinForm& form) { return std::make_unique<TSkinMenuBar>(form); };
    InstallItemHooks(hooks);
    return hooks;
}

int TrackedMenuIndex() { return g_track.index; }
bool MenuFilterInstalled() { return g_track.hook != nullptr; }

// ---- A button ---------------------------------------------------------------------------

void TMenuBtn::Paint() {
    if (!Visible || !m_form.NonClientSkinned() || !m_form.SkinData) return;
    const int w = Rect.right - Rect.left, h = Rect.bottom - Rect.top;
    if (w <= 0 || h <= 0) return;
    const com::WindowDc windowDc(m_form.Handle, com::WindowDc::Whole);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    forms::TBitmap& back = m_bar.Background();
    const RECT bar = m_bar.BarRect();
    if (back.Width() > 0)
        BitBlt(dc, Rect.left, Rect.top, w, h, back.Canvas().Handle(), Rect.left - bar.left, Rect.top - bar.top, SRCCOPY);
    const SkinElements& e = m_form.SkinData->Elements();
    if (State == ncPressed || State == ncHot) {
        const HBRUSH frame = CreateSolidBrush(MenuColourOf(e.ButtonHilightColour));
        FrameRect(dc, &Rect, frame);
        DeleteObject(frame);
    }
    const HGDIOBJ oldFont = m_bar.Font() ? SelectObject(dc, m_bar.Font()) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, Enabled ? MenuColourOf(e.MenuBarTextColour) : GetSysColor(COLOR_BTNSHADOW));
    RECT text = Rect;
    DrawTextW(dc, com::W(Caption), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    if (oldFont) SelectObject(dc, oldFont);
}

// ---- The bar ----------------------------------------------------------------------------

TSkinMenuBar::TSkinMenuBar(TSkinForm& form) : m_form(form), m_font(CreateMenuFont(false)) {
    m_background.SetPixelFormat(forms::TPixelFormat::pf24bit);
}

TSkinMenuBar::~TSkinMenuBar() {
    if (g_track.bar == this) {
        // Freed with its submenu open: the menu closes and nothing opens.
        g_track.next = -1;
        EndMenu();
        RemoveFilter();
    }
    if (m_form.HotObject && std::any_of(m_buttons.begin(), m_buttons.end(),
                                        [&](const auto& b) { return b.get() == m_form.HotObject; }))
        m_form.HotObject = nullptr;
    m_buttons.clear();
    if (m_font) DeleteObject(m_font);
}

void TSkinMenuBar::LoadFromMenu(HMENU menu, forms::TMainMenu* formMenu) {
    if (m_form.HotObject && std::any_of(m_buttons.begin(), m_buttons.end(),
                                        [&](const auto& b) { return b.get() == m_form.HotObject; }))
        m_form.HotObject = nullptr;
    m_buttons.clear();
    m_formMenu = formMenu;
    forms::TMenuItem* root = formMenu ? formMenu->Items() : nullptr;
    if (!menu) {
        // The framework menu's own items.
        if (!root) return;
        for (int i = 0; i < root->Count(); ++i) {
            forms::TMenuItem* item = root->Items(i);
            auto b = std::make_unique<TMenuBtn>(m_form, *this);
            b->Index = static_cast<int>(m_buttons.size());
            b->Caption = item->Caption();
            b->Enabled = item->Enabled();
            b->Visible = item->Visible();
            b->Command = item->Count() > 0 ? 0 : item->Command();
            b->SubMenu = item->Count() > 0 ? item->Handle() : nullptr;
            if (b->Visible) m_buttons.push_back(std::move(b));
        }
        m_menu = formMenu->Handle();
        SetMenu(m_form.Handle, nullptr);
        m_form.HotObject = nullptr;
        return;
    }
    m_menu = menu;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        WCHAR text[80] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 79;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        auto b = std::make_unique<TMenuBtn>(m_form, *this);
        b->Index = static_cast<int>(m_buttons.size());
        b->Caption = com::U16(text);
        b->Enabled = !(info.fState & (MFS_GRAYED | MFS_DISABLED));
        b->SubMenu = info.hSubMenu;
        // An item with a submenu has no command of its own.
        b->Command = info.hSubMenu ? 0 : info.wID;
        forms::TMenuItem* item = root && i < root->Count() ? root->Items(i) : nullptr;
        if (b->Caption.empty() && item) {
            b->Caption = item->Caption();
            b->Enabled = item->Enabled();
            b->Command = item->Count() > 0 ? 0 : item->Command();
            if (item->Count() > 0) b->SubMenu = item->Handle();
        }
        m_buttons.push_back(std::move(b));
    }
    SetMenu(m_form.Handle, nullptr);
}

void TSkinMenuBar::GiveBack() {
    if (g_track.bar == this) {
        g_track.next = -1;
        EndMenu();
    }
    // The submenus are drawn by the system again.
    for (auto& b : m_buttons)
        if (b->SubMenu && IsMenu(b->SubMenu)) MakeMenuOwnerDrawn(b->SubMenu, false);
    if (m_menu && IsWindow(m_form.Handle) && GetMenu(m_form.Handle) != m_menu) SetMenu(m_form.Handle, m_menu);
}

void TSkinMenuBar::Paint(HDC dc, const RECT& band) {
    TSkinData* data = m_form.SkinData;
    const int w = band.right - band.left, h = band.bottom - band.top;
    m_barRect = band;
    if (!data || w <= 0 || h <= 0) return;
    const SkinElements& e = data->Elements();
    forms::TBitmap& scratch = SkinScratchBitmap();
    scratch.SetPixelFormat(forms::TPixelFormat::pf24bit);
    scratch.SetSize(w, h);
    forms::TCanvas& canvas = scratch.Canvas();
    const HDC sdc = canvas.Handle();
    const RECT all{0, 0, w, h};
    int x = 6;
    const TDataSkinObject* element = e.MenuBar.get();
    forms::TBitmap* strip = element ? data->Picture(element->Bitmap) : nullptr;
    if (strip) {
        const int frame = m_form.Active ? 1 : 2;
        const SkinMargins margins{element->LeftWidth, element->TopHeight, element->RightWidth, element->BottomHeight};
        if (element->Tile == 1)
            DrawSkinFrame(sdc, all, *strip, margins, true, false, false, 2, frame);
        else
            DrawSkinBarTiled(canvas, all, *strip, SkinMargins{element->LeftWidth, 0, element->RightWidth, 0}, true,
                             false, 2, frame);
        x = m_form.RightToLeft ? element->RightWidth + 8 : element->LeftWidth + 4;
        if (x > w) x = 12;
    } else {
        const HBRUSH brush = CreateSolidBrush(MenuColourOf(e.MenubarColour));
        FillRect(sdc, &all, brush);
        DeleteObject(brush);
    }
    m_background.SetSize(w, h);
    BitBlt(m_background.Canvas().Handle(), 0, 0, w, h, sdc, 0, 0, SRCCOPY);

    const HGDIOBJ oldFont = m_font ? SelectObject(sdc, m_font) : nullptr;
    const int oldMode = SetBkMode(sdc, TRANSPARENT);
    for (auto& b : m_buttons) {
        RECT size{0, 0, 0, 0};
        if (!b->Caption.empty())
            DrawTextW(sdc, com::W(b->Caption), -1, &size, DT_CALCRECT | DT_SINGLELINE);
        const int bw = b->Caption.empty() ? 0 : size.right - size.left + 10;
        RECT r = m_form.RightToLeft ? RECT{w - x - bw, 0, w - x, h - 1} : RECT{x, 0, x + bw, h - 1};
        x += bw;
        if (bw > 0) {
            if (b->State == ncPressed || b->State == ncHot) {
                const HBRUSH frame = CreateSolidBrush(MenuColourOf(e.ButtonHilightColour));
                FrameRect(sdc, &r, frame);
                DeleteObject(frame);
            }
            SetTextColor(sdc, b->Enabled ? MenuColourOf(e.MenuBarTextColour) : GetSysColor(COLOR_BTNSHADOW));
            RECT text = r;
            DrawTextW(sdc, com::W(b->Caption), -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        }
        b->Rect = RECT{r.left + band.left, r.top + band.top, r.right + band.left, r.bottom + band.top};
    }
    SetBkMode(sdc, oldMode);
    if (oldFont) SelectObject(sdc, oldFont);
    PaintMdiButtons(canvas, band);
    BitBlt(dc, band.left, band.top, w, h, sdc, 0, 0, SRCCOPY);
}

void TSkinMenuBar::PaintMdiButtons(forms::TCanvas& canvas, const RECT& band) {
    // An MDI frame whose active child is maximised shows the child's
    // buttons in its bar (laid out with the title-bar buttons).
    if (m_form.WindowKind != 1 || !m_form.MDIClient) return;
    BOOL maximized = FALSE;
    const HWND child = reinterpret_cast<HWND>(
        SendMessageW(m_form.MDIClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
    if (!child || !maximized) return;
    for (auto& b : m_form.SysButtons) {
        const TDataSkinSysButton& e = b->Element;
        if (e.Visibility != 100 || !b->Visible || e.Bitmap.Empty()) continue;
        forms::TBitmap* strip = m_form.SkinData->Picture(e.Bitmap);
        if (!strip) continue;
        const RECT r{b->Rect.left - band.left, b->Rect.top - band.top, b->Rect.right - band.left,
                     b->Rect.bottom - band.top};
        DrawStripFrame(canvas.Handle(), r, *strip, true, e.FrameCount, 1);
    }
    TSkinManage* manager = SkinManage();
    if (manager && !manager->MdiMaximized()) manager->SetMdiMaximized(true);
}

TNCObject* TSkinMenuBar::ButtonAt(POINT p) {
    for (auto& b : m_buttons)
        if (b->Visible && !b->Caption.empty() && PtInRect(&b->Rect, p)) return b.get();
    return nullptr;
}

void TSkinMenuBar::PostClick(const TMenuBtn& button) {
    RECT r{};
    GetWindowRect(m_form.Handle, &r);
    PostMessageW(m_form.Handle, WM_NCLBUTTONDOWN, HTCLIENT,
                 MAKELPARAM(r.left + button.Rect.left + 1, r.top + button.Rect.top + 1));
}

bool TSkinMenuBar::Accelerator(char16_t key, bool open) {
    for (auto& b : m_buttons) {
        if (!b->Enabled || !forms::IsAccel(key, b->Caption)) continue;
        if (open) PostClick(*b);
        return true;
    }
    return false;
}

void TSkinMenuBar::Open(TNCObject* object) {
    const auto found = std::find_if(m_buttons.begin(), m_buttons.end(), [&](const auto& b) { return b.get() == object; });
    if (found == m_buttons.end() || g_track.bar) return;
    const HWND window = m_form.Handle;
    int index = (*found)->Index;
    while (index >= 0 && index < Count()) {
        TMenuBtn& b = *m_buttons[static_cast<size_t>(index)];
        index = -1;
        if (b.Command) PostMessageW(window, WM_COMMAND, b.Command, 0);
        if (!b.SubMenu) {
            b.MouseLeave();
            return;
        }
        const HMENU submenu = b.SubMenu;
        const SkinMenuHooks& hooks = MenuSkinning();
        if (hooks.ownerDrawSubmenu) hooks.ownerDrawSubmenu(m_form, submenu, true);
        RECT r{};
        GetWindowRect(window, &r);
        m_form.Tracking = true;
        InstallFilter(this, submenu, b.Index);
        if (b.Enabled) {
            if (m_form.HotObject != &b) b.MouseDown();
            TrackPopupMenu(submenu, TPM_NONOTIFY | TPM_RIGHTBUTTON, r.left + b.Rect.left, r.top + b.Rect.bottom, 0,
                           window, nullptr);
        }
        // The bar may have gone while the menu was open (a skin switch).
        if (g_track.bar != this) return;
        index = g_track.next;
        RemoveFilter();
        m_form.Tracking = false;
        b.MouseLeave();
    }
}

}  // namespace skin
