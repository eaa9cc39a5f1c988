#include "platform/asf/AsfWriter.h"

#include <chrono>
#include <cstdlib>

#include "framework/com/WinText.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Win32Files.h"
#include "platform/wm/WmProfile.h"

namespace asfw {

using com::ComPtr;

namespace {

constexpr int kPcmBytesPerSample = 2;
// How far one stream may run ahead of the slowest other one. Without a
// bound the sound, which is made faster than the pictures, would be
// written to its end while the video is at its start, and a stop would
// leave a file of the whole sound with a few seconds of pictures.
constexpr int64_t kLead = 10000000 / 2;

bool IsRgb32Video(const AM_MEDIA_TYPE& mt) {
    return IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB32) &&
           IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER);
}

bool IsPcm16(const AM_MEDIA_TYPE& mt) {
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_PCM) ||
        !IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) || !mt.pbFormat || mt.cbFormat < wm::kWaveFormatBytes)
        return false;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    return wfx->wBitsPerSample == 16 && wfx->nChannels >= 1 && wfx->nChannels <= 8 && wfx->nSamplesPerSec > 0;
}

// The profile a new writer starts with: the runtime's default streams.
HRESULT DefaultProfile(ComPtr<IWMProfile>& profile) {
    HRESULT hr = wm::Profile::CreateEmpty(WMT_VER_7_0, profile.Put());
    for (const GUID* type : {&WMMEDIATYPE_Video, &WMMEDIATYPE_Audio}) {
        ComPtr<IWMStreamConfig> stream;
        if (SUCCEEDED(hr)) hr = profile->CreateNewStream(*type, stream.Put());
        if (SUCCEEDED(hr)) hr = profile->AddStream(stream.Get());
    }
    return hr;
}

}  // namespace

// ---- Pins --------------------------------------------------------------------------------

class StreamPin final : public dshow::InputPin {
public:
    StreamPin(AsfWriter& writer, size_t index, bool video, std::u16string name)
        : InputPin(writer, std::move(name)), m_writer(writer), m_index(index), m_video(video) {}

    bool Video() const { return m_video; }

    // The connected stream as the file writer takes it.
    StreamInput Input(bool* bottomUp) const {
        StreamInput in;
        const AM_MEDIA_TYPE& mt = m_mt.Get();
        if (m_video) {
            const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
            in.width = vih->bmiHeader.biWidth;
            in.height = std::abs(vih->bmiHeader.biHeight);
            in.frameDuration = vih->AvgTimePerFrame;
            *bottomUp = vih->bmiHeader.biHeight > 0;
        } else {
            const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
            in.sampleRate = static_cast<int>(wfx->nSamplesPerSec);
            in.channels = wfx->nChannels;
            *bottomUp = false;
        }
        return in;
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        if (!m_video) return IsPcm16(mt) ? S_OK : S_FALSE;
        if (!IsRgb32Video(mt)) return S_FALSE;
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        // Sizes the encoder refuses are refused here, when the graph is built.
        return m_writer.EncodesPictures(m_index, vih->bmiHeader.biWidth, std::abs(vih->bmiHeader.biHeight),
                                        vih->AvgTimePerFrame)
                   ? S_OK
                   : S_FALSE;
    }
    HRESULT OnReceive(IMediaSample* sample) override { return m_writer.WriteSample(m_index, sample); }
    void OnBeginFlush() override { m_writer.WakeStreams(); }
    HRESULT OnEndOfStream() override { return m_writer.EndStream(m_index); }

private:
    AsfWriter& m_writer;
    size_t m_index;
    bool m_video;
};

// One file being written, shared by the streaming threads; the sink
// outlives the writer.
struct WriteSession {
    std::atomic<bool> stopping{false};
    std::unique_ptr<media::ByteSink> sink;
    std::unique_ptr<AsfFileWriter> writer;
    std::vector<StreamInput> inputs;
    std::vector<bool> bottomUp;
    std::atomic<bool> failed{false};
    std::atomic<bool> completed{false};
};

// ---- Filter ------------------------------------------------------------------------------

AsfWriter::AsfWriter() : BaseFilter(CLSID_WMAsfWriter) {}

AsfWriter::~AsfWriter() = default;

HRESULT AsfWriter::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::ComGuard([&]() -> HRESULT {
        ComPtr<AsfWriter> writer = ComPtr<AsfWriter>::Adopt(new AsfWriter());
        ComPtr<IWMProfile> profile;
        HRESULT hr = DefaultProfile(profile);
        if (SUCCEEDED(hr)) hr = writer->ConfigureFilterUsingProfile(profile.Get());
        if (FAILED(hr)) return hr;
        return writer->QueryInterface(iid, out);
    });
}

