#include "platform/filters/VideoCompressor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/com/WinText.h"
#include "platform/ClassIds.h"
#include "platform/core/MediaError.h"
#include "platform/core/TrackReader.h"
#include "platform/dshow/MediaResult.h"

namespace plat {

using dshow::MediaType;

VideoCompressor::VideoCompressor(size_t index)
    : CatalogueCompressor(kVideoCompressorClsids[index], index, CLSID_VideoCompressorPage) {
    LoadSettings();
}

bool VideoCompressor::ReadInput(const AM_MEDIA_TYPE& mt, Input& in) {
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || !IsEqualGUID(mt.formattype, FORMAT_VideoInfo) ||
        !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    const BITMAPINFOHEADER& b = vih->bmiHeader;
    if (b.biCompression != BI_RGB) return false;
    if (IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB32) && b.biBitCount == 32) in.format = AV_PIX_FMT_BGRA;
    else if (IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24) && b.biBitCount == 24) in.format = AV_PIX_FMT_BGR24;
    else return false;
    in.width = b.biWidth;
    in.height = std::abs(b.biHeight);
    in.bottomUp = b.biHeight > 0;
    in.stride = ((b.biWidth * b.biBitCount / 8) + 3) & ~3;
    in.frameTime = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : 400000;
    return in.width > 0 && in.height > 0;
}

HRESULT VideoCompressor::AcceptInput(const AM_MEDIA_TYPE& mt) {
    Input in;
    if (!ReadInput(mt, in)) return S_FALSE;
    return media::AcceptsPicture(m_codec, in.width, in.height, media::RateOfFrameDuration(in.frameTime)) ? S_OK
                                                                                                           : S_FALSE;
}

media::VideoEncodeSettings VideoCompressor::EncoderSettings(const Input& in) const {
    media::VideoEncodeSettings s;
    s.encoder = m_codec.encoder;
    s.fourcc = m_codec.fourcc;
    s.pixelFormat = media::EncoderPixelFormat(m_codec, in.width, in.height);
    s.width = in.width;
    s.height = in.height;
    s.rate = media::RateOfFrameDuration(in.frameTime);
    if (m_settings.useQuality) s.quality = m_settings.quality;
    else s.bitRate = static_cast<int64_t>(m_settings.bitRateKbps) * 1000;
    s.keyInterval = m_settings.keyInterval;
    return s;
}

namespace {

// Converted pictures waiting for the encoding thread.
constexpr size_t kPendingPictures = 2;

bool SameSettings(const media::VideoEncodeSettings& a, const media::VideoEncodeSettings& b) {
    return a.encoder == b.encoder && a.fourcc == b.fourcc && a.pixelFormat == b.pixelFormat && a.width == b.width &&
           a.height == b.height && av_cmp_q(a.rate, b.rate) == 0 && a.bitRate == b.bitRate &&
           a.quality == b.quality && a.keyInterval == b.keyInterval && a.threads == b.threads && !a.configure &&
           !b.configure;
}

}  // namespace

void VideoCompressor::OpenEncoder() {
    CloseEncoder();
    ReadInput(InputType().Get(), m_in);
    const media::VideoEncodeSettings settings = EncoderSettings(m_in);
    {
        std::lock_guard<std::mutex> hold(m_probeLock);
        if (m_probe && SameSettings(m_probeSettings, settings)) m_encoder.emplace(std::move(*m_probe));
        m_probe.reset();
    }
    if (!m_encoder) m_encoder.emplace(settings);
    m_next = 0;
    m_quit = m_flushed = m_failed = false;
    const HRESULT hr = m_encodeThread.Start([this] { EncodeLoop(); });
    if (FAILED(hr)) {
        m_encoder.reset();
        media::Fail(media::ErrorKind::Internal, "The encoding thread could not be started");
    }
}

void VideoCompressor::CloseEncoder() {
    {
        std::lock_guard<std::mutex> lock(m_jobLock);
        m_quit = true;
    }
    m_jobWake.notify_all();
    m_encodeThread.Join();
    m_jobs.clear();
    m_encoder.reset();
}

void VideoCompressor::EncodeLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_jobLock);
            m_jobWake.wait(lock, [&] { return m_quit || !m_jobs.empty(); });
            if (m_quit) return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        const bool flush = !job.frame;
        HRESULT hr = S_OK;
        if (!m_failed) {
            hr = dshow::MediaGuard([&] {
                const media::EncodedSink send = [&](const media::EncodedPacket& p) { Send(p); };
                if (flush) m_encoder->Finish(send);
                else m_encoder->EncodeFrame(job.frame.get(), job.index, send);
                return S_OK;
            });
        }
        if (FAILED(hr)) {
            // Said once; the delivering thread is refused from now on.
            m_failed = true;
            m_deliveryResult = hr;
            NotifyEvent(EC_ERRORABORT, hr, 0);
        }
        {
            std::lock_guard<std::mutex> lock(m_jobLock);
            if (flush) m_flushed = true;
            else m_spareFrames.push_back(std::move(job.frame));
        }
        m_jobWake.notify_all();
    }
}

