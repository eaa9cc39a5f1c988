#include "tests/wine/harness/ComTestUtil.h"

#include <ocidl.h>

#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"

namespace wt {

void PumpMessages(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, (timeoutMs - elapsed) < 10 ? timeoutMs - elapsed : 10,
                                  QS_ALLINPUT);
    }
}

void PumpPosted() {
    constexpr UINT kMarker = WM_APP + 0x3A5A;
    if (!PostThreadMessageW(GetCurrentThreadId(), kMarker, 0, 0)) return;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (!msg.hwnd && msg.message == kMarker) return;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

ULONG RefCountOf(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

bool RegKeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, com::W(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::u16string RegReadString(HKEY root, const std::u16string& path, const std::u16string& value, bool* found) {
    if (found) *found = false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, com::W(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    WCHAR buf[1024] = {};
    DWORD size = sizeof buf - sizeof(WCHAR);
    DWORD type = 0;
    const LONG err = RegQueryValueExW(key, value.empty() ? nullptr : com::W(value), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS || type != REG_SZ) return {};
    if (found) *found = true;
    return com::U16(buf);
}

STDMETHODIMP EventSink::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iid)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return S_OK;
}
STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    EventCall call{m_name, id, {}};
    if (params) {
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANT& v = params->rgvarg[i];
            if (V_VT(&v) == VT_BSTR) call.args.push_back(com::Utf8(V_BSTR(&v) ? V_BSTR(&v) : L""));
            else if (V_VT(&v) == VT_I4) call.args.push_back(std::to_string(V_I4(&v)));
            else call.args.push_back("<vt " + std::to_string(V_VT(&v)) + ">");
        }
    }
    if (m_log) m_log->push_back(std::move(call));
    if (m_hook) m_hook(*this, id, params);
    return S_OK;
}

DWORD Connect(IUnknown* source, REFIID eventIid, IUnknown* sink) {
    com::ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) return 0;
    com::ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(eventIid, point.Put()))) return 0;
    DWORD cookie = 0;
    if (FAILED(point->Advise(sink, &cookie))) return 0;
    return cookie;
}

HRESULT Disconnect(IUnknown* source, REFIID eventIid, DWORD cookie) {
    com::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    com::ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(eventIid, point.Put());
    if (FAILED(hr)) return hr;
    return point->Unadvise(cookie);
}

namespace {

HRESULT Invoke(IDispatch* disp, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
               bool namedPut) {
    // Callers give arguments in parameter order; dispatch wants them reversed.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), namedPut ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), namedPut ? 1u : 0u};
    EXCEPINFO excep{};
    UINT argErr = 0;
    return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &argErr);
}

}  // namespace

HRESULT DispGet(IDispatch* disp, DISPID id, VARIANT* result, const std::vector<VARIANT>& args) {
    return Invoke(disp, id, DISPATCH_PROPERTYGET, args, result, false);
}

HRESULT DispPut(IDispatch* disp, DISPID id, const VARIANT& value) {
    return Invoke(disp, id, DISPATCH_PROPERTYPUT, {value}, nullptr, true);
}

HRESULT DispCall(IDispatch* disp, DISPID id, const std::vector<VARIANT>& args, VARIANT* result) {
    return Invoke(disp, id, DISPATCH_METHOD, args, result, false);
}

DISPID DispIdOf(IDispatch* disp, const std::u16string& name, HRESULT* hr) {
    std::u16string copy = name;
    LPOLESTR names[1] = {com::W(copy.data())};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT r = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr) *hr = r;
    return id;
}

}  // namespace wt
