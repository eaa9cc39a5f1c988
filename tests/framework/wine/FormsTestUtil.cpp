#include "tests/framework/wine/FormsTestUtil.h"

#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"

namespace ft {

TestApp::TestApp() {
    m_app.Initialize();
    m_app.OnException = [this](forms::TObject*, const std::exception& e) { Errors.push_back(e.what()); };
}

TestApp::~TestApp() { m_app.OnException = nullptr; }

void Pump(DWORD ms) { wt::PumpMessages(ms); }

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) { return wt::PumpUntil(done, timeoutMs); }

void ClickButton(forms::TWinControl& button) { SendMessageW(button.Handle(), BM_CLICK, 0, 0); }

void ClickAt(HWND window, int x, int y) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

std::u16string WindowText(HWND hwnd) {
    WCHAR text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return com::U16(text);
}

namespace {

struct FindDialog {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        reinterpret_cast<FindDialog*>(param)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct AnswererState {
    std::vector<int> answers;
    std::vector<std::u16string> texts;
    std::vector<std::u16string> captions;
    UINT_PTR timer = 0;
};
AnswererState* g_answerer = nullptr;

BOOL CALLBACK FindStaticText(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) {
        const std::u16string t = WindowText(hwnd);
        if (!t.empty()) {
            *reinterpret_cast<std::u16string*>(param) = t;
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CALLBACK FindCombo(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpiW(cls, L"ComboBox") == 0 || lstrcmpiW(cls, L"ComboBoxEx32") == 0) {
        *reinterpret_cast<bool*>(param) = true;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_answerer) return;
    const HWND box = FindThreadDialog();
    if (!box) return;
    // File dialogs are not message boxes; they have their own filler.
    bool fileDialog = false;
    EnumChildWindows(box, &FindCombo, reinterpret_cast<LPARAM>(&fileDialog));
    if (fileDialog) return;
    std::u16string text;
    EnumChildWindows(box, &FindStaticText, reinterpret_cast<LPARAM>(&text));
    g_answerer->texts.push_back(text);
    g_answerer->captions.push_back(WindowText(box));
    int answer = 0;
    if (!g_answerer->answers.empty()) {
        answer = g_answerer->answers.front();
        g_answerer->answers.erase(g_answerer->answers.begin());
    } else {
        answer = GetDlgItem(box, IDNO) ? IDNO : IDOK;
    }
    const HWND button = GetDlgItem(box, answer);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

struct FillerState {
    std::u16string name;
    std::u16string title;
    bool done = false;
};
FillerState g_filler;

BOOL CALLBACK FindEdit(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpiW(cls, L"Edit") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK FillTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_filler.done) return;
    const HWND dialog = FindThreadDialog();
    if (!dialog) return;
    HWND edit = nullptr;
    EnumChildWindows(dialog, &FindEdit, reinterpret_cast<LPARAM>(&edit));
    if (!edit) return;
    g_filler.done = true;
    g_filler.title = WindowText(dialog);
    SetWindowTextW(edit, com::W(g_filler.name));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

}  // namespace

FileDialogFiller::FileDialogFiller(std::u16string name) {
    g_filler = FillerState{std::move(name), {}, false};
    m_timer = SetTimer(nullptr, 0, 100, &FillTimer);
}

FileDialogFiller::~FileDialogFiller() { KillTimer(nullptr, m_timer); }

std::u16string FileDialogFiller::Title() { return g_filler.title; }

HWND FindThreadDialog() {
    FindDialog d;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialogProc, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers) {
    g_answerer = new AnswererState{std::move(answers), {}, {}, 0};
    g_answerer->timer = SetTimer(nullptr, 0, 50, &AnswerTimer);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    KillTimer(nullptr, g_answerer->timer);
    delete g_answerer;
    g_answerer = nullptr;
}

const std::vector<std::u16string>& MessageBoxAnswerer::Texts() const { return g_answerer->texts; }
const std::vector<std::u16string>& MessageBoxAnswerer::Captions() const { return g_answerer->captions; }

}  // namespace ft
