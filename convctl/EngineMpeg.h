// The MPEG back end's configuration of the encoder filter, apart from the
// engine so that the call sequence can be checked on its own.
#pragma once

#include <windows.h>

#include "platform/include/MpegEncoder.h"

namespace convctl {

// The encoder's preset number for an output format (0 for unknown ones).
LONG MpegPresetFor(LONG outputFormat);

struct MpegEncoderValues {
    LONG preset = 0;
    float frameRate = 0.0f;
    LONG width = 0;
    LONG height = 0;
    LONG videoBitRate = 0;
    LONG audioBitRate = 0;
    LONG quality = 0;
    bool vbr = true;
    bool switchA = true;
    bool switchB = true;
};

// Sends the values in the order the encoder expects; the result is the OR
// of every call's HRESULT, so any failing call makes it negative.
HRESULT SendMpegEncoderValues(IMpegEncoderConfig* config, HWND notifyWindow, const MpegEncoderValues& values);

}  // namespace convctl
