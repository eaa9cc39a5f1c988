#include "platform/filters/TimelineSource.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>

#include "platform/dshow/MediaResult.h"
#include "platform/dshow/PictureSample.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Seeking.h"
#include "platform/dshow/StartMark.h"
#include "platform/dshow/WorkerThread.h"

namespace plat {

using dshow::MediaType;

namespace {

constexpr LONGLONG kUnits = 10000000;  // reference time per second

// The front end's own class; not registered, only the render engine makes it.
const CLSID kTimelineSourceClsid = {0x8bc5a1a4, 0x2d39, 0x4d4c, {0x9d, 0x50, 0x6e, 0x61, 0x30, 0x1b, 0x4f, 0x11}};

REFERENCE_TIME FrameTime(int64_t n, AVRational rate) {
    return av_rescale(n, kUnits * rate.den, rate.num);
}

BYTE* SampleBuffer(IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) media::Fail(media::ErrorKind::Internal, "A sample has no buffer");
    return data;
}

// Decodes and converts the next pictures on a thread of its own while the
// pin delivers this one, so that reading overlaps with the compressing
// downstream. The pictures wait as the reader converted them, not in
// samples: filters downstream may share the pin's allocator and need its
// buffers. Each is copied once, into its sample. For a peer that takes
// planes, pictures the reader would convert straight from their planes
// wait as planes, and go to samples of ours as such (see PictureSample.h).
class PictureReadAhead {
public:
    PictureReadAhead(media::VideoTrackReader& reader, bool planes) : m_reader(reader), m_planes(planes) {}
    ~PictureReadAhead() {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.Join();
    }
    HRESULT Start() { return m_thread.Start([this] { Run(); }); }

    // Puts the next picture into the sample (bytes of them); false after
    // the last one. Throws what reading threw.
    bool Next(IMediaSample* sample, size_t bytes) {
        Picture picture;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return !m_ready.empty() || m_end; });
            if (m_ready.empty()) {
                if (m_error) std::rethrow_exception(m_error);
                return false;
            }
            picture = std::move(m_ready.front());
            m_ready.pop_front();
        }
        m_wake.notify_all();
        if (picture.planar.planes) {
            com::ComPtr<dshow::IPictureSample> ours;
            if (SUCCEEDED(sample->QueryInterface(dshow::kPictureSampleIid, ours.PutVoid())) &&
                ours->SetPlanes(std::move(picture.planar)) == S_OK)
                return true;
        }
        BYTE* dst = SampleBuffer(sample);
        if (picture.planar.planes) picture.planar.WriteRgb(dst);
        else if (picture.rgb->data[0]) media::CopyBottomUp(*picture.rgb, dst);
        else std::memset(dst, 0, bytes);
        sample->SetActualDataLength(static_cast<LONG>(bytes));
        return true;  // dropping the reference gives the picture back to the reader
    }

private:
    static constexpr size_t kAhead = 3;

    void Run() {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_wake.wait(lock, [&] { return m_ready.size() < kAhead || m_quit; });
                if (m_quit) return;
            }
            bool got = false;
            std::exception_ptr error;
            Picture picture;
            try {
                picture.rgb = media::MakeFrame();
                got = m_planes ? m_reader.Next(picture.rgb.get(), &picture.planar) : m_reader.Next(picture.rgb.get());
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(m_lock);
                if (got) {
                    if (!m_marked) dshow::SendStartMark("source: first picture decoded");
                    m_marked = true;
                    m_ready.push_back(std::move(picture));
                } else {
                    m_error = error;
                    m_end = true;
                }
            }
            m_wake.notify_all();
            if (!got) return;
        }
    }

    // A converted picture (empty for black), or planes.
    struct Picture {
        media::FramePtr rgb;
        media::PlanarPicture planar;
    };

    media::VideoTrackReader& m_reader;
    const bool m_planes;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Picture> m_ready;
    bool m_end = false, m_quit = false, m_marked = false;
    std::exception_ptr m_error;
    dshow::WorkerThread m_thread;
};

}  // namespace

