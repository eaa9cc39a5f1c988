#include "framework/com/MediaType.h"

#include <cstdlib>
#include <cstring>

namespace com {

namespace {

HRESULT DeepCopy(AM_MEDIA_TYPE& dst, const AM_MEDIA_TYPE& src) {
    dst = src;
    dst.pbFormat = nullptr;
    dst.cbFormat = 0;
    if (src.cbFormat && src.pbFormat) {
        dst.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
        if (!dst.pbFormat) {
            dst.pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst.pbFormat, src.pbFormat, src.cbFormat);
        dst.cbFormat = src.cbFormat;
    }
    if (dst.pUnk) dst.pUnk->AddRef();
    return S_OK;
}

}  // namespace

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeMediaType(*mt);
    CoTaskMemFree(mt);
}

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) {
        Clear();
        Assign(other.m_mt);
    }
    return *this;
}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
    if (this != &other) {
        Clear();
        m_mt = other.m_mt;
        other.m_mt = AM_MEDIA_TYPE{};
    }
    return *this;
}

void MediaType::Clear() {
    FreeMediaType(m_mt);
    m_mt = AM_MEDIA_TYPE{};
}

void MediaType::Assign(const AM_MEDIA_TYPE& mt) {
    if (FAILED(DeepCopy(m_mt, mt))) m_mt = AM_MEDIA_TYPE{};
}

void MediaType::SetFormat(const GUID& formatType, const void* data, size_t size) {
    if (m_mt.pbFormat) CoTaskMemFree(m_mt.pbFormat);
    m_mt.pbFormat = nullptr;
    m_mt.cbFormat = 0;
    m_mt.formattype = formatType;
    if (size) {
        m_mt.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
        if (!m_mt.pbFormat) return;
        std::memcpy(m_mt.pbFormat, data, size);
        m_mt.cbFormat = static_cast<ULONG>(size);
    }
}

AM_MEDIA_TYPE* MediaType::NewCopy() const {
    auto* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!out) return nullptr;
    if (FAILED(DeepCopy(*out, m_mt))) {
        CoTaskMemFree(out);
        return nullptr;
    }
    return out;
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* out) const {
    if (!out) return E_POINTER;
    return DeepCopy(*out, m_mt);
}

bool MatchesPattern(const AM_MEDIA_TYPE& mt, const AM_MEDIA_TYPE& p) {
    return (p.majortype == GUID_NULL || IsEqualGUID(p.majortype, mt.majortype)) &&
           (p.subtype == GUID_NULL || IsEqualGUID(p.subtype, mt.subtype)) &&
           (p.formattype == GUID_NULL || IsEqualGUID(p.formattype, mt.formattype));
}

namespace {

// {00000000-0000-0010-8000-00AA00389B71}: FourCCs and WAVE tags go in its
// first field.
const GUID kFourCCBase = {0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

}  // namespace

GUID SubtypeFromFourCC(DWORD fourcc) {
    GUID subtype = kFourCCBase;
    subtype.Data1 = fourcc;
    return subtype;
}

bool FourCCFromSubtype(REFGUID subtype, DWORD* fourcc) {
    GUID base = subtype;
    base.Data1 = 0;
    if (!IsEqualGUID(base, kFourCCBase)) return false;
    *fourcc = subtype.Data1;
    return true;
}

MediaType Rgb32VideoType(LONG width, LONG height, REFERENCE_TIME frameTime) {
    VIDEOINFOHEADER vih{};
    vih.AvgTimePerFrame = frameTime;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 32;
    vih.bmiHeader.biCompression = BI_RGB;
    vih.bmiHeader.biSizeImage = static_cast<DWORD>(width) * 4u * static_cast<DWORD>(std::labs(height));
    MediaType mt;
    AM_MEDIA_TYPE& m = mt.Edit();
    m.majortype = MEDIATYPE_Video;
    m.subtype = MEDIASUBTYPE_RGB32;
    m.bFixedSizeSamples = TRUE;
    m.lSampleSize = vih.bmiHeader.biSizeImage;
    mt.SetFormat(FORMAT_VideoInfo, &vih, sizeof vih);
    return mt;
}

}  // namespace com
