// What the ASF writer makes of a Windows Media profile: one writer plan
// and one input pin per stream, in the profile's order.
#pragma once

#include <windows.h>
#include <nserror.h>

#include <string>
#include <vector>

#include "platform/asf/AsfFileWriter.h"
#include "platform/include/WindowsMedia.h"

namespace asfw {

struct ProfileStream {
    StreamPlan plan;
    std::u16string pinName;  // "Video Input 01", "Audio Input 01", ...
};

// Reads the profile through its public interfaces. Streams of codecs this
// runtime lacks fail with NS_E_VIDEO_CODEC_NOT_INSTALLED or
// NS_E_AUDIO_CODEC_NOT_INSTALLED; a profile without streams, or with a
// stream of another kind, with NS_E_INVALIDPROFILE.
HRESULT PlanProfile(IWMProfile* profile, std::vector<ProfileStream>& out);

}  // namespace asfw
