// The ASF writer filter (CLSID_WMAsfWriter): configured with a Windows
// Media profile through IConfigAsfWriter, one input pin per profile
// stream (video as 32-bit RGB, audio as 16-bit PCM), encoding at each
// input's frame size and the profile's bit rates into the file named
// through IFileSinkFilter. It reports EC_COMPLETE once every stream ended
// and the file is whole; a stop before that still finishes the file.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/asf/AsfProfilePlan.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/Seeking.h"

namespace asfw {

class StreamPin;
struct WriteSession;

class AsfWriter final : public dshow::BaseFilter,
                        public IConfigAsfWriter,
                        public IFileSinkFilter,
                        public IAMFilterMiscFlags,
                        public dshow::SeekingBase {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
        COM_QI(IConfigAsfWriter)
        COM_QI(IFileSinkFilter)
        COM_QI(IAMFilterMiscFlags)
        COM_QI(IMediaSeeking)
    COM_END_QI()

    // IConfigAsfWriter. Profiles by number or identifier belong to older
    // runtimes' tables, which this one does not have.
    STDMETHODIMP ConfigureFilterUsingProfileId(DWORD id) override;
    STDMETHODIMP GetCurrentProfileId(DWORD* id) override;
    STDMETHODIMP ConfigureFilterUsingProfileGuid(REFGUID id) override;
    STDMETHODIMP GetCurrentProfileGuid(GUID* id) override;
    STDMETHODIMP ConfigureFilterUsingProfile(IWMProfile* profile) override;
    STDMETHODIMP GetCurrentProfile(IWMProfile** profile) override;
    // The multiplexer indexes every file it can seek in; the mode is kept
    // for callers that read it back.
    STDMETHODIMP SetIndexMode(BOOL index) override;
    STDMETHODIMP GetIndexMode(BOOL* index) override;

    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override;

    // IAMFilterMiscFlags: a renderer, so that the graph waits for its end.
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // Whether the video stream's encoder takes pictures of this size.
    bool EncodesPictures(size_t stream, int width, int height, int64_t frameDuration);
    // Streaming side, from the pins.
    HRESULT WriteSample(size_t stream, IMediaSample* sample);
    HRESULT EndStream(size_t stream);
    void WakeStreams();

protected:
    size_t PinCount() override { return m_pins.size(); }
    dshow::BasePin* PinAt(size_t index) override;
    HRESULT OnActivate() override;
    void OnDeactivate() override;
    HRESULT ReadDuration(LONGLONG* duration) override;
    HRESULT ReadPosition(LONGLONG* position) override;

private:
    AsfWriter();
    ~AsfWriter() override;
    std::shared_ptr<WriteSession> Session() const;
    void Abort(HRESULT hr);

    std::vector<std::unique_ptr<StreamPin>> m_pins;
    std::vector<std::unique_ptr<StreamPin>> m_retiredPins;
    std::vector<ProfileStream> m_streams;
    com::ComPtr<IWMProfile> m_profile;
    std::u16string m_fileName;
    BOOL m_indexMode = TRUE;

    mutable std::mutex m_sessionLock;
    std::shared_ptr<WriteSession> m_session;
    std::atomic<int64_t> m_lastPosition{0};  // 100 ns units
    // Wakes a stream held back while it runs ahead of the others.
    std::mutex m_turnLock;
    std::condition_variable m_turn;
};

// SetOutputFileName for MEDIASUBTYPE_Asf: a writer for the file, added to
// the graph; it is the filter the streams connect to and the file sink.
HRESULT MakeAsfWriter(IGraphBuilder* graph, LPCOLESTR file, IBaseFilter** writer, IFileSinkFilter** sink);

}  // namespace asfw
