// The media detector (CLSID_MediaDet): a file's streams, their types,
// lengths and rates, and poster frames, read with the media core. Wine's
// own detector misses streams and cannot read WMV or MPEG-2.
//
// Every video stream is described with a VIDEOINFOHEADER (its size, bit
// rate and frame duration), whatever the codec, so callers that only read
// that format get the facts of every file.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>

#include "framework/com/ComObject.h"
#include "platform/core/MediaProbe.h"

namespace plat {

class MediaDet final : public com::ComObjectRoot, public IMediaDet {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IMediaDet)
    COM_END_QI()

    STDMETHODIMP get_Filter(IUnknown** filter) override;
    STDMETHODIMP put_Filter(IUnknown* filter) override;
    STDMETHODIMP get_OutputStreams(LONG* count) override;
    STDMETHODIMP get_CurrentStream(LONG* index) override;
    STDMETHODIMP put_CurrentStream(LONG index) override;
    STDMETHODIMP get_StreamType(GUID* type) override;
    STDMETHODIMP get_StreamTypeB(BSTR* type) override;
    STDMETHODIMP get_StreamLength(double* seconds) override;
    STDMETHODIMP get_Filename(BSTR* name) override;
    STDMETHODIMP put_Filename(BSTR name) override;
    STDMETHODIMP GetBitmapBits(double time, LONG* bufferSize, char* buffer, LONG width, LONG height) override;
    STDMETHODIMP WriteBitmapBits(double time, LONG width, LONG height, BSTR fileName) override;
    STDMETHODIMP get_StreamMediaType(AM_MEDIA_TYPE* type) override;
    STDMETHODIMP GetSampleGrabber(ISampleGrabber** grabber) override;
    STDMETHODIMP get_FrameRate(double* rate) override;
    STDMETHODIMP EnterBitmapGrabMode(double time) override;

    MediaDet() = default;

private:
    ~MediaDet() override = default;
    const media::StreamFacts* Current() const;

    std::u16string m_fileName;
    bool m_open = false;
    media::SourceFacts m_facts;
    LONG m_current = 0;
};

}  // namespace plat
