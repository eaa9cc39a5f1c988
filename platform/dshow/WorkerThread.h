// A Win32 thread for a streaming loop: the loop calls into other filters
// and Win32, so it must be a thread Wine knows (not a bare pthread).
#pragma once

#include <windows.h>

#include <functional>

namespace dshow {

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // The body runs with COM initialised; exceptions end it quietly.
    HRESULT Start(std::function<void()> body);
    void Join();
    bool Started() const { return m_thread != nullptr; }

private:
    static DWORD WINAPI Entry(void* self);
    HANDLE m_thread = nullptr;
    std::function<void()> m_body;
};

}  // namespace dshow
