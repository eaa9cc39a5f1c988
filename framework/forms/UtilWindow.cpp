#include "framework/forms/UtilWindow.h"

#include <set>
#include <string>

#include "framework/com/WinText.h"
#include "framework/forms/Controls.h"

namespace forms {
namespace {

LRESULT CALLBACK UtilWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* method = reinterpret_cast<TMessageMethod*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (method && *method) {
        TMessage m{msg, wParam, lParam, 0};
        try {
            if ((*method)(m)) return m.Result;
        } catch (...) {
            HandleCallbackException();
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterUtilClass(const WCHAR* name) {
    static std::set<std::u16string> registered;
    const std::u16string key = com::U16(name);
    if (registered.count(key)) return;
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = &UtilWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
    registered.insert(key);
}

}  // namespace

HWND AllocateHWnd(TMessageMethod method, const WCHAR* className) {
    RegisterUtilClass(className);
    const HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) throw EOutOfResources("Cannot create a window");
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TMessageMethod(std::move(method))));
    return hwnd;
}

void DeallocateHWnd(HWND hwnd) {
    if (!hwnd) return;
    auto* method = reinterpret_cast<TMessageMethod*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    delete method;
}

}  // namespace forms
