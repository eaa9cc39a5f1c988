#include "framework/forms/Threads.h"

#include <algorithm>

#include "framework/forms/Controls.h"

namespace forms {
namespace {

struct SyncRecord {
    const std::function<void()>* method;
    std::exception_ptr error;
};

LRESULT CALLBACK ThreadWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == CM_EXECPROC) {
        auto* record = reinterpret_cast<SyncRecord*>(lParam);
        try {
            (*record->method)();
        } catch (...) {
            record->error = std::current_exception();
        }
        return 0;
    }
    if (msg == CM_DESTROYWINDOW) return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD g_guiThread = 0;
HWND g_threadWindow = nullptr;

void EnsureThreadWindow() {
    if (g_threadWindow) return;
    g_guiThread = GetCurrentThreadId();
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = &ThreadWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TThreadWindow";
    RegisterClassExW(&wc);
    g_threadWindow = CreateWindowExW(0, L"TThreadWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    if (!g_threadWindow) throw EThread("Cannot create the thread window");
}

int PriorityValue(TThreadPriority p) {
    switch (p) {
    case TThreadPriority::tpIdle: return THREAD_PRIORITY_IDLE;
    case TThreadPriority::tpLowest: return THREAD_PRIORITY_LOWEST;
    case TThreadPriority::tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case TThreadPriority::tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case TThreadPriority::tpHighest: return THREAD_PRIORITY_HIGHEST;
    case TThreadPriority::tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    default: return THREAD_PRIORITY_NORMAL;
    }
}

}  // namespace

HWND ThreadWindowHandle() { return g_threadWindow; }

TThread::TThread(bool createSuspended) {
    if (!g_threadWindow && (!g_guiThread || g_guiThread == GetCurrentThreadId())) EnsureThreadWindow();
    m_handle = CreateThread(nullptr, 0, &ThreadProc, this, CREATE_SUSPENDED, &m_threadId);
    if (!m_handle) throw EThread("Thread creation error: " + std::to_string(GetLastError()));
    m_suspended = true;
    if (!createSuspended) Resume();
}

TThread::~TThread() {
    if (m_handle) {
        if (!m_finished) {
            m_terminated = true;
            if (!m_started) m_skipExecute = true;
            while (m_suspended) Resume();
            WaitFor();
        }
        CloseHandle(m_handle);
    }
}

void TThread::Resume() {
    if (!m_suspended) return;
    m_started = true;
    if (ResumeThread(m_handle) <= 1) m_suspended = false;
}

void TThread::Suspend() {
    if (m_suspended || m_finished) return;
    m_suspended = true;
    SuspendThread(m_handle);
}

void TThread::SetPriority(TThreadPriority priority) {
    m_priority = priority;
    SetThreadPriority(m_handle, PriorityValue(priority));
}

DWORD TThread::WaitFor() {
    if (GetCurrentThreadId() == m_threadId) throw EThread("A thread cannot wait for itself");
    if (GetCurrentThreadId() == g_guiThread) {
        // Keep answering Synchronize while waiting.
        while (MsgWaitForMultipleObjects(1, &m_handle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
    } else {
        WaitForSingleObject(m_handle, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeThread(m_handle, &code);
    return code;
}

void TThread::Synchronize(TThread*, const std::function<void()>& method) {
    if (!g_threadWindow || GetCurrentThreadId() == g_guiThread) {
        method();
        return;
    }
    SyncRecord record{&method, nullptr};
    SendMessageW(g_threadWindow, CM_EXECPROC, 0, reinterpret_cast<LPARAM>(&record));
    if (record.error) std::rethrow_exception(record.error);
}

DWORD WINAPI TThread::ThreadProc(LPVOID param) {
    auto* self = static_cast<TThread*>(param);
    if (!self->m_skipExecute) {
        try {
            self->Execute();
        } catch (...) {
            self->m_fatal = std::current_exception();
        }
        try {
            if (self->OnTerminate) Synchronize(self, [self] { self->OnTerminate(self); });
        } catch (...) {
            if (!self->m_fatal) self->m_fatal = std::current_exception();
        }
    }
    const DWORD code = static_cast<DWORD>(self->m_returnValue);
    const bool freeIt = self->m_freeOnTerminate && !self->m_skipExecute;
    self->m_finished = true;
    if (freeIt) delete self;
    return code;
}

void TThreadList::Add(void* item) {
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (std::find(m_list.begin(), m_list.end(), item) == m_list.end()) m_list.push_back(item);
}

void TThreadList::Remove(void* item) {
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_list.erase(std::remove(m_list.begin(), m_list.end(), item), m_list.end());
}

void TThreadList::Clear() {
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_list.clear();
}

}  // namespace forms
