#include "framework/forms/Forms.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>

#include "framework/com/WinText.h"
#include "framework/forms/UtilWindow.h"

namespace forms {

TApplication* Application = nullptr;

void HandleCallbackException() noexcept {
    try {
        if (Application) {
            Application->HandleException();
            return;
        }
        try {
            throw;
        } catch (const std::exception& e) {
            OutputDebugStringA(e.what());
        }
    } catch (...) {
        // Nothing may leave a callback.
    }
}

TCustomForm* GetParentForm(TControl* control) {
    while (control && control->Parent()) control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

// ---- TCustomForm -----------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    SetLoading();
    m_visible = false;
    m_width = 400;
    m_height = 300;
    m_color = clBtnFace;
}

TCustomForm::~TCustomForm() {
    SetDestroying();
    if (m_created && OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            HandleCallbackException();
        }
    }
    if (m_handle) ::SetMenu(m_handle, nullptr);
    DestroyHandle();
}

void TCustomForm::AfterConstruction() {
    LoadedTree();
    m_created = true;
    try {
        DoCreate();
    } catch (...) {
        HandleCallbackException();
    }
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TCustomForm::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.style = WS_CLIPCHILDREN;
    p.exStyle = WS_EX_CONTROLPARENT;
    switch (m_borderStyle) {
    case TFormBorderStyle::bsNone:
        p.style |= WS_POPUP;
        break;
    case TFormBorderStyle::bsSingle:
        p.style |= WS_OVERLAPPED | WS_CAPTION | WS_BORDER;
        break;
    case TFormBorderStyle::bsSizeable:
        p.style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
        break;
    case TFormBorderStyle::bsDialog:
        p.style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
        p.exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case TFormBorderStyle::bsToolWindow:
        p.style |= WS_POPUP | WS_CAPTION;
        p.exStyle |= WS_EX_TOOLWINDOW;
        break;
    case TFormBorderStyle::bsSizeToolWin:
        p.style |= WS_POPUP | WS_CAPTION | WS_THICKFRAME;
        p.exStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (m_borderStyle != TFormBorderStyle::bsNone && (m_borderIcons & biSystemMenu)) {
        p.style |= WS_SYSMENU;
        if (m_borderStyle != TFormBorderStyle::bsDialog && m_borderStyle != TFormBorderStyle::bsToolWindow &&
            m_borderStyle != TFormBorderStyle::bsSizeToolWin) {
            if (m_borderIcons & biMinimize) p.style |= WS_MINIMIZEBOX;
            if (m_borderIcons & biMaximize) p.style |= WS_MAXIMIZEBOX;
        }
    }
    if (!m_enabled) p.style |= WS_DISABLED;
    if (m_formStyle == TFormStyle::fsStayOnTop) p.exStyle |= WS_EX_TOPMOST;
    p.parent = Application ? Application->Handle() : nullptr;
}

void TCustomForm::InitializeWnd() {
    if (m_menu) ::SetMenu(m_handle, m_menu->Handle());
    if (Application && !Application->Icon().Empty()) {
        SendMessageW(m_handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Application->Icon().Handle()));
        SendMessageW(m_handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Application->SmallIcon()));
    }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == m_borderStyle) return;
    m_borderStyle = style;
    if (!m_handle) return;
    TCreateParams p;
    CreateParams(p);
    const DWORD keep = GetWindowLongW(m_handle, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
    SetWindowLongW(m_handle, GWL_STYLE, static_cast<LONG>(p.style | keep));
    SetWindowLongW(m_handle, GWL_EXSTYLE, static_cast<LONG>(p.exStyle));
    SetWindowPos(m_handle, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TCustomForm::SetBorderIcons(unsigned icons) {
    if (icons == m_borderIcons) return;
    m_borderIcons = icons;
    const TFormBorderStyle style = m_borderStyle;
    m_borderStyle = TFormBorderStyle::bsNone;  // forces the styles to be applied again
    SetBorderStyle(style);
}

void TCustomForm::SetFormStyle(TFormStyle style) {
    if (style == m_formStyle) return;
    m_formStyle = style;
    if (m_handle)
        SetWindowPos(m_handle, style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState state) {
    m_windowState = state;
    if (m_handle && IsWindowVisible(m_handle))
        ShowWindow(m_handle, state == TWindowState::wsMinimized   ? SW_MINIMIZE
                             : state == TWindowState::wsMaximized ? SW_MAXIMIZE
                                                                  : SW_RESTORE);
}

void TCustomForm::SetClientSize(int width, int height) {
    TCreateParams p;
    CreateParams(p);
    DWORD style = p.style, exStyle = p.exStyle;
    if (m_handle) {
        style = static_cast<DWORD>(GetWindowLongW(m_handle, GWL_STYLE));
        exStyle = static_cast<DWORD>(GetWindowLongW(m_handle, GWL_EXSTYLE));
    }
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, style, m_menu != nullptr, exStyle);
    SetBounds(m_left, m_top, r.right - r.left, r.bottom - r.top);
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    m_menu = menu;
    if (menu) {
        menu->OnMenuChanged = [this](TMenu* changed) {
            if (m_handle) {
                // The window may have given its menu to someone else (a
                // skinned menu bar): it gets it back before the news.
                if (changed == m_menu && ::GetMenu(m_handle) != m_menu->Handle()) ::SetMenu(m_handle, m_menu->Handle());
                DrawMenuBar(m_handle);
                Perform(CM_MENUCHANGED);
            }
        };
    }
    if (m_handle) {
        ::SetMenu(m_handle, menu ? menu->Handle() : nullptr);
        Perform(CM_MENUCHANGED);
    }
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    m_activeControl = control;
    if (control && Active() && control->CanFocus()) control->SetFocus();
}

bool TCustomForm::Active() const { return m_handle && GetActiveWindow() == m_handle; }

bool TCustomForm::Showing() const { return m_handle && IsWindowVisible(m_handle); }

void TCustomForm::ApplyPosition() {
    if (m_positioned) return;
    m_positioned = true;
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (m_position == TPosition::poMainFormCenter && main && main != this && main->HandleAllocated())
        GetWindowRect(main->Handle(), &area);
    else if (m_position != TPosition::poScreenCenter && m_position != TPosition::poMainFormCenter)
        return;
    SetBounds(area.left + (area.right - area.left - m_width) / 2, area.top + (area.bottom - area.top - m_height) / 2,
              m_width, m_height);
}

void TCustomForm::FocusFirstControl() {
    // The form itself holding the focus does not count: activation gives
    // it to the top-level window first, and a control takes it from there.
    const HWND focus = GetFocus();
    if (focus && IsChild(m_handle, focus)) return;
    if (m_activeControl && m_activeControl->CanFocus() && m_activeControl->HandleAllocated()) {
        ::SetFocus(m_activeControl->Handle());
        return;
    }
    if (const HWND first = GetNextDlgTabItem(m_handle, nullptr, FALSE)) ::SetFocus(first);
}

void TCustomForm::Show() {
    SetVisible(true);
    if (m_handle) {
        BringWindowToTop(m_handle);
        SetForegroundWindow(m_handle);
    }
}

void TCustomForm::SetVisible(bool visible) {
    if (visible) {
        HandleNeeded();
        if (IsWindowVisible(m_handle)) {
            m_visible = true;
            return;
        }
        ApplyPosition();
        m_visible = true;
        DoShow();
        if (!m_visible) return;  // the show handler hid the form again
        ShowWindow(m_handle, m_windowState == TWindowState::wsMinimized   ? SW_SHOWMINIMIZED
                             : m_windowState == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                                          : SW_SHOWNORMAL);
        if (m_formStyle == TFormStyle::fsStayOnTop)
            SetWindowPos(m_handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        FocusFirstControl();
        Perform(CM_VISIBLECHANGED, 1);
        return;
    }
    if (!m_visible && !(m_handle && IsWindowVisible(m_handle))) return;
    m_visible = false;
    if (m_handle && IsWindowVisible(m_handle)) {
        DoHide();
        ShowWindow(m_handle, SW_HIDE);
    }
    Perform(CM_VISIBLECHANGED, 0);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (m_modal) {
        m_modalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    if (action == TCloseAction::caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree: Release(); break;
    default: break;
    }
}

bool TCustomForm::CloseModal() {
    if (!CloseQuery()) return false;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    if (action == TCloseAction::caNone) return false;
    if (action == TCloseAction::caFree) Release();
    return true;
}

void TCustomForm::Release() {
    if (Application) PostMessageW(Application->Handle(), CM_RELEASE, 0, reinterpret_cast<LPARAM>(this));
}

namespace {

struct DisabledWindows {
    HWND except;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableWindow(HWND hwnd, LPARAM param) {
    auto* d = reinterpret_cast<DisabledWindows*>(param);
    if (hwnd != d->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        d->windows.push_back(hwnd);
        EnableWindow(hwnd, FALSE);
    }
    return TRUE;
}

}  // namespace

TModalResult TCustomForm::ShowModal() {
    if (Showing() || !m_enabled || m_modal) throw EInvalidOperation("Cannot make a visible window modal");
    HandleNeeded();
    const HWND previous = GetActiveWindow();
    DisabledWindows disabled{m_handle, {}};
    EnumThreadWindows(GetCurrentThreadId(), &DisableWindow, reinterpret_cast<LPARAM>(&disabled));
    m_modal = true;
    m_modalResult = mrNone;
    TModalResult result = mrCancel;
    try {
        Show();
        while (true) {
            Application->HandleMessage();
            if (Application->Terminated()) m_modalResult = mrCancel;
            if (m_modalResult != mrNone) {
                m_modal = false;
                if (CloseModal() || Application->Terminated()) break;
                m_modal = true;
                m_modalResult = mrNone;
            }
        }
        result = m_modalResult;
    } catch (...) {
        m_modal = false;
        for (HWND h : disabled.windows) EnableWindow(h, TRUE);
        throw;
    }
    m_modal = false;
    for (HWND h : disabled.windows) EnableWindow(h, TRUE);
    Hide();
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    return result;
}

TWinControl* TCustomForm::FindDialogButton(bool defaultButton) {
    std::vector<TWinControl*> pending{this};
    while (!pending.empty()) {
        TWinControl* w = pending.back();
        pending.pop_back();
        for (int i = 0; i < w->ControlCount(); ++i) {
            auto* c = dynamic_cast<TWinControl*>(w->Controls(i));
            if (!c) continue;
            if ((defaultButton ? c->IsDefaultButton() : c->IsCancelButton()) && c->Showing() && c->Enabled())
                return c;
            pending.push_back(c);
        }
    }
    return nullptr;
}

void TCustomForm::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_COMMAND:
        if (m.LParam == 0) {
            const UINT id = LOWORD(m.WParam);
            if (id == IDOK || id == IDCANCEL) {
                if (TWinControl* b = FindDialogButton(id == IDOK)) b->Click();
                return;
            }
            if (HIWORD(m.WParam) <= 1) {
                if (TMenuItem* item = TMenuItem::FindByCommand(id)) {
                    item->Click();
                    return;
                }
            }
        }
        break;
    case DM_GETDEFID:
        if (TWinControl* b = FindDialogButton(true)) m.Result = MAKELONG(b->ControlId(), DC_HASDEFID);
        return;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        if (MenuOwnerDrawMessage(m)) return;
        break;
    case WM_SIZE:
        // The state the user gave the window (restored from the task bar,
        // say) is the one it is shown in next time.
        if (m.WParam == SIZE_MINIMIZED) m_windowState = TWindowState::wsMinimized;
        else if (m.WParam == SIZE_MAXIMIZED) m_windowState = TWindowState::wsMaximized;
        else if (m.WParam == SIZE_RESTORED) m_windowState = TWindowState::wsNormal;
        break;
    case WM_ACTIVATE:
        if (LOWORD(m.WParam) == WA_INACTIVE) {
            if (auto* focused = FindControl(GetFocus())) m_activeControl = focused;
            DefaultHandler(m);
            if (OnDeactivate) OnDeactivate(this);
        } else {
            DefaultHandler(m);
            FocusFirstControl();
            if (OnActivate) OnActivate(this);
        }
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

// ---- TApplication ----------------------------------------------------------------

namespace {

BOOL CALLBACK TakeFirstIcon(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) {
    const HICON icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    if (icon) reinterpret_cast<TIcon*>(param)->SetHandle(icon);
    return FALSE;
}

}  // namespace

TApplication::TApplication() : TComponent(nullptr) {
    Application = this;
    String exe = ExeName();
    exe = ExtractFileName(exe);
    const size_t dot = exe.rfind(u'.');
    m_title = dot == String::npos ? exe : exe.substr(0, dot);
    // The program's first icon resource, if it has one.
    EnumResourceNamesW(GetModuleHandleW(nullptr), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON), &TakeFirstIcon,
                       reinterpret_cast<LONG_PTR>(&m_icon));
}

HICON TApplication::SmallIcon() {
    if (!m_smallIcon) m_smallIcon = m_icon.CopyAt(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    return m_smallIcon;
}

TApplication::~TApplication() {
    EndHelpViewer();
    SetDestroying();
    m_mainForm = nullptr;
    DestroyComponents();
    m_forms.clear();
    if (m_handle) DeallocateHWnd(m_handle);
    if (m_smallIcon) DestroyIcon(m_smallIcon);
    if (m_oleInitialized) OleUninitialize();
    if (Application == this) Application = nullptr;
}

namespace {

// The date, time and number texts of the user's locale.
void LoadLocaleSettings(TFormatSettings& fs) {
    auto info = [](LCTYPE type, const char16_t* fallback) {
        WCHAR text[80] = {};
        return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 80) > 1 ? com::U16(text) : String(fallback);
    };
    fs.DateSeparator = info(LOCALE_SDATE, u"/")[0];
    fs.TimeSeparator = info(LOCALE_STIME, u":")[0];
    fs.DecimalSeparator = info(LOCALE_SDECIMAL, u".")[0];
    fs.TimeAMString = info(LOCALE_S1159, u"AM");
    fs.TimePMString = info(LOCALE_S2359, u"PM");
    // A 12-hour clock shows the locale's AM and PM texts.
    const String hour = info(LOCALE_ITLZERO, u"0") == u"1" ? u"hh" : u"h";
    const String marker = info(LOCALE_ITIME, u"0") == u"0" ? u" AMPM" : u"";
    fs.ShortTimeFormat = hour + u":mm" + marker;
    fs.LongTimeFormat = hour + u":mm:ss" + marker;
}

}  // namespace

void TApplication::Initialize() {
    LoadLocaleSettings(FormatSettings());
    if (!m_oleInitialized) m_oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                             ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
}

void TApplication::FormCreated(TCustomForm* form) {
    m_forms.push_back(form);
    form->AfterConstruction();
    if (!m_mainForm) m_mainForm = form;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    if (operation != TOperation::opRemove) return;
    m_forms.erase(std::remove(m_forms.begin(), m_forms.end(), component), m_forms.end());
    if (component == m_mainForm) m_mainForm = nullptr;
}

HWND TApplication::Handle() {
    if (!m_handle) {
        m_handle = AllocateHWnd(
            [this](TMessage& m) {
                if (m.Msg != CM_RELEASE) return false;
                auto* form = reinterpret_cast<TCustomForm*>(m.LParam);
                // Only a form that still exists.
                if (std::find(m_forms.begin(), m_forms.end(), form) != m_forms.end()) delete form;
                return true;
            },
            L"TApplication");
        SetWindowTextW(m_handle, com::W(m_title));
    }
    return m_handle;
}

void TApplication::SetTitle(const String& title) {
    m_title = title;
    if (m_handle) SetWindowTextW(m_handle, com::W(title));
}

String TApplication::ExeName() const {
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return com::U16(path);
}

TCustomForm* TApplication::ActiveForm() const {
    return dynamic_cast<TCustomForm*>(TWinControl::FindControl(GetActiveWindow()));
}

void TApplication::Run() {
    if (m_mainForm && m_showMainForm) m_mainForm->Show();
    while (!m_terminated) HandleMessage();
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (msg.message == WM_QUIT) {
        m_terminated = true;
        return true;
    }
    const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && dynamic_cast<TCustomForm*>(TWinControl::FindControl(root)) && IsDialogMessageW(root, &msg))
        return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ProcessMessage(msg);
        if (m_terminated) break;
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(msg);
    else WaitMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
    HWND owner = nullptr;
    if (TCustomForm* active = ActiveForm()) owner = active->Handle();
    else if (m_mainForm && m_mainForm->Showing()) owner = m_mainForm->Handle();
    return MessageBox(owner, text, caption, flags);
}

int TApplication::MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
    return MessageBoxW(owner, com::W(text), com::W(caption), flags);
}

namespace {

struct ViewerWindow {
    DWORD process;
    bool shown = false;
};

BOOL CALLBACK FindViewerWindow(HWND w, LPARAM p) {
    auto* v = reinterpret_cast<ViewerWindow*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == v->process && IsWindowVisible(w)) {
        v->shown = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void TApplication::EndHelpViewer() {
    if (!m_helpViewer) return;
    if (WaitForSingleObject(m_helpViewer, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_helpViewer, 0);
        WaitForSingleObject(m_helpViewer, 2000);
    }
    CloseHandle(m_helpViewer);
    m_helpViewer = nullptr;
}

bool TApplication::HelpJump(const String& topic) {
    if (m_helpFile.empty()) return false;
    const DWORD attributes = GetFileAttributesW(com::W(m_helpFile));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        MessageBox(u"The help file " + m_helpFile + u" cannot be found.", u"Information", MB_ICONINFORMATION);
        return false;
    }
    // The platform's WinHelp call starts a hidden viewer that never shows a
    // topic named by a macro; the viewer started with the topic on its
    // command line shows it, and stays ours to end.
    EndHelpViewer();
    String command = u"winhlp32.exe -i " + topic + u" \"" + m_helpFile + u"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, const_cast<LPWSTR>(com::W(command)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        MessageBox(u"The help viewer (winhlp32.exe) cannot be started.", u"Information", MB_ICONINFORMATION);
        return false;
    }
    CloseHandle(pi.hThread);
    m_helpViewer = pi.hProcess;
    // Shown within a few seconds, or not at all.
    ViewerWindow viewer{pi.dwProcessId};
    const ULONGLONG until = GetTickCount64() + 10000;
    while (!viewer.shown && GetTickCount64() < until && WaitForSingleObject(m_helpViewer, 50) == WAIT_TIMEOUT)
        EnumWindows(FindViewerWindow, reinterpret_cast<LPARAM>(&viewer));
    if (viewer.shown) return true;
    EndHelpViewer();
    MessageBox(u"The help viewer could not show " + m_helpFile + u".", u"Information", MB_ICONINFORMATION);
    return false;
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        if (OnException) OnException(this, e);
        else ShowException(e);
    } catch (...) {
        const Exception unknown("An unexpected error occurred");
        if (OnException) OnException(this, unknown);
        else ShowException(unknown);
    }
}

void TApplication::ShowException(const std::exception& e) {
    String text = Utf8ToText(e.what());
    if (!text.empty() && text.back() > u'.') text += u'.';
    HWND owner = nullptr;
    if (TCustomForm* active = ActiveForm()) owner = active->Handle();
    MessageBoxW(owner, com::W(text), com::W(m_title), MB_OK | MB_ICONSTOP);
}

}  // namespace forms