MediaType MediaTypeOf(const SourceGroup& g) {
    if (g.video) {
        // Positive height: bottom-up.
        MediaType mt =
            com::Rgb32VideoType(g.videoTarget.width, g.videoTarget.height, FrameTime(1, g.videoTarget.rate));
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.Edit().pbFormat);
        vih->dwBitRate = static_cast<DWORD>(std::min<double>(
            4294967295.0, vih->bmiHeader.biSizeImage * 8.0 * av_q2d(g.videoTarget.rate)));
        return mt;
    }
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = static_cast<WORD>(g.audioTarget.channels);
    wfx.nSamplesPerSec = static_cast<DWORD>(g.audioTarget.sampleRate);
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = static_cast<WORD>(g.audioTarget.BytesPerFrame());
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
    MediaType mt;
    AM_MEDIA_TYPE& m = mt.Edit();
    m.majortype = MEDIATYPE_Audio;
    m.subtype = MEDIASUBTYPE_PCM;
    m.bFixedSizeSamples = TRUE;
    m.lSampleSize = wfx.nBlockAlign;
    mt.SetFormat(FORMAT_WaveFormatEx, &wfx, sizeof wfx);
    return mt;
}

// One group's stream, pushed by a thread of its own from pause to stop.
class SourcePin final : public dshow::OutputPin, public dshow::SeekingBase {
public:
    SourcePin(TimelineSource& filter, SourceGroup group, std::u16string name)
        : OutputPin(filter, std::move(name)), m_group(std::move(group)), m_type(MediaTypeOf(m_group)) {}

    DSHOW_PIN_UNKNOWN(BasePin)

    HRESULT Active() override {
        HRESULT hr = OutputPin::Active();
        if (FAILED(hr) || !IsConnected()) return hr;
        m_stop = false;
        m_position = 0;
        return m_thread.Start([this] { Stream(); });
    }
    void Inactive() override {
        m_stop = true;
        OutputPin::Inactive();  // decommitting wakes a thread waiting for a buffer
        m_thread.Join();
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        const AM_MEDIA_TYPE& ours = m_type.Get();
        if (!IsEqualGUID(mt.majortype, ours.majortype) || !IsEqualGUID(mt.subtype, ours.subtype) ||
            !IsEqualGUID(mt.formattype, ours.formattype) || !mt.pbFormat)
            return S_FALSE;
        if (m_group.video) {
            if (mt.cbFormat < sizeof(VIDEOINFOHEADER)) return S_FALSE;
            const auto& a = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
            const auto& b = reinterpret_cast<const VIDEOINFOHEADER*>(ours.pbFormat)->bmiHeader;
            return a.biWidth == b.biWidth && a.biHeight == b.biHeight && a.biBitCount == b.biBitCount ? S_OK : S_FALSE;
        }
        if (mt.cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD)) return S_FALSE;
        const auto* a = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
        const auto* b = reinterpret_cast<const WAVEFORMATEX*>(ours.pbFormat);
        return a->wFormatTag == b->wFormatTag && a->nChannels == b->nChannels &&
                       a->nSamplesPerSec == b->nSamplesPerSec && a->wBitsPerSample == b->wBitsPerSample
                   ? S_OK
                   : S_FALSE;
    }
    bool GetMediaType(size_t index, MediaType& out) override {
        if (index != 0) return false;
        out = m_type;
        return true;
    }
    void DecideBufferSize(ALLOCATOR_PROPERTIES& p) override {
        if (m_group.video) {
            p.cBuffers = std::max<LONG>(p.cBuffers, 3);
            p.cbBuffer = static_cast<LONG>(m_type.Get().lSampleSize);
        } else {
            p.cBuffers = std::max<LONG>(p.cBuffers, 4);
            p.cbBuffer = static_cast<LONG>(ChunkFrames() * m_group.audioTarget.BytesPerFrame());
        }
    }
    void* QueryExtra(REFIID iid) override {
        return IsEqualIID(iid, IID_IMediaSeeking) ? static_cast<IMediaSeeking*>(this) : nullptr;
    }
    HRESULT ReadDuration(LONGLONG* d) override {
        *d = m_group.length;
        return S_OK;
    }
    HRESULT ReadPosition(LONGLONG* p) override {
        *p = m_position.load();
        return S_OK;
    }

