#include "skin/SkinSubclass.h"

#include "skin/SkinControls.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"

namespace skin {

SkinControlHooks& ControlSkinning() {
    static SkinControlHooks hooks{SkinChildControls, SkinChildWindows};
    return hooks;
}

namespace {

const WCHAR kControlProp[] = L"CorvaneSkinControl";

}  // namespace

TSkinControl::TSkinControl(forms::TComponent* owner) : forms::TComponent(owner) {}

TSkinControl::~TSkinControl() {
    SetDestroying();
    // Never leave a window calling into a freed skinner.
    Detach();
}

TSkinForm* TSkinControl::FormSkinner() const { return dynamic_cast<TSkinForm*>(Owner()); }

void TSkinControl::ProcThunk::operator()(forms::TMessage& message) const {
    if (link->self) link->self->SkinWndProc(message);
    else if (link->old) link->old(message);
}

void TSkinControl::HookControl(forms::TControl* control) {
    m_link = std::make_shared<ProcLink>();
    m_link->self = this;
    m_link->old = control->WindowProc;
    control->WindowProc = ProcThunk{m_link};
}

void TSkinControl::Register() {
    if (TSkinForm* form = FormSkinner()) form->AddSkinner(this);
}

void TSkinControl::AttachControl(forms::TWinControl* control, TSkinData* skin, bool recolour,
                                 forms::TCanvas* canvas) {
    if (m_attached || !control) return;
    m_recolour = recolour;
    m_skinData = skin;
    m_canvas = canvas;
    m_control = control;
    m_handle = control->Handle();
    HookControl(control);
    control->SetDoubleBuffered(true);
    Register();
    Focused = GetFocus() == m_handle;
    Enabled = !(GetWindowLongW(m_handle, GWL_STYLE) & WS_DISABLED);
    Caption = TSkinForm::GetWindowTextOf(m_handle);
    if (m_recolour) {
        m_savedColor = control->Color();
        control->SetColor(static_cast<forms::TColor>(skin->Elements().ButtonFaceColour));
    }
    control->Invalidate();
    m_attached = true;
}

void TSkinControl::AttachWindow(HWND window, TSkinData* skin, forms::TCanvas* canvas) {
    if (m_attached || !IsWindow(window)) return;
    m_skinData = skin;
    m_canvas = canvas;
    m_handle = window;
    Enabled = true;
    Caption = TSkinForm::GetWindowTextOf(window);
    SetPropW(window, kControlProp, this);
    m_oldWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSkinControl::InstanceProc)));
    m_attached = true;
}

void TSkinControl::Detach() {
    if (!m_attached) return;
    m_attached = false;
    const bool controlGoing = m_control && (m_control->ComponentState() & forms::csDestroying);
    if (m_link) {
        // Our method is taken out of the chain where it is still on top;
        // else it stays there, passing everything on.
        // A control being freed is left alone: a windowless one is told
        // only after its own members are gone.
        const ProcThunk* top =
            m_control && !controlGoing ? m_control->WindowProc.target<ProcThunk>() : nullptr;
        if (top && top->link == m_link) m_control->WindowProc = m_link->old;
        m_link->self = nullptr;
        m_link.reset();
    }
    if (m_oldWndProc) {
        if (IsWindow(m_handle)) {
            SetWindowLongPtrW(m_handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldWndProc));
            RemovePropW(m_handle, kControlProp);
        }
        m_oldWndProc = nullptr;
    }
    TSkinForm* form = FormSkinner();
    if (m_recolour && m_control && !controlGoing && !(form && form->SkinState == 4))
        m_control->SetColor(m_savedColor);
}

LRESULT CALLBACK TSkinControl::InstanceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TSkinControl*>(GetPropW(hwnd, kControlProp));
    if (!self || !self->m_oldWndProc) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const WNDPROC own = self->m_oldWndProc;
    return GuardedMessage(hwnd, msg, wParam, lParam, own, [&] {
        forms::TMessage m{msg, wParam, lParam, 0};
        self->SkinWndProc(m);
        return m.Result;
    });
}

