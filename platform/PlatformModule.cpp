// Entry points of the media platform library: the stand-ins for the
// DirectShow, editing-services and Windows Media pieces that Wine lacks.
// Each stand-in is a COM class listed in the two tables below.
#include <windows.h>
#include <olectl.h>

#include "framework/com/ClassFactory.h"
#include "framework/com/Module.h"
#include "framework/com/Registrar.h"

namespace {

// Classes this library serves (DllGetClassObject) ...
const com::ClassEntry* const kClasses = nullptr;
constexpr size_t kClassCount = 0;

// ... and writes to the registry.
const com::InprocServerEntry* const kServers = nullptr;
constexpr size_t kServerCount = 0;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        com::Module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
        com::Module::PinInProcess();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < kClassCount; ++i)
        if (IsEqualCLSID(clsid, *kClasses[i].clsid))
            return com::CreateAndQuery<com::ClassFactory>(iid, out, kClasses[i].create);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return com::CanUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::RegisterInprocServers(com::Module::Instance(), kServers, kServerCount, true);
}

STDAPI DllUnregisterServer() {
    return com::RegisterInprocServers(com::Module::Instance(), kServers, kServerCount, false);
}
