#include "platform/dshow/Seeking.h"

#include <algorithm>

#include "platform/dshow/Pins.h"

namespace dshow {

using com::ComPtr;

namespace {

constexpr DWORD kCaps = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

bool IsMediaTime(const GUID* format) { return format && IsEqualGUID(*format, TIME_FORMAT_MEDIA_TIME); }

}  // namespace

STDMETHODIMP SeekingBase::GetCapabilities(DWORD* caps) {
    if (!caps) return E_POINTER;
    *caps = kCaps;
    return S_OK;
}

STDMETHODIMP SeekingBase::CheckCapabilities(DWORD* caps) {
    if (!caps) return E_POINTER;
    const DWORD wanted = *caps;
    *caps &= kCaps;
    return *caps == wanted ? S_OK : (*caps ? S_FALSE : E_FAIL);
}

STDMETHODIMP SeekingBase::IsFormatSupported(const GUID* format) {
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : S_FALSE;
}

STDMETHODIMP SeekingBase::QueryPreferredFormat(GUID* format) { return GetTimeFormat(format); }

STDMETHODIMP SeekingBase::GetTimeFormat(GUID* format) {
    if (!format) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP SeekingBase::IsUsingTimeFormat(const GUID* format) {
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : S_FALSE;
}

STDMETHODIMP SeekingBase::SetTimeFormat(const GUID* format) {
    if (!format) return E_POINTER;
    return IsMediaTime(format) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP SeekingBase::GetDuration(LONGLONG* duration) {
    if (!duration) return E_POINTER;
    *duration = 0;
    return ReadDuration(duration);
}

STDMETHODIMP SeekingBase::GetStopPosition(LONGLONG* stop) { return GetDuration(stop); }

STDMETHODIMP SeekingBase::GetCurrentPosition(LONGLONG* current) {
    if (!current) return E_POINTER;
    *current = 0;
    return ReadPosition(current);
}

STDMETHODIMP SeekingBase::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                            const GUID* sourceFormat) {
    if (!target) return E_POINTER;
    if ((targetFormat && !IsMediaTime(targetFormat)) || (sourceFormat && !IsMediaTime(sourceFormat)))
        return E_INVALIDARG;
    *target = source;
    return S_OK;
}

STDMETHODIMP SeekingBase::SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP SeekingBase::GetPositions(LONGLONG* current, LONGLONG* stop) {
    HRESULT hr = S_OK;
    if (current) hr = GetCurrentPosition(current);
    if (stop && SUCCEEDED(hr)) hr = GetStopPosition(stop);
    return hr;
}

STDMETHODIMP SeekingBase::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest) *earliest = 0;
    return latest ? GetDuration(latest) : S_OK;
}

STDMETHODIMP SeekingBase::SetRate(double rate) {
    if (rate <= 0) return E_INVALIDARG;
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

STDMETHODIMP SeekingBase::GetRate(double* rate) {
    if (!rate) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

STDMETHODIMP SeekingBase::GetPreroll(LONGLONG* preroll) {
    if (!preroll) return E_POINTER;
    *preroll = 0;
    return S_OK;
}

ComPtr<IMediaSeeking> UpstreamSeeking(IPin* input) {
    ComPtr<IPin> peer;
    ComPtr<IMediaSeeking> seeking;
    if (input && SUCCEEDED(input->ConnectedTo(peer.Put())) && peer)
        peer->QueryInterface(IID_IMediaSeeking, seeking.PutVoid());
    return seeking;
}

LONGLONG UpstreamDuration(IPin* input, int depth) {
    if (!input || depth > 8) return 0;
    LONGLONG d = 0;
    if (ComPtr<IMediaSeeking> s = UpstreamSeeking(input); s && SUCCEEDED(s->GetDuration(&d)) && d > 0) return d;
    // A filter between us and the source that does not pass seeking on:
    // ask above its input pins.
    ComPtr<IPin> peer;
    if (FAILED(input->ConnectedTo(peer.Put())) || !peer) return 0;
    ComPtr<IBaseFilter> filter = FilterOf(peer.Get());
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.Put())) || !pins) return 0;
    LONGLONG best = 0;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT)
            best = std::max(best, UpstreamDuration(pin.Get(), depth + 1));
    }
    return best;
}

}  // namespace dshow
