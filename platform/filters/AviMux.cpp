#include "platform/filters/AviMux.h"

#include <mmreg.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <string>

#include "platform/core/TrackReader.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/StartMark.h"

namespace plat {

using dshow::MediaType;

namespace {

constexpr LONGLONG kUnits = 10000000;
// How far one input may run ahead of the slowest other one.
constexpr REFERENCE_TIME kLead = kUnits / 2;

// The muxer's view of an input's media type, and the unit of its times.
bool Describe(const AM_MEDIA_TYPE& mt, media::MuxStreamDesc& d) {
    if (IsEqualGUID(mt.majortype, MEDIATYPE_Video) && IsEqualGUID(mt.formattype, FORMAT_VideoInfo) &&
        mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat) {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
        const BITMAPINFOHEADER& bih = vih->bmiHeader;
        d.type = AVMEDIA_TYPE_VIDEO;
        if (bih.biCompression == BI_RGB || bih.biCompression == BI_BITFIELDS) {
            d.codec = AV_CODEC_ID_RAWVIDEO;
            d.tag = 0;
        } else {
            d.tag = bih.biCompression;
            d.codec = media::CodecOfFourcc(bih.biCompression);
        }
        d.width = bih.biWidth;
        d.height = std::abs(bih.biHeight);
        d.bitsPerSample = bih.biBitCount;
        d.frameRate = media::RateOfFrameDuration(vih->AvgTimePerFrame);
        d.bitRate = d.codec == AV_CODEC_ID_RAWVIDEO ? 0 : vih->dwBitRate;
        d.extradata.assign(mt.pbFormat + sizeof(VIDEOINFOHEADER), mt.pbFormat + mt.cbFormat);
        return d.width > 0 && d.height > 0;
    }
    if (IsEqualGUID(mt.majortype, MEDIATYPE_Audio) && IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) &&
        mt.cbFormat >= sizeof(WAVEFORMATEX) - sizeof(WORD) && mt.pbFormat) {
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
        d.type = AVMEDIA_TYPE_AUDIO;
        d.tag = wfx->wFormatTag;
        d.codec = media::CodecOfWaveTag(wfx->wFormatTag);
        if (wfx->wFormatTag == WAVE_FORMAT_PCM)
            d.codec = wfx->wBitsPerSample == 8    ? AV_CODEC_ID_PCM_U8
                      : wfx->wBitsPerSample == 24 ? AV_CODEC_ID_PCM_S24LE
                      : wfx->wBitsPerSample == 32 ? AV_CODEC_ID_PCM_S32LE
                                                  : AV_CODEC_ID_PCM_S16LE;
        d.sampleRate = static_cast<int>(wfx->nSamplesPerSec);
        d.channels = wfx->nChannels;
        d.blockAlign = wfx->nBlockAlign;
        d.bitsPerSample = wfx->wBitsPerSample;
        d.bitRate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
        d.frameSize = d.codec == AV_CODEC_ID_MP3   ? (d.sampleRate >= 32000 ? 1152 : 576)
                      : d.codec == AV_CODEC_ID_MP2 ? 1152
                      : d.codec == AV_CODEC_ID_AC3 ? 1536
                                                   : 0;
        // Frame-based audio: the muxer gives its own block size (a whole
        // frame); one byte besides it would make a header that contradicts
        // itself.
        if (d.frameSize > 0) d.blockAlign = 0;
        if (d.codec != AV_CODEC_ID_MP3 && d.codec != AV_CODEC_ID_MP2 && mt.cbFormat >= sizeof(WAVEFORMATEX)) {
            const size_t extra = std::min<size_t>(wfx->cbSize, mt.cbFormat - sizeof(WAVEFORMATEX));
            const BYTE* p = mt.pbFormat + sizeof(WAVEFORMATEX);
            d.extradata.assign(p, p + extra);
        }
        return d.sampleRate > 0 && d.channels > 0;
    }
    return false;
}

}  // namespace

