// Entry points of the media platform library: the stand-ins for the
// DirectShow, editing-services and Windows Media pieces that Wine lacks.
// Each stand-in is a COM class listed in the two tables below.
#include <windows.h>
#include <dshow.h>
#include <olectl.h>

#include "framework/com/ClassFactory.h"
#include "framework/com/Module.h"
#include "framework/com/Registrar.h"
#include "platform/editing/RenderEngine.h"
#include "platform/editing/Timeline.h"
#include "platform/filters/AviMux.h"
#include "platform/filters/CaptureGraphBuilder.h"
#include "platform/filters/FileWriter.h"

namespace {

// Classes this library serves (DllGetClassObject) ...
const com::ClassEntry kClasses[] = {
    {&CLSID_AMTimeline, &plat::Timeline::CreateInstance},
    {&CLSID_RenderEngine, &plat::RenderEngine::CreateInstance},
    {&CLSID_CaptureGraphBuilder2, &plat::CaptureGraphBuilder::CreateInstance},
    {&CLSID_AviDest, &plat::AviMux::CreateInstance},
    {&CLSID_FileWriter, &plat::FileWriter::CreateInstance},
};

// ... and writes to the registry, over Wine's entries for the same classes.
const com::InprocServerEntry kServers[] = {
    {&CLSID_AMTimeline, "Timeline", "Both"},
    {&CLSID_RenderEngine, "Render Engine", "Both"},
    {&CLSID_CaptureGraphBuilder2, "Capture Graph Builder 2", "Both"},
    {&CLSID_AviDest, "AVI Mux", "Both"},
    {&CLSID_FileWriter, "File Writer", "Both"},
};

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
    return com::GetClassObjectFromTable(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return com::CanUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::RegisterInprocServers(com::Module::Instance(), kServers, std::size(kServers), true);
}

STDAPI DllUnregisterServer() {
    return com::RegisterInprocServers(com::Module::Instance(), kServers, std::size(kServers), false);
}
