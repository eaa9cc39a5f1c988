#include "framework/forms/Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Menus.h"

namespace forms {

namespace {
// The IDC_ values are narrow resource identifiers in a build without UNICODE.
LPCWSTR SystemCursor(LPSTR id) { return reinterpret_cast<LPCWSTR>(id); }
}  // namespace

HCURSOR CursorHandle(TCursor cursor) {
    LPCWSTR id = SystemCursor(IDC_ARROW);
    switch (cursor) {
    case crIBeam: id = SystemCursor(IDC_IBEAM); break;
    case crHourGlass: id = SystemCursor(IDC_WAIT); break;
    case crNoDrop: id = SystemCursor(IDC_NO); break;
    case crHSplit:
    case crSizeWE: id = SystemCursor(IDC_SIZEWE); break;
    case crVSplit:
    case crSizeNS: id = SystemCursor(IDC_SIZENS); break;
    case crHandPoint: id = SystemCursor(IDC_HAND); break;
    case crDrag: id = SystemCursor(IDC_ARROW); break;
    default: break;
    }
    return LoadCursorW(nullptr, id);
}

TShiftState ShiftStateOf(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// ---- Drag and drop -------------------------------------------------------------

namespace {

struct DragSession {
    TControl* source = nullptr;
    TControl* target = nullptr;
    bool accepted = false;
};
DragSession* g_drag = nullptr;

TControl* FindDragTarget(POINT screen, POINT& local) {
    HWND h = WindowFromPoint(screen);
    TWinControl* w = TWinControl::FindControl(h);
    // Child windows of system controls (a combo box's edit) count as theirs.
    while (!w && h) {
        h = GetParent(h);
        w = TWinControl::FindControl(h);
    }
    if (!w) return nullptr;
    local = w->ScreenToClient(screen);
    if (TControl* g = w->ControlAtPos(local)) {
        local.x -= g->Left();
        local.y -= g->Top();
        return g;
    }
    return w;
}

HWND CaptureWindowOf(TControl* c) {
    while (c && !dynamic_cast<TWinControl*>(c)) c = c->Parent();
    return c ? static_cast<TWinControl*>(c)->Handle() : nullptr;
}

}  // namespace

bool TControl::Dragging() const { return g_drag && g_drag->source == this; }

void TControl::BeginDrag(bool immediate, int threshold) {
    if (g_drag) return;
    const HWND capture = CaptureWindowOf(this);
    if (!capture) return;
    if (!immediate) {
        POINT start;
        GetCursorPos(&start);
        if (threshold < 0) threshold = GetSystemMetrics(SM_CXDRAG);
        if (!DragDetect(capture, start)) return;
    }
    DoStartDrag();
    DragSession session;
    session.source = this;
    g_drag = &session;
    struct Reset {
        ~Reset() {
            g_drag = nullptr;
            if (GetCapture()) ReleaseCapture();
        }
    } reset;
    SetCapture(capture);
    bool drop = false;
    POINT where{}, local{};
    MSG msg;
    while (true) {
        if (GetCapture() != capture) break;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
            where = POINT{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            ::ClientToScreen(msg.hwnd, &where);
            TControl* target = FindDragTarget(where, local);
            TDragState state = TDragState::dsDragMove;
            if (target != session.target) {
                if (session.target) {
                    bool ignored = false;
                    const POINT p = session.target->ScreenToClient(where);
                    session.target->DragOver(this, p.x, p.y, TDragState::dsDragLeave, ignored);
                }
                session.target = target;
                state = TDragState::dsDragEnter;
            }
            session.accepted = false;
            if (target) target->DragOver(this, local.x, local.y, state, session.accepted);
            ::SetCursor(CursorHandle(session.accepted ? crDrag : crNoDrop));
            if (msg.message == WM_LBUTTONUP) {
                drop = true;
                break;
            }
            continue;
        }
        if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN ||
            msg.message == WM_CANCELMODE)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ReleaseCapture();
    TControl* target = drop && session.accepted ? session.target : nullptr;
    g_drag = nullptr;
    if (target) target->DragDrop(this, local.x, local.y);
    const POINT p = ScreenToClient(where);
    DoEndDrag(target, p.x, p.y);
}

// ---- TControl --------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    m_font.OnChange = [this](TObject*) {
        if (!m_fontFromParent) m_parentFont = false;
        FontChanged();
    };
}

