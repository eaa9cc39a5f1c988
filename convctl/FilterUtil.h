// DirectShow helpers shared by the engine's parts.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

#include "framework/com/ComPtr.h"

namespace convctl {

// Parses a device moniker's display name ("@device:...", as the compressor
// listings give them) and binds it to a filter; when asked, also reads the
// moniker's "FriendlyName" (left empty when it has none). Any other text is
// refused with MK_E_SYNTAX.
HRESULT BindFilterByDisplayName(const std::u16string& name, com::ComPtr<IBaseFilter>& filter,
                                std::u16string* friendlyName = nullptr);

// The n-th pin of the wanted direction that is not connected yet (its
// ConnectedTo answers VFW_E_NOT_CONNECTED); null when there is none.
com::ComPtr<IPin> FindUnconnectedPin(IBaseFilter* filter, PIN_DIRECTION direction, int n = 0);

}  // namespace convctl
