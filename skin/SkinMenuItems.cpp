// Menus drawn from the skin: the skinned system menu, the items of the
// skinned menu bar's submenus and the form's own popup menus, all drawn
// owner-drawn with the skin's MenuItem strip.
// The system's check mark bitmap is among the OEM resources.
#define OEMRESOURCE
#include <windows.h>

#include <algorithm>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "skin/SkinData.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "skin/SkinMenu.h"

namespace skin {

namespace {

const char16_t kSystemMenuName[] = u"SkinSystemMenu";

int LeftMargin(const TSkinData* data) {
    const TDataSkinObject* e = data ? data->Elements().MenuItem.get() : nullptr;
    return e ? e->LeftWidth : 0;
}

// The skinner whose skin draws a framework menu: the system menu's owner,
// or the skinner of the form that owns the menu.
TSkinForm* SkinnerOfMenu(forms::TMenuItem* item) {
    forms::TMenu* menu = item ? item->ParentMenu() : nullptr;
    forms::TComponent* owner = menu ? menu->Owner() : nullptr;
    if (auto* s = dynamic_cast<TSkinForm*>(owner)) return s;
    auto* form = dynamic_cast<forms::TCustomForm*>(owner);
    TSkinManage* manager = SkinManage();
    if (!form || !manager || !form->HandleAllocated()) return nullptr;
    return manager->FindFormSkinner(form->Handle());
}

MenuItemFacts FactsOf(forms::TMenuItem& item) {
    MenuItemFacts f;
    f.caption = item.Caption();
    f.enabled = item.Enabled();
    f.checked = item.Checked();
    f.isDefault = item.Default();
    f.shortCut = item.ShortCut();
    f.imageIndex = item.ImageIndex();
    if (forms::TMenu* menu = item.ParentMenu()) f.images = menu->Images();
    return f;
}

void SysMenuItemClick(forms::TObject* sender) {
    auto* item = dynamic_cast<forms::TMenuItem*>(sender);
    TSkinForm* form = SkinnerOfMenu(item);
    if (!item || !form) return;
    const HWND h = form->Handle;
    switch (item->Tag()) {
    case 0: PostMessageW(h, WM_SYSCOMMAND, SC_RESTORE, 0); break;
    case 1: PostMessageW(h, WM_SYSCOMMAND, form->ShowState == 1 ? SC_RESTORE : SC_MAXIMIZE, 0); break;
    case 2: PostMessageW(h, WM_SYSCOMMAND, form->ShowState == 2 ? SC_RESTORE : SC_MINIMIZE, 0); break;
    case 3:
        if (form->Timer) form->Timer->SetEnabled(false);
        PostMessageW(h, WM_CLOSE, 0, 0);
        break;
    default: break;
    }
}

void SysMenuMeasureItem(forms::TObject* sender, forms::TCanvas&, int& width, int&) {
    auto* item = dynamic_cast<forms::TMenuItem*>(sender);
    TSkinForm* form = SkinnerOfMenu(item);
    width += LeftMargin(form ? form->SkinData : nullptr) + 12;
    forms::TMenu* menu = item ? item->ParentMenu() : nullptr;
    if (!menu || !menu->Images()) width += 23;
}

void SkinMenuItemDrawEvent(forms::TObject* sender, forms::TCanvas& canvas, const RECT& rect, bool selected) {
    auto* item = dynamic_cast<forms::TMenuItem*>(sender);
    if (!item) return;
    TSkinForm* form = SkinnerOfMenu(item);
    if (!form || !form->SkinData || form->SkinData->NoSkinLoaded()) {
        item->DefaultDrawItem(canvas, rect, selected);
        return;
    }
    HMENU parent = item->Parent() ? item->Parent()->Handle() : nullptr;
    SkinMenuItemDraw(*form->SkinData, FactsOf(*item), canvas.Handle(), selected, rect, parent);
}

void SetOwnerDrawn(HMENU menu, bool on, int depth) {
    if (!menu || depth > 16) return;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        const UINT type = on ? (info.fType | MFT_OWNERDRAW) : (info.fType & ~MFT_OWNERDRAW);
        if (type != info.fType) {
            MENUITEMINFOW set{};
            set.cbSize = sizeof set;
            set.fMask = MIIM_FTYPE;
            set.fType = type;
            SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
        }
        if (info.hSubMenu) SetOwnerDrawn(info.hSubMenu, on, depth + 1);
    }
}

void SetItemEvents(forms::TMenuItem* item, bool on) {
    for (int i = 0; i < item->Count(); ++i) {
        forms::TMenuItem* child = item->Items(i);
        if (on) {
            if (!child->OnAdvancedDrawItem) child->OnAdvancedDrawItem = &SkinMenuItemDrawEvent;
            child->OnMeasureItem = &SysMenuMeasureItem;
        } else {
            child->OnAdvancedDrawItem = nullptr;
            child->OnMeasureItem = nullptr;
        }
        SetItemEvents(child, on);
    }
}

forms::TPopupMenu* SystemMenuOf(TSkinForm& form) {
    return dynamic_cast<forms::TPopupMenu*>(form.FindComponent(kSystemMenuName));
}

void BuildSystemMenu(TSkinForm& form) {
    delete SystemMenuOf(form);
    auto* menu = new forms::TPopupMenu(&form);
    menu->SetName(kSystemMenuName);
    if (form.SkinData) menu->SetImages(form.SkinData->MenuImages());
    struct Entry {
        const char16_t* caption;
        int tag;
        bool present;
    };
    const Entry entries[] = {{u" Restore ", 0, true},
                             {u" Maximize ", 1, (form.Caps & kCapMaximize) != 0},
                             {u" Minimize ", 2, (form.Caps & kCapMinimize) != 0},
                             {u"-", 100, true},
                             {u" Close ", 3, true}};
    for (const Entry& e : entries) {
        if (!e.present) continue;
        auto* item = new forms::TMenuItem(menu);
        item->SetCaption(e.caption);
        item->SetTag(e.tag);
        item->SetImageIndex(e.tag);
        if (e.tag == 3) item->SetShortCut(forms::TextToShortCut(u"Shift+F4"));
        item->OnClick = &SysMenuItemClick;
        item->OnAdvancedDrawItem = &SkinMenuItemDrawEvent;
        item->OnMeasureItem = &SysMenuMeasureItem;
        menu->Items()->Add(item);
    }
    menu->SetOwnerDraw(true);
}

bool ShowSkinnedSystemMenu(TSkinForm& form, POINT screen) {
    forms::TPopupMenu* menu = SystemMenuOf(form);
    if (!menu) return false;
    forms::TMenuItem* root = menu->Items();
    for (int i = 0; i < root->Count(); ++i) {
        forms::TMenuItem* item = root->Items(i);
        switch (item->Tag()) {
        case 0: item->SetEnabled(form.ShowState != 0); break;
        case 1: item->SetEnabled(form.ShowState != 1); break;
        case 2: item->SetEnabled(form.ShowState != 2); break;
        default: break;
        }
    }
    menu->Popup(screen.x, screen.y);
    return true;
}

void FormPopupMenus(TSkinForm& form, bool on) {
    if (!form.Form) return;
    const int disableTag = form.SkinData ? form.SkinData->DisableTag : 99;
    for (int i = 0; i < form.Form->ComponentCount(); ++i) {
        auto* menu = dynamic_cast<forms::TPopupMenu*>(form.Form->Component(i));
        if (!menu || (on && menu->Tag() % 100 == disableTag)) continue;
        menu->SetOwnerDraw(on);
        SetItemEvents(menu->Items(), on);
    }
}

// The text of a native item, found in the window's menu by command.
forms::String NativeText(HMENU menu, UINT command) {
    WCHAR text[256] = {};
    if (!menu || GetMenuStringW(menu, command, text, 255, MF_BYCOMMAND) <= 0) return forms::String();
    return com::U16(text);
}

bool MenuItemMessage(TSkinForm& form, forms::TMessage& m) {
    if (!form.WindowMenu || !form.SkinData) return false;
    const HMENU barMenu = form.MenuBar ? form.MenuBar->Menu() : form.WindowMenu;
    if (m.Msg == WM_MEASUREITEM) {
        auto* d = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        if (!d || d->CtlType != ODT_MENU) return false;
        const int margin = LeftMargin(form.SkinData);
        if (forms::TMenuItem* item = forms::TMenuItem::FindByCommand(d->itemID)) {
            int w = 0, h = 0;
            {
                const com::MemoryDc dc;
                const com::GdiFont font(CreateMenuFont(false));
                const com::SelectedObject selected(dc.Get(), font.Get());
                forms::TCanvas canvas;
                canvas.SetHandle(dc.Get());
                item->DefaultMeasureItem(canvas, w, h);
                canvas.SetHandle(nullptr);
            }
            forms::TMenu* menu = item->ParentMenu();
            w += margin + 10 + (menu && menu->Images() ? 0 : 25);
            d->itemWidth = static_cast<UINT>(w);
            d->itemHeight = static_cast<UINT>(h);
        } else {
            const forms::String text = NativeText(barMenu, d->itemID);
            const SIZE size = MeasureMenuText(text.empty() ? forms::String(u" ") : text);
            d->itemWidth = static_cast<UINT>(size.cx + 26 + margin);
            d->itemHeight = static_cast<UINT>(size.cy + (text.empty() ? 8 : 4));
        }
        m.Result = TRUE;
        return true;
    }
    if (m.Msg == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        if (!d || d->CtlType != ODT_MENU) return false;
        const HMENU parent = reinterpret_cast<HMENU>(d->hwndItem);
        if (PendingPopup) {
            PendingPopup->SetMenuHandle(parent);
            PendingPopup = nullptr;
        }
        const bool selected = (d->itemState & ODS_SELECTED) != 0;
        if (forms::TMenuItem* item = forms::TMenuItem::FindByCommand(d->itemID)) {
            MenuItemFacts f = FactsOf(*item);
            f.rightToLeft = form.RightToLeft;
            SkinMenuItemDraw(*form.SkinData, f, d->hDC, selected, d->rcItem, parent);
        } else {
            MenuItemFacts f;
            f.rightToLeft = form.RightToLeft;
            f.caption = NativeText(parent, d->itemID);
            if (f.caption.empty()) f.caption.assign(1, u'-');  // a separator
            const UINT state = GetMenuState(parent, d->itemID, MF_BYCOMMAND);
            f.enabled = !(state & (MF_GRAYED | MF_DISABLED));
            f.checked = (state & MF_CHECKED) != 0;
            SkinMenuItemDraw(*form.SkinData, f, d->hDC, selected, d->rcItem, parent);
        }
        m.Result = TRUE;
        return true;
    }
    return false;
}

// The glyph, the text and the short cut of an item in its rectangle.
void DrawContent(HDC dc, const TSkinData& data, const MenuItemFacts& f, bool selected, const RECT& r) {
    const bool rtl = f.rightToLeft;
    const SkinElements& e = data.Elements();
    const int margin = LeftMargin(&data);
    if (f.caption == u"-") {
        RECT line{r.left, r.top + 4, r.right, r.bottom};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    int glyph = f.images ? f.images->Width() : 16;
    if (f.checked) glyph = std::max(glyph, 16);
    RECT box{r.left + 1 + margin, r.top + 1, r.left + 1 + margin + glyph, r.top + 1 + glyph};
    if (rtl) box = RECT{r.right - 1 - margin - glyph, r.top + 1, r.right - 1 - margin, r.top + 1 + glyph};
    const bool image = f.images && f.imageIndex >= 0 && f.imageIndex < f.images->Count();
    if (image) {
        if (f.checked) {
            // A checked glyph sits in a sunken, dithered box.
            WORD bits[8];
            for (int i = 0; i < 8; ++i) bits[i] = static_cast<WORD>((i & 1) ? 0x55 : 0xAA);
            const HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
            const HBRUSH brush = CreatePatternBrush(pattern);
            const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
            const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            FillRect(dc, &box, brush);
            SetTextColor(dc, oldText);
            SetBkColor(dc, oldBack);
            DeleteObject(brush);
            DeleteObject(pattern);
            DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT);
        }
        forms::TCanvas canvas;
        canvas.SetHandle(dc);
        f.images->Draw(canvas, box.left, box.top, f.imageIndex, f.enabled);
        canvas.SetHandle(nullptr);
    } else if (f.checked) {
        const HBITMAP check = static_cast<HBITMAP>(LoadImageW(nullptr, MAKEINTRESOURCEW(OBM_CHECK), IMAGE_BITMAP, 0, 0,
                                                              LR_SHARED));
        BITMAP bm{};
        if (check && GetObjectW(check, sizeof bm, &bm)) {
            forms::TBitmap mark;
            mark.SetPixelFormat(forms::TPixelFormat::pf24bit);
            mark.SetSize(bm.bmWidth, bm.bmHeight);
            {
                const com::MemoryDc src(dc);
                const com::SelectedObject selected(src.Get(), check);
                BitBlt(mark.Canvas().Handle(), 0, 0, bm.bmWidth, bm.bmHeight, src.Get(), 0, 0, SRCCOPY);
            }
            const int x = box.left + (glyph - bm.bmWidth) / 2 + 1, y = box.top + (glyph - bm.bmHeight) / 2 + 1;
            // The mark's white is its background.
            TransparentBlit(dc, RECT{x, y, x + bm.bmWidth, y + bm.bmHeight}, mark, RGB(255, 255, 255));
        }
    }
    const com::GdiFont font(CreateMenuFont(f.isDefault));
    const com::SelectedObject selectedFont(dc, font.Get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF colour = selected ? MenuColourOf(e.HilightTextColour) : MenuColourOf(e.MenuTextColour);
    if (!f.enabled) {
        colour = MenuColourOf(e.ButtonShadowColour);
        if (colour == MenuColourOf(e.MenuTextColour)) colour = GetSysColor(COLOR_BTNSHADOW);
    }
    const COLORREF oldColour = SetTextColor(dc, colour);
    const forms::String caption = (f.caption.empty() || f.caption == u"&") ? forms::String(u" ") : f.caption;
    RECT text = rtl ? RECT{r.left + 1, r.top, box.left - 3, r.bottom} : RECT{box.right + 3, r.top, r.right - 1, r.bottom};
    RECT measured = text;
    DrawTextW(dc, com::W(caption), -1, &measured, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
    const int th = measured.bottom - measured.top;
    text.top = r.top + (r.bottom - r.top - th) / 2;
    text.bottom = text.top + th;
    DrawTextW(dc, com::W(f.caption), -1, &text, DT_EXPANDTABS | DT_SINGLELINE | (rtl ? DT_RIGHT : DT_LEFT));
    if (f.shortCut) {
        RECT sc = rtl ? RECT{r.left + 10, text.top, r.right, text.bottom} : RECT{r.left, text.top, r.right - 10, text.bottom};
        DrawTextW(dc, com::W(forms::ShortCutToText(f.shortCut)), -1, &sc,
                  DT_SINGLELINE | (rtl ? DT_LEFT : DT_RIGHT));
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

}  // namespace

COLORREF MenuColourOf(SkinColour c) {
    return (c & kSystemColour) ? GetSysColor(static_cast<int>(c & 0xFF)) : static_cast<COLORREF>(c);
}

HFONT CreateMenuFont(bool bold) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    if (bold) metrics.lfMenuFont.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

SIZE MeasureMenuText(const forms::String& text) {
    const HDC dc = CreateCompatibleDC(nullptr);
    const HFONT font = CreateMenuFont(false);
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, com::W(text), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    if (old) SelectObject(dc, old);
    if (font) DeleteObject(font);
    DeleteDC(dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void SkinMenuItemDraw(TSkinData& data, const MenuItemFacts& f, HDC dc, bool selected, const RECT& rect,
                      HMENU parent) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    const SkinElements& e = data.Elements();
    const TDataSkinObject* element = e.MenuItem.get();
    forms::TBitmap* strip = element ? data.Picture(element->Bitmap) : nullptr;
    forms::TBitmap item;
    item.SetPixelFormat(forms::TPixelFormat::pf24bit);
    item.SetSize(w, h);
    const HDC idc = item.Canvas().Handle();
    const RECT all{0, 0, w, h};
    if (!strip) {
        // Without the skin's item picture: the highlight or the menu colour.
        const HBRUSH brush = CreateSolidBrush(selected ? MenuColourOf(e.HilightColour) : MenuColourOf(e.MenuColour));
        FillRect(idc, &all, brush);
        DeleteObject(brush);
        DrawContent(idc, data, f, selected, all);
        BitBlt(dc, rect.left, rect.top, w, h, idc, 0, 0, SRCCOPY);
        return;
    }
    TSkinManage* manager = SkinManage();
    forms::TBitmap* back = manager && parent ? manager->PopupBackground(parent) : nullptr;
    if (back && back->Width() > 0) {
        BitBlt(idc, 0, 0, w, h, back->Canvas().Handle(), rect.left + 3, rect.top + 3, SRCCOPY);
    } else {
        const HBRUSH brush = CreateSolidBrush(MenuColourOf(e.MenuColour));
        FillRect(idc, &all, brush);
        DeleteObject(brush);
    }
    const SkinMargins margins{element->LeftWidth, element->TopHeight, element->RightWidth, element->BottomHeight};
    if (f.caption != u"-") {
        DrawSkinFrame(idc, all, *strip, margins, false, element->Tile == 1, element->Trans != 0, 5, selected ? 4 : 1);
        DrawContent(idc, data, f, selected, all);
        BitBlt(dc, rect.left, rect.top, w, h, idc, 0, 0, SRCCOPY);
        return;
    }
    BitBlt(dc, rect.left, rect.top, w, h, idc, 0, 0, SRCCOPY);
    // The separator: the bottom rows of frame 2, its margins kept and its
    // middle stretched.
    const int fw = strip->Width() / 5, sh = strip->Height();
    const int rows = std::min(h, sh);
    const int left = std::min(element->LeftWidth, fw), right = std::min(element->RightWidth, fw - left);
    forms::TBitmap piece;
    piece.SetPixelFormat(forms::TPixelFormat::pf24bit);
    piece.SetSize(w, rows);
    const HDC pdc = piece.Canvas().Handle();
    const HDC sdc = strip->Canvas().Handle();
    const int sx = fw, sy = sh - rows;
    SetStretchBltMode(pdc, COLORONCOLOR);
    BitBlt(pdc, 0, 0, left, rows, sdc, sx, sy, SRCCOPY);
    StretchBlt(pdc, left, 0, std::max(0, w - left - right), rows, sdc, sx + left, sy, fw - left - right, rows, SRCCOPY);
    BitBlt(pdc, w - right, 0, right, rows, sdc, sx + fw - right, sy, SRCCOPY);
    TransparentBlit(dc, RECT{rect.left, rect.top + (h - rows) / 2, rect.right, rect.top + (h - rows) / 2 + rows}, piece,
                    kSkinKeyColour);
}

void MakeMenuOwnerDrawn(HMENU menu, bool on) { SetOwnerDrawn(menu, on, 0); }

void InstallItemHooks(SkinMenuHooks& hooks) {
    hooks.buildSystemMenu = &BuildSystemMenu;
    hooks.freeSystemMenu = [](TSkinForm& form) { delete SystemMenuOf(form); };
    hooks.showSystemMenu = &ShowSkinnedSystemMenu;
    hooks.menuItemMessage = &MenuItemMessage;
    hooks.formPopupMenus = &FormPopupMenus;
    hooks.ownerDrawSubmenu = [](TSkinForm&, HMENU submenu, bool on) { SetOwnerDrawn(submenu, on, 0); };
}

}  // namespace skin