TControl::~TControl() {
    SetDestroying();
    if (g_drag && (g_drag->source == this || g_drag->target == this)) g_drag->target = nullptr;
    if (m_parent) m_parent->RemoveControl(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == m_popupMenu) m_popupMenu = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == m_parent) return;
    if (m_parent) m_parent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == m_left && top == m_top && width == m_width && height == m_height) return;
    const RECT old = BoundsRect();
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (m_parent && m_parent->HandleAllocated()) {
        InvalidateRect(m_parent->Handle(), &old, TRUE);
        Invalidate();
    }
    if (m_parent && m_align != TAlign::alNone) m_parent->Realign();
    Resize();
}

void TControl::SetAlign(TAlign align) {
    if (align == m_align) return;
    m_align = align;
    if (m_parent) m_parent->Realign();
}

void TControl::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (m_parent && m_parent->HandleAllocated()) {
        const RECT r = BoundsRect();
        InvalidateRect(m_parent->Handle(), &r, TRUE);
    }
    Perform(CM_VISIBLECHANGED, visible);
    if (m_parent && m_align != TAlign::alNone) m_parent->Realign();
}

bool TControl::Showing() const { return m_visible && m_parent && m_parent->Showing(); }

void TControl::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    Invalidate();
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const String& text) {
    if (text == m_text) return;
    m_text = text;
    TextChanged();
    Invalidate();
    Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor color) {
    m_parentColor = false;
    if (color == m_color) return;
    m_color = color;
    ColorChanged();
}

void TControl::SetParentColor(bool on) {
    m_parentColor = on;
    if (on && m_parent && m_parent->Color() != m_color) {
        m_color = m_parent->Color();
        ColorChanged();
    }
}

void TControl::SetParentFont(bool on) {
    m_parentFont = on;
    if (on && m_parent) {
        m_fontFromParent = true;
        m_font.Assign(m_parent->Font());
        m_fontFromParent = false;
    }
}

void TControl::FontChanged() {
    Invalidate();
    Perform(CM_FONTCHANGED);
}

void TControl::ColorChanged() {
    Invalidate();
    Perform(CM_COLORCHANGED);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (WindowProc) WindowProc(m);
    return m.Result;
}

void TControl::Invalidate() {
    if (m_parent && m_parent->HandleAllocated()) {
        const RECT r = BoundsRect();
        InvalidateRect(m_parent->Handle(), &r, TRUE);
    }
}

void TControl::Repaint() {
    Invalidate();
    if (m_parent && m_parent->HandleAllocated()) UpdateWindow(m_parent->Handle());
}

POINT TControl::ClientToScreen(POINT p) {
    if (!m_parent) return p;
    p.x += m_left;
    p.y += m_top;
    return m_parent->ClientToScreen(p);
}

POINT TControl::ScreenToClient(POINT p) {
    if (!m_parent) return p;
    p = m_parent->ScreenToClient(p);
    p.x -= m_left;
    p.y -= m_top;
    return p;
}

