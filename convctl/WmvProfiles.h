// Windows Media profiles of the WMV back end: the mapping of the control's
// profile numbers to system profiles, and the custom profile built from
// the control's properties.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "convctl/MediaObjectFactory.h"
#include "framework/com/ComPtr.h"
#include "platform/include/WindowsMedia.h"

namespace convctl {

// The profile routines' diagnostic lines, on the process's standard output.
void ProfileOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A stream configuration's media type, read size first into buffer; the
// format block follows the header there.
HRESULT ReadMediaType(IUnknown* stream, std::vector<WM_MEDIA_TYPE>& buffer);

// Number k >= 1 is system profile k - 1 at version 7.0.
HRESULT MapProfile(MediaObjectFactory& factory, LONG index, com::ComPtr<IWMProfile>& profile);

// The custom profile builder. Its inputs persist from one conversion to the
// next; the profile manager and codec information are obtained at the
// first build and kept.
class WmvCustomProfile {
public:
    LONG frameRate = 30;       // frames per second
    LONG keyFrameSpacing = 10;  // seconds
    LONG quality = 80;
    std::u16string audioCodec;  // "%lu,%s" codec identifiers; empty: none
    std::u16string videoCodec;
    LONG audioFormatIndex = 0;
    LONG width = 0;
    LONG height = 0;

    HRESULT Build(MediaObjectFactory& factory, com::ComPtr<IWMProfile>& profile);

private:
    HRESULT AddVideoStream(IWMProfile* profile);
    HRESULT AddAudioStream(IWMProfile* profile);

    com::ComPtr<IWMProfileManager> m_manager;
    com::ComPtr<IWMCodecInfo2> m_codecInfo;
};

// The codec index of a "%lu,%s" identifier: the decimal number before the
// first comma (or the whole text when there is none). False for an empty
// identifier, which means no codec; E_INVALIDARG in *hr when the text does
// not start with a number.
bool ParseCodecIndex(const std::u16string& identifier, DWORD* index, HRESULT* hr);

}  // namespace convctl
