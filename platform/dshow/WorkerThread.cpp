#include "platform/dshow/WorkerThread.h"

#include <objbase.h>

namespace dshow {

HRESULT WorkerThread::Start(std::function<void()> body) {
    Join();
    m_body = std::move(body);
    m_thread = CreateThread(nullptr, 0, &WorkerThread::Entry, this, 0, nullptr);
    return m_thread ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void WorkerThread::Join() {
    if (!m_thread) return;
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
    m_body = nullptr;
}

DWORD WINAPI WorkerThread::Entry(void* self) {
    auto* t = static_cast<WorkerThread*>(self);
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        t->m_body();
    } catch (...) {
        // Nothing may leave a thread Wine started.
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return 0;
}

}  // namespace dshow
