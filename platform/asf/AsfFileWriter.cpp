#include "platform/asf/AsfFileWriter.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/core/MediaError.h"

namespace asfw {

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kDefaultFrameDuration = kUnitsPerSecond / 25;
// Converted pictures waiting for a video stream's encoding thread.
constexpr size_t kPendingPictures = 2;

}  // namespace

AVRational RateOfFrameDuration(int64_t frameDuration) {
    if (frameDuration <= 0) frameDuration = kDefaultFrameDuration;
    AVRational rate{};
    // The video encoders keep their time base within 16 bits.
    av_reduce(&rate.num, &rate.den, kUnitsPerSecond, frameDuration, 65535);
    return rate;
}

int EncodedWidth(const StreamPlan& plan, int width, int height, int64_t frameDuration) {
    const AVRational rate = RateOfFrameDuration(frameDuration);
    for (const int w : {width, width % 2 ? width - 1 : 0})
        if (w > 0 && media::VideoEncoderTakes(plan.encoder, AV_PIX_FMT_YUV420P, w, height, rate)) return w;
    return 0;
}

struct AsfFileWriter::Stream {
    size_t number = 0;
    StreamPlan plan;
    StreamInput input;
    std::unique_ptr<media::VideoEncoder> video;
    std::unique_ptr<media::AudioEncoder> audio;
    int muxIndex = -1;
    int64_t nextFrame = 0;  // video frames handed to the encoder
    int64_t samplesIn = 0;  // audio sample frames handed to the encoder
    bool ended = false;
    bool closing = false;   // video: the flush is queued; nothing more goes in

    // Video: converted pictures wait for the encoding thread (a job
    // without a picture flushes the encoder), its packets for the feeding
    // thread. All under jobLock.
    struct Job {
        media::FramePtr frame;
        int64_t index = 0;
    };
    struct Encoded {
        std::vector<uint8_t> data;
        int64_t pts = 0, duration = 0;
        bool key = false;
    };
    std::thread encoder;
    std::mutex jobLock;
    std::condition_variable jobWake;
    std::deque<Job> jobs;
    std::vector<media::FramePtr> spare;
    std::deque<Encoded> encoded;
    std::exception_ptr error;  // the encoder's failure, not yet thrown to a caller
    bool failed = false;       // the encoder failed: later pictures are dropped
    bool flushed = false;
    bool quit = false;

    int64_t Written() const {
        if (video) return nextFrame * (input.frameDuration > 0 ? input.frameDuration : kDefaultFrameDuration);
        return input.sampleRate > 0 ? samplesIn * kUnitsPerSecond / input.sampleRate : 0;
    }
};

AsfFileWriter::AsfFileWriter(media::ByteSink& sink, const std::vector<StreamPlan>& plans,
                             const std::vector<StreamInput>& inputs, EncodeHook hook)
    : m_encodeHook(std::move(hook)) {
    if (plans.empty() || plans.size() != inputs.size())
        media::Fail(media::ErrorKind::Internal, "Every profile stream needs its input");
    m_muxer = std::make_unique<media::Muxer>("asf", sink);
    for (size_t i = 0; i < plans.size(); ++i) {
        auto s = std::make_unique<Stream>();
        s->number = i;
        s->plan = plans[i];
        s->input = inputs[i];
        if (s->plan.video) {
            // A picture the encoder cannot take whole loses its last column.
            const int width = EncodedWidth(s->plan, s->input.width, s->input.height, s->input.frameDuration);
            if (width <= 0)
                media::Fail(media::ErrorKind::Unsupported, "The video encoder does not take this frame size");
            media::VideoEncodeSettings v;
            v.encoder = s->plan.encoder;
            v.fourcc = s->plan.tag;
            v.width = width;
            v.height = s->input.height;
            v.rate = RateOfFrameDuration(s->input.frameDuration);
            v.bitRate = s->plan.bitRate;
            const int64_t frame = s->input.frameDuration > 0 ? s->input.frameDuration : kDefaultFrameDuration;
            if (s->plan.keyFrameSpacing > 0)
                v.keyInterval = static_cast<int>(std::max<int64_t>(1, s->plan.keyFrameSpacing / frame));
            // The buffer window bounds how far the rate may stray, which
            // matters most at the start of a file.
            const int64_t bufferBits = s->plan.bitRate * s->plan.bufferMs / 1000;
            if (bufferBits > 0) {
                const int64_t rate = s->plan.bitRate;
                v.configure = [bufferBits, rate](AVCodecContext& c) {
                    c.rc_buffer_size = static_cast<int>(std::min<int64_t>(bufferBits, INT32_MAX));
                    c.rc_max_rate = rate;  // a constant-rate stream, as the profiles are
                };
            }
            s->video = std::make_unique<media::VideoEncoder>(v);
            s->muxIndex = m_muxer->AddStream(*s->video->Context());
        } else {
            media::AudioEncodeSettings a;
            a.encoder = s->plan.encoder;
            a.inputRate = s->input.sampleRate;
            a.inputChannels = s->input.channels;
            a.outputRate = s->plan.sampleRate;
            a.outputChannels = s->plan.channels;
            a.bitRate = s->plan.bitRate;
            s->audio = std::make_unique<media::AudioEncoder>(a);
            s->muxIndex = m_muxer->AddStream(*s->audio->Context());
        }
        m_streams.push_back(std::move(s));
    }
    m_muxer->Begin();
    try {
        for (auto& s : m_streams)
            if (s->video) s->encoder = std::thread([this, stream = s.get()] { EncodeLoop(*stream); });
    } catch (const std::system_error&) {
        StopEncoders();
        media::Fail(media::ErrorKind::Internal, "The encoding thread could not be started");
    }
}

