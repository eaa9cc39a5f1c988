#include "platform/mpeg/MpegEncoderFilter.h"

#include <cstdlib>

#include "framework/com/WinText.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/StreamTypes.h"
#include "platform/dshow/Win32Files.h"
#include "platform/mpeg/MpegWriter.h"

namespace mpegenc {

using com::ComPtr;

namespace {

constexpr int kPcmBytesPerSample = 2;

double RateOf(const VIDEOINFOHEADER& vih) {
    return vih.AvgTimePerFrame > 0 ? static_cast<double>(kUnitsPerSecond) / vih.AvgTimePerFrame : 0.0;
}

}  // namespace

// One file being written: what the pins need to hand samples over, and
// what the encoding thread writes with.
struct EncodeSession {
    Plan plan;
    std::unique_ptr<media::ByteSink> sink;
    std::unique_ptr<MpegWriter> writer;
    // Video input.
    int stride = 0;
    int height = 0;
    bool bottomUp = true;
    int64_t frameDuration = 0;
    std::optional<FrameClock> clock;
    // Audio input.
    int blockAlign = 0;
    int sampleRate = 0;
    int64_t audioFrames = 0;  // handed over, for samples without times
    std::atomic<bool> failed{false};
    std::atomic<bool> completed{false};
};

// ---- Pins --------------------------------------------------------------------------------

MpegInputPin::MpegInputPin(MpegEncoderFilter& filter, int stream, std::u16string name)
    : InputPin(filter, std::move(name)), m_owner(filter), m_stream(stream) {}

HRESULT MpegInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) { return m_owner.CheckInput(m_stream, mt); }

HRESULT MpegInputPin::OnReceive(IMediaSample* sample) { return m_owner.Receive(m_stream, sample); }

HRESULT MpegInputPin::OnEndOfStream() {
    m_owner.EndOfStream(m_stream);
    return S_OK;
}

// ---- Filter ------------------------------------------------------------------------------

MpegEncoderFilter::MpegEncoderFilter()
    : BaseFilter(CLSID_MpegEncoderMux), m_videoPin(*this, kVideoStream, u"Video"),
      m_audioPin(*this, kAudioStream, u"Audio") {}

MpegEncoderFilter::~MpegEncoderFilter() {
    m_queue.Abort();
    m_thread.Join();
}

HRESULT MpegEncoderFilter::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::ComGuard([&]() -> HRESULT {
        ComPtr<MpegEncoderFilter> filter = ComPtr<MpegEncoderFilter>::Adopt(new MpegEncoderFilter());
        return filter->QueryInterface(iid, out);
    });
}

dshow::BasePin* MpegEncoderFilter::PinAt(size_t index) {
    if (index == kVideoStream) return &m_videoPin;
    if (index == kAudioStream) return &m_audioPin;
    return nullptr;
}

STDMETHODIMP MpegEncoderFilter::Stop() {
    const HRESULT hr = BaseFilter::Stop();
    const char* state = StateText();
    if (state != kStateFinished && state != kStateFailed) SetState(kStateStopped);
    return hr;
}

STDMETHODIMP MpegEncoderFilter::Pause() {
    const bool wasRunning = State() == State_Running;
    const HRESULT hr = BaseFilter::Pause();
    if (wasRunning && SUCCEEDED(hr)) HoldSpeed(true);
    { std::lock_guard<std::mutex> lock(m_runLock); }
    m_runChanged.notify_all();
    return hr;
}

STDMETHODIMP MpegEncoderFilter::Run(REFERENCE_TIME start) {
    const HRESULT hr = BaseFilter::Run(start);
    if (SUCCEEDED(hr)) HoldSpeed(false);
    { std::lock_guard<std::mutex> lock(m_runLock); }
    m_runChanged.notify_all();
    return hr;
}

bool MpegEncoderFilter::WaitWhilePaused() {
    std::unique_lock<std::mutex> lock(m_runLock);
    m_runChanged.wait(lock, [&] { return State() != State_Paused; });
    return State() == State_Running;
}

STDMETHODIMP MpegEncoderFilter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return m_fileName.Set(name, State());
}

STDMETHODIMP MpegEncoderFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    const HRESULT hr = m_fileName.CopyTo(name);
    if (SUCCEEDED(hr) && mt) {
        *mt = AM_MEDIA_TYPE{};
        mt->majortype = MEDIATYPE_Stream;
    }
    return hr;
}

