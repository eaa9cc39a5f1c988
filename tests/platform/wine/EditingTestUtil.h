// For the editing tests: a new timeline from the registry, and an object
// that counts its own end: hung on timeline nodes as their sub object, it
// shows whether every node was freed once its last user let go.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include "framework/com/ComPtr.h"
#include "platform/include/EditingServices.h"
#include "tests/wine/harness/WineTest.h"

namespace pt {

inline com::ComPtr<IAMTimeline> NewTimeline() {
    com::ComPtr<IAMTimeline> timeline;
    CHECK_HR(CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline,
                              timeline.PutVoid()));
    return timeline;
}

class LifeProbe final : public IUnknown {
public:
    explicit LifeProbe(int& gone) : m_gone(gone) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0) {
            ++m_gone;
            delete this;
        }
        return static_cast<ULONG>(left);
    }

private:
    ~LifeProbe() = default;
    LONG m_refs = 1;
    int& m_gone;
};

// Hangs a new probe on a node; the node holds the only reference.
inline void HangProbe(IAMTimelineObj* node, int& gone) {
    auto* probe = new LifeProbe(gone);
    node->SetSubObject(probe);
    probe->Release();
}

}  // namespace pt
