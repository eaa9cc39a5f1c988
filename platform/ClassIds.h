// Class identifiers of the platform library. The stand-ins for system
// components are served under the system's own identifiers (Wine's
// headers and libraries define them):
//   CLSID_AMTimeline, CLSID_RenderEngine (platform/include/EditingServices.idl),
//   CLSID_CaptureGraphBuilder2, CLSID_AviDest, CLSID_FileWriter.
// The compressors and their property pages have identifiers of their own.
#pragma once

#include <windows.h>

#include <cstddef>

namespace plat {

// One class per compressor, in the order of media::VideoCodecs() and
// media::AudioCodecs().
constexpr size_t kVideoCompressorCount = 7;
constexpr size_t kAudioCompressorCount = 6;
extern const CLSID kVideoCompressorClsids[kVideoCompressorCount];
extern const CLSID kAudioCompressorClsids[kAudioCompressorCount];

extern const CLSID CLSID_VideoCompressorPage;
extern const CLSID CLSID_AudioCompressorPage;
extern const CLSID CLSID_CompressorAboutPage;

// Index of a compressor class in its table, or -1.
int VideoCompressorIndex(REFCLSID clsid);
int AudioCompressorIndex(REFCLSID clsid);

}  // namespace plat
