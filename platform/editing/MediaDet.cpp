#include "platform/editing/MediaDet.h"

#include <cstdint>
#include <cstring>

#include "framework/com/Bstr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/Win32Files.h"

namespace plat {

using dshow::MediaGuard;

namespace {

// Bytes of a 24-bit DIB with its header; false when the size does not fit
// the 32-bit count callers allocate by.
bool DibBytes(LONG width, LONG height, LONG* bytes) {
    if (width <= 0 || height <= 0) return false;
    const int64_t stride = (static_cast<int64_t>(width) * 3 + 3) & ~int64_t{3};
    const int64_t total = static_cast<int64_t>(sizeof(BITMAPINFOHEADER)) + stride * height;
    if (total > 0x7FFFFFFF) return false;
    *bytes = static_cast<LONG>(total);
    return true;
}

// A DIB of the poster: header then bottom-up 24-bit rows.
HRESULT Poster(const std::u16string& file, double time, LONG width, LONG height, BITMAPINFOHEADER& header,
               std::vector<uint8_t>& rows) {
    return MediaGuard([&] {
        rows = media::PosterFrame(dshow::Win32Opener(file), time, width, height);
        header = BITMAPINFOHEADER{};
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biSizeImage = static_cast<DWORD>(rows.size());
        return S_OK;
    });
}

}  // namespace

HRESULT MediaDet::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<MediaDet>(iid, out);
}

const media::StreamFacts* MediaDet::Current() const {
    if (!m_open || m_current < 0 || static_cast<size_t>(m_current) >= m_facts.streams.size()) return nullptr;
    return &m_facts.streams[static_cast<size_t>(m_current)];
}

