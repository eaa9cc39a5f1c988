// The format runtime's entry to its profile manager, exported by mediaplat.
#include "platform/wm/WmProfileManager.h"

HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** out) {
    if (!out) return E_POINTER;
    return wm::ProfileManager::Create(out);
}
