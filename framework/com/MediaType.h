// DirectShow's structures as the control library, the platform stand-ins
// and the tests share them: the owner of an AM_MEDIA_TYPE and its format
// block, the one way to free one, FILTER_INFO's graph reference, the
// subtypes of FourCCs and the 32-bit RGB picture type.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstddef>
#include <memory>

namespace com {

class MediaType {
public:
    MediaType() = default;
    explicit MediaType(const AM_MEDIA_TYPE& mt) { Assign(mt); }
    MediaType(const MediaType& other) { Assign(other.m_mt); }
    MediaType(MediaType&& other) noexcept : m_mt(other.m_mt) { other.m_mt = AM_MEDIA_TYPE{}; }
    MediaType& operator=(const MediaType& other);
    MediaType& operator=(MediaType&& other) noexcept;
    ~MediaType() { Clear(); }

    const AM_MEDIA_TYPE& Get() const { return m_mt; }
    AM_MEDIA_TYPE& Edit() { return m_mt; }
    // Frees what is held and returns the structure for a callee to fill
    // (ConnectionMediaType, GetMediaType, get_StreamMediaType).
    AM_MEDIA_TYPE* Put() {
        Clear();
        return &m_mt;
    }
    void Clear();
    bool Empty() const { return m_mt.majortype == GUID_NULL; }

    // Replaces the format block with a copy of the bytes.
    void SetFormat(const GUID& formatType, const void* data, size_t size);
    // The format block as T when it is at least that large, else null.
    template <class T>
    const T* Format() const {
        return m_mt.pbFormat && m_mt.cbFormat >= sizeof(T) ? reinterpret_cast<const T*>(m_mt.pbFormat) : nullptr;
    }

    // A CoTaskMemAlloc'd copy, as enumerators hand out.
    AM_MEDIA_TYPE* NewCopy() const;
    // Fills a caller's structure with a deep copy.
    HRESULT CopyTo(AM_MEDIA_TYPE* out) const;

private:
    void Assign(const AM_MEDIA_TYPE& mt);
    AM_MEDIA_TYPE m_mt{};
};

// A pattern with GUID_NULL fields matches any value there.
bool MatchesPattern(const AM_MEDIA_TYPE& mt, const AM_MEDIA_TYPE& pattern);
// Frees what a media type points to (format block, pUnk) and clears them.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type that was itself allocated with CoTaskMemAlloc.
void DeleteMediaType(AM_MEDIA_TYPE* mt);

struct MediaTypeDeleter {
    void operator()(AM_MEDIA_TYPE* mt) const { DeleteMediaType(mt); }
};
// A media type handed out whole (IEnumMediaTypes::Next, GetStreamCaps).
using MediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, MediaTypeDeleter>;

// The subtype of a FourCC or WAVE format tag:
// {XXXXXXXX-0000-0010-8000-00AA00389B71}.
GUID SubtypeFromFourCC(DWORD fourcc);
// The FourCC of such a subtype; false for any other GUID.
bool FourCCFromSubtype(REFGUID subtype, DWORD* fourcc);

// Bottom-up 32-bit RGB pictures of a size (a negative height: top-down),
// VIDEOINFOHEADER format, fixed-size samples; frameTime 0 leaves the rate
// open.
MediaType Rgb32VideoType(LONG width, LONG height, REFERENCE_TIME frameTime = 0);

// QueryFilterInfo's answer; releases the graph reference it carries.
class FilterInfo {
public:
    FilterInfo() = default;
    FilterInfo(const FilterInfo&) = delete;
    FilterInfo& operator=(const FilterInfo&) = delete;
    ~FilterInfo() { Clear(); }

    FILTER_INFO* Put() {
        Clear();
        return &m_info;
    }
    const FILTER_INFO& Get() const { return m_info; }

private:
    void Clear() {
        if (m_info.pGraph) m_info.pGraph->Release();
        m_info = FILTER_INFO{};
    }
    FILTER_INFO m_info{};
};

}  // namespace com
