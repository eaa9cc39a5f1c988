// The MPEG encoder and multiplexer filter: a video and an audio input pin
// (32-bit RGB pictures, 16-bit PCM), one output file. Samples are copied
// into a hand-over queue and one encoding thread writes them in time
// order; a pause holds the inputs. The file is finished before the graph
// hears EC_COMPLETE.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/FileSinkName.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Seeking.h"
#include "platform/dshow/WorkerThread.h"
#include "platform/mpeg/MpegEncoderSettings.h"
#include "platform/mpeg/MpegTiming.h"
#include "platform/mpeg/StreamPairQueue.h"

namespace mpegenc {

class MpegEncoderFilter;
struct EncodeSession;

class MpegInputPin final : public dshow::InputPin {
public:
    MpegInputPin(MpegEncoderFilter& filter, int stream, std::u16string name);

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    MpegEncoderFilter& m_owner;
    int m_stream;
};

class MpegEncoderFilter final : public dshow::BaseFilter,
                                public IFileSinkFilter,
                                public dshow::SeekingBase,
                                public IAMFilterMiscFlags,
                                public MpegEncoderSettings {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
        COM_QI(IFileSinkFilter)
        COM_QI(IMediaSeeking)
        COM_QI(IAMFilterMiscFlags)
        COM_QI(IMpegEncoderConfig)
    COM_END_QI()

    // IMediaFilter: a paused encoder holds its inputs until it runs again.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // IFileSinkFilter
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override;

    // IAMFilterMiscFlags: a renderer, so the graph waits for its EC_COMPLETE.
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // From the pins.
    HRESULT CheckInput(int stream, const AM_MEDIA_TYPE& mt);
    HRESULT Receive(int stream, IMediaSample* sample);
    void EndOfStream(int stream);

private:
    MpegEncoderFilter();
    ~MpegEncoderFilter() override;

    size_t PinCount() override { return 2; }
    dshow::BasePin* PinAt(size_t index) override;
    HRESULT OnActivate() override;
    void OnDeactivate() override;
    bool SettingsUnlocked() const override { return State() == State_Stopped; }
    HRESULT ReadDuration(LONGLONG* duration) override;
    HRESULT ReadPosition(LONGLONG* position) override;

    // The input facts of the connected pins.
    InputFacts Inputs() const;
    // Waits while paused; false once the filter stops.
    bool WaitWhilePaused();
    std::shared_ptr<EncodeSession> Session();
    void EncodeLoop(EncodeSession& session);
    void Fail(EncodeSession& session, HRESULT hr);

    MpegInputPin m_videoPin;
    MpegInputPin m_audioPin;
    dshow::FileSinkName m_fileName;

    StreamPairQueue m_queue;
    std::shared_ptr<EncodeSession> m_session;  // under m_runLock
    dshow::WorkerThread m_thread;
    std::optional<FrameClock> m_clock;  // used by the video pin's thread only
    std::atomic<int64_t> m_position{0};

    std::mutex m_runLock;
    std::condition_variable m_runChanged;
};

}  // namespace mpegenc
