#include "platform/dshow/MediaType.h"

#include <cstring>

namespace dshow {

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

}  // namespace dshow
