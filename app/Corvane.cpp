// Corvane: program entry. Starts OLE, creates the conversion control by its
// class identifier and runs the message loop of the main window.
#include <windows.h>
#include <ole2.h>

#include <cstdio>

#include "convctl/Tromvex.h"
#include "framework/com/ComPtr.h"

namespace {

const WCHAR kMainClass[] = L"TMainForm";

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void ShowInformation(const WCHAR* text) {
    MessageBoxW(nullptr, text, L"Information", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    if (FAILED(OleInitialize(nullptr))) {
        ShowInformation(L"OLE could not be initialised.");
        return 1;
    }

    int exitCode = 0;
    {
        com::ComPtr<IVantrexObj> control;
        const HRESULT hr = CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj,
                                            control.PutVoid());
        if (FAILED(hr)) {
            WCHAR text[256];
            wsprintfW(text,
                      L"The conversion control could not be created (error 0x%08X). "
                      L"Register Tromvex.dll and start the program again.",
                      static_cast<unsigned>(hr));
            ShowInformation(text);
            OleUninitialize();
            return 1;
        }

        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = MainWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kMainClass;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        RegisterClassExW(&wc);
        const HWND main = CreateWindowExW(0, kMainClass, L"Corvane", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                          CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, nullptr);
        if (!main) {
            ShowInformation(L"The main window could not be created.");
            exitCode = 1;
        } else {
            ShowWindow(main, show);
            UpdateWindow(main);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            exitCode = static_cast<int>(msg.wParam);
        }
    }
    OleUninitialize();
    return exitCode;
}