void TControl::BringToFront() {
    if (!m_parent) return;
    auto& list = m_parent->m_controls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.push_back(this);
    // A window's place among its siblings is its z-order: the list alone
    // would leave it painted under the windows created before it.
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack() {
    if (!m_parent) return;
    auto& list = m_parent->m_controls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.insert(list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
    accept = false;
    if (OnDragOver) {
        accept = true;
        OnDragOver(this, source, x, y, state, accept);
    }
}

void TControl::DragDrop(TObject* source, int x, int y) {
    if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
    if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void TControl::DoStartDrag() {
    if (OnStartDrag) OnStartDrag(this);
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

// Presses, releases and moves: the control's own handling first, then the
// events; a left release inside the control after a left press is a click.
bool TControl::MouseMessage(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (m.Msg == WM_LBUTTONDOWN && m_dragMode == TDragMode::dmAutomatic) {
            BeginDrag(false);
            return true;
        }
        DefaultHandler(m);
        const TMouseButton b = m.Msg == WM_RBUTTONDOWN ? TMouseButton::mbRight : TMouseButton::mbLeft;
        TShiftState s = ShiftStateOf(m.WParam);
        if (m.Msg == WM_LBUTTONDBLCLK) {
            s |= ssDouble;
            DblClick();
        }
        if (b == TMouseButton::mbLeft) m_clicked = true;
        MouseDown(b, s, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        DefaultHandler(m);
        const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        const TMouseButton b = m.Msg == WM_RBUTTONUP ? TMouseButton::mbRight : TMouseButton::mbLeft;
        const bool inside = x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight();
        const bool click = b == TMouseButton::mbLeft && m_clicked && inside;
        if (b == TMouseButton::mbLeft) m_clicked = false;
        if (click && m_clickEvents) Click();
        MouseUp(b, ShiftStateOf(m.WParam), x, y);
        return true;
    }
    case WM_MOUSEMOVE:
        DefaultHandler(m);
        MouseMove(ShiftStateOf(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        return true;
    default:
        return false;
    }
}

// Windowless controls: the parent routes mouse messages here, in the
// control's own coordinates, and paints them with WM_PAINT carrying its DC.
void TControl::WndProc(TMessage& m) {
    if (m.Msg == WM_PAINT && m.WParam) {
        // The parent's device context, its origin at the control's top left.
        TCanvas canvas;
        canvas.SetHandle(reinterpret_cast<HDC>(m.WParam));
        canvas.Font().Assign(Font());
        try {
            Paint(canvas);
        } catch (...) {
            canvas.SetHandle(nullptr);
            throw;
        }
        canvas.SetHandle(nullptr);
        return;
    }
    if (!MouseMessage(m)) DefaultHandler(m);
}

// ---- TWinControl: window classes and the window procedure ---------------------

namespace {

const WCHAR kControlProp[] = L"FormsControl";
thread_local TWinControl* t_creating = nullptr;

// The control of each window, also kept here: Wine keeps window
// properties in its server, and asking it for every message (and every
// notification a parent reflects) made a list of thousands of items take
// seconds to fill.
class ControlMap {
public:
    void Set(HWND hwnd, TWinControl* c) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_map[hwnd] = c;
    }
    void Remove(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_map.erase(hwnd);
    }
    // Whatever window it may still be named for.
    void Forget(const TWinControl* c) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_map.begin(); it != m_map.end();)
            it = it->second == c ? m_map.erase(it) : std::next(it);
    }
    TWinControl* Find(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_map.find(hwnd);
        return it == m_map.end() ? nullptr : it->second;
    }

private:
    std::mutex m_mutex;
    std::unordered_map<HWND, TWinControl*> m_map;
};

ControlMap& WindowControls() {
    static ControlMap map;
    return map;
}
int g_nextId = 1000;

// A struct keeps the calling convention of the procedure type.
struct BaseProc {
    WNDPROC proc;
};

std::map<String, BaseProc>& BaseProcs() {
    static std::map<String, BaseProc> procs;
    return procs;
}

}  // namespace

LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

LRESULT CALLBACK InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* c = t_creating;
    if (!c) {
        WCHAR name[256] = {};
        GetClassNameW(hwnd, name, 256);
        const auto it = BaseProcs().find(com::U16(name));
        const WNDPROC base = it != BaseProcs().end() ? it->second.proc : DefWindowProcW;
        return CallWindowProcW(base, hwnd, msg, wParam, lParam);
    }
    t_creating = nullptr;
    c->m_handle = hwnd;
    SetPropW(hwnd, kControlProp, c);
    WindowControls().Set(hwnd, c);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StdWndProc));
    return StdWndProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* c = WindowControls().Find(hwnd);
    if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    try {
        if (c->WindowProc) c->WindowProc(m);
        else c->WndProc(m);
    } catch (...) {
        HandleCallbackException();
    }
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, kControlProp);
        WindowControls().Remove(hwnd);
        c->m_handle = nullptr;
    }
    return m.Result;
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    if (!hwnd) return nullptr;
    return WindowControls().Find(hwnd);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner), m_id(g_nextId++) {
    m_brush.SetColor(m_color);
}

