#include "platform/dshow/OutputQueue.h"

#include "platform/dshow/Pins.h"

namespace dshow {

HRESULT OutputQueue::Start() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = true;
        m_flushing = false;
        m_result = S_OK;
    }
    const HRESULT hr = m_thread.Start([this] { Run(); });
    if (FAILED(hr)) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = false;
    }
    return hr;
}

void OutputQueue::Stop() {
    std::deque<IMediaSample*> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = false;
        dropped.swap(m_items);
    }
    m_wake.notify_all();
    for (IMediaSample* s : dropped)
        if (s) s->Release();
    m_thread.Join();
}

HRESULT OutputQueue::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    return Push(sample);
}

HRESULT OutputQueue::EndOfStream() { return Push(nullptr); }

void OutputQueue::BeginFlush() {
    std::deque<IMediaSample*> dropped;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_flushing = true;
        dropped.swap(m_items);
    }
    for (IMediaSample* s : dropped)
        if (s) s->Release();
}

void OutputQueue::EndFlush() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_flushing = false;
}

HRESULT OutputQueue::Push(IMediaSample* sample) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_running) return VFW_E_WRONG_STATE;
        if (m_result != S_OK) return m_result;
        if (m_flushing) return S_OK;
        if (sample) sample->AddRef();
        m_items.push_back(sample);
    }
    m_wake.notify_one();
    return S_OK;
}

void OutputQueue::Run() {
    for (;;) {
        IMediaSample* sample = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return !m_running || !m_items.empty(); });
            if (!m_running) return;
            sample = m_items.front();
            m_items.pop_front();
        }
        const HRESULT hr = sample ? m_pin.Deliver(sample) : m_pin.DeliverEndOfStream();
        if (sample) sample->Release();
        if (sample && hr != S_OK) {
            std::deque<IMediaSample*> dropped;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                if (!m_flushing) {
                    m_result = hr;
                    dropped.swap(m_items);
                }
            }
            for (IMediaSample* s : dropped)
                if (s) s->Release();
        }
    }
}

}  // namespace dshow
