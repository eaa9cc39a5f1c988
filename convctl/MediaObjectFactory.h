// The one seam through which the engine reaches the editing-services,
// Windows Media and MPEG encoder objects. The product uses the registered
// classes; tests hand the engine their own factory.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include "platform/include/EditingServices.h"
#include "platform/include/WindowsMedia.h"
#include "platform/include/MpegEncoder.h"

namespace convctl {

class MediaObjectFactory {
public:
    virtual HRESULT CreateTimeline(IAMTimeline** out);
    virtual HRESULT CreateRenderEngine(IRenderEngine** out);
    virtual HRESULT CreateMediaDetector(IMediaDet** out);
    // WMCreateProfileManager of the Windows Media runtime.
    virtual HRESULT CreateProfileManager(IWMProfileManager** out);
    virtual HRESULT CreateMpegEncoder(IBaseFilter** out);
    // The screen's colour depth, which the uncompressed AVI video follows.
    virtual int ScreenBitsPerPixel();

    // The factory of the product: CoCreateInstance of the registered classes.
    static MediaObjectFactory& System();

protected:
    ~MediaObjectFactory() = default;
};

}  // namespace convctl
