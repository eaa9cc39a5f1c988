// The filter kit's COM edges: a C++ exception thrown by a filter's own code
// (out of memory, a failed container or thread) comes back to the caller as
// an HRESULT instead of ending the process, and a filter that throws while
// starting is stopped again, as one whose start failed.
#include <windows.h>
#include <dshow.h>

#include <new>
#include <stdexcept>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/Pins.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;

namespace {

enum class Fault { None, Activate, PinActive, Check, Types, EndOfStream };

class FaultFilter final : public dshow::BaseFilter {
public:
    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
    COM_END_QI()

    FaultFilter() : BaseFilter(GUID_NULL), m_pin(*this) {}

    Fault fault = Fault::None;
    int inactive = 0;
    IPin* Pin() { return &m_pin; }

protected:
    size_t PinCount() override { return 1; }
    dshow::BasePin* PinAt(size_t) override { return &m_pin; }
    HRESULT OnActivate() override {
        if (fault == Fault::Activate) throw std::bad_alloc();
        return S_OK;
    }

private:
    class FaultPin final : public dshow::InputPin {
    public:
        explicit FaultPin(FaultFilter& owner) : InputPin(owner, u"In"), m_owner(owner) {}
        HRESULT Active() override {
            if (m_owner.fault == Fault::PinActive) throw std::runtime_error("no thread");
            return InputPin::Active();
        }
        void Inactive() override { ++m_owner.inactive; }

    protected:
        HRESULT CheckMediaType(const AM_MEDIA_TYPE&) override {
            if (m_owner.fault == Fault::Check) throw std::bad_alloc();
            return S_OK;
        }
        bool GetMediaType(size_t index, dshow::MediaType& out) override {
            if (m_owner.fault == Fault::Types) throw std::runtime_error("no types");
            if (index > 0) return false;
            out = com::Rgb32VideoType(16, 16);
            return true;
        }
        HRESULT OnReceive(IMediaSample*) override { return S_OK; }
        HRESULT OnEndOfStream() override {
            if (m_owner.fault == Fault::EndOfStream) throw std::bad_alloc();
            return S_OK;
        }

    private:
        FaultFilter& m_owner;
    };

    ~FaultFilter() override = default;
    FaultPin m_pin;
};

FILTER_STATE StateOf(FaultFilter& f) {
    FILTER_STATE s = State_Running;
    CHECK_HR(f.GetState(0, &s));
    return s;
}

}  // namespace

// A throw while the filter or one of its pins starts fails the start: the
// filter reads stopped and the pins that went active are inactive again.
WT_TEST(KitGuard, ThrowWhileStartingStopsAgain) {
    for (Fault fault : {Fault::Activate, Fault::PinActive}) {
        ComPtr<FaultFilter> f = com::MakeObject<FaultFilter>();
        f->fault = fault;
        CHECK_HR_EQ(f->Pause(), fault == Fault::Activate ? E_OUTOFMEMORY : E_UNEXPECTED);
        CHECK_EQ(StateOf(*f.Get()), State_Stopped);
        CHECK_EQ(f->inactive, 1);
        CHECK_HR_EQ(f->Run(0), fault == Fault::Activate ? E_OUTOFMEMORY : E_UNEXPECTED);
        CHECK_EQ(StateOf(*f.Get()), State_Stopped);
        // Without the fault the same filter starts and stops.
        f->fault = Fault::None;
        CHECK_HR(f->Run(0));
        CHECK_EQ(StateOf(*f.Get()), State_Running);
        CHECK_HR(f->Stop());
        CHECK_EQ(StateOf(*f.Get()), State_Stopped);
        CHECK_EQ(f.Detach()->Release(), 0u);
    }
}

// A pin's own code that throws answers the caller with an HRESULT.
WT_TEST(KitGuard, PinThrowsBecomeHresults) {
    ComPtr<FaultFilter> f = com::MakeObject<FaultFilter>();
    const com::MediaType rgb = com::Rgb32VideoType(16, 16);

    f->fault = Fault::Check;
    CHECK_HR_EQ(f->Pin()->QueryAccept(&rgb.Get()), E_OUTOFMEMORY);

    f->fault = Fault::Types;
    IEnumMediaTypes* types = nullptr;
    CHECK_HR_EQ(f->Pin()->EnumMediaTypes(&types), E_UNEXPECTED);
    CHECK(types == nullptr);

    f->fault = Fault::EndOfStream;
    CHECK_HR(f->Pause());
    CHECK_HR_EQ(f->Pin()->EndOfStream(), E_OUTOFMEMORY);
    CHECK_HR(f->Stop());

    // The pin works again once its code stops throwing.
    f->fault = Fault::None;
    CHECK_HR(f->Pin()->QueryAccept(&rgb.Get()));
    ComPtr<IEnumMediaTypes> listed;
    CHECK_HR(f->Pin()->EnumMediaTypes(listed.Put()));
    listed = nullptr;
    CHECK_EQ(f.Detach()->Release(), 0u);
}