void TSkinControl::SkinWndProc(forms::TMessage& message) {
    if (BeforeMessage(message)) {
        CallOriginal(message);
        AfterMessage(message);
    }
}

void TSkinControl::CallOriginal(forms::TMessage& message) {
    if (m_link) {
        if (m_link->old) m_link->old(message);
    } else if (m_oldWndProc) {
        message.Result = CallWindowProcW(m_oldWndProc, m_handle, message.Msg, message.WParam, message.LParam);
    }
}

bool TSkinControl::BeforeMessage(forms::TMessage&) { return true; }

void TSkinControl::AfterMessage(forms::TMessage& message) {
    switch (message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case forms::CM_ENABLEDCHANGED:
        Redraw();
        break;
    case WM_SETTEXT:
        Caption = message.LParam ? forms::String(reinterpret_cast<const char16_t*>(message.LParam)) : forms::String();
        Redraw();
        break;
    case WM_PAINT:
        PaintWindow(reinterpret_cast<HDC>(message.WParam));
        break;
    case WM_NCDESTROY:
        Detach();
        break;
    default:
        break;
    }
}

void TSkinControl::Redraw() {
    if (!m_handle && GraphicControl) {
        PaintWindow(nullptr);
        return;
    }
    RECT r{};
    if (!m_handle || !GetWindowRect(m_handle, &r) || !GetParent(m_handle)) return;
    const RECT whole{0, 0, r.right - r.left, r.bottom - r.top};
    InvalidateRect(m_handle, &whole, FALSE);
    UpdateWindow(m_handle);
}

void TSkinControl::ShowPressed(bool pressed) {
    State = pressed ? State | kPressed : State & ~kPressed;
    PaintWindow(nullptr);
}

void TSkinControl::PaintWindow(HDC dc) {
    RECT r{};
    if (!m_handle || !GetWindowRect(m_handle, &r)) return;
    WindowRect = r;
    const RECT at{0, 0, r.right - r.left, r.bottom - r.top};
    const bool own = dc == nullptr;
    if (own) dc = GetWindowDC(m_handle);
    if (!dc) return;
    try {
        PaintTo(dc, at);
    } catch (...) {
        // A failed paint leaves the control as it was.
    }
    if (own) ReleaseDC(m_handle, dc);
}

void TSkinControl::PaintMessage(forms::TMessage& message) {
    PAINTSTRUCT ps{};
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    const bool begun = dc == nullptr;
    if (begun) dc = BeginPaint(m_handle, &ps);
    RECT r{};
    if (dc && GetWindowRect(m_handle, &r)) {
        WindowRect = r;
        PaintTo(dc, RECT{0, 0, r.right - r.left, r.bottom - r.top});
    }
    if (begun) EndPaint(m_handle, &ps);
    message.Result = 0;
}

void TSkinControl::FillFace(HDC dc, const RECT& rect) {
    if (!m_skinData) return;
    HBRUSH brush = CreateSolidBrush(forms::ColorToRGB(static_cast<forms::TColor>(m_skinData->Elements().ButtonFaceColour)));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void TSkinControl::SendMouseLeave() {
    if (m_handle) SendMessageW(m_handle, forms::CM_MOUSELEAVE, 0, 0);
    else if (GraphicControl) GraphicControl->Perform(forms::CM_MOUSELEAVE);
}

void TSkinControl::RefreshSkin() {
    if (m_recolour && m_control && m_skinData)
        m_control->SetColor(static_cast<forms::TColor>(m_skinData->Elements().ButtonFaceColour));
    if (m_handle) InvalidateRect(m_handle, nullptr, TRUE);
    else if (GraphicControl) GraphicControl->Invalidate();
}

}  // namespace skin