HRESULT MpegEncoderFilter::CheckInput(int stream, const AM_MEDIA_TYPE& mt) {
    if (stream == kAudioStream) return dshow::Pcm16Format(mt) ? S_OK : S_FALSE;
    const VIDEOINFOHEADER* vih = dshow::Rgb32VideoInfo(mt);
    if (!vih) return S_FALSE;
    Settings settings = CurrentSettings();
    if (!settings.videoEnabled) return S_OK;  // pictures are dropped
    settings.audioEnabled = false;
    const int width = vih->bmiHeader.biWidth;
    const int height = std::abs(vih->bmiHeader.biHeight);
    Plan plan;
    if (!MakePlan(settings, {width, height, RateOf(*vih), 0, 0}, plan, nullptr)) return S_FALSE;
    // Pictures are not scaled: they come at the coded size, or one pixel
    // larger where the coded size had to be made even.
    const bool fits = (width == plan.width || width == plan.width + 1) &&
                      (height == plan.height || height == plan.height + 1);
    return fits ? S_OK : S_FALSE;
}

InputFacts MpegEncoderFilter::Inputs() const {
    InputFacts in;
    if (m_videoPin.IsConnected()) {
        const auto* vih = dshow::Rgb32VideoInfo(m_videoPin.ConnectedType().Get());
        if (vih) {
            in.width = vih->bmiHeader.biWidth;
            in.height = std::abs(vih->bmiHeader.biHeight);
            in.frameRate = RateOf(*vih);
        }
    }
    if (m_audioPin.IsConnected()) {
        const auto* wfx = dshow::Pcm16Format(m_audioPin.ConnectedType().Get());
        if (wfx) {
            in.sampleRate = static_cast<int>(wfx->nSamplesPerSec);
            in.channels = wfx->nChannels;
        }
    }
    return in;
}

HRESULT MpegEncoderFilter::OnActivate() {
    if (m_fileName.Empty()) return E_UNEXPECTED;
    if (!m_videoPin.IsConnected() && !m_audioPin.IsConnected()) return VFW_E_NOT_CONNECTED;
    Settings settings = CurrentSettings();
    settings.videoEnabled = settings.videoEnabled && m_videoPin.IsConnected();
    settings.audioEnabled = settings.audioEnabled && m_audioPin.IsConnected();
    const InputFacts in = Inputs();

    auto session = std::make_shared<EncodeSession>();
    if (!MakePlan(settings, in, session->plan, nullptr)) return VFW_E_UNSUPPORTED_STREAM;
    const Plan& plan = session->plan;
    if (plan.video) {
        const auto* vih = dshow::Rgb32VideoInfo(m_videoPin.ConnectedType().Get());
        session->stride = in.width * 4;
        session->height = in.height;
        session->bottomUp = vih->bmiHeader.biHeight > 0;
        const double inputRate = in.frameRate > 0.0 ? in.frameRate : settings.inputFrameRate;
        session->frameDuration =
            inputRate > 0.0 ? static_cast<int64_t>(kUnitsPerSecond / inputRate)
                            : kUnitsPerSecond * plan.frameRate.den / plan.frameRate.num;
        session->clock.emplace(plan.frameRate);
    }
    if (plan.audio) {
        session->blockAlign = in.channels * kPcmBytesPerSample;
        session->sampleRate = in.sampleRate;
    }
    HRESULT hr = dshow::MediaGuard([&] {
        session->sink = dshow::CreateWin32Sink(m_fileName.Get());
        session->writer = std::make_unique<MpegWriter>(plan, WriterInput{in.width, in.height, in.sampleRate, in.channels},
                                                       *session->sink);
        return S_OK;
    });
    if (FAILED(hr)) return hr;

    m_queue.Reset(plan.video, plan.audio);
    m_position = 0;
    ResetSpeed();
    {
        std::lock_guard<std::mutex> lock(m_runLock);
        m_session = session;
    }
    hr = m_thread.Start([this, session] { EncodeLoop(*session); });
    if (FAILED(hr)) {
        std::lock_guard<std::mutex> lock(m_runLock);
        m_session.reset();
        return hr;
    }
    SetState(kStateReady);
    return S_OK;
}

void MpegEncoderFilter::OnDeactivate() {
    // Wake inputs held by a pause, then the encoding thread.
    { std::lock_guard<std::mutex> lock(m_runLock); }
    m_runChanged.notify_all();
    m_queue.Abort();
    m_thread.Join();
    std::shared_ptr<EncodeSession> session;
    {
        std::lock_guard<std::mutex> lock(m_runLock);
        session = std::move(m_session);
    }
    StopSpeed();
    if (!session || session->completed || session->failed) return;
    // A stop before the end still leaves a file that plays up to there.
    dshow::MediaGuard([&] {
        session->writer->Finish();
        return S_OK;
    });
}