TWinControl::~TWinControl() {
    SetDestroying();
    DestroyHandle();
    WindowControls().Forget(this);
    // A parent frees its children, whoever owns them.
    while (!m_controls.empty()) delete m_controls.back();
}

void TWinControl::DestroyHandle() {
    if (!m_handle) return;
    // Only a control that is being freed loses a replaced WindowProc (one
    // installed by the skin engine); a handle remade on re-parenting keeps it.
    if (ComponentState() & csDestroying) WindowProc = [this](TMessage& m) { TWinControl::WndProc(m); };
    DestroyWindow(m_handle);
    m_handle = nullptr;
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return m_handle;
}

void TWinControl::HandleNeeded() {
    if (m_handle) return;
    if (ComponentState() & csDestroying) throw EInvalidOperation("Control is being destroyed");
    CreateWnd();
}

void TWinControl::CreateParams(TCreateParams& p) {
    p.caption = m_text;
    p.style = WS_CHILD | WS_CLIPSIBLINGS;
    if (m_visible) p.style |= WS_VISIBLE;
    if (!m_enabled) p.style |= WS_DISABLED;
    if (m_tabStop) p.style |= WS_TABSTOP;
    p.x = m_left;
    p.y = m_top;
    p.width = m_width;
    p.height = m_height;
    p.windowClass = Utf8ToText(ClassName());
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    if (p.style & WS_CHILD) {
        if (!m_parent) throw EInvalidOperation(std::string("Control '") + TextToUtf8(Name()) + "' has no parent window");
        p.parent = m_parent->Handle();
        // Making the parent's window makes its children's, this one too.
        if (m_handle) return;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto& procs = BaseProcs();
    auto it = procs.find(p.windowClass);
    if (it == procs.end()) {
        WNDCLASSEXW wc{sizeof wc};
        WNDPROC base = DefWindowProcW;
        if (p.baseClass) {
            if (!GetClassInfoExW(nullptr, p.baseClass, &wc) && !GetClassInfoExW(instance, p.baseClass, &wc))
                throw EInvalidOperation("Window class " + TextToUtf8(com::U16(p.baseClass)) + " is not available");
            base = wc.lpfnWndProc;
            wc.cbSize = sizeof wc;
            wc.style &= ~CS_GLOBALCLASS;
        } else {
            wc.style = p.classStyle;
            wc.hCursor = LoadCursorW(nullptr, SystemCursor(IDC_ARROW));
        }
        wc.lpfnWndProc = &InitWndProc;
        wc.hInstance = instance;
        wc.lpszClassName = com::W(p.windowClass);
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw EOutOfResources("Cannot register window class " + TextToUtf8(p.windowClass));
        it = procs.emplace(p.windowClass, BaseProc{base}).first;
    }
    m_defWndProc = it->second.proc;
    m_ownClass = it->second.proc == DefWindowProcW;
    t_creating = this;
    const HWND hwnd = CreateWindowExW(p.exStyle, com::W(p.windowClass), com::W(p.caption), p.style, p.x, p.y,
                                      p.width, p.height, p.parent,
                                      (p.style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_id)) : nullptr,
                                      instance, nullptr);
    t_creating = nullptr;
    if (!hwnd) throw EOutOfResources("Error creating window for " + std::string(ClassName()));
    m_handle = hwnd;
    // Creation order is tab order: each new child goes below its siblings.
    if (p.style & WS_CHILD) SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), FALSE);
    UpdateBoundsFromWindow();
    InitializeWnd();
    for (TControl* c : std::vector<TControl*>(m_controls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
    Realign();
}

void TWinControl::InsertControl(TControl* control) {
    m_controls.push_back(control);
    control->m_parent = this;
    if (control->m_parentFont) control->SetParentFont(true);
    if (control->m_parentColor) control->SetParentColor(true);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (m_handle) w->HandleNeeded();
    } else {
        control->Invalidate();
    }
    if (control->Align() != TAlign::alNone) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
    const auto it = std::find(m_controls.begin(), m_controls.end(), control);
    if (it == m_controls.end()) return;
    if (!(ComponentState() & csDestroying)) control->Invalidate();
    m_controls.erase(it);
    control->m_parent = nullptr;
    if (m_captureControl == control) m_captureControl = nullptr;
    if (m_hoverControl == control) m_hoverControl = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(control)) w->DestroyHandle();
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == m_parent) return;
    DestroyHandle();
    TControl::SetParent(parent);
}