// The file through the writer's IStream.
class StreamSink final : public media::ByteSink {
public:
    explicit StreamSink(IStream* stream) : m_stream(stream) {}
    int Write(const uint8_t* buf, int size) override {
        ULONG written = 0;
        const HRESULT hr = m_stream->Write(buf, static_cast<ULONG>(size), &written);
        return SUCCEEDED(hr) && written == static_cast<ULONG>(size) ? 0 : AVERROR(EIO);
    }
    int64_t Seek(int64_t offset, int whence) override {
        LARGE_INTEGER to;
        to.QuadPart = offset;
        ULARGE_INTEGER now{};
        const DWORD origin = whence == SEEK_CUR ? STREAM_SEEK_CUR : whence == SEEK_END ? STREAM_SEEK_END : STREAM_SEEK_SET;
        return SUCCEEDED(m_stream->Seek(to, origin, &now)) ? static_cast<int64_t>(now.QuadPart) : AVERROR(EIO);
    }
    HRESULT Commit() { return m_stream->Commit(STGC_DEFAULT); }

private:
    com::ComPtr<IStream> m_stream;
};

class MuxInputPin final : public dshow::InputPin {
public:
    MuxInputPin(AviMux& mux, std::u16string name) : InputPin(mux, std::move(name)), m_mux(mux) {}

    // Guarded by the mux's lock.
    int stream = -1;
    AVRational unit{1, 1};  // what one packet time step is
    bool video = false;
    int blockAlign = 0;
    int64_t nextPts = 0;
    REFERENCE_TIME lastTime = 0;
    bool ended = false;
    bool written = false;  // a first sample, this run
    // Uncompressed pictures stored bottom-up arrive with their row length
    // and count here: the file says top-down, so their rows are turned.
    int flipStride = 0;
    int flipRows = 0;
    std::vector<BYTE> flipped;

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        media::MuxStreamDesc d;
        return Describe(mt, d) ? S_OK : S_FALSE;
    }
    HRESULT CompleteConnect(IPin*) override {
        m_mux.OnInputConnected();
        return S_OK;
    }
    void BreakConnect() override {
        InputPin::BreakConnect();
        m_mux.OnInputDisconnected();
    }
    HRESULT OnReceive(IMediaSample* sample) override { return m_mux.Write(*this, sample); }
    HRESULT OnEndOfStream() override { return m_mux.EndOfStream(*this); }
    void OnBeginFlush() override { m_mux.Write(*this, nullptr); }

private:
    AviMux& m_mux;
};

class MuxOutputPin final : public dshow::OutputPin {
public:
    explicit MuxOutputPin(AviMux& mux) : OutputPin(mux, u"AVI Out") {}
    IStream* Stream() const { return m_stream.Get(); }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        return IsEqualGUID(mt.majortype, MEDIATYPE_Stream) &&
                       (IsEqualGUID(mt.subtype, MEDIASUBTYPE_Avi) || IsEqualGUID(mt.subtype, GUID_NULL))
                   ? S_OK
                   : S_FALSE;
    }
    bool GetMediaType(size_t index, MediaType& out) override {
        if (index) return false;
        out = MediaType();
        out.Edit().majortype = MEDIATYPE_Stream;
        out.Edit().subtype = MEDIASUBTYPE_Avi;
        out.Edit().formattype = FORMAT_None;
        out.Edit().lSampleSize = 1;
        return true;
    }
    bool UsesAllocator() const override { return false; }
    void DecideBufferSize(ALLOCATOR_PROPERTIES&) override {}
    // The file is written at positions of our choosing: only a peer with
    // IStream (the file writer's input) can take that.
    HRESULT CompleteConnect(IPin* peer) override {
        return SUCCEEDED(peer->QueryInterface(IID_IStream, m_stream.PutVoid())) ? S_OK : VFW_E_NO_TRANSPORT;
    }
    void BreakConnect() override { m_stream = nullptr; }

private:
    com::ComPtr<IStream> m_stream;
};

AviMux::AviMux() : BaseFilter(CLSID_AviDest), m_output(std::make_unique<MuxOutputPin>(*this)) {
    m_inputs.push_back(std::make_unique<MuxInputPin>(*this, u"Input 01"));
}

