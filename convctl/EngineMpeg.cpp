// The MPEG back end: one outside encoder and multiplexer filter.
#include "convctl/ConversionEngine.h"

namespace convctl {

HRESULT ConversionEngine::AttachMpegBackEnd() { return FailStart(E_NOTIMPL, "MPEG output is not available"); }

void ConversionEngine::OnEncoderStateNotice() {}

LONG ConversionEngine::EncodeFps() const { return 0; }

}  // namespace convctl
