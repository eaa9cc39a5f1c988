// Applies a registrar script (see framework/core/RegScript.h) stored as a
// "REGISTRY" resource of a module to the registry.
#pragma once

#include <windows.h>

#include <string>

#include "framework/core/RegScript.h"

namespace com {

// Register: creates the keys and values; ForceRemove keys are deleted first.
// Unregister: removes what the script adds; NoRemove keys stay, but what the
// script names below them goes.
HRESULT ApplyRegScript(const core::RegScriptResult& script, bool install);

// Loads resource (REGISTRY, id) of the module, replaces %MODULE% with the
// module's path and applies it.
HRESULT RunModuleRegScript(HMODULE module, UINT resourceId, bool install);

}  // namespace com

namespace com {

// One in-process class written under HKCR\CLSID.
struct InprocServerEntry {
    const CLSID* clsid;
    const char* name;            // default value of the class key
    const char* threadingModel;  // "Apartment", "Both", ...
};

// Registers (or removes) the classes of a table as in-process servers of
// the given module. The CLSID root itself is never removed.
HRESULT RegisterInprocServers(HMODULE module, const InprocServerEntry* entries, size_t count, bool install);

}  // namespace com
