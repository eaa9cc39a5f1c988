#include "convctl/MediaObjectFactory.h"

namespace convctl {

namespace {

class SystemFactory final : public MediaObjectFactory {};

}  // namespace

HRESULT MediaObjectFactory::CreateTimeline(IAMTimeline** out) {
    return CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline,
                            reinterpret_cast<void**>(out));
}

HRESULT MediaObjectFactory::CreateRenderEngine(IRenderEngine** out) {
    return CoCreateInstance(CLSID_RenderEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IRenderEngine,
                            reinterpret_cast<void**>(out));
}

HRESULT MediaObjectFactory::CreateMediaDetector(IMediaDet** out) {
    // Class context 23: in-process server and handler, local and remote server.
    return CoCreateInstance(CLSID_MediaDet, nullptr,
                            CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                CLSCTX_REMOTE_SERVER,
                            IID_IMediaDet, reinterpret_cast<void**>(out));
}

HRESULT MediaObjectFactory::CreateMpegEncoder(IBaseFilter** out) {
    return CoCreateInstance(CLSID_MpegEncoderMux, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(out));
}

MediaObjectFactory& MediaObjectFactory::System() {
    static SystemFactory factory;
    return factory;
}

}  // namespace convctl
