// The uncompressed formats that the platform's writers and compressors
// take from the render engine's groups: 32-bit RGB pictures and 16-bit
// PCM. Each returns the format block, or null when the type is not one.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

namespace dshow {

inline const VIDEOINFOHEADER* Rgb32VideoInfo(const AM_MEDIA_TYPE& mt) {
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB32) ||
        !IsEqualGUID(mt.formattype, FORMAT_VideoInfo) || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    const BITMAPINFOHEADER& bih = vih->bmiHeader;
    if (bih.biBitCount != 32 || bih.biCompression != BI_RGB || bih.biWidth <= 0 || bih.biHeight == 0) return nullptr;
    return vih;
}

inline const WAVEFORMATEX* Pcm16Format(const AM_MEDIA_TYPE& mt, int maxChannels = 8) {
    // A PCM format block may stop before cbSize.
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_PCM) ||
        !IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) || !mt.pbFormat || mt.cbFormat < sizeof(PCMWAVEFORMAT))
        return nullptr;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    if (wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->wBitsPerSample != 16 || wfx->nChannels < 1 ||
        wfx->nChannels > maxChannels || wfx->nSamplesPerSec < 8000 || wfx->nSamplesPerSec > 192000)
        return nullptr;
    return wfx;
}

}  // namespace dshow
