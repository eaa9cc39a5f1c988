#include "app/VantrexLib.h"

#include <oleauto.h>

#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"

namespace app {
namespace {

// The dispatch identifiers of _IVantrexObjEvents.
enum : DISPID {
    kAboutToRun = 2,
    kAVICodecListed = 3,
    kComplete = 4,
    kError = 5,
    kWMVProfileListed = 6,
    kStateChange = 7,
    kWMVCodecListed = 8,
};

// Argument i in parameter order; DISPPARAMS holds them last first.
const VARIANT* Arg(const DISPPARAMS* p, UINT i) { return i < p->cArgs ? &p->rgvarg[p->cArgs - 1 - i] : nullptr; }

String TextArg(const DISPPARAMS* p, UINT i) {
    const VARIANT* v = Arg(p, i);
    if (!v) return {};
    if (V_VT(v) == VT_BSTR) return com::U16FromBstr(V_BSTR(v));
    if (V_VT(v) == (VT_BSTR | VT_BYREF)) return com::U16FromBstr(*V_BSTRREF(v));
    com::Variant copy;
    if (FAILED(VariantChangeType(copy.Ptr(), v, 0, VT_BSTR))) return {};
    return com::U16FromBstr(V_BSTR(copy.Ptr()));
}

int IntArg(const DISPPARAMS* p, UINT i) {
    const VARIANT* v = Arg(p, i);
    if (!v) return 0;
    com::Variant copy;
    if (FAILED(VariantChangeType(copy.Ptr(), v, 0, VT_I4))) return 0;
    return V_I4(copy.Ptr());
}

}  // namespace

TVantrex::TVantrex(forms::TComponent* owner) : TOleControl(owner, CLSID_Vantrex, DIID__IVantrexObjEvents) {}

IVantrexObj* TVantrex::ControlInterface() {
    if (!m_interface) {
        IUnknown* unknown = OleObject();
        const HRESULT hr = unknown ? unknown->QueryInterface(IID_IVantrexObj, m_interface.PutVoid()) : E_NOINTERFACE;
        if (FAILED(hr)) throw forms::EOleSysError(hr, "The conversion control has no IVantrexObj");
    }
    return m_interface.Get();
}

void TVantrex::InvokeEvent(DISPID id, DISPPARAMS* p) {
    switch (id) {
    case kAboutToRun:
        if (OnAboutToRun) OnAboutToRun(this);
        break;
    case kAVICodecListed:
        if (OnAVICodecListed)
            OnAVICodecListed(this, TextArg(p, 0), TextArg(p, 1), static_cast<EnumMediaType>(IntArg(p, 2)));
        break;
    case kComplete:
        if (OnComplete) OnComplete(this);
        break;
    case kError:
        if (OnError) OnError(this, IntArg(p, 0), TextArg(p, 1));
        break;
    case kWMVProfileListed:
        if (OnWMVProfileListed) OnWMVProfileListed(this, IntArg(p, 0), TextArg(p, 1), TextArg(p, 2));
        break;
    case kStateChange:
        if (OnStateChange) OnStateChange(this, IntArg(p, 0), TextArg(p, 1));
        break;
    case kWMVCodecListed:
        if (OnWMVCodecListed) OnWMVCodecListed(this, IntArg(p, 0), TextArg(p, 1), TextArg(p, 2));
        break;
    default:
        break;
    }
}

}  // namespace app
