// IMediaSeeking for the platform's filters and pins: media time only,
// reading duration and position; seeking itself is not offered.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "framework/com/ComPtr.h"

namespace dshow {

// Mixin: a class derives from it beside its other interfaces, supplies
// the two readers and routes IUnknown to its own.
class SeekingBase : public IMediaSeeking {
public:
    STDMETHODIMP GetCapabilities(DWORD* caps) override;
    STDMETHODIMP CheckCapabilities(DWORD* caps) override;
    STDMETHODIMP IsFormatSupported(const GUID* format) override;
    STDMETHODIMP QueryPreferredFormat(GUID* format) override;
    STDMETHODIMP GetTimeFormat(GUID* format) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* format) override;
    STDMETHODIMP SetTimeFormat(const GUID* format) override;
    STDMETHODIMP GetDuration(LONGLONG* duration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* stop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* current) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                   const GUID* sourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG* current, LONGLONG* stop) override;
    STDMETHODIMP GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    STDMETHODIMP SetRate(double rate) override;
    STDMETHODIMP GetRate(double* rate) override;
    STDMETHODIMP GetPreroll(LONGLONG* preroll) override;

protected:
    virtual ~SeekingBase() = default;
    virtual HRESULT ReadDuration(LONGLONG* duration) = 0;
    virtual HRESULT ReadPosition(LONGLONG* position) = 0;
};

// The upstream peer's seeking interface of an input pin, or null.
com::ComPtr<IMediaSeeking> UpstreamSeeking(IPin* input);
// The duration known upstream of an input pin: its peer's, else (through
// filters that do not pass seeking on) the longest found further up.
// 0 when nothing upstream says.
LONGLONG UpstreamDuration(IPin* input, int depth = 0);

}  // namespace dshow
