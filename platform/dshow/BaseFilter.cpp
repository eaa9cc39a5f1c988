#include "platform/dshow/BaseFilter.h"

#include <vector>

#include "framework/com/Enumerators.h"
#include "framework/com/WinText.h"
#include "platform/dshow/Pins.h"

namespace dshow {

using PinEnum = com::SnapshotEnum<IEnumPins, IID_IEnumPins, IPin*, com::InterfaceCopy>;

STDMETHODIMP BaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

STDMETHODIMP BaseFilter::Stop() {
    return com::ComGuard([&]() -> HRESULT {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (m_state == State_Stopped) return S_OK;
        m_state = State_Stopped;
        OnDeactivate();
        for (size_t i = 0; i < PinCount(); ++i) PinAt(i)->Inactive();
        return S_OK;
    });
}

STDMETHODIMP BaseFilter::Pause() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_state == State_Stopped) {
        size_t done = 0;
        HRESULT hr = S_OK;
        // A throw while starting counts as a failure: what started is stopped again.
        for (; done < PinCount() && SUCCEEDED(hr); ++done)
            hr = com::ComGuard([&] { return PinAt(done)->Active(); });
        if (SUCCEEDED(hr)) {
            // The state reads paused while the filter starts, so work it
            // starts is accepted downstream of its own pins.
            m_state = State_Paused;
            hr = com::ComGuard([&] { return OnActivate(); });
        }
        if (FAILED(hr)) {
            m_state = State_Stopped;
            for (size_t i = 0; i < done; ++i) PinAt(i)->Inactive();
            return hr;
        }
    }
    m_state = State_Paused;
    return S_OK;
}

STDMETHODIMP BaseFilter::Run(REFERENCE_TIME start) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    m_start = start;
    m_state = State_Running;
    return S_OK;
}

STDMETHODIMP BaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = m_state;
    return S_OK;
}

STDMETHODIMP BaseFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_clock = com::ComPtr<IReferenceClock>(clock);
    return S_OK;
}

STDMETHODIMP BaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_clock.CopyTo(clock);
}

STDMETHODIMP BaseFilter::EnumPins(IEnumPins** out) {
    if (!out) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::vector<IPin*> pins;
    for (size_t i = 0; i < PinCount(); ++i) pins.push_back(PinAt(i));
    return com::CreateAndQuery<PinEnum>(IID_IEnumPins, reinterpret_cast<void**>(out), std::move(pins));
}

STDMETHODIMP BaseFilter::FindPin(LPCWSTR id, IPin** out) {
    if (!id || !out) return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (size_t i = 0; i < PinCount(); ++i) {
        BasePin* pin = PinAt(i);
        if (lstrcmpW(com::W(pin->Name()), id) == 0) {
            *out = pin;
            pin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    *info = FILTER_INFO{};
    lstrcpynW(info->achName, com::W(m_name), MAX_FILTER_NAME);
    info->pGraph = m_graph.load();
    if (info->pGraph) info->pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    return com::ComGuard([&]() -> HRESULT {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_graph = graph;
        m_name = name ? com::U16(name) : std::u16string();
        return S_OK;
    });
}

STDMETHODIMP BaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT BaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    IFilterGraph* graph = m_graph.load();
    com::ComPtr<IMediaEventSink> sink;
    if (!graph) return E_UNEXPECTED;
    if (FAILED(graph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()))) return E_NOINTERFACE;
    return sink->Notify(code, param1, param2);
}

}  // namespace dshow