AviMux::~AviMux() = default;

HRESULT AviMux::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<AviMux>(iid, out);
}

size_t AviMux::PinCount() { return m_inputs.size() + 1; }

dshow::BasePin* AviMux::PinAt(size_t index) {
    if (index < m_inputs.size()) return m_inputs[index].get();
    return m_output.get();
}

void AviMux::OnInputConnected() {
    // Under the state lock (connections happen there).
    m_duration = 0;
    for (const auto& pin : m_inputs)
        if (!pin->IsConnected()) return;
    const size_t n = m_inputs.size() + 1;
    std::u16string name = u"Input ";
    name += static_cast<char16_t>(u'0' + (n / 10) % 10);
    name += static_cast<char16_t>(u'0' + n % 10);
    m_inputs.push_back(std::make_unique<MuxInputPin>(*this, name));
}

HRESULT AviMux::OnActivate() {
    std::lock_guard<std::mutex> lock(m_mux);
    m_stopping = false;
    m_finished = false;
    m_failure = S_OK;
    m_muxer.reset();
    m_sink.reset();
    for (auto& pin : m_inputs) {
        pin->stream = -1;
        pin->nextPts = 0;
        pin->lastTime = 0;
        pin->ended = false;
        pin->written = false;
    }
    if (!m_output->Stream()) return S_OK;  // nowhere to write
    return dshow::MediaGuard([&] {
        m_sink = std::make_unique<StreamSink>(m_output->Stream());
        auto muxer = std::make_unique<media::Muxer>("avi", *m_sink, false);
        for (auto& pin : m_inputs) {
            media::MuxStreamDesc d;
            if (!pin->IsConnected() || !Describe(pin->ConnectedType().Get(), d)) continue;
            pin->stream = muxer->AddStream(d);
            pin->video = d.type == AVMEDIA_TYPE_VIDEO;
            pin->unit = pin->video ? av_inv_q(d.frameRate) : AVRational{1, d.sampleRate};
            pin->blockAlign = d.blockAlign;
            pin->flipStride = pin->flipRows = 0;
            const AM_MEDIA_TYPE& mt = pin->ConnectedType().Get();
            if (pin->video && d.codec == AV_CODEC_ID_RAWVIDEO) {
                // FFmpeg's AVI writer declares uncompressed RGB top-down
                // (a negative height); DirectShow's positive height means
                // the rows come bottom-up.
                const auto& bih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
                if (bih.biHeight > 0) {
                    pin->flipStride = ((bih.biWidth * bih.biBitCount / 8) + 3) & ~3;
                    pin->flipRows = bih.biHeight;
                }
            }
        }
        muxer->Begin();
        m_muxer = std::move(muxer);
        return S_OK;
    });
}

void AviMux::OnDeactivate() {
    std::unique_lock<std::mutex> lock(m_mux);
    m_stopping = true;
    m_turn.notify_all();
    // Stopped before the end: the file is finished with what it has.
    if (m_muxer && !m_finished) FinishLocked();
    m_muxer.reset();
    m_sink.reset();
}

bool AviMux::AllEnded() const {
    for (const auto& pin : m_inputs)
        if (pin->stream >= 0 && !pin->ended) return false;
    return true;
}

void AviMux::FinishLocked() {
    m_finished = true;
    const HRESULT hr = dshow::MediaGuard([&] {
        m_muxer->Finish();
        return S_OK;
    });
    if (FAILED(hr) && SUCCEEDED(m_failure)) m_failure = hr;
    m_sink->Commit();
}

void AviMux::WaitForTurn(std::unique_lock<std::mutex>& lock, MuxInputPin& pin, REFERENCE_TIME start) {
    for (;;) {
        if (m_stopping || pin.Flushing()) return;
        bool behind = false;
        for (const auto& other : m_inputs)
            if (other.get() != &pin && other->stream >= 0 && !other->ended && start > other->lastTime + kLead)
                behind = true;
        if (!behind) return;
        // Woken by the other inputs; the bound only re-checks flags.
        m_turn.wait_for(lock, std::chrono::milliseconds(200));
    }
}