private:
    int ChunkFrames() const { return std::max(1, m_group.audioTarget.sampleRate / 20); }
    bool PeerTakesPlanes() {
        com::ComPtr<IUnknown> takes;
        return m_peer && SUCCEEDED(m_peer->QueryInterface(dshow::kTakesPicturePlanes, takes.PutVoid()));
    }

    void Stream() {
        if (m_group.video) dshow::SendStartMark("source: video streaming thread started");
        const HRESULT hr = dshow::MediaGuard([&] { return m_group.video ? PushVideo() : PushAudio(); });
        if (m_stop) return;
        // A source that fails says so, then ends its stream as sources do.
        if (FAILED(hr)) m_filter.NotifyEvent(EC_ERRORABORT, hr, 0);
        if (hr != S_FALSE) DeliverEndOfStream();
    }

    // S_OK at the end of the data, S_FALSE when delivery stopped, or a failure.
    HRESULT Send(IMediaSample* sample, REFERENCE_TIME start, REFERENCE_TIME stop, bool first) {
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(first ? TRUE : FALSE);
        const HRESULT hr = Deliver(sample);
        sample->Release();
        if (hr != S_OK) return S_FALSE;
        m_position = stop;
        return S_OK;
    }

    HRESULT PushVideo() {
        const media::VideoTarget& t = m_group.videoTarget;
        std::optional<media::VideoTrackReader> reader;
        if (m_group.open) reader.emplace(m_group.open, t, m_group.range);
        dshow::SendStartMark("source: video opened");
        const int64_t frames = reader ? reader->FrameCount()
                                      : media::FramesIn(m_group.length / 10, t.rate);
        const size_t bytes = static_cast<size_t>(t.width) * t.height * 4;
        std::optional<PictureReadAhead> ahead;
        if (reader) {
            ahead.emplace(*reader, PeerTakesPlanes());
            const HRESULT hr = ahead->Start();
            if (FAILED(hr)) return hr;
        }
        for (int64_t n = 0; !m_stop && (frames < 0 || n < frames); ++n) {
            IMediaSample* sample = nullptr;
            if (GetDeliveryBuffer(&sample) != S_OK) return S_FALSE;
            bool got = true;
            try {
                if (ahead) {
                    got = ahead->Next(sample, bytes);
                } else {
                    std::memset(SampleBuffer(sample), 0, bytes);
                    sample->SetActualDataLength(static_cast<LONG>(bytes));
                }
            } catch (...) {
                sample->Release();
                throw;
            }
            if (!got) {
                sample->Release();
                break;
            }
            if (n == 0) dshow::SendStartMark("source: first video sample sent");
            if (Send(sample, FrameTime(n, t.rate), FrameTime(n + 1, t.rate), n == 0) != S_OK) return S_FALSE;
        }
        return m_stop ? S_FALSE : S_OK;
    }

    HRESULT PushAudio() {
        const media::AudioTarget& t = m_group.audioTarget;
        std::optional<media::AudioTrackReader> reader;
        if (m_group.open) reader.emplace(m_group.open, t, m_group.range);
        const int64_t total = reader ? reader->SampleCount() : media::SamplesIn(m_group.length / 10, t.sampleRate);
        int64_t done = 0;
        while (!m_stop && (total < 0 || done < total)) {
            IMediaSample* sample = nullptr;
            if (GetDeliveryBuffer(&sample) != S_OK) return S_FALSE;
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            int want = ChunkFrames();
            if (total >= 0) want = static_cast<int>(std::min<int64_t>(want, total - done));
            int got = want;
            try {
                if (reader) got = reader->Read(reinterpret_cast<int16_t*>(data), want);
                else std::memset(data, 0, static_cast<size_t>(want) * t.BytesPerFrame());
            } catch (...) {
                sample->Release();
                throw;
            }
            if (got <= 0) {
                sample->Release();
                break;
            }
            sample->SetActualDataLength(got * t.BytesPerFrame());
            const REFERENCE_TIME start = av_rescale(done, kUnits, t.sampleRate);
            const REFERENCE_TIME stop = av_rescale(done + got, kUnits, t.sampleRate);
            if (Send(sample, start, stop, done == 0) != S_OK) return S_FALSE;
            done += got;
        }
        return m_stop ? S_FALSE : S_OK;
    }

    SourceGroup m_group;
    MediaType m_type;
    dshow::WorkerThread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int64_t> m_position{0};
};

TimelineSource::TimelineSource() : BaseFilter(kTimelineSourceClsid) {}
TimelineSource::~TimelineSource() = default;

HRESULT TimelineSource::Create(std::vector<SourceGroup> groups, TimelineSource** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return com::ComGuard([&] {
        // Held from birth: a pin that fails to construct frees the filter.
        auto filter = com::ComPtr<TimelineSource>::Adopt(new TimelineSource());
        for (size_t i = 0; i < groups.size(); ++i) {
            const std::u16string name = (groups[i].video ? u"Video " : u"Audio ") + std::u16string(1, char16_t(u'0' + i));
            filter->m_pins.push_back(std::make_unique<SourcePin>(*filter.Get(), std::move(groups[i]), name));
        }
        *out = filter.Detach();
        return S_OK;
    });
}

IPin* TimelineSource::Pin(size_t index) { return index < m_pins.size() ? m_pins[index].get() : nullptr; }

dshow::BasePin* TimelineSource::PinAt(size_t index) { return m_pins[index].get(); }

}  // namespace plat