bool AsfWriter::EncodesPictures(size_t stream, int width, int height, int64_t frameDuration) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return stream < m_streams.size() && EncodedWidth(m_streams[stream].plan, width, height, frameDuration) > 0;
}

dshow::BasePin* AsfWriter::PinAt(size_t index) { return index < m_pins.size() ? m_pins[index].get() : nullptr; }

STDMETHODIMP AsfWriter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
STDMETHODIMP AsfWriter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }
STDMETHODIMP AsfWriter::ConfigureFilterUsingProfileGuid(REFGUID) { return E_NOTIMPL; }
STDMETHODIMP AsfWriter::GetCurrentProfileGuid(GUID*) { return E_NOTIMPL; }

STDMETHODIMP AsfWriter::ConfigureFilterUsingProfile(IWMProfile* profile) {
    if (!profile) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (State() != State_Stopped) return VFW_E_WRONG_STATE;
    return com::ComGuard([&]() -> HRESULT {
        std::vector<ProfileStream> streams;
        const HRESULT hr = PlanProfile(profile, streams);
        if (FAILED(hr)) return hr;
        // The pins of the old profile go; their connections with them.
        for (auto& pin : m_pins) {
            if (IPin* peer = pin->Peer()) peer->Disconnect();
            pin->Disconnect();
        }
        std::vector<std::unique_ptr<StreamPin>> pins;
        for (size_t i = 0; i < streams.size(); ++i)
            pins.push_back(std::make_unique<StreamPin>(*this, i, streams[i].plan.video, streams[i].pinName));
        // Callers may still hold the old pins: they live on, unlisted.
        for (auto& pin : m_pins) m_retiredPins.push_back(std::move(pin));
        m_pins = std::move(pins);
        m_streams = std::move(streams);
        m_profile = ComPtr<IWMProfile>(profile);
        if (Graph()) NotifyEvent(EC_GRAPH_CHANGED, 0, 0);
        return S_OK;
    });
}

STDMETHODIMP AsfWriter::GetCurrentProfile(IWMProfile** profile) {
    if (!profile) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return m_profile.CopyTo(profile);
}

STDMETHODIMP AsfWriter::SetIndexMode(BOOL index) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    m_indexMode = index;
    return S_OK;
}

STDMETHODIMP AsfWriter::GetIndexMode(BOOL* index) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return com::GetValue(index, m_indexMode);
}

STDMETHODIMP AsfWriter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
    if (!name) return E_POINTER;
    if (!*name) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (State() != State_Stopped) return VFW_E_WRONG_STATE;
    return com::ComGuard([&] {
        m_fileName = com::U16(name);
        return S_OK;
    });
}

STDMETHODIMP AsfWriter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) {
    if (!name) return E_POINTER;
    *name = nullptr;
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (m_fileName.empty()) return E_FAIL;
    const size_t bytes = (m_fileName.size() + 1) * sizeof(WCHAR);
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!*name) return E_OUTOFMEMORY;
    memcpy(*name, m_fileName.c_str(), bytes);
    if (mt) {
        *mt = AM_MEDIA_TYPE{};
        mt->majortype = MEDIATYPE_Stream;
        mt->subtype = MEDIASUBTYPE_Asf;
    }
    return S_OK;
}

void AsfWriter::WakeStreams() { m_turn.notify_all(); }

std::shared_ptr<WriteSession> AsfWriter::Session() const {
    std::lock_guard<std::mutex> lock(m_sessionLock);
    return m_session;
}

