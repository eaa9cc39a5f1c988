// Entry points of the control library.
#include <windows.h>
#include <olectl.h>

#include "convctl/Tromvex.h"
#include "convctl/VantrexControl.h"
#include "convctl/resource.h"
#include "framework/com/ClassFactory.h"
#include "framework/com/Module.h"
#include "framework/com/Registrar.h"
#include "framework/com/TypeLib.h"

namespace {

const com::ClassEntry kClasses[] = {
    {&CLSID_Vantrex, &convctl::VantrexControl::CreateInstance},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        com::Module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
        com::Module::PinInProcess();
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary: OLE is still there to take the reference.
        convctl::ControlTypeLib().Release();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return com::GetClassObjectFromTable(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return com::CanUnloadNow(); }

STDAPI DllRegisterServer() {
    HRESULT hr = com::RunModuleRegScript(com::Module::Instance(), IDR_VANTREX, true);
    if (FAILED(hr)) return hr;
    hr = com::RegisterModuleTypeLib(com::Module::Instance());
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

STDAPI DllUnregisterServer() {
    const HRESULT hr = com::RunModuleRegScript(com::Module::Instance(), IDR_VANTREX, false);
    const HRESULT hrLib = com::UnregisterModuleTypeLib(com::Module::Instance());
    if (FAILED(hr)) return hr;
    return FAILED(hrLib) ? SELFREG_E_TYPELIB : S_OK;
}
