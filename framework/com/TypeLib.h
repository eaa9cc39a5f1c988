// Type library registration and cached type information for dispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "framework/com/ComPtr.h"

namespace com {

// Registers / unregisters the TYPELIB 1 resource of a module.
HRESULT RegisterModuleTypeLib(HMODULE module);
HRESULT UnregisterModuleTypeLib(HMODULE module);

// The registered type library of one LIBID and version, loaded on first use
// and kept until Release (module unload).
class TypeLibHolder {
public:
    TypeLibHolder(const GUID& libid, WORD major, WORD minor, LCID lcid)
        : m_libid(libid), m_major(major), m_minor(minor), m_lcid(lcid) {}

    HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** out);
    HRESULT GetTypeLib(ITypeLib** out);
    void Release() { m_typeLib = nullptr; }

private:
    GUID m_libid;
    WORD m_major;
    WORD m_minor;
    LCID m_lcid;
    ComPtr<ITypeLib> m_typeLib;
};

// IDispatch served from the type information of the dual interface Itf.
// The derived class supplies the type library holder.
template <class Itf>
class DispatchImpl : public Itf {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return DispatchTypeLib().GetTypeInfo(DispatchIid(), info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = DispatchTypeLib().GetTypeInfo(DispatchIid(), info.Put());
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(info.Get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> info;
        const HRESULT hr = DispatchTypeLib().GetTypeInfo(DispatchIid(), info.Put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<Itf*>(this), id, flags, params, result, excep, argErr);
    }

protected:
    virtual TypeLibHolder& DispatchTypeLib() = 0;
    virtual REFIID DispatchIid() const = 0;
};

}  // namespace com
