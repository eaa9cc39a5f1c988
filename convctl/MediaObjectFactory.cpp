#include "convctl/MediaObjectFactory.h"

#include "framework/com/Module.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"

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

int MediaObjectFactory::ScreenBitsPerPixel() {
    const com::WindowDc screen(nullptr);
    return GetDeviceCaps(screen.Get(), BITSPIXEL);
}

HRESULT MediaObjectFactory::CreateProfileManager(IWMProfileManager** out) {
    using CreateFunction = HRESULT(WINAPI*)(IWMProfileManager**);
    // The runtime stand-in lives in mediaplat.dll beside this library; it
    // stays loaded for the life of the process.
    static const CreateFunction create = [] {
        std::u16string path = com::Module::Path();
        path.resize(path.find_last_of(u'\\') + 1);
        const HMODULE lib = LoadLibraryW(com::W(path + u"mediaplat.dll"));
        return lib ? reinterpret_cast<CreateFunction>(
                         reinterpret_cast<void*>(GetProcAddress(lib, "WMCreateProfileManager")))
                   : nullptr;
    }();
    if (!out) return E_POINTER;
    *out = nullptr;
    return create ? create(out) : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
}

MediaObjectFactory& MediaObjectFactory::System() {
    static SystemFactory factory;
    return factory;
}

}  // namespace convctl
