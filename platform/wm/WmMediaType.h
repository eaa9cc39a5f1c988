// Windows Media media types as values: the WM_MEDIA_TYPE header with its
// format block held in one owner, and the types of the catalog's codecs.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <dshow.h>
#include "platform/include/WmSdk.h"
#include <asferr.h>
#include <nserror.h>

#include <string>
#include <vector>

#include "platform/wm/WmCatalog.h"

namespace wm {

// Bytes of a WAVEFORMATEX without its trailing codec data.
constexpr DWORD kWaveFormatBytes = 18;

class MediaType {
public:
    MediaType() = default;
    // A copy of the header and its format block (pUnk is not kept).
    explicit MediaType(const WM_MEDIA_TYPE& type);

    const WM_MEDIA_TYPE& Header() const { return m_header; }
    // The header pointing at the held format block, valid while this lives.
    WM_MEDIA_TYPE View() const;
    const std::vector<BYTE>& Format() const { return m_format; }
    bool Empty() const { return IsEqualGUID(m_header.majortype, GUID_NULL); }

    // IWMMediaProps::GetMediaType: with no buffer the size in *size; with a
    // buffer the header followed by the format block it points to.
    HRESULT CopyOut(WM_MEDIA_TYPE* out, DWORD* size) const;

    // The format block read as VIDEOINFOHEADER or WAVEFORMATEX; nullptr
    // when the type carries another format.
    const VIDEOINFOHEADER* VideoInfo() const;
    const WAVEFORMATEX* WaveFormat() const;

private:
    WM_MEDIA_TYPE m_header{};
    std::vector<BYTE> m_format;
};

MediaType VideoMediaType(const VideoStreamSpec& desc);
MediaType AudioMediaType(const AudioCodecInfo& codec, const AudioFormat& format);

// Media types a stream may hold: the kind matches its stream type and the
// format block is whole.
bool IsUsableMediaType(REFGUID streamType, const WM_MEDIA_TYPE& type);

// Text out-parameters of the Windows Media interfaces: with no buffer the
// length with its terminator in *size; a short buffer gets
// ASF_E_BUFFERTOOSMALL.
template <class Size>
HRESULT CopyTextOut(const std::u16string& text, WCHAR* buffer, Size* size) {
    if (!size) return E_POINTER;
    const size_t needed = text.size() + 1;
    if (needed > static_cast<Size>(-1)) return E_UNEXPECTED;
    if (!buffer) {
        *size = static_cast<Size>(needed);
        return S_OK;
    }
    if (*size < needed) {
        *size = static_cast<Size>(needed);
        return ASF_E_BUFFERTOOSMALL;
    }
    for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<WCHAR>(text[i]);
    buffer[text.size()] = 0;
    *size = static_cast<Size>(needed);
    return S_OK;
}

}  // namespace wm
