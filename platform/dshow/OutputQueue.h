// Hands an output pin's samples and its end of stream to the peer on a
// thread of its own, in order, so that the filter's streaming thread goes
// on with the next picture (decoding, encoding) while the filters
// downstream work on this one. The pin's allocator bounds what waits: a
// queued sample holds one of its buffers, and the streaming thread waits
// for a free one.
//
// Start at the pin's Active, Stop at its Inactive. After a delivery fails,
// Receive answers with that failure (as a direct Deliver would have) and
// the rest, end of stream included, is dropped.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dshow/WorkerThread.h"

namespace dshow {

class OutputPin;

class OutputQueue {
public:
    explicit OutputQueue(OutputPin& pin) : m_pin(pin) {}
    ~OutputQueue() { Stop(); }
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    HRESULT Start();
    // Drops what waits and returns once the thread has ended (a delivery
    // under way finishes first).
    void Stop();

    // Queues the sample with a reference of the queue's own. S_OK, the
    // failure of an earlier delivery, or VFW_E_WRONG_STATE when stopped.
    HRESULT Receive(IMediaSample* sample);
    HRESULT EndOfStream();
    // A flush downstream: what waits is dropped, and until EndFlush what
    // arrives is dropped too and refusals from downstream are not kept.
    void BeginFlush();
    void EndFlush();

private:
    HRESULT Push(IMediaSample* sample);  // null: end of stream
    void Run();

    OutputPin& m_pin;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<IMediaSample*> m_items;  // counted; null is the end of stream
    bool m_running = false;
    bool m_flushing = false;
    HRESULT m_result = S_OK;
    WorkerThread m_thread;
};

}  // namespace dshow
