#include "skin/SkinForm.h"

#include <algorithm>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "skin/SkinData.h"
#include "skin/SkinImage.h"
#include "skin/SkinManager.h"
#include "skin/SkinMenu.h"
#include "skin/SkinSubclass.h"

// Draws a menu bar into any DC at any place; the system keeps the item
// positions it drew for its own menu tracking.
extern "C" DWORD WINAPI DrawMenuBarTemp(HWND window, HDC dc, LPRECT rect, HMENU menu, HFONT font);

namespace skin {

namespace {

const WCHAR kSkinProp[] = L"CorvaneSkinForm";
const WCHAR kClientProp[] = L"CorvaneSkinClient";

POINT PointOf(LPARAM l) { return POINT{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))}; }

bool Has(const TSkinData* d, TSkinControlType t) { return d && (d->SkinControls & SkinControlBit(t)); }

SkinMargins MarginsOf(const TDataSkinObject& e) { return {e.LeftWidth, e.TopHeight, e.RightWidth, e.BottomHeight}; }

COLORREF Resolve(SkinColour c) {
    return (c & kSystemColour) ? GetSysColor(static_cast<int>(c & 0xFF)) : static_cast<COLORREF>(c);
}

forms::TColor FaceColour(const TSkinData* d) { return static_cast<forms::TColor>(d->Elements().ButtonFaceColour); }

const TDataSkinBorder* BorderElement(const TSkinData* d, int kind) {
    const SkinElements& e = d->Elements();
    switch (kind) {
    case 1: return e.BorderLeft.get();
    case 2: return e.BorderRight.get();
    case 3: return e.BorderTop.get();
    default: return e.BorderBottom.get();
    }
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

// The system lays a menu bar out for its own frame whenever it sizes the
// frame, and draws it there; setting an item's text again (to what it is)
// makes it lay the bar out anew where it is drawn next.
void ForgetMenuLayout(HMENU menu) {
    WCHAR text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    if (!GetMenuItemInfoW(menu, 0, TRUE, &info)) return;
    if (info.fType & (MFT_OWNERDRAW | MFT_BITMAP | MFT_SEPARATOR)) return;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    SetMenuItemInfoW(menu, 0, TRUE, &info);
}

}  // namespace

// ---- Non-client objects ------------------------------------------------------------------

TNCObject::~TNCObject() {
    if (m_form.HotObject == this) m_form.HotObject = nullptr;
}

void TNCObject::MouseDown() {
    if (m_form.HotObject && m_form.HotObject != this) m_form.HotObject->MouseLeave();
    if (!Visible) return;
    m_form.HotObject = this;
    State = ncPressed;
    Paint();
}

void TNCObject::MouseUp() {
    if (!Visible) return;
    State = ncHot;
    Paint();
}

void TNCObject::MouseMove() {
    if (m_form.HotObject && m_form.HotObject != this) m_form.HotObject->MouseLeave();
    if (m_form.HotObject == this || !Visible) return;
    m_form.HotObject = this;
    State = ncHot;
    Paint();
}

void TNCObject::MouseLeave() {
    if (!Visible) return;
    if (m_form.HotObject == this) m_form.HotObject = nullptr;
    State = ncNormal;
    Paint();
}

bool TWinSysButton::IsIcon() const { return Element.Action == 3 || Element.Action == 11; }

void TWinSysButton::Paint() {
    if (!Visible || !m_form.NonClientSkinned()) return;
    const com::WindowDc windowDc(m_form.Handle, com::WindowDc::Whole);
    const HDC dc = windowDc.Get();
    if (!dc) return;
    if (IsIcon()) {
        DrawStripFrame(dc, Rect, m_form.IconBitmap(), true, 1, 1);
    } else if (forms::TBitmap* strip = m_form.SkinData->Picture(Element.Bitmap)) {
        DrawStripFrame(dc, Rect, *strip, true, Element.FrameCount, StateButtonFrame(State, Element.Visibility == 100));
    }
}

void TWinSysButton::PaintTitle(HDC dc, bool active) {
    if (!Visible || Element.Visibility == 100) return;
    if (IsIcon()) {
        DrawStripFrame(dc, Rect, m_form.IconBitmap(), true, 1, 1);
    } else if (forms::TBitmap* strip = m_form.SkinData->Picture(Element.Bitmap)) {
        DrawStripFrame(dc, Rect, *strip, true, Element.FrameCount, TitleButtonFrame(active, Element.FrameCount));
    }
}

// ---- The form skinner: life ------------------------------------------------------------

TSkinForm::TSkinForm(forms::TComponent* owner) : forms::TComponent(owner) {
    m_doubleClickTime = GetDoubleClickTime();
}

TSkinForm::~TSkinForm() {
    SetDestroying();
    // Never leave the window calling into a freed skinner.
    if (m_formHooked && Form && !(Form->ComponentState() & forms::csDestroying)) Form->WindowProc = m_oldWindowProc;
    m_formHooked = false;
    RestoreWindowProc();
    UnhookClient();
    FreeSkinners();
    HotObject = nullptr;
    SysButtons.clear();
    MenuBar.reset();
    if (m_titleFont) DeleteObject(m_titleFont);
    if (TSkinManage* manager = SkinManage()) manager->RemoveFormSkinner(Handle);
}

void TSkinForm::Notification(forms::TComponent* component, forms::TOperation operation) {
    forms::TComponent::Notification(component, operation);
    if (operation != forms::TOperation::opRemove) return;
    if (component == Form) Form = nullptr;
    for (auto it = Skinners.begin(); it != Skinners.end(); ++it) {
        TSkinControl* s = *it;
        if (s == component) {
            // A skinner freed elsewhere.
            Skinners.erase(it);
            if (HotControl == s) HotControl = nullptr;
            return;
        }
        // The component is being freed: only its address is known, and a
        // windowless control's skinner is the one without a window.
        if (static_cast<forms::TComponent*>(s->Control()) == component && !s->Handle()) {
            Skinners.erase(it);
            if (HotControl == s) HotControl = nullptr;
            delete s;
            return;
        }
    }
}

bool TSkinForm::NonClientSkinned() const {
    return SkinData && !SkinData->NoSkinLoaded() && (SkinState == 1 || SkinState == 3) && BorderKind != 2 &&
           !MdiChildOutOfNormal();
}

bool TSkinForm::MdiChildOutOfNormal() const { return WindowKind == 2 && ShowState != 0; }

