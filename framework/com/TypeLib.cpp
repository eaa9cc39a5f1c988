#include "framework/com/TypeLib.h"

#include "framework/com/Module.h"
#include "framework/com/WinText.h"

namespace com {
namespace {

HRESULT LoadModuleTypeLib(HMODULE module, std::u16string& path, ITypeLib** out) {
    path = Module::PathOf(module);
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(W(path), REGKIND_NONE, out);
}

}  // namespace

HRESULT RegisterModuleTypeLib(HMODULE module) {
    std::u16string path;
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadModuleTypeLib(module, path, lib.Put());
    if (FAILED(hr)) return hr;
    std::u16string mutablePath = path;
    return RegisterTypeLib(lib.Get(), W(mutablePath.data()), nullptr);
}

HRESULT UnregisterModuleTypeLib(HMODULE module) {
    std::u16string path;
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadModuleTypeLib(module, path, lib.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    // Nothing registered is nothing to remove (Wine's UnRegisterTypeLib
    // answers E_INVALIDARG then).
    BSTR registeredPath = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                                     &registeredPath))) {
        lib->ReleaseTLibAttr(attr);
        return S_OK;
    }
    SysFreeString(registeredPath);
    hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
    lib->ReleaseTLibAttr(attr);
    return hr;
}

HRESULT TypeLibHolder::GetTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_typeLib) {
        const HRESULT hr = LoadRegTypeLib(m_libid, m_major, m_minor, m_lcid, m_typeLib.Put());
        if (FAILED(hr)) return hr;
    }
    return m_typeLib.CopyTo(out);
}

HRESULT TypeLibHolder::GetTypeInfo(REFGUID guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> lib;
    const HRESULT hr = GetTypeLib(lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(guid, out);
}

}  // namespace com