AsfFileWriter::~AsfFileWriter() { StopEncoders(); }

void AsfFileWriter::StopEncoders() {
    for (auto& s : m_streams) {
        if (!s->encoder.joinable()) continue;
        {
            std::lock_guard<std::mutex> lock(s->jobLock);
            s->quit = true;
        }
        s->jobWake.notify_all();
        s->encoder.join();
    }
}

void AsfFileWriter::EncodeLoop(Stream& s) {
    for (;;) {
        Stream::Job job;
        bool failed = false;
        {
            std::unique_lock<std::mutex> lock(s.jobLock);
            s.jobWake.wait(lock, [&] { return s.quit || !s.jobs.empty(); });
            if (s.quit) return;
            job = std::move(s.jobs.front());
            s.jobs.pop_front();
            failed = s.failed;
        }
        const bool flush = !job.frame;
        std::vector<Stream::Encoded> out;
        std::exception_ptr error;
        if (!failed) {
            const media::EncodedSink keep = [&](const media::EncodedPacket& p) {
                out.push_back({std::vector<uint8_t>(p.data, p.data + p.size), p.pts, p.duration, p.key});
            };
            try {
                if (flush) {
                    s.video->Finish(keep);
                } else {
                    if (m_encodeHook) m_encodeHook(s.number, job.index);
                    s.video->EncodeFrame(job.frame.get(), job.index, keep);
                }
            } catch (...) {
                error = std::current_exception();
            }
        }
        {
            std::lock_guard<std::mutex> lock(s.jobLock);
            for (auto& e : out) s.encoded.push_back(std::move(e));
            if (error) {
                s.error = error;
                s.failed = true;
            }
            if (flush) s.flushed = true;
            else s.spare.push_back(std::move(job.frame));
        }
        s.jobWake.notify_all();
    }
}

void AsfFileWriter::WriteEncoded(Stream& s, bool end) {
    std::exception_ptr error;
    {
        // Under the writer's lock from taking to writing, so that two
        // callers (a stop during streaming) keep the packets in order, and
        // the last ones are written before the trailer.
        std::lock_guard<std::mutex> hold(m_lock);
        if (end) s.ended = true;
        std::deque<Stream::Encoded> ready;
        {
            std::lock_guard<std::mutex> lock(s.jobLock);
            ready.swap(s.encoded);
            error = s.error;
            s.error = nullptr;
        }
        if (!m_finished)
            for (const auto& e : ready)
                m_muxer->Write(s.muxIndex, e.data.data(), static_cast<int>(e.data.size()), e.pts, e.duration, e.key);
    }
    if (error) std::rethrow_exception(error);
}

void AsfFileWriter::FlushVideo(Stream& s) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_finished || s.ended) return;
        if (!s.closing) {
            s.closing = true;
            std::lock_guard<std::mutex> lock(s.jobLock);
            s.flushed = false;
            s.jobs.push_back(Stream::Job{});
        }
    }
    s.jobWake.notify_all();
    {
        std::unique_lock<std::mutex> lock(s.jobLock);
        s.jobWake.wait(lock, [&] { return s.flushed || s.quit; });
    }
    WriteEncoded(s, true);
}