void TSkinForm::AttachForm(TSkinData* skin, forms::TCustomForm* form) {
    if (Subclassed() || !form) return;
    Form = form;
    if (!Handle) Handle = form->Handle();
    if (Has(skin, xcMainMenu)) {
        m_oldWindowProc = form->WindowProc;
        form->WindowProc = [this](forms::TMessage& m) { FormWindowProc(m); };
        m_formHooked = true;
    }
    AttachWindow(skin);
    m_oldColor = form->Color();
    form->SetColor(FaceColour(skin));
    if (Has(skin, xcMainMenu) && MenuSkinning().formPopupMenus) MenuSkinning().formPopupMenus(*this, true);
}

void TSkinForm::AttachWindow(TSkinData* skin) {
    if (Subclassed() || !Handle) return;
    SkinData = skin;
    if (!Timer) {
        Timer = new forms::TTimer(this);
        Timer->SetEnabled(false);
        Timer->SetInterval(250);
        Timer->OnTimer = [this](forms::TObject*) { TimerTick(); };
    }
    if (!m_titleFont) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            m_titleFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    }

    Style = static_cast<DWORD>(GetWindowLongW(Handle, GWL_STYLE));
    ExStyle = static_cast<DWORD>(GetWindowLongW(Handle, GWL_EXSTYLE));
    m_attachStyle = Style;
    RightToLeft = (ExStyle & WS_EX_LEFTSCROLLBAR) != 0;
    SysMenu = GetSystemMenu(Handle, FALSE);
    LoadIcon();
    GetClientRect(Handle, &m_clientRect);
    RECT window{};
    GetWindowRect(Handle, &window);
    SystemFrame.cx = (window.right - window.left) - m_clientRect.right;
    SystemFrame.cy = (window.bottom - window.top) - m_clientRect.bottom;

    Caps = CapsOf(Style, SysMenu != nullptr);
    if (MenuSkinning().buildSystemMenu) MenuSkinning().buildSystemMenu(*this);
    ReadShowState();
    Sizeable = (Style & WS_THICKFRAME) != 0;
    for (HWND child = GetWindow(Handle, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetClassNameOf(child) == u"MDIClient") {
            MDIClient = child;
            WindowKind = 1;
            break;
        }
    }
    if (ExStyle & WS_EX_MDICHILD) WindowKind = 2;
    BorderKind = BorderKindOf(Style, ExStyle);

    if (WindowKind == 1 && MDIClient) {
        m_savedMenuUpdate = skin->MenuUpdate;
        SetPropW(MDIClient, kClientProp, this);
        m_oldClientProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(MDIClient, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSkinForm::ClientProc)));
    }

    TSkinManage* manager = SkinManage();
    if (Has(skin, xcMainMenu)) {
        WindowMenu = GetMenu(Handle);
        if (WindowMenu && WindowKind != 2) {
            MenuBarHeight = GetSystemMetrics(SM_CYMENU);
            if (MenuSkinning().makeMenuBar) {
                MenuBar = MenuSkinning().makeMenuBar(*this);
                if (MenuBar) MenuBar->LoadFromMenu(WindowMenu, Form ? Form->Menu() : nullptr);
            }
        }
        if (!((WindowKind == 2 && manager && manager->MdiMaximized()) || ShowState == 2)) SetSysStyles(false);
        LoadNCMetrics();
    }

    SetPropW(Handle, kSkinProp, this);
    m_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSkinForm::Proc)));

    const SkinControlHooks& controls = ControlSkinning();
    if (Form) {
        if (controls.skinChildControls) controls.skinChildControls(*this, *Form);
    } else if (controls.skinChildWindows) {
        controls.skinChildWindows(*this);
    }
    InvalidateRect(Handle, nullptr, TRUE);
}

void TSkinForm::Finish() {
    if (SkinState == 0) {
        TSkinManage* manager = SkinManage();
        if (WindowKind == 2 && manager && manager->MdiMaximized()) {
            SetSysStyles(true);
            FrameChanged();
        } else if (ShowState != 2 && BorderKind != 2) {
            SkinState = 5;
            FitWindowSize(false);
            SkinState = 1;
            UpdateRegion();
        }
    }
    SkinState = 1;
    if (Timer) Timer->SetEnabled(true);
}

void TSkinForm::Reskin() {
    if (!SkinData || SkinData->NoSkinLoaded()) return;
    if (Form) {
        Form->SetColor(FaceColour(SkinData));
        for (int i = 0; i < Form->ComponentCount(); ++i)
            if (auto* inner = dynamic_cast<forms::TCustomForm*>(Form->Component(i))) inner->SetColor(FaceColour(SkinData));
    }
    for (TSkinControl* s : std::vector<TSkinControl*>(Skinners)) s->RefreshSkin();
    SkinState = 3;
    if (Has(SkinData, xcMainMenu)) {
        if (Form && MenuSkinning().formPopupMenus) MenuSkinning().formPopupMenus(*this, true);
        FitWindowSize(true);
        // The region is built anew whatever the size: the new skin may cut
        // its borders differently.
        UpdateRegion();
    }
    SkinState = 1;
}

void TSkinForm::RestoreWindowProc() {
    if (!m_oldProc) return;
    if (IsWindow(Handle)) {
        SetWindowLongPtrW(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
        RemovePropW(Handle, kSkinProp);
    }
    m_detachedProc = m_oldProc;
    m_oldProc = nullptr;
}

void TSkinForm::UnhookClient() {
    if (!m_oldClientProc) return;
    if (IsWindow(MDIClient)) {
        SetWindowLongPtrW(MDIClient, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldClientProc));
        RemovePropW(MDIClient, kClientProp);
    }
    m_oldClientProc = nullptr;
}

void TSkinForm::FreeSkinners() {
    HotControl = nullptr;
    const std::vector<TSkinControl*> list = std::move(Skinners);
    Skinners.clear();
    for (TSkinControl* s : list) {
        s->Detach();
        delete s;
    }
}

