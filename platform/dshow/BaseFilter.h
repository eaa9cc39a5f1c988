// Base of the platform's DirectShow filters: state, clock, graph and the
// pin list. A filter derives from it, owns its pins and lists them through
// PinCount/PinAt; pins share the filter's reference count.
//
//   class MyFilter final : public dshow::BaseFilter {
//   public:
//       COM_BEGIN_QI()
//           DSHOW_FILTER_QI()
//       COM_END_QI()
//   ...
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <mutex>
#include <string>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"

namespace dshow {

class BasePin;

class BaseFilter : public com::ComObjectRoot, public IBaseFilter {
public:
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** out) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** out) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    IUnknown* Unknown() { return static_cast<IBaseFilter*>(this); }
    // Guards state and connections; streaming code takes its own locks.
    std::recursive_mutex& StateLock() { return m_lock; }
    FILTER_STATE State() const { return m_state.load(); }
    // Posts an event through the graph (EC_COMPLETE, EC_ERRORABORT, ...).
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

protected:
    explicit BaseFilter(const CLSID& clsid) : m_clsid(clsid) {}

    virtual size_t PinCount() = 0;
    virtual BasePin* PinAt(size_t index) = 0;
    // Stopped -> paused, after the pins became active. A failure stops again.
    virtual HRESULT OnActivate() { return S_OK; }
    // -> stopped: the state already reads stopped (new samples are
    // refused); runs before the pins go inactive.
    virtual void OnDeactivate() {}

    IFilterGraph* Graph() const { return m_graph.load(); }

private:
    CLSID m_clsid;
    std::recursive_mutex m_lock;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
    com::ComPtr<IReferenceClock> m_clock;
    // Not counted: the graph holds the filter. Read without the state lock,
    // since streaming threads post events while a stop waits for them.
    std::atomic<IFilterGraph*> m_graph{nullptr};
    std::u16string m_name;
    REFERENCE_TIME m_start = 0;
};

}  // namespace dshow

#define DSHOW_FILTER_QI()                          \
    COM_QI_AS(IUnknown, IBaseFilter)               \
    COM_QI_IID(IID_IPersist, IBaseFilter)          \
    COM_QI_IID(IID_IMediaFilter, IBaseFilter)      \
    COM_QI(IBaseFilter)
