#include "skin/SkinMenu.h"

#include "framework/com/Owners.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "skin/SkinSubclass.h"

namespace skin {

TSkinPopupMenu* PendingPopup = nullptr;

SkinMenuHooks& MenuSkinning() {
    static SkinMenuHooks hooks = DefaultMenuHooks();
    return hooks;
}

namespace {

const WCHAR kPopupProp[] = L"CorvaneSkinPopup";

}  // namespace

TSkinPopupMenu::TSkinPopupMenu() = default;

TSkinPopupMenu::~TSkinPopupMenu() {
    Detach();
    if (PendingPopup == this) PendingPopup = nullptr;
}

void TSkinPopupMenu::Attach(HWND wnd, TSkinData* skin, HMENU menu) {
    if (m_oldProc) return;
    m_handle = wnd;
    m_skinData = skin;
    m_menuHandle = menu;
    SetPropW(wnd, kPopupProp, this);
    m_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSkinPopupMenu::Proc)));
}

void TSkinPopupMenu::Detach() {
    if (!m_oldProc) return;
    if (IsWindow(m_handle)) {
        SetWindowLongPtrW(m_handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
        RemovePropW(m_handle, kPopupProp);
    }
    m_oldProc = nullptr;
    m_background.SetSize(0, 0);
    // No later menu drawing may reach a skinner that has let its window go.
    if (PendingPopup == this) PendingPopup = nullptr;
}

LRESULT CALLBACK TSkinPopupMenu::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TSkinPopupMenu*>(GetPropW(hwnd, kPopupProp));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return GuardedMessage(hwnd, msg, wParam, lParam, self->m_oldProc,
                          [&] { return self->WindowProc(msg, wParam, lParam); });
}

LRESULT TSkinPopupMenu::CallOld(UINT msg, WPARAM wParam, LPARAM lParam) {
    return m_oldProc ? CallWindowProcW(m_oldProc, m_handle, msg, wParam, lParam)
                     : DefWindowProcW(m_handle, msg, wParam, lParam);
}

bool TSkinPopupMenu::PaintBorder() {
    if (!m_skinData || m_skinData->NoSkinLoaded()) return false;
    const TDataSkinObject* element = m_skinData->Elements().MenuBackground.get();
    forms::TBitmap* strip = element ? m_skinData->Picture(element->Bitmap) : nullptr;
    if (!strip) return false;
    RECT r{};
    GetWindowRect(m_handle, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    auto made = MakeSkinFrameBitmap(RECT{0, 0, w, h}, *strip,
                                    {element->LeftWidth, element->TopHeight, element->RightWidth, element->BottomHeight},
                                    false, element->Tile == 1, 1, 1);
    m_background.Assign(*made);
    if (!m_menuHandle) PendingPopup = this;
    const com::WindowDc windowDc(m_handle, com::WindowDc::Whole);
    const HDC dc = windowDc.Get();
    if (!dc) return true;
    const HDC src = m_background.Canvas().Handle();
    const int e = 3;
    BitBlt(dc, 0, 0, w, e, src, 0, 0, SRCCOPY);
    BitBlt(dc, 0, h - e, w, e, src, 0, h - e, SRCCOPY);
    BitBlt(dc, 0, e, e, h - 2 * e, src, 0, e, SRCCOPY);
    BitBlt(dc, w - e, e, e, h - 2 * e, src, w - e, e, SRCCOPY);
    return true;
}

LRESULT TSkinPopupMenu::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == 0x3504) return 1;
    TSkinManage* manager = SkinManage();
    if (!manager || !manager->Active()) return CallOld(msg, wParam, lParam);
    switch (msg) {
    case WM_DESTROY: {
        const WNDPROC old = m_oldProc;
        const HWND wnd = m_handle;
        Detach();
        return old ? CallWindowProcW(old, wnd, msg, wParam, lParam) : DefWindowProcW(wnd, msg, wParam, lParam);
    }
    case WM_PRINTCLIENT: {
        if (!PaintBorder()) return CallOld(msg, wParam, lParam);
        // Items over the background, inside the border.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        BitBlt(dc, 0, 0, m_background.Width(), m_background.Height(), m_background.Canvas().Handle(), 0, 0, SRCCOPY);
        const HRGN clip = CreateRectRgn(3, 3, m_background.Width() - 3, m_background.Height() - 3);
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        SelectClipRgn(dc, clip);
        const LRESULT r = CallOld(msg, wParam, lParam);
        SelectClipRgn(dc, nullptr);
        DeleteObject(clip);
        SetBkMode(dc, oldMode);
        return r;
    }
    case WM_NCPAINT:
        if (PaintBorder()) return 0;
        return CallOld(msg, wParam, lParam);
    case WM_PAINT: {
        // The menu paints its whole face here; the skin's border goes over
        // its edge afterwards.
        const LRESULT r = CallOld(msg, wParam, lParam);
        PaintBorder();
        return r;
    }
    default:
        return CallOld(msg, wParam, lParam);
    }
}

}  // namespace skin
