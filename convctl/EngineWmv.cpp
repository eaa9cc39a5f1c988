// The WMV back end: the ASF writer configured with a Windows Media profile.
#include "convctl/ConversionEngine.h"

namespace convctl {

HRESULT ConversionEngine::AttachWmvBackEnd() {
    return FailStart(E_NOTIMPL, "Windows Media output is not available");
}

}  // namespace convctl
