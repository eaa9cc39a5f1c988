#include "convctl/FilterUtil.h"

#include <ocidl.h>

#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

HRESULT BindFilterByDisplayName(const std::u16string& name, ComPtr<IBaseFilter>& filter,
                                std::u16string* friendlyName) {
    // Other texts would be tried as file names, and Wine looks those up in
    // the running object table of its RPC service: seconds each time the
    // service is not up, for a text that names no compressor anyway.
    static const char16_t kDevice[] = u"@device:";
    const size_t prefix = sizeof kDevice / sizeof kDevice[0] - 1;
    if (name.size() <= prefix ||
        CompareStringOrdinal(com::W(name.data()), prefix, com::W(kDevice), prefix, TRUE) != CSTR_EQUAL)
        return MK_E_SYNTAX;
    ComPtr<IBindCtx> bindCtx;
    HRESULT hr = CreateBindCtx(0, bindCtx.Put());
    if (FAILED(hr)) return hr;
    // Compressors are in-process filters. With the default class context
    // the device moniker's parser, which its class object does not give
    // out directly, is first looked for out of process, and Wine then
    // waits seconds (3 to 10 in a fresh prefix) for its RPC service.
    BIND_OPTS2 options{};
    options.cbStruct = sizeof options;
    hr = bindCtx->GetBindOptions(reinterpret_cast<BIND_OPTS*>(&options));
    if (SUCCEEDED(hr)) {
        options.dwClassContext = CLSCTX_INPROC_SERVER;
        hr = bindCtx->SetBindOptions(reinterpret_cast<BIND_OPTS*>(&options));
    }
    if (FAILED(hr)) return hr;
    std::u16string text = name;
    ULONG eaten = 0;
    ComPtr<IMoniker> moniker;
    hr = MkParseDisplayName(bindCtx.Get(), com::W(text.data()), &eaten, moniker.Put());
    if (FAILED(hr)) return hr;
    if (!moniker) return E_FAIL;
    hr = moniker->BindToObject(bindCtx.Get(), nullptr, IID_IBaseFilter, filter.PutVoid());
    if (SUCCEEDED(hr) && friendlyName) {
        friendlyName->clear();
        ComPtr<IPropertyBag> bag;
        if (SUCCEEDED(moniker->BindToStorage(bindCtx.Get(), nullptr, IID_IPropertyBag, bag.PutVoid()))) {
            com::Variant value;
            V_VT(value.Ptr()) = VT_BSTR;
            if (SUCCEEDED(bag->Read(L"FriendlyName", value.Ptr(), nullptr)) && V_VT(value.Ptr()) == VT_BSTR)
                *friendlyName = com::U16FromBstr(V_BSTR(value.Ptr()));
        }
    }
    return hr;
}

ComPtr<IPin> FindUnconnectedPin(IBaseFilter* filter, PIN_DIRECTION direction, int n) {
    ComPtr<IPin> none;
    if (!filter) return none;
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put())) || !pins) return none;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (FAILED(pin->QueryDirection(&dir)) || dir != direction) continue;
        ComPtr<IPin> other;
        if (pin->ConnectedTo(other.Put()) != VFW_E_NOT_CONNECTED) continue;
        if (n-- == 0) return pin;
    }
    return none;
}

}  // namespace convctl