MediaType VideoCompressor::MakeOutputType() {
    Input in;
    if (!ReadInput(InputType().Get(), in)) return MediaType();
    // The encoder, opened once, gives the extradata the type carries.
    const media::VideoEncodeSettings settings = EncoderSettings(in);
    std::vector<uint8_t> extra;
    {
        std::lock_guard<std::mutex> hold(m_probeLock);
        if (!m_probe || !SameSettings(m_probeSettings, settings)) {
            m_probe.reset();
            m_probe.emplace(settings);
            m_probeSettings = settings;
        }
        extra = m_probe->Extradata();
    }

    std::vector<BYTE> format(sizeof(VIDEOINFOHEADER) + extra.size());
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(format.data());
    vih->AvgTimePerFrame = in.frameTime;
    vih->dwBitRate = m_settings.useQuality ? 0 : static_cast<DWORD>(m_settings.bitRateKbps) * 1000;
    BITMAPINFOHEADER& b = vih->bmiHeader;
    b.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + extra.size());
    b.biWidth = in.width;
    b.biHeight = in.height;
    b.biPlanes = 1;
    b.biBitCount = 24;
    b.biCompression = m_codec.fourcc;
    b.biSizeImage = static_cast<DWORD>(in.width) * in.height * 3;
    if (!extra.empty()) std::memcpy(format.data() + sizeof(VIDEOINFOHEADER), extra.data(), extra.size());

    MediaType mt;
    mt.Edit().majortype = MEDIATYPE_Video;
    mt.Edit().subtype = com::SubtypeFromFourCC(m_codec.fourcc);
    mt.Edit().bFixedSizeSamples = FALSE;
    mt.Edit().bTemporalCompression = m_codec.defaultBitRateKbps ? TRUE : FALSE;
    mt.SetFormat(FORMAT_VideoInfo, format.data(), format.size());
    return mt;
}

void VideoCompressor::OutputBuffers(ALLOCATOR_PROPERTIES& p) {
    Input in;
    ReadInput(InputType().Get(), in);
    p.cBuffers = std::max<LONG>(p.cBuffers, 4);
    // Lossless frames of noise may exceed the raw picture a little.
    p.cbBuffer = std::max<LONG>(p.cbBuffer, in.width * in.height * 4 + 65536);
}

void VideoCompressor::Send(const media::EncodedPacket& p) {
    Deliver(p, p.pts * m_in.frameTime, (p.pts + p.duration) * m_in.frameTime);
}

void VideoCompressor::Encode(const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) {
    if (!m_encoder || size < m_in.stride * m_in.height) return;
    Queue(timed, start, [&](AVFrame* frame) { m_encoder->Convert(data, m_in.format, m_in.stride, m_in.bottomUp, frame); });
}

bool VideoCompressor::EncodePlanes(const AVFrame& planes, bool timed, REFERENCE_TIME start) {
    if (planes.width != m_in.width || planes.height != m_in.height) return false;
    if (m_encoder) Queue(timed, start, [&](AVFrame* frame) { m_encoder->ConvertPlanes(planes, frame); });
    return true;
}

void VideoCompressor::Queue(bool timed, REFERENCE_TIME start, const std::function<void(AVFrame*)>& convert) {
    // Frame numbers from the times, so a dropped input frame stays a gap.
    int64_t index = m_next;
    if (timed) index = std::max(m_next, (start + m_in.frameTime / 2) / m_in.frameTime);
    m_next = index + 1;

    media::FramePtr frame;
    {
        std::unique_lock<std::mutex> lock(m_jobLock);
        m_jobWake.wait(lock, [&] { return m_quit || m_jobs.size() < kPendingPictures; });
        if (m_quit) return;
        if (!m_spareFrames.empty()) {
            frame = std::move(m_spareFrames.back());
            m_spareFrames.pop_back();
        }
    }
    if (!frame) frame = media::MakeFrame();
    convert(frame.get());
    {
        std::lock_guard<std::mutex> lock(m_jobLock);
        m_jobs.push_back(Job{std::move(frame), index});
    }
    m_jobWake.notify_all();
}

void VideoCompressor::FinishEncoding() {
    if (!m_encoder) return;
    // Every picture handed over is encoded, then the encoder's last
    // packets, before the end of the stream goes on.
    std::unique_lock<std::mutex> lock(m_jobLock);
    m_flushed = false;
    m_jobs.push_back(Job{});
    m_jobWake.notify_all();
    m_jobWake.wait(lock, [&] { return m_quit || m_flushed; });
}

}  // namespace plat