HRESULT AviMux::Write(MuxInputPin& pin, IMediaSample* sample) {
    std::unique_lock<std::mutex> lock(m_mux);
    if (!sample) {  // a flush: wake a waiting input
        m_turn.notify_all();
        return S_OK;
    }
    if (!m_muxer || pin.stream < 0 || m_finished) return m_stopping ? VFW_E_WRONG_STATE : S_FALSE;
    if (FAILED(m_failure)) return m_failure;

    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (timed) WaitForTurn(lock, pin, start);
    if (m_stopping || m_finished) return VFW_E_WRONG_STATE;
    if (pin.Flushing()) return S_FALSE;

    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const int size = sample->GetActualDataLength();
    if (pin.flipStride > 0 && data && size >= pin.flipStride * pin.flipRows) {
        const size_t stride = static_cast<size_t>(pin.flipStride);
        pin.flipped.resize(static_cast<size_t>(size));
        for (int row = 0; row < pin.flipRows; ++row)
            std::memcpy(pin.flipped.data() + row * stride, data + (pin.flipRows - 1 - row) * stride, stride);
        data = pin.flipped.data();
    }
    int64_t pts = pin.nextPts;
    int64_t duration = 1;
    if (timed) pts = std::max(pin.nextPts, av_rescale_q_rnd(start, AVRational{1, kUnits}, pin.unit, AV_ROUND_NEAR_INF));
    if (!pin.video) {
        if (pin.blockAlign > 0 && IsEqualGUID(pin.ConnectedType().Get().subtype, MEDIASUBTYPE_PCM))
            duration = size / pin.blockAlign;
        else if (timed && stop > start)
            duration = std::max<int64_t>(1, av_rescale_q_rnd(stop - start, AVRational{1, kUnits}, pin.unit, AV_ROUND_NEAR_INF));
    }
    const bool key = sample->IsSyncPoint() == S_OK;
    const HRESULT hr = dshow::MediaGuard([&] {
        m_muxer->Write(pin.stream, data, size, pts, duration, key);
        return S_OK;
    });
    if (FAILED(hr)) {
        // A write that fails (disk full) ends the conversion with an error.
        m_failure = hr;
        lock.unlock();
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    if (!pin.written)
        dshow::SendStartMark(pin.video ? "AVI mux: first video sample written" : "AVI mux: first audio sample written");
    pin.written = true;
    pin.nextPts = pts + (pin.video ? 1 : duration);
    pin.lastTime = timed ? std::max(stop, start) : av_rescale_q(pin.nextPts, pin.unit, AVRational{1, kUnits});
    m_turn.notify_all();
    return S_OK;
}

HRESULT AviMux::EndOfStream(MuxInputPin& pin) {
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(m_mux);
        pin.ended = true;
        m_turn.notify_all();
        if (m_muxer && !m_finished && AllEnded()) {
            FinishLocked();
            done = true;
        }
    }
    // The writer closes the file and the graph hears of the end.
    if (done) m_output->DeliverEndOfStream();
    return S_OK;
}

HRESULT AviMux::ReadPosition(LONGLONG* position) {
    std::lock_guard<std::mutex> lock(m_mux);
    LONGLONG least = -1, most = 0;
    for (const auto& pin : m_inputs) {
        if (pin->stream < 0) continue;
        most = std::max(most, pin->lastTime);
        if (!pin->ended) least = least < 0 ? pin->lastTime : std::min(least, pin->lastTime);
    }
    *position = least < 0 ? most : least;
    return S_OK;
}

HRESULT AviMux::ReadDuration(LONGLONG* duration) {
    if (m_duration <= 0) {
        LONGLONG best = 0;
        for (size_t i = 0; i < m_inputs.size(); ++i)
            if (m_inputs[i]->IsConnected()) best = std::max(best, dshow::UpstreamDuration(m_inputs[i].get()));
        m_duration = best;
    }
    *duration = m_duration;
    return *duration > 0 ? S_OK : E_NOTIMPL;
}

}  // namespace plat