void AsfFileWriter::WritePacket(Stream& s, const media::EncodedPacket& p) {
    m_muxer->Write(s.muxIndex, p.data, p.size, p.pts, p.duration, p.key);
}

void AsfFileWriter::Video(size_t stream, const uint8_t* picture, int stride, bool bottomUp, int64_t startTime) {
    // The streams and their encoders are fixed once made, and each stream
    // is fed by one thread: the picture is converted outside the writer's
    // lock, so that the other streams write meanwhile, and encoded on the
    // stream's own thread while the next one is converted.
    if (stream >= m_streams.size() || !m_streams[stream]->video) return;
    Stream& s = *m_streams[stream];
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_finished || s.ended || s.closing) return;
    }
    WriteEncoded(s);
    media::FramePtr frame;
    {
        std::unique_lock<std::mutex> lock(s.jobLock);
        s.jobWake.wait(lock, [&] { return s.quit || s.jobs.size() < kPendingPictures; });
        if (s.quit) return;
        if (!s.spare.empty()) {
            frame = std::move(s.spare.back());
            s.spare.pop_back();
        }
    }
    if (!frame) frame = media::MakeFrame();
    s.video->Convert(picture, AV_PIX_FMT_BGRA, stride, bottomUp, frame.get());
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_finished || s.ended || s.closing) return;
        const int64_t duration = s.input.frameDuration > 0 ? s.input.frameDuration : kDefaultFrameDuration;
        // The frame the time falls on; never one already written.
        int64_t index = startTime >= 0 ? (startTime + duration / 2) / duration : s.nextFrame;
        index = std::max(index, s.nextFrame);
        s.nextFrame = index + 1;
        std::lock_guard<std::mutex> lock(s.jobLock);
        s.jobs.push_back(Stream::Job{std::move(frame), index});
    }
    s.jobWake.notify_all();
}

void AsfFileWriter::Audio(size_t stream, const int16_t* pcm, int frames) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_finished || stream >= m_streams.size() || !m_streams[stream]->audio || m_streams[stream]->ended) return;
    Stream& s = *m_streams[stream];
    if (frames <= 0) return;
    s.audio->Encode(pcm, frames, [&](const media::EncodedPacket& p) { WritePacket(s, p); });
    s.samplesIn += frames;
}

bool AsfFileWriter::EndOfStream(size_t stream) {
    if (stream < m_streams.size() && m_streams[stream]->video) FlushVideo(*m_streams[stream]);
    std::lock_guard<std::mutex> hold(m_lock);
    if (stream < m_streams.size() && !m_streams[stream]->ended && !m_finished) {
        Stream& s = *m_streams[stream];
        s.ended = true;
        s.audio->Finish([&](const media::EncodedPacket& p) { WritePacket(s, p); });
    }
    return std::all_of(m_streams.begin(), m_streams.end(), [](const auto& s) { return s->ended; });
}

void AsfFileWriter::Finish() {
    // A failure still waiting for its stream's next call (the encoder
    // failed on the last picture before a stop) ends that stream like any
    // other; what was written is closed with its index and trailer, and
    // the failure is thrown after.
    std::exception_ptr failure;
    for (size_t i = 0; i < m_streams.size(); ++i) {
        try {
            EndOfStream(i);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_finished) {
            m_finished = true;
            try {
                m_muxer->Finish();
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
    }
    if (failure) std::rethrow_exception(failure);
}

int64_t AsfFileWriter::Position() const {
    std::lock_guard<std::mutex> hold(m_lock);
    int64_t running = std::numeric_limits<int64_t>::max(), all = 0;
    for (const auto& s : m_streams) {
        all = std::max(all, s->Written());
        if (!s->ended) running = std::min(running, s->Written());
    }
    return running == std::numeric_limits<int64_t>::max() ? all : running;
}

bool AsfFileWriter::Ahead(size_t stream, int64_t lead) const {
    std::lock_guard<std::mutex> hold(m_lock);
    if (stream >= m_streams.size()) return false;
    const int64_t mine = m_streams[stream]->Written();
    for (size_t i = 0; i < m_streams.size(); ++i)
        if (i != stream && !m_streams[i]->ended && mine > m_streams[i]->Written() + lead) return true;
    return false;
}

}  // namespace asfw
