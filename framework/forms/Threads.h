// Threads with synchronisation to the GUI thread, lock-protected lists and
// critical sections.
//
// Synchronize sends CM_EXECPROC to the hidden "TThreadWindow" window of the
// GUI thread and waits; any wait on the GUI thread for a synchronising
// thread must keep handling that window's messages 0x8FFE..0x8FFF. The
// window is message-only (it needs no display), so FindWindow does not see
// it: ThreadWindowHandle gives it.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "framework/forms/Component.h"

namespace forms {

constexpr UINT CM_DESTROYWINDOW = 0x8FFE;
constexpr UINT CM_EXECPROC = 0x8FFF;

// The synchronisation window, made by the first thread object created on
// the GUI thread; nullptr before.
HWND ThreadWindowHandle();

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
public:
    FORMS_CLASS(TThread)
    // Created on the GUI thread (whose synchronisation window it sets up).
    explicit TThread(bool createSuspended);
    // Asks the thread to stop and waits for it.
    ~TThread() override;

    void Start() { Resume(); }
    void Resume();
    void Suspend();
    bool Suspended() const { return m_suspended; }
    void Terminate() { m_terminated = true; }
    bool Terminated() const { return m_terminated; }
    bool Finished() const { return m_finished; }
    // Waits for the end; on the GUI thread synchronised calls keep running.
    DWORD WaitFor();
    bool FreeOnTerminate() const { return m_freeOnTerminate; }
    void SetFreeOnTerminate(bool on) { m_freeOnTerminate = on; }
    TThreadPriority Priority() const { return m_priority; }
    void SetPriority(TThreadPriority priority);
    HANDLE Handle() const { return m_handle; }
    DWORD ThreadID() const { return m_threadId; }
    int ReturnValue() const { return m_returnValue; }
    // What Execute raised, if anything.
    std::exception_ptr FatalException() const { return m_fatal; }

    // Runs on the GUI thread at the end, through Synchronize.
    TNotifyEvent OnTerminate;

    // Runs method on the GUI thread and waits for it; an exception it
    // raises comes back to the caller.
    static void Synchronize(TThread* thread, const std::function<void()>& method);

protected:
    virtual void Execute() = 0;
    void Synchronize(const std::function<void()>& method) { Synchronize(this, method); }
    void SetReturnValue(int value) { m_returnValue = value; }

private:
    static DWORD WINAPI ThreadProc(LPVOID self);
    HANDLE m_handle = nullptr;
    DWORD m_threadId = 0;
    std::atomic<bool> m_terminated{false};
    bool m_suspended = false;
    bool m_started = false;
    bool m_skipExecute = false;
    std::atomic<bool> m_finished{false};
    bool m_freeOnTerminate = false;
    TThreadPriority m_priority = TThreadPriority::tpNormal;
    int m_returnValue = 0;
    std::exception_ptr m_fatal;
};

// A list of pointers behind a lock.
class TThreadList {
public:
    std::vector<void*>& LockList() {
        m_lock.lock();
        return m_list;
    }
    void UnlockList() { m_lock.unlock(); }
    void Add(void* item);
    void Remove(void* item);
    void Clear();

private:
    std::recursive_mutex m_lock;
    std::vector<void*> m_list;
};

class TCriticalSection {
public:
    void Acquire() { m_lock.lock(); }
    void Release() { m_lock.unlock(); }
    bool TryEnter() { return m_lock.try_lock(); }

private:
    std::recursive_mutex m_lock;
};

}  // namespace forms
