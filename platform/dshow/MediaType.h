// Owner of an AM_MEDIA_TYPE and its format block.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstddef>

namespace dshow {

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
void FreeMediaType(AM_MEDIA_TYPE& mt);
void DeleteMediaType(AM_MEDIA_TYPE* mt);

}  // namespace dshow