TControl* TWinControl::ControlAtPos(POINT p) const {
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const RECT r = c->BoundsRect();
        if (PtInRect(&r, p)) return c;
    }
    return nullptr;
}

void TWinControl::UpdateBoundsFromWindow() {
    if (!m_handle) return;
    RECT r;
    GetWindowRect(m_handle, &r);
    if (GetWindowLongW(m_handle, GWL_STYLE) & WS_CHILD) MapWindowPoints(HWND_DESKTOP, GetParent(m_handle), reinterpret_cast<POINT*>(&r), 2);
    m_left = r.left;
    m_top = r.top;
    m_width = r.right - r.left;
    m_height = r.bottom - r.top;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (!m_handle) {
        TControl::SetBounds(left, top, width, height);
        return;
    }
    if (left == m_left && top == m_top && width == m_width && height == m_height) return;
    SetWindowPos(m_handle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBoundsFromWindow();
    if (m_parent && Align() != TAlign::alNone) m_parent->Realign();
}

void TWinControl::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (m_handle) ShowWindow(m_handle, visible ? SW_SHOWNA : SW_HIDE);
    Perform(CM_VISIBLECHANGED, visible);
    if (m_parent && Align() != TAlign::alNone) m_parent->Realign();
}

bool TWinControl::Showing() const {
    if (!m_handle) return false;
    return IsWindowVisible(m_handle) != 0;
}

void TWinControl::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    if (m_handle) EnableWindow(m_handle, enabled);
    Perform(CM_ENABLEDCHANGED);
}

String TWinControl::GetText() const {
    if (!m_handle) return m_text;
    const int n = GetWindowTextLengthW(m_handle);
    std::u16string s(static_cast<size_t>(n) + 1, u'\0');
    const int got = GetWindowTextW(m_handle, com::W(&s[0]), n + 1);
    s.resize(static_cast<size_t>(std::max(0, got)));
    return s;
}

void TWinControl::SetText(const String& text) {
    if (m_handle) {
        if (GetText() == text) return;
        m_text = text;
        SetWindowTextW(m_handle, com::W(text));
        TextChanged();
        Perform(CM_TEXTCHANGED);
        return;
    }
    TControl::SetText(text);
}

int TWinControl::ClientWidth() {
    const RECT r = ClientRect();
    return r.right - r.left;
}

int TWinControl::ClientHeight() {
    const RECT r = ClientRect();
    return r.bottom - r.top;
}