HRESULT AsfWriter::OnActivate() {
    if (m_fileName.empty()) return E_UNEXPECTED;
    for (const auto& pin : m_pins)
        if (!pin->IsConnected()) return VFW_E_NOT_CONNECTED;
    auto session = std::make_shared<WriteSession>();
    std::vector<StreamPlan> plans;
    for (size_t i = 0; i < m_pins.size(); ++i) {
        bool bottomUp = false;
        session->inputs.push_back(m_pins[i]->Input(&bottomUp));
        session->bottomUp.push_back(bottomUp);
        plans.push_back(m_streams[i].plan);
    }
    const HRESULT hr = dshow::MediaGuard([&] {
        session->sink = dshow::CreateWin32Sink(m_fileName);
        session->writer = std::make_unique<AsfFileWriter>(*session->sink, plans, session->inputs);
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    m_lastPosition = 0;
    std::lock_guard<std::mutex> lock(m_sessionLock);
    m_session = std::move(session);
    return S_OK;
}

void AsfWriter::OnDeactivate() {
    std::shared_ptr<WriteSession> session;
    {
        std::lock_guard<std::mutex> lock(m_sessionLock);
        session = std::move(m_session);
    }
    if (!session) return;
    {
        std::lock_guard<std::mutex> lock(m_turnLock);
        session->stopping = true;
    }
    m_turn.notify_all();
    // A stop before the end still leaves a whole file. A failure the
    // streams had not yet heard of (the encoder failed on the last picture)
    // is still reported, once, as a failure while streaming is.
    const HRESULT hr = dshow::MediaGuard([&] {
        session->writer->Finish();
        return S_OK;
    });
    dshow::MediaGuard([&] {
        m_lastPosition = session->writer->Position();
        return S_OK;
    });
    if (FAILED(hr) && !session->failed.exchange(true)) NotifyEvent(EC_ERRORABORT, hr, 0);
}

void AsfWriter::Abort(HRESULT hr) {
    const auto session = Session();
    if (session && !session->failed.exchange(true)) NotifyEvent(EC_ERRORABORT, hr, 0);
}

HRESULT AsfWriter::WriteSample(size_t stream, IMediaSample* sample) {
    const auto session = Session();
    if (!session) return VFW_E_WRONG_STATE;
    if (session->failed) return E_FAIL;
    if (stream >= session->inputs.size()) return E_UNEXPECTED;
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    const LONG length = sample->GetActualDataLength();
    const StreamInput& in = session->inputs[stream];
    {
        std::unique_lock<std::mutex> lock(m_turnLock);
        // The bound only re-checks: the other streams wake this one.
        while (!session->stopping && !m_pins[stream]->Flushing() && session->writer->Ahead(stream, kLead))
            m_turn.wait_for(lock, std::chrono::milliseconds(200));
    }
    if (session->stopping) return VFW_E_WRONG_STATE;
    hr = dshow::MediaGuard([&]() -> HRESULT {
        if (in.width > 0) {
            const int stride = in.width * 4;
            if (length < static_cast<LONG>(stride) * in.height) return VFW_E_BUFFER_UNDERFLOW;
            REFERENCE_TIME start = -1, stop = -1;
            if (FAILED(sample->GetTime(&start, &stop))) start = -1;
            session->writer->Video(stream, data, stride, session->bottomUp[stream], start);
        } else {
            const int frames = length / (in.channels * kPcmBytesPerSample);
            session->writer->Audio(stream, reinterpret_cast<const int16_t*>(data), frames);
        }
        m_lastPosition = session->writer->Position();
        return S_OK;
    });
    m_turn.notify_all();
    if (FAILED(hr)) Abort(hr);
    return hr;
}

HRESULT AsfWriter::EndStream(size_t stream) {
    const auto session = Session();
    if (!session || session->failed) return S_OK;
    bool all = false;
    const HRESULT hr = dshow::MediaGuard([&] {
        all = session->writer->EndOfStream(stream);
        if (all) session->writer->Finish();
        m_lastPosition = session->writer->Position();
        return S_OK;
    });
    m_turn.notify_all();
    if (FAILED(hr)) {
        Abort(hr);
        return hr;
    }
    // The file is whole before the graph hears of the end.
    if (all && !session->completed.exchange(true))
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    return S_OK;
}

HRESULT MakeAsfWriter(IGraphBuilder* graph, LPCOLESTR file, IBaseFilter** writerOut, IFileSinkFilter** sinkOut) {
    ComPtr<IBaseFilter> writer;
    ComPtr<IFileSinkFilter> sink;
    HRESULT hr = AsfWriter::CreateInstance(nullptr, IID_IBaseFilter, writer.PutVoid());
    if (SUCCEEDED(hr)) hr = writer.As(IID_IFileSinkFilter, sink);
    if (SUCCEEDED(hr)) hr = sink->SetFileName(file, nullptr);
    if (SUCCEEDED(hr)) hr = graph->AddFilter(writer.Get(), L"ASF Writer");
    if (FAILED(hr)) return hr;
    if (writerOut) *writerOut = writer.Detach();
    if (sinkOut) *sinkOut = sink.Detach();
    return S_OK;
}

HRESULT AsfWriter::ReadDuration(LONGLONG* duration) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    *duration = m_pins.empty() ? 0 : dshow::UpstreamDuration(m_pins.front().get());
    return S_OK;
}

HRESULT AsfWriter::ReadPosition(LONGLONG* position) {
    *position = m_lastPosition.load();
    return S_OK;
}

}  // namespace asfw