HRESULT MpegEncoderFilter::Receive(int stream, IMediaSample* sample) {
    if (!WaitWhilePaused()) return VFW_E_WRONG_STATE;
    const std::shared_ptr<EncodeSession> s = Session();
    if (!s) return VFW_E_WRONG_STATE;
    if (s->failed) return S_FALSE;
    if ((stream == kVideoStream && !s->plan.video) || (stream == kAudioStream && !s->plan.audio)) return S_OK;

    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const LONG length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);

    Chunk chunk;
    chunk.stream = stream;
    if (stream == kVideoStream) {
        const size_t bytes = static_cast<size_t>(s->stride) * s->height;
        if (length < 0 || static_cast<size_t>(length) < bytes) return VFW_E_BUFFER_UNDERFLOW;
        if (FAILED(timed)) start = s->clock->TimeOfSlot(s->clock->SlotsFilled());
        if (timed != S_OK) stop = start + s->frameDuration;
        chunk.time = start;
        chunk.slots = s->clock->SlotsFor(stop);
        if (chunk.slots == 0) return S_OK;  // dropped to meet the coded rate
        chunk.bytes.assign(data, data + bytes);
    } else {
        const int64_t frames = length / s->blockAlign;
        if (frames <= 0) return S_OK;
        chunk.time = SUCCEEDED(timed) ? start : s->audioFrames * kUnitsPerSecond / s->sampleRate;
        s->audioFrames += frames;
        chunk.slots = static_cast<int>(frames);
        chunk.bytes.assign(data, data + frames * s->blockAlign);
    }
    return m_queue.Push(std::move(chunk)) ? S_OK : S_FALSE;
}

void MpegEncoderFilter::EndOfStream(int stream) { m_queue.EndOfStream(stream); }

std::shared_ptr<EncodeSession> MpegEncoderFilter::Session() {
    std::lock_guard<std::mutex> lock(m_runLock);
    return m_session;
}

void MpegEncoderFilter::EncodeLoop(EncodeSession& s) {
    bool started = false;
    Chunk chunk;
    for (;;) {
        const StreamPairQueue::Take take = m_queue.Pop(chunk);
        if (take == StreamPairQueue::Take::Aborted) return;
        if (take == StreamPairQueue::Take::Finished) {
            const HRESULT hr = dshow::MediaGuard([&] {
                s.writer->Finish();
                return S_OK;
            });
            if (FAILED(hr)) return Fail(s, hr);
            s.completed = true;
            StopSpeed();
            SetState(kStateFinished);
            // The file is whole before the graph hears of the end.
            NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
            return;
        }
        if (!started) {
            started = true;
            SetState(kStateEncoding);
        }
        const HRESULT hr = dshow::MediaGuard([&] {
            if (chunk.stream == kVideoStream) {
                for (int i = 0; i < chunk.slots; ++i) {
                    s.writer->WriteVideo(chunk.bytes.data(), s.stride, s.bottomUp, 1);
                    FrameEncoded();
                }
                const int64_t end = s.clock->TimeOfSlot(s.writer->FramesEncoded());
                if (end > m_position) m_position = end;
            } else {
                s.writer->WriteAudio(reinterpret_cast<const int16_t*>(chunk.bytes.data()), chunk.slots);
                const int64_t end = chunk.time + chunk.slots * kUnitsPerSecond / s.sampleRate;
                if (!s.plan.video && end > m_position) m_position = end;
            }
            return S_OK;
        });
        if (FAILED(hr)) return Fail(s, hr);
    }
}

void MpegEncoderFilter::Fail(EncodeSession& s, HRESULT hr) {
    s.failed = true;
    m_queue.Abort();
    StopSpeed();
    SetState(kStateFailed);
    NotifyEvent(EC_ERRORABORT, hr, 0);
}

HRESULT MpegEncoderFilter::ReadDuration(LONGLONG* duration) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    const LONGLONG video = dshow::UpstreamDuration(&m_videoPin);
    const LONGLONG audio = dshow::UpstreamDuration(&m_audioPin);
    *duration = video > audio ? video : audio;
    return S_OK;
}

HRESULT MpegEncoderFilter::ReadPosition(LONGLONG* position) {
    *position = m_position.load();
    return S_OK;
}

}  // namespace mpegenc