RECT TWinControl::ClientRect() {
    RECT r{0, 0, m_width, m_height};
    if (m_handle) GetClientRect(m_handle, &r);
    return r;
}

POINT TWinControl::ClientToScreen(POINT p) {
    if (!m_handle) return TControl::ClientToScreen(p);
    ::ClientToScreen(m_handle, &p);
    return p;
}

POINT TWinControl::ScreenToClient(POINT p) {
    if (!m_handle) return TControl::ScreenToClient(p);
    ::ScreenToClient(m_handle, &p);
    return p;
}

void TWinControl::Invalidate() {
    if (m_handle) InvalidateRect(m_handle, nullptr, TRUE);
}

bool TWinControl::Focused() { return m_handle && GetFocus() == m_handle; }

bool TWinControl::CanFocus() {
    for (TWinControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

void TWinControl::SetTabStop(bool on) {
    if (on == m_tabStop) return;
    m_tabStop = on;
    if (m_handle) ChangeStyle(on ? WS_TABSTOP : 0, on ? 0 : WS_TABSTOP);
}

void TWinControl::ChangeStyle(DWORD add, DWORD remove) {
    if (!m_handle) return;
    const DWORD style = (static_cast<DWORD>(GetWindowLongW(m_handle, GWL_STYLE)) & ~remove) | add;
    SetWindowLongW(m_handle, GWL_STYLE, static_cast<LONG>(style));
    SetWindowPos(m_handle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(m_handle, nullptr, TRUE);
}

void TWinControl::ChangeExStyle(DWORD add, DWORD remove) {
    if (!m_handle) return;
    const DWORD style = (static_cast<DWORD>(GetWindowLongW(m_handle, GWL_EXSTYLE)) & ~remove) | add;
    SetWindowLongW(m_handle, GWL_EXSTYLE, static_cast<LONG>(style));
    SetWindowPos(m_handle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWinControl::FontChanged() {
    if (m_handle) {
        SendMessageW(m_handle, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Handle()), TRUE);
        InvalidateRect(m_handle, nullptr, TRUE);
    }
    ApplyParentFont();
    Perform(CM_FONTCHANGED);
}

void TWinControl::ApplyParentFont() {
    for (TControl* c : m_controls)
        if (c->m_parentFont) c->SetParentFont(true);
}

void TWinControl::ColorChanged() {
    m_brush.SetColor(m_color);
    Invalidate();
    for (TControl* c : m_controls)
        if (c->m_parentColor) c->SetParentColor(true);
    Perform(CM_COLORCHANGED);
}

HBRUSH TWinControl::ControlBrush() {
    m_brush.SetColor(m_color);
    return m_brush.Handle();
}

void TWinControl::Realign() {
    if (m_inRealign || !m_handle) return;
    m_inRealign = true;
    RECT r = ClientRect();
    static const TAlign order[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient};
    try {
        for (TAlign a : order) {
            for (TControl* c : std::vector<TControl*>(m_controls)) {
                if (c->Align() != a || !c->Visible()) continue;
                const int w = c->Width(), h = c->Height();
                switch (a) {
                case TAlign::alTop:
                    c->SetBounds(r.left, r.top, r.right - r.left, h);
                    r.top += c->Height();
                    break;
                case TAlign::alBottom:
                    c->SetBounds(r.left, r.bottom - h, r.right - r.left, h);
                    r.bottom -= c->Height();
                    break;
                case TAlign::alLeft:
                    c->SetBounds(r.left, r.top, w, r.bottom - r.top);
                    r.left += c->Width();
                    break;
                case TAlign::alRight:
                    c->SetBounds(r.right - w, r.top, w, r.bottom - r.top);
                    r.right -= c->Width();
                    break;
                default:
                    c->SetBounds(r.left, r.top, std::max(0L, static_cast<long>(r.right - r.left)),
                                 std::max(0L, static_cast<long>(r.bottom - r.top)));
                    break;
                }
            }
        }
    } catch (...) {
        m_inRealign = false;
        throw;
    }
    m_inRealign = false;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char16_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (!m_handle || (m.Msg >= CM_BASE && m.Msg < CN_BASE + 0x400)) return;
    m.Result = CallWindowProcW(m_defWndProc ? m_defWndProc : DefWindowProcW, m_handle, m.Msg, m.WParam, m.LParam);
}

// Parents pass notifications on to the child they concern.
bool TWinControl::ReflectNotification(TMessage& m) {
    HWND child = nullptr;
    switch (m.Msg) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(m.LParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(m.LParam);
        break;
    case WM_DRAWITEM: {
        const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
        if (d->CtlType != ODT_MENU) child = d->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        const auto* d = reinterpret_cast<const MEASUREITEMSTRUCT*>(m.LParam);
        if (d->CtlType != ODT_MENU) child = GetDlgItem(m_handle, static_cast<int>(d->CtlID));
        break;
    }
    default:
        return false;
    }
    if (!child || child == m_handle || !FindControl(child)) return false;
    m.Result = SendMessageW(child, CN_BASE + m.Msg, m.WParam, m.LParam);
    return true;
}

bool TWinControl::RouteMouseToGraphic(TMessage& m) {
    if (m.Msg < WM_MOUSEFIRST || m.Msg > WM_MOUSELAST || m.Msg == WM_MOUSEWHEEL) return false;
    POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    TControl* target = m_captureControl ? m_captureControl : ControlAtPos(p);
    if (m.Msg == WM_MOUSEMOVE && target != m_hoverControl) {
        if (m_hoverControl) m_hoverControl->Perform(CM_MOUSELEAVE);
        m_hoverControl = target;
        if (target) target->Perform(CM_MOUSEENTER);
        TrackMouse();
    }
    if (!target || !target->Enabled()) return false;
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN) {
        m_captureControl = target;
        SetCapture(m_handle);
    }
    TMessage routed{m.Msg, m.WParam, MAKELPARAM(p.x - target->Left(), p.y - target->Top()), 0};
    target->WindowProc(routed);
    if ((m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP) && m_captureControl) {
        m_captureControl = nullptr;
        if (GetCapture() == m_handle) ReleaseCapture();
    }
    m.Result = routed.Result;
    return true;
}

void TWinControl::PaintGraphicControls(HDC dc) {
    for (TControl* c : m_controls) {
        if (dynamic_cast<TWinControl*>(c) || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
        const RECT r = c->BoundsRect();
        RECT clip;
        if (GetClipBox(dc, &clip) != NULLREGION && !IntersectRect(&clip, &clip, &r)) continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        SetWindowOrgEx(dc, -r.left, -r.top, nullptr);
        // Through the control's WindowProc, so that a replaced one (the skin
        // engine's) can draw the control itself.
        try {
            c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

void TWinControl::TrackMouse() {
    if (m_tracking || !m_handle) return;
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, m_handle, 0};
    m_tracking = TrackMouseEvent(&t) != 0;
}

void TWinControl::WndProc(TMessage& m) {
    if (ReflectNotification(m)) return;
    if (RouteMouseToGraphic(m)) return;
    switch (m.Msg) {
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(m.WParam);
        SetTextColor(dc, ColorToRGB(m_enabled ? m_font.Color() : clGrayText));
        SetBkColor(dc, ColorToRGB(m_color));
        m.Result = reinterpret_cast<LRESULT>(ControlBrush());
        return;
    }
    case WM_ERASEBKGND:
        if (PaintsOwnBackground()) {
            RECT r;
            GetClientRect(m_handle, &r);
            FillRect(reinterpret_cast<HDC>(m.WParam), &r, ControlBrush());
            m.Result = 1;
            return;
        }
        break;
    case WM_PRINTCLIENT:
    case WM_PAINT:
        if (m_ownClass) {
            PAINTSTRUCT ps;
            const HDC dc = m.WParam ? reinterpret_cast<HDC>(m.WParam) : BeginPaint(m_handle, &ps);
            try {
                TCanvas canvas;
                canvas.SetHandle(dc);
                canvas.Font().Assign(m_font);
                canvas.Brush().SetColor(m_color);
                PaintWindow(canvas);
                canvas.SetHandle(nullptr);
                PaintGraphicControls(dc);
            } catch (...) {
                if (!m.WParam) EndPaint(m_handle, &ps);
                throw;
            }
            if (!m.WParam) EndPaint(m_handle, &ps);
            return;
        }
        DefaultHandler(m);
        if (m.Msg == WM_PAINT && std::any_of(m_controls.begin(), m_controls.end(),
                        [](TControl* c) { return !dynamic_cast<TWinControl*>(c) && c->Visible(); })) {
            const com::WindowDc dc(m_handle);
            PaintGraphicControls(dc.Get());
        }
        return;
    case WM_SIZE:
        DefaultHandler(m);
        UpdateBoundsFromWindow();
        Realign();
        Resize();
        return;
    case WM_MOVE:
        DefaultHandler(m);
        UpdateBoundsFromWindow();
        return;
    case WM_SETCURSOR:
        if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == m_handle) {
            POINT p;
            GetCursorPos(&p);
            p = ScreenToClient(p);
            TControl* g = ControlAtPos(p);
            const TCursor cursor = g && g->Cursor() != crDefault ? g->Cursor() : Cursor();
            if (cursor != crDefault) {
                ::SetCursor(CursorHandle(cursor));
                m.Result = TRUE;
                return;
            }
        }
        DefaultHandler(m);
        return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        MouseMessage(m);
        return;
    case WM_MOUSEMOVE:
        if (!m_tracking) {
            TrackMouse();
            Perform(CM_MOUSEENTER);
        }
        MouseMessage(m);
        return;
    case WM_MOUSELEAVE:
        m_tracking = false;
        if (m_hoverControl) {
            m_hoverControl->Perform(CM_MOUSELEAVE);
            m_hoverControl = nullptr;
        }
        DefaultHandler(m);
        Perform(CM_MOUSELEAVE);
        return;
    case WM_CONTEXTMENU:
        if (PopupMenu() && PopupMenu()->AutoPopup() && reinterpret_cast<HWND>(m.WParam) == m_handle) {
            POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
            if (p.x == -1 && p.y == -1) p = ClientToScreen(POINT{ClientWidth() / 2, ClientHeight() / 2});
            PopupMenu()->SetPopupComponent(this);
            PopupMenu()->Popup(p.x, p.y);
            m.Result = 1;
            return;
        }
        DefaultHandler(m);
        return;
    case WM_SETFOCUS:
        DefaultHandler(m);
        Perform(CM_ENTER);
        if (OnEnter) OnEnter(this);
        return;
    case WM_KILLFOCUS:
        DefaultHandler(m);
        Perform(CM_EXIT);
        if (OnExit) OnExit(this);
        return;
    case WM_SYSCHAR:
        // Alt+letter goes to the window's form first (its menu bar).
        if (TWinControl* form = FindControl(GetAncestor(m_handle, GA_ROOT))) {
            if (form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam)) {
                m.Result = 0;
                return;
            }
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WORD key = static_cast<WORD>(m.WParam);
        KeyDown(key, KeyboardShiftState());
        if (key == 0) return;
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WORD key = static_cast<WORD>(m.WParam);
        KeyUp(key, KeyboardShiftState());
        if (key == 0) return;
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    case WM_CHAR: {
        char16_t key = static_cast<char16_t>(m.WParam);
        KeyPress(key);
        if (key == 0) return;
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    default:
        break;
    }
    DefaultHandler(m);
}

}  // namespace forms
