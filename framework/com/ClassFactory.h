// Class factory for one creatable class. T supplies
//   static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "framework/com/ComObject.h"

namespace com {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public ComObjectRoot, public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : m_create(create) {}

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IClassFactory)
    COM_END_QI()

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return m_create(outer, iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) ModuleLock::Add();
        else ModuleLock::Remove();
        return S_OK;
    }

private:
    ~ClassFactory() override = default;
    CreateFunction m_create;
};

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
};

// DllGetClassObject over a table of classes.
template <size_t N>
HRESULT GetClassObjectFromTable(const ClassEntry (&table)[N], REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& entry : table) {
        if (IsEqualCLSID(clsid, *entry.clsid))
            return CreateAndQuery<ClassFactory>(iid, out, entry.create);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

inline HRESULT CanUnloadNow() { return ModuleLock::Count() == 0 ? S_OK : S_FALSE; }

}  // namespace com