void TSkinForm::Detach() {
    if (!Has(SkinData, xcMainMenu)) {
        DetachPlain();
        return;
    }
    if (MenuSkinning().freeSystemMenu) MenuSkinning().freeSystemMenu(*this);
    if (Timer) Timer->SetEnabled(false);
    if (!Subclassed()) return;
    if (m_formHooked && Form && !(Form->ComponentState() & forms::csDestroying)) Form->WindowProc = m_oldWindowProc;
    m_formHooked = false;
    RestoreWindowProc();
    FreeSkinners();
    if (Form) {
        if (MenuSkinning().formPopupMenus) MenuSkinning().formPopupMenus(*this, false);
        if (SkinState != 4) Form->SetColor(m_oldColor);
    }
    SetSysStyles(true);
    if (MenuBar) {
        MenuBar->GiveBack();
        MenuBar.reset();
    }
    UnhookClient();
    m_titleBitmap.SetSize(0, 0);
    // The client area keeps its size under the system's frame again. A
    // window that was never fitted to the skin (still just attached) keeps
    // its size.
    const bool child = (GetWindowLongW(Handle, GWL_STYLE) & WS_CHILD) != 0;
    if (SkinState != 4 && SkinState != 0 && (WindowKind == 2 || !child)) {
        RECT r{};
        GetWindowRect(Handle, &r);
        POINT at{r.left, r.top};
        if (WindowKind == 2) ScreenToClient(GetParent(Handle), &at);
        const int w = r.right - r.left + SystemFrame.cx - BorderLeft - BorderRight;
        const int h = r.bottom - r.top + SystemFrame.cy - BorderTop - MenuBarHeight - BorderBottom;
        SetWindowPos(Handle, nullptr, at.x, at.y, w, h, SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    SetWindowRgn(Handle, nullptr, TRUE);
    m_regionSet = false;
    m_regionWidth = m_regionHeight = 0;
}

void TSkinForm::DetachOnDestroy() {
    if (!Has(SkinData, xcMainMenu)) {
        DetachPlain();
        return;
    }
    if (MenuSkinning().freeSystemMenu) MenuSkinning().freeSystemMenu(*this);
    if (Timer) Timer->SetEnabled(false);
    if (!Subclassed()) return;
    if (m_formHooked && Form && !(Form->ComponentState() & forms::csDestroying)) Form->WindowProc = m_oldWindowProc;
    m_formHooked = false;
    RestoreWindowProc();
    FreeSkinners();
    MenuBar.reset();
    m_titleBitmap.SetSize(0, 0);
}

void TSkinForm::DetachPlain() {
    if (Timer) Timer->SetEnabled(false);
    FreeSkinners();
    if (Form) {
        if (MenuSkinning().formPopupMenus) MenuSkinning().formPopupMenus(*this, false);
        if (SkinState != 4) Form->SetColor(m_oldColor);
    }
    if (m_formHooked && Form && !(Form->ComponentState() & forms::csDestroying)) Form->WindowProc = m_oldWindowProc;
    m_formHooked = false;
    RestoreWindowProc();
    UnhookClient();
    if (Form) {
        for (int i = 0; i < Form->ComponentCount(); ++i)
            if (auto* c = dynamic_cast<forms::TControl*>(Form->Component(i))) c->Invalidate();
    }
    if (SkinState != 4 && IsWindow(Handle)) {
        ShowWindow(Handle, SW_MINIMIZE);
        ShowWindow(Handle, SW_RESTORE);
    }
}

void TSkinForm::RefreshWindow(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

bool TSkinForm::AddSkinner(TSkinControl* skinner) {
    if (std::find(Skinners.begin(), Skinners.end(), skinner) != Skinners.end()) return true;
    Skinners.push_back(skinner);
    return false;
}

TSkinControl* TSkinForm::FindSkinnerByHandle(HWND window) const {
    for (TSkinControl* s : Skinners)
        if (s->Handle() == window) return s;
    return nullptr;
}

forms::String TSkinForm::GetWindowTextOf(HWND window) {
    WCHAR text[1001] = {};
    SendMessageW(window, WM_GETTEXT, 1000, reinterpret_cast<LPARAM>(text));
    return com::U16(text);
}

forms::String TSkinForm::GetClassNameOf(HWND window) {
    WCHAR name[101] = {};
    GetClassNameW(window, name, 100);
    return com::U16(name);
}

// ---- Window facts ----------------------------------------------------------------------

void TSkinForm::ReadShowState() {
    WINDOWPLACEMENT p{};
    p.length = sizeof p;
    if (!GetWindowPlacement(Handle, &p)) return;
    if (p.showCmd == SW_SHOWMINIMIZED || p.showCmd == SW_MINIMIZE || p.showCmd == SW_SHOWMINNOACTIVE) ShowState = 2;
    else if (p.showCmd == SW_SHOWMAXIMIZED) ShowState = 1;
    else ShowState = 0;
}

void TSkinForm::LoadIcon() {
    const int w = GetSystemMetrics(SM_CXSMICON), h = GetSystemMetrics(SM_CYSMICON);
    m_iconBitmap.SetPixelFormat(forms::TPixelFormat::pf24bit);
    m_iconBitmap.SetSize(w, h);
    const HDC dc = m_iconBitmap.Canvas().Handle();
    const HBRUSH key = CreateSolidBrush(kSkinKeyColour);
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, key);
    DeleteObject(key);
    HICON icon = reinterpret_cast<HICON>(SendMessageW(Handle, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageW(Handle, WM_GETICON, ICON_BIG, 0));
    if (icon) {
        HICON copy = static_cast<HICON>(CopyImage(icon, IMAGE_ICON, w, h, LR_COPYFROMRESOURCE));
        if (!copy) copy = static_cast<HICON>(CopyImage(icon, IMAGE_ICON, w, h, 0));
        if (copy) {
            DrawIconEx(dc, 0, 0, copy, w, h, 0, nullptr, DI_NORMAL);
            DestroyIcon(copy);
        }
        return;
    }
    if (SkinData && !SkinData->IconBitmap.Empty()) {
        m_iconBitmap.Assign(SkinData->IconBitmap);
        return;
    }
    if (TSkinManage* manager = SkinManage()) {
        for (TSkinData* d : manager->SkinDatas()) {
            if (d->SkinFormtype == TSkinFormType::sfMainform && !d->IconBitmap.Empty()) {
                m_iconBitmap.Assign(d->IconBitmap);
                return;
            }
        }
    }
}

void TSkinForm::FrameChanged() {
    SetWindowPos(Handle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void TSkinForm::SetSysStyles(bool on) {
    TSkinManage* manager = SkinManage();
    if (!on && WindowKind == 2 && manager && manager->MdiMaximized()) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(Handle, GWL_STYLE));
    DWORD wanted = style;
    if (on) {
        // The system menu style only when the window had it: a window whose
        // system menu came without the style does not gain the style.
        wanted |= m_attachStyle & WS_SYSMENU;
        if (Caps & kCapMinimize) wanted |= WS_MINIMIZEBOX;
        if (Caps & kCapMaximize) wanted |= WS_MAXIMIZEBOX;
    } else {
        wanted &= ~static_cast<DWORD>(0xB0000);
    }
    if (wanted != style) SetWindowLongW(Handle, GWL_STYLE, static_cast<LONG>(wanted));
    Style = wanted;
}

void TSkinForm::FreeSysButtons() {
    HotObject = nullptr;
    SysButtons.clear();
}

void TSkinForm::LoadNCMetrics() {
    if (!SkinData || SkinData->NoSkinLoaded()) return;
    if (BorderKind == 2) {
        BorderLeft = BorderTop = BorderRight = BorderBottom = MenuBarHeight = 0;
    } else {
        auto size = [&](int kind) {
            const TDataSkinBorder* e = BorderElement(SkinData, kind);
            return e ? StripSize{e->Bitmap.width, e->Bitmap.height, e->FrameCount} : StripSize{};
        };
        const BorderMetrics m = BorderMetricsOf(BorderKind, size(1), size(3), size(2), size(4));
        BorderLeft = m.left;
        BorderTop = m.top;
        BorderRight = m.right;
        BorderBottom = m.bottom;
    }
    BuildSysButtons();
}

void TSkinForm::BuildSysButtons() {
    FreeSysButtons();
    SkinElements& elements = SkinData->Elements();
    for (auto& element : elements.SysButtons) {
        SysButtons.push_back(std::make_unique<TWinSysButton>(*this, *element));
        if (element->Action != 3 && element->Action != 11) continue;
        if (element->Bitmap.Empty()) {
            ReadPixels(m_iconBitmap, element->Bitmap);
            SkinData->PictureChanged(element->Bitmap);
        }
        if (SkinData->IconBitmap.Empty()) SkinData->IconBitmap.Assign(m_iconBitmap);
        element->FrameCount = 1;
    }
}

void TSkinForm::FitWindowSize(bool reread) {
    if (ShowState == 1) {
        FrameChanged();
        return;
    }
    if (reread) GetClientRect(Handle, &m_clientRect);
    const int w = m_clientRect.right + BorderLeft + BorderRight;
    const int h = m_clientRect.bottom + BorderTop + BorderBottom + MenuBarHeight;
    // Fitting never activates: the manager skins hidden windows too.
    SetWindowPos(Handle, nullptr, 0, 0, w, h, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

// ---- Region -----------------------------------------------------------------------------

HRGN TSkinForm::BorderRegion(int kind, const RECT& rect, bool fromBitmap) {
    if (!fromBitmap) return CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
    const TDataSkinBorder* e = BorderElement(SkinData, kind);
    forms::TBitmap* strip = e ? SkinData->Picture(e->Bitmap) : nullptr;
    std::unique_ptr<forms::TBitmap> piece;
    if (kind == 3 && !m_titleBitmap.Empty() && m_titleBitmap.Width() >= rect.right &&
        m_titleBitmap.Height() >= rect.bottom) {
        piece = std::make_unique<forms::TBitmap>(rect.right - rect.left, rect.bottom - rect.top);
        BitBlt(piece->Canvas().Handle(), 0, 0, piece->Width(), piece->Height(), m_titleBitmap.Canvas().Handle(),
               rect.left, rect.top, SRCCOPY);
    } else if (strip) {
        const bool vertical = kind == 3 || kind == 4;
        const int frame = Active || e->FrameCount == 1 ? 1 : 2;
        piece = MakeSkinFrameBitmap(Rect(0, 0, rect.right - rect.left, rect.bottom - rect.top), *strip, MarginsOf(*e),
                                    vertical, e->Tile != 1, e->FrameCount, frame);
    }
    if (!piece || piece->Empty()) return CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
    return RegionFromBitmap(*piece, rect.left, rect.top, 1, 1, 1, kSkinKeyColour);
}

void TSkinForm::UpdateRegion() {
    if (!SkinData || SkinData->NoSkinLoaded()) return;
    RECT r{};
    GetWindowRect(Handle, &r);
    const int W = r.right - r.left, H = r.bottom - r.top;
    if (static_cast<int64_t>(W) * H == 0) return;
    if (WindowKind == 2 && ShowState != 0) return;
    if (m_regionSet && W == m_regionWidth && H == m_regionHeight && WindowKind != 2 && SkinState != 3) return;
    const SkinElements& e = SkinData->Elements();
    auto transparent = [](const std::unique_ptr<TDataSkinBorder>& b) { return b && b->Trans != 0; };
    com::GdiRegion region;
    if (!transparent(e.BorderLeft) && !transparent(e.BorderRight) && !transparent(e.BorderTop) &&
        !transparent(e.BorderBottom)) {
        region.Reset(CreateRectRgn(0, 0, W, H));
    } else {
        m_regionWidth = W;
        m_regionHeight = H;
        region.Reset(CreateRectRgn(BorderLeft, BorderTop, W - BorderRight, H - BorderBottom));
        if (BorderKind != 2) {
            auto add = [&](HRGN made) {
                const com::GdiRegion part(made);
                if (part) CombineRgn(region.Get(), region.Get(), part.Get(), RGN_OR);
            };
            add(BorderRegion(1, Rect(0, 0, BorderLeft, H), transparent(e.BorderLeft) && H > 1));
            add(BorderRegion(2, Rect(W - BorderRight, 0, W, H), transparent(e.BorderRight) && H > 1));
            add(BorderRegion(4, Rect(BorderLeft, H - BorderBottom, W - BorderRight, H),
                             transparent(e.BorderBottom) && BorderBottom >= 2));
            if (W - BorderRight > BorderLeft && BorderTop > 0)
                add(BorderRegion(3, Rect(BorderLeft, 0, W - BorderRight, BorderTop),
                                 transparent(e.BorderTop) && BorderTop > 1));
        }
    }
    m_regionWidth = W;
    m_regionHeight = H;
    // A region like the one in place is not set again: setting it redraws
    // the whole window.
    if (m_regionSet) {
        const com::GdiRegion current(CreateRectRgn(0, 0, 0, 0));
        if (GetWindowRgn(Handle, current.Get()) != ERROR && EqualRgn(current.Get(), region.Get())) return;
    }
    // The window owns the region from here on.
    SetWindowRgn(Handle, region.Detach(), TRUE);
    m_regionSet = true;
}

void TSkinForm::DropRegion() {
    if (!m_regionSet) return;
    m_titleBitmap.SetSize(0, 0);
    SetWindowRgn(Handle, nullptr, FALSE);
    m_regionSet = false;
    m_regionWidth = m_regionHeight = 0;
}

// ---- Painting the frame ---------------------------------------------------------------------

void TSkinForm::PaintBorder(int kind, const RECT& rect, HDC dc) {
    if (rect.right - rect.left < 0 || rect.bottom - rect.top < 0) return;
    const TDataSkinBorder* e = BorderElement(SkinData, kind);
    forms::TBitmap* strip = e ? SkinData->Picture(e->Bitmap) : nullptr;
    if (!strip) return;
    const bool vertical = kind == 3 || kind == 4;
    const int frame = Active || e->FrameCount == 1 ? 1 : 2;
    DrawSkinFrame(dc, rect, *strip, MarginsOf(*e), vertical, e->Tile != 1, false, e->FrameCount, frame);
}

void TSkinForm::PaintTitleText(forms::TCanvas& canvas, const RECT& r) {
    const TDataSkinTitle& title = *SkinData->Elements().Title;
    const HDC dc = canvas.Handle();
    const HGDIOBJ oldFont = m_titleFont ? SelectObject(dc, m_titleFont) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const SkinElements& e = SkinData->Elements();
    SetTextColor(dc, Resolve(Active ? e.TitleTextActiveColour : e.TitleTextNoActiveColour));
    const forms::String text = GetWindowTextOf(Handle);
    const forms::String measured = forms::String(kCaptionPrefix) + u" " + text;
    RECT t = r;
    DrawTextW(dc, com::W(measured), -1, &t, DT_CALCRECT | DT_NOCLIP);
    TitleTextFacts f;
    f.textShift = title.LeftWidth;
    f.textShiftVert = title.TopHeight;
    f.textRightClip = title.RightWidth;
    f.alignment = title.TextAlignment;
    f.backLeft = title.TextBackLeft;
    f.backRight = title.TextBackRight;
    f.rightToLeft = RightToLeft;
    f.popup = (Style & WS_POPUP) != 0;
    f.rightButtonsLeft = RightButtonsLeft;
    const SkinRect placed = PlaceTitleText({r.left, r.top, r.right, r.bottom}, t.right - t.left, t.bottom - t.top, f);
    TitleTextRect = Rect(placed.left, placed.top, placed.right, placed.bottom);
    if (forms::TBitmap* back = SkinData->Picture(title.Bitmap))
        DrawSkinBarTiled(canvas, Rect(placed.left, r.top, placed.right, r.bottom), *back,
                         {title.TextBackLeft, 0, title.TextBackRight, 0}, true, true, 2, Active ? 1 : 2);
    RECT draw = TitleTextRect;
    draw.left += title.TextBackLeft;
    draw.right -= title.TextBackRight;
    const forms::String shown = forms::String(kCaptionPrefix) + text;
    DrawTextW(dc, com::W(shown), -1, &draw, DT_SINGLELINE | DT_END_ELLIPSIS | (RightToLeft ? DT_RIGHT : 0));
    SetBkMode(dc, oldMode);
    if (oldFont) SelectObject(dc, oldFont);
}

void TSkinForm::LayoutButtons(int width) {
    ButtonWindowFacts w;
    w.borderKind = BorderKind;
    w.maximized = ShowState == 1;
    w.active = Active;
    w.canMaximize = (Caps & kCapMaximize) != 0;
    w.canMinimize = (Caps & kCapMinimize) != 0;
    w.hasSystemMenu = (Caps & kCapSysMenu) != 0;
    if (WindowKind == 1 && MDIClient && MenuBarHeight > 0) {
        BOOL maximized = FALSE;
        const HWND child = reinterpret_cast<HWND>(SendMessageW(MDIClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
        w.mdiChildMaximized = child && maximized;
    }
    ButtonLayoutFacts f;
    f.windowWidth = width;
    f.titleText = {TitleTextRect.left, TitleTextRect.top, TitleTextRect.right, TitleTextRect.bottom};
    f.borderTop = BorderTop;
    f.borderLeft = BorderLeft;
    f.borderRight = BorderRight;
    f.menuBarHeight = MenuBarHeight;
    if (const TDataSkinObject* bar = SkinData->Elements().MenuBar.get()) f.menuBarMargin = bar->LeftWidth;
    f.rightToLeft = RightToLeft;
    RightButtonsLeft = 0;
    for (auto& b : SysButtons) {
        const TDataSkinSysButton& e = b->Element;
        b->Visible = SysButtonVisible(e.Action, e.Visibility, e.Visibility1, w);
        if (!b->Visible || e.Bitmap.Empty()) continue;
        const int fw = e.Bitmap.width / SafeFrameCount(e.FrameCount);
        const SkinRect r = PlaceSysButton(e.Align, e.Xcoord, e.Ycoord, fw, e.Bitmap.height, f, RightButtonsLeft);
        b->Rect = Rect(r.left, r.top, r.right, r.bottom);
    }
}

void TSkinForm::PaintTitle(HDC dc, int width) {
    if (BorderTop <= 0 || width <= 0) return;
    m_titleBitmap.SetPixelFormat(forms::TPixelFormat::pf24bit);
    m_titleBitmap.SetSize(width, BorderTop);
    forms::TCanvas& canvas = m_titleBitmap.Canvas();
    const HDC title = canvas.Handle();
    BitBlt(title, 0, 0, width, BorderTop, dc, 0, 0, SRCCOPY);
    const RECT band = Rect(BorderLeft, 0, width - BorderRight, BorderTop);
    PaintBorder(3, band, title);
    PaintTitleText(canvas, band);
    LayoutButtons(width);
    for (auto& b : SysButtons) b->PaintTitle(title, Active);
    BitBlt(dc, 0, 0, width, BorderTop, title, 0, 0, SRCCOPY);
}

void TSkinForm::PaintMenuBand(HDC dc, int width) {
    if (MenuBarHeight <= 0) return;
    RECT band = Rect(BorderLeft, BorderTop, width - BorderRight, BorderTop + MenuBarHeight);
    if (MenuBar) {
        MenuBar->Paint(dc, band);
        return;
    }
    if (const HMENU menu = GetMenu(Handle)) {
        if (m_menuLaidOut != menu) ForgetMenuLayout(menu);
        DrawMenuBarTemp(Handle, dc, &band, menu, nullptr);
        m_menuLaidOut = menu;
    }
}

void TSkinForm::RepaintFrame() {
    const com::WindowDc dc(Handle, com::WindowDc::Whole);
    PaintNC(dc.Get());
}

void TSkinForm::PaintNC(HDC dc) {
    if (!dc || !NonClientSkinned()) return;
    try {
        RECT r{};
        GetWindowRect(Handle, &r);
        WindowRect = r;
        const int W = r.right - r.left, H = r.bottom - r.top;
        PaintBorder(1, Rect(0, 0, BorderLeft, H), dc);
        PaintBorder(2, Rect(W - BorderRight, 0, W, H), dc);
        PaintBorder(4, Rect(BorderLeft, H - BorderBottom, W - BorderRight, H), dc);
        PaintTitle(dc, W);
        PaintMenuBand(dc, W);
        HotObject = nullptr;
    } catch (...) {
        // A frame that cannot be drawn stays as it was.
    }
}

// ---- Mouse and actions ----------------------------------------------------------------

POINT TSkinForm::ScreenToWindow(POINT p) const {
    ScreenToClient(Handle, &p);
    if (ShowState != 2) {
        p.x += BorderLeft;
        p.y += BorderTop + MenuBarHeight;
    }
    return p;
}

TNCObject* TSkinForm::ObjectAt(POINT p) {
    for (auto& b : SysButtons)
        if (b->Visible && b->Element.Action >= 0 && PtInRect(&b->Rect, p)) return b.get();
    return MenuBar ? MenuBar->ButtonAt(p) : nullptr;
}

void TSkinForm::MdiCommand(WPARAM command) {
    if (WindowKind != 1 || !MDIClient) return;
    const HWND child = reinterpret_cast<HWND>(SendMessageW(MDIClient, WM_MDIGETACTIVE, 0, 0));
    if (!child) return;
    SendMessageW(child, WM_SYSCOMMAND, command, 0);
    TSkinManage* manager = SkinManage();
    if (!manager || !manager->MdiMaximized()) return;
    BOOL maximized = FALSE;
    const HWND active = reinterpret_cast<HWND>(SendMessageW(MDIClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized)));
    if (!active || !maximized) manager->SetMdiMaximized(false);
}

void TSkinForm::DoAction(TWinSysButton& button, POINT screen) {
    switch (button.Element.Action) {
    case 0:
        if (Timer) Timer->SetEnabled(false);
        PostMessageW(Handle, WM_CLOSE, 0, 0);
        break;
    case 1:
    case 22:
        if (ShowState == 1) {
            ShowState = 0;
            PostMessageW(Handle, WM_SYSCOMMAND, SC_RESTORE, 0);
        } else {
            ShowState = 1;
            PostMessageW(Handle, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        }
        HotObject = nullptr;
        break;
    case 2:
    case 23:
        if (ShowState == 2) {
            ShowState = 0;
            PostMessageW(Handle, WM_SYSCOMMAND, SC_RESTORE, 0);
        } else {
            ShowState = 2;
            PostMessageW(Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
        HotObject = nullptr;
        break;
    case 3:
    case 11:
    case 12:
        ShowSystemMenu(POINT{screen.x + 1, screen.y + 1});
        break;
    case 7:
    case 60: MdiCommand(SC_MINIMIZE); break;
    case 8:
    case 61: MdiCommand(SC_RESTORE); break;
    case 9:
    case 62: MdiCommand(SC_CLOSE); break;
    default: PostMessageW(Handle, WM_SKIN_ASK, static_cast<WPARAM>(button.Element.Action), 0); break;
    }
}

void TSkinForm::ShowSystemMenu(POINT screen) {
    if (!SysMenu) return;
    EnableMenuItem(SysMenu, SC_RESTORE, MF_BYCOMMAND | (ShowState != 0 ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(SysMenu, SC_MAXIMIZE, MF_BYCOMMAND | (ShowState != 1 ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(SysMenu, SC_MINIMIZE, MF_BYCOMMAND | (ShowState != 2 ? MF_ENABLED : MF_GRAYED));
    const DWORD now = GetTickCount();
    if (m_lastSysMenu && now - m_lastSysMenu <= m_doubleClickTime) {
        m_lastSysMenu = 0;
        if (Timer) Timer->SetEnabled(false);
        PostMessageW(Handle, WM_CLOSE, 0, 0);
        return;
    }
    m_lastSysMenu = now;
    const SkinMenuHooks& hooks = MenuSkinning();
    if (Has(SkinData, xcSystemMenu) && WindowKind != 2 && hooks.showSystemMenu && hooks.showSystemMenu(*this, screen))
        return;
    TrackPopupMenu(SysMenu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, Handle, nullptr);
}

void TSkinForm::TimerTick() {
    if (Tracking) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (HotObject) {
        const POINT p = ScreenToWindow(cursor);
        if (!PtInRect(&HotObject->Rect, p)) HotObject->MouseLeave();
    }
    if (!Form && HotControl) {
        RECT r{};
        GetWindowRect(HotControl->Handle(), &r);
        if (!PtInRect(&r, cursor)) {
            TSkinControl* c = HotControl;
            HotControl = nullptr;
            c->SendMouseLeave();
        }
    }
}

// ---- Non-client messages --------------------------------------------------------------

LRESULT TSkinForm::NcCalcSize(WPARAM wParam, LPARAM lParam) {
    RECT proposed{};
    if (wParam) proposed = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
    CallOld(WM_NCCALCSIZE, wParam, lParam);
    // The system has laid its menu bar out for its own frame meanwhile.
    m_menuLaidOut = nullptr;
    if (!wParam) return 0;
    auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    if (MdiChildOutOfNormal() || BorderKind == 2) {
        p->rgrc[1] = p->rgrc[0];
        return WVR_VALIDRECTS;
    }
    RECT client{proposed.left + BorderLeft, proposed.top + BorderTop + MenuBarHeight, proposed.right - BorderRight,
                proposed.bottom - BorderBottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    p->rgrc[0] = client;
    p->rgrc[1] = client;
    return WVR_VALIDRECTS;
}

LRESULT TSkinForm::NcHitTest(WPARAM wParam, LPARAM lParam) {
    LRESULT answer = CallOld(WM_NCHITTEST, wParam, lParam);
    const POINT screen = PointOf(lParam);
    RECT r{};
    GetWindowRect(Handle, &r);
    const int x = screen.x - r.left, y = screen.y - r.top;
    if (SystemMenuBar() || (MenuBar && MenuBarHeight > 0)) {
        // The menu bar lies where the skin puts it, not where the system's
        // own frame would.
        const bool inBand = y >= BorderTop && y < BorderTop + MenuBarHeight && x >= BorderLeft &&
                            x < r.right - r.left - BorderRight;
        if (inBand) return HTMENU;
        if (answer == HTMENU) answer = y < BorderTop ? HTCAPTION : HTNOWHERE;
    }
    return skin::NcHitTest(static_cast<int>(answer), y, BorderTop);
}

LRESULT TSkinForm::NcActivate(WPARAM wParam, LPARAM) {
    Active = wParam != 0;
    if (Timer) Timer->SetEnabled(Active);
    if (HotControl) {
        TSkinControl* c = HotControl;
        HotControl = nullptr;
        c->SendMouseLeave();
    }
    if (!MdiChildOutOfNormal()) {
        RepaintFrame();
    }
    return TRUE;
}

LRESULT TSkinForm::NcPaint(WPARAM wParam, LPARAM lParam) {
    if (!SkinData->NCPaintFlag) return 0;
    if (MdiChildOutOfNormal() || BorderKind == 2) return CallOld(WM_NCPAINT, wParam, lParam);
    RepaintFrame();
    return 0;
}

LRESULT TSkinForm::NcMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT screen = PointOf(lParam);
    const POINT p = ScreenToWindow(screen);
    switch (msg) {
    case WM_NCMOUSEMOVE: {
        if (!Active) return CallOld(msg, wParam, lParam);
        if (TNCObject* o = ObjectAt(p)) {
            o->MouseMove();
            return 0;
        }
        if (HotObject) HotObject->MouseLeave();
        return CallOld(msg, wParam, lParam);
    }
    case WM_NCLBUTTONDOWN: {
        if (TNCObject* o = ObjectAt(p)) {
            if (!Active) SetForegroundWindow(Handle);
            o->MouseDown();
            if (MenuBar && !dynamic_cast<TWinSysButton*>(o)) MenuBar->Open(o);
            return 0;
        }
        // The skinned bar's band between its buttons does nothing.
        if (MenuBar && wParam == HTMENU) return 0;
        // A maximised window is not dragged by its title.
        if (ShowState == 1 && Active && wParam == HTCAPTION) wParam = HTNOWHERE;
        return CallOld(msg, wParam, lParam);
    }
    case WM_NCLBUTTONUP: {
        TNCObject* o = ObjectAt(p);
        if (!o) return CallOld(msg, wParam, lParam);
        if (auto* b = dynamic_cast<TWinSysButton*>(o); b && b == HotObject) {
            b->MouseUp();
            DoAction(*b, screen);
        }
        return 0;
    }
    case WM_NCLBUTTONDBLCLK:
        if (MenuBar && wParam == HTMENU) return 0;
        if (ShowState == 1 || ShowState == 2) PostMessageW(Handle, WM_SYSCOMMAND, SC_RESTORE, 0);
        else if (Caps & kCapMaximize) PostMessageW(Handle, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        return 0;
    case WM_NCRBUTTONDOWN:
        if (wParam == HTCAPTION && WindowKind != 2) {
            ShowSystemMenu(screen);
            return 0;
        }
        return CallOld(msg, wParam, lParam);
    default:
        return CallOld(msg, wParam, lParam);
    }
}

// ---- Window procedures ----------------------------------------------------------------

LRESULT CALLBACK TSkinForm::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TSkinForm*>(GetPropW(hwnd, kSkinProp));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return GuardedMessage(hwnd, msg, wParam, lParam, self->m_oldProc,
                          [&] { return self->SkinWindowProc(msg, wParam, lParam); });
}

LRESULT TSkinForm::CallOld(UINT msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC old = m_oldProc ? m_oldProc : m_detachedProc;
    return old ? CallWindowProcW(old, Handle, msg, wParam, lParam) : DefWindowProcW(Handle, msg, wParam, lParam);
}

LRESULT TSkinForm::MenuChanged(forms::TMessage* framework, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (SkinData) SkinData->NCPaintFlag = false;
    try {
        if (framework) m_oldWindowProc(*framework);
        else result = CallOld(msg, wParam, lParam);
    } catch (...) {
        if (SkinData) SkinData->NCPaintFlag = true;
        throw;
    }
    if (SkinData) SkinData->NCPaintFlag = true;
    m_menuLaidOut = nullptr;
    const HMENU menu = GetMenu(Handle);
    if (MenuBar) {
        if (SkinData && SkinData->MenuUpdate && menu) MenuBar->LoadFromMenu(menu, Form ? Form->Menu() : nullptr);
    } else if (WindowKind != 2 && Has(SkinData, xcMainMenu) && NonClientSkinned()) {
        // The system's menu bar in the skinned frame: its band follows it.
        const int height = menu ? GetSystemMetrics(SM_CYMENU) : 0;
        WindowMenu = menu;
        if (height != MenuBarHeight) {
            MenuBarHeight = height;
            FrameChanged();
        }
    }
    return result;
}

void TSkinForm::FormWindowProc(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_SETTEXT:
        m_oldWindowProc(m);
        FrameChanged();
        return;
    case WM_SKIN_RESKIN:
        Reskin();
        return;
    case forms::CM_DIALOGCHAR:
        // Alt+letter: the Alt key is down by the key state or, for a
        // system character, by its context bit.
        if (MenuBar && (forms::KeyboardShiftState() == forms::ssAlt || (m.LParam & (1 << 29))) &&
            MenuBar->Accelerator(static_cast<char16_t>(m.WParam), true)) {
            m.Result = 1;
            return;
        }
        break;
    case forms::CM_MENUCHANGED:
        MenuChanged(&m, 0, 0, 0);
        return;
    default:
        break;
    }
    m_oldWindowProc(m);
}

LRESULT TSkinForm::SkinWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: {
        const LRESULT r = CallOld(msg, wParam, lParam);
        if (Form || !SkinData) return r;
        RECT client{};
        GetClientRect(Handle, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, SkinData->FaceBrush());
        return 1;
    }
    case WM_STYLECHANGED:
        if (static_cast<int>(wParam) == GWL_STYLE) Style = reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew;
        return CallOld(msg, wParam, lParam);
    case WM_NCDESTROY: {
        SkinState = 4;
        DetachOnDestroy();
        const LRESULT r = CallOld(msg, wParam, lParam);
        SkinState = 6;
        if (ISkinManager* manager = SkinManager()) {
            manager->SetCurrentSkinData(SkinData);
            manager->QueueJob(kJobPurge, kSkinJobDelay);
        }
        return r;
    }
    case WM_CTLCOLORBTN: {
        const LRESULT r = CallOld(msg, wParam, lParam);
        if (!Form) SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return r;
    }
    case WM_CTLCOLORSTATIC: {
        const LRESULT r = CallOld(msg, wParam, lParam);
        if (Form || !SkinData) return r;
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(SkinData->FaceBrush());
    }
    case WM_SKIN_ASK:
        return 1;
    default:
        break;
    }
    if (!Has(SkinData, xcMainMenu)) return CallOld(msg, wParam, lParam);
    if ((Style & WS_CHILD) && WindowKind != 2) return CallOld(msg, wParam, lParam);
    TSkinManage* manager = SkinManage();
    switch (msg) {
    case WM_SIZE: {
        const LRESULT r = CallOld(msg, wParam, lParam);
        ShowState = wParam == SIZE_MINIMIZED ? 2 : wParam == SIZE_MAXIMIZED ? 1 : 0;
        const bool mdiOut = WindowKind == 2 && ((manager && manager->MdiMaximized()) || ShowState != 0);
        if (ShowState != 2 && !mdiOut && (SkinState == 1 || SkinState == 3)) UpdateRegion();
        return r;
    }
    case WM_ACTIVATE:
        Active = LOWORD(wParam) != WA_INACTIVE;
        return CallOld(msg, wParam, lParam);
    case WM_NCACTIVATE:
        Active = wParam != 0;
        break;
    case WM_GETMINMAXINFO: {
        const LRESULT r = CallOld(msg, wParam, lParam);
        ReadShowState();
        if (ShowState == 2) {
            SetSysStyles(true);
        } else if (WindowKind != 2) {
            SetSysStyles(false);
        } else if (ShowState == 0) {
            if (manager && manager->MdiMaximized()) manager->SetMdiMaximized(false);
            SetSysStyles(false);
        } else {
            SetSysStyles(true);
        }
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXIMIZED);
        info->ptMaxTrackSize.y = GetSystemMetrics(SM_CYMAXIMIZED);
        return r;
    }
    case WM_WINDOWPOSCHANGED:
        ReadShowState();
        return CallOld(msg, wParam, lParam);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case SC_SIZE:
        case SC_MOVE:
        case SC_MINIMIZE:
        case SC_MAXIMIZE:
        case SC_NEXTWINDOW:
        case SC_PREVWINDOW:
        case SC_CLOSE:
        case SC_RESTORE:
            PostMessageW(Handle, WM_SYSCOMMAND, LOWORD(wParam), 0);
            return 0;
        default:
            return CallOld(msg, wParam, lParam);
        }
    case WM_SYSCOMMAND: {
        const WPARAM command = wParam & 0xFFF0;
        if (MenuBar && !Tracking && command == SC_KEYMENU && lParam != 32 && lParam != 45 && !GetCapture() &&
            (lParam == 0 || MenuBar->Accelerator(static_cast<char16_t>(lParam), false)))
            return 1;
        if (command == SC_MINIMIZE) {
            ShowState = 2;
            if (WindowKind == 2) SetSysStyles(true);
        } else if (command == SC_MAXIMIZE) {
            ShowState = 1;
        } else if (command == SC_RESTORE) {
            ShowState = 0;
            if (WindowKind == 2) SetSysStyles(false);
        }
        return CallOld(msg, wParam, lParam);
    }
    case WM_SKIN_ATTACHED:
        Finish();
        return 0;
    case forms::CM_MENUCHANGED:
        return MenuChanged(nullptr, msg, wParam, lParam);
    case WM_SETTEXT:
    case WM_SETICON: {
        // The system may draw its own caption for these: the skin's goes
        // back over it.
        const LRESULT r = CallOld(msg, wParam, lParam);
        if (msg == WM_SETICON) LoadIcon();
        if (!Form || msg == WM_SETICON) {
            RepaintFrame();
        }
        return r;
    }
    default:
        break;
    }
    if (MdiChildOutOfNormal() || ShowState == 2 || SkinState == 0) return CallOld(msg, wParam, lParam);
    switch (msg) {
    case WM_MEASUREITEM:
    case WM_DRAWITEM: {
        const SkinMenuHooks& hooks = MenuSkinning();
        forms::TMessage m{msg, wParam, lParam, 0};
        if (hooks.menuItemMessage && hooks.menuItemMessage(*this, m)) return m.Result;
        return CallOld(msg, wParam, lParam);
    }
    case WM_NCCALCSIZE: return NcCalcSize(wParam, lParam);
    case WM_NCHITTEST: return NcHitTest(wParam, lParam);
    case WM_NCPAINT: return NcPaint(wParam, lParam);
    case WM_NCACTIVATE: return NcActivate(wParam, lParam);
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
        return NcMouse(msg, wParam, lParam);
    case WM_SKIN_NCREPAINT: {
        RepaintFrame();
        return 0;
    }
    default:
        return CallOld(msg, wParam, lParam);
    }
}

// ---- The MDI client ---------------------------------------------------------------------

LRESULT CALLBACK TSkinForm::ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TSkinForm*>(GetPropW(hwnd, kClientProp));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return GuardedMessage(hwnd, msg, wParam, lParam, self->m_oldClientProc,
                          [&] { return self->MDIClientWindowProc(msg, wParam, lParam); });
}

LRESULT TSkinForm::CallOldClient(UINT msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC old = m_oldClientProc;
    return old ? CallWindowProcW(old, MDIClient, msg, wParam, lParam) : DefWindowProcW(MDIClient, msg, wParam, lParam);
}

LRESULT TSkinForm::MDIClientWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool mainMenu = Has(SkinData, xcMainMenu);
    TSkinManage* manager = SkinManage();
    switch (msg) {
    case WM_NCDESTROY: {
        const WNDPROC old = m_oldClientProc;
        const HWND client = MDIClient;
        UnhookClient();
        return old ? CallWindowProcW(old, client, msg, wParam, lParam) : 0;
    }
    case WM_NCCALCSIZE:
        if (mainMenu) {
            const LONG style = GetWindowLongW(MDIClient, GWL_STYLE);
            if (style & (WS_HSCROLL | WS_VSCROLL)) SetWindowLongW(MDIClient, GWL_STYLE, style & ~(WS_HSCROLL | WS_VSCROLL));
        }
        return CallOldClient(msg, wParam, lParam);
    case WM_MDICREATE: {
        if (SkinData) SkinData->MenuUpdate = false;
        const LRESULT r = CallOldClient(msg, wParam, lParam);
        m_newChild = reinterpret_cast<HWND>(r);
        return r;
    }
    case WM_MDIDESTROY: {
        const LRESULT r = CallOldClient(msg, wParam, lParam);
        if (mainMenu && manager) {
            BOOL maximized = FALSE;
            SendMessageW(MDIClient, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized));
            manager->SetMdiMaximized(maximized != FALSE);
        }
        if (MenuBar && !GetWindow(MDIClient, GW_CHILD)) {
            if (SkinData) SkinData->MenuUpdate = m_savedMenuUpdate;
            MenuBar->LoadFromMenu(nullptr, Form ? Form->Menu() : nullptr);
        }
        return r;
    }
    case WM_MDITILE:
    case WM_MDICASCADE:
        if (mainMenu && manager) manager->SetMdiMaximized(false);
        return CallOldClient(msg, wParam, lParam);
    case WM_MDISETMENU: {
        const LRESULT r = CallOldClient(msg, wParam, lParam);
        if (mainMenu) {
            const HMENU menu = reinterpret_cast<HMENU>(wParam);
            if (menu && MenuBar &&
                (reinterpret_cast<INT_PTR>(menu) < 0 || menu != MenuBar->Menu() || m_newChild))
                MenuBar->LoadFromMenu(GetMenu(Handle), Form ? Form->Menu() : nullptr);
            if (MenuBar) SetMenu(Handle, nullptr);
        }
        return r;
    }
    case WM_MDIREFRESHMENU: {
        const LRESULT r = CallOldClient(msg, wParam, lParam);
        if (m_newChild) {
            if (manager) manager->SkinMdiChild(m_newChild);
            PostMessageW(Handle, WM_SKIN_NCREPAINT, 0, 0);
            m_newChild = nullptr;
        }
        return r;
    }
    default:
        return CallOldClient(msg, wParam, lParam);
    }
}

}  // namespace skin