STDMETHODIMP MediaDet::get_Filter(IUnknown** filter) {
    if (!filter) return E_POINTER;
    *filter = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP MediaDet::put_Filter(IUnknown*) { return E_NOTIMPL; }

STDMETHODIMP MediaDet::get_OutputStreams(LONG* count) {
    if (!count) return E_POINTER;
    *count = m_open ? static_cast<LONG>(m_facts.streams.size()) : 0;
    return m_open ? S_OK : E_INVALIDARG;
}

STDMETHODIMP MediaDet::get_CurrentStream(LONG* index) {
    return com::GetValue(index, m_current);
}

STDMETHODIMP MediaDet::put_CurrentStream(LONG index) {
    if (!m_open) return E_INVALIDARG;
    if (index < 0 || static_cast<size_t>(index) >= m_facts.streams.size()) return E_INVALIDARG;
    m_current = index;
    return S_OK;
}

STDMETHODIMP MediaDet::get_StreamType(GUID* type) {
    if (!type) return E_POINTER;
    *type = GUID_NULL;
    const media::StreamFacts* s = Current();
    if (!s) return E_INVALIDARG;
    if (s->kind == media::StreamFacts::Kind::Video) *type = MEDIATYPE_Video;
    else if (s->kind == media::StreamFacts::Kind::Audio) *type = MEDIATYPE_Audio;
    return S_OK;
}

STDMETHODIMP MediaDet::get_StreamTypeB(BSTR* type) {
    return com::ComGuard([&]() -> HRESULT {
        if (!type) return E_POINTER;
        *type = nullptr;
        GUID g;
        const HRESULT hr = get_StreamType(&g);
        if (FAILED(hr)) return hr;
        *type = com::AllocBstr(com::GuidToString(g));
        return *type ? S_OK : E_OUTOFMEMORY;
    });
}

STDMETHODIMP MediaDet::get_StreamLength(double* seconds) {
    if (!seconds) return E_POINTER;
    *seconds = 0.0;
    const media::StreamFacts* s = Current();
    if (!s) return E_INVALIDARG;
    *seconds = s->length;
    return S_OK;
}

STDMETHODIMP MediaDet::get_Filename(BSTR* name) {
    if (!name) return E_POINTER;
    *name = com::AllocBstr(m_fileName);
    return S_OK;
}

STDMETHODIMP MediaDet::put_Filename(BSTR name) {
    return com::ComGuard([&]() -> HRESULT {
        m_open = false;
        m_facts = media::SourceFacts{};
        m_current = 0;
        m_fileName = com::U16FromBstr(name);
        if (m_fileName.empty()) return E_INVALIDARG;
        return MediaGuard([&] {
            m_facts = media::ProbeSource(dshow::Win32Opener(m_fileName));
            m_open = true;
            return S_OK;
        });
    });
}

STDMETHODIMP MediaDet::GetBitmapBits(double time, LONG* bufferSize, char* buffer, LONG width, LONG height) {
    if (!m_open) return E_INVALIDARG;
    LONG needed = 0;
    if (!DibBytes(width, height, &needed)) return E_INVALIDARG;
    if (!buffer) {
        if (!bufferSize) return E_POINTER;
        *bufferSize = needed;
        return S_OK;
    }
    BITMAPINFOHEADER header;
    std::vector<uint8_t> rows;
    const HRESULT hr = Poster(m_fileName, time, width, height, header, rows);
    if (FAILED(hr)) return hr;
    std::memcpy(buffer, &header, sizeof header);
    std::memcpy(buffer + sizeof header, rows.data(), rows.size());
    return S_OK;
}

STDMETHODIMP MediaDet::WriteBitmapBits(double time, LONG width, LONG height, BSTR fileName) {
    if (!m_open) return E_INVALIDARG;
    LONG bytes = 0;
    if (!fileName || !DibBytes(width, height, &bytes)) return E_INVALIDARG;
    BITMAPINFOHEADER header;
    std::vector<uint8_t> rows;
    HRESULT hr = Poster(m_fileName, time, width, height, header, rows);
    if (FAILED(hr)) return hr;
    return MediaGuard([&] {
        const std::vector<uint8_t> bmp = media::BmpFile24(rows, width, height);
        const std::unique_ptr<media::ByteSink> sink = dshow::CreateWin32Sink(com::U16FromBstr(fileName));
        const int err = sink->Write(bmp.data(), static_cast<int>(bmp.size()));
        return err < 0 ? E_FAIL : S_OK;
    });
}

STDMETHODIMP MediaDet::get_StreamMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    *type = AM_MEDIA_TYPE{};
    const media::StreamFacts* s = Current();
    if (!s) return E_INVALIDARG;
    if (s->kind == media::StreamFacts::Kind::Video) {
        auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        if (!vih) return E_OUTOFMEMORY;
        *vih = VIDEOINFOHEADER{};
        vih->dwBitRate = s->bitRate > 0 && s->bitRate <= 0xFFFFFFFFll ? static_cast<DWORD>(s->bitRate) : 0;
        vih->AvgTimePerFrame = s->frameRate > 0 ? static_cast<REFERENCE_TIME>(10000000.0 / s->frameRate + 0.5) : 0;
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = s->width;
        vih->bmiHeader.biHeight = s->height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biCompression = s->fourcc;
        type->majortype = MEDIATYPE_Video;
        type->subtype = s->fourcc ? com::SubtypeFromFourCC(s->fourcc) : GUID_NULL;
        type->bTemporalCompression = TRUE;
        type->formattype = FORMAT_VideoInfo;
        type->cbFormat = sizeof(VIDEOINFOHEADER);
        type->pbFormat = reinterpret_cast<BYTE*>(vih);
    } else if (s->kind == media::StreamFacts::Kind::Audio) {
        auto* wfx = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
        if (!wfx) return E_OUTOFMEMORY;
        *wfx = WAVEFORMATEX{};
        wfx->nChannels = static_cast<WORD>(s->channels);
        wfx->nSamplesPerSec = static_cast<DWORD>(s->sampleRate);
        wfx->nAvgBytesPerSec = static_cast<DWORD>(s->bitRate / 8);
        type->majortype = MEDIATYPE_Audio;
        type->formattype = FORMAT_WaveFormatEx;
        type->cbFormat = sizeof(WAVEFORMATEX);
        type->pbFormat = reinterpret_cast<BYTE*>(wfx);
    }
    return S_OK;
}

STDMETHODIMP MediaDet::GetSampleGrabber(ISampleGrabber** grabber) {
    if (grabber) *grabber = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP MediaDet::get_FrameRate(double* rate) {
    if (!rate) return E_POINTER;
    *rate = 0.0;
    const media::StreamFacts* s = Current();
    if (!s) return E_INVALIDARG;
    if (s->kind != media::StreamFacts::Kind::Video) return VFW_E_INVALIDMEDIATYPE;
    *rate = s->frameRate;
    return S_OK;
}

STDMETHODIMP MediaDet::EnterBitmapGrabMode(double) { return m_open ? S_OK : E_INVALIDARG; }

}  // namespace plat
