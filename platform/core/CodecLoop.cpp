#include "platform/core/CodecLoop.h"

#include <string>

#include "platform/core/MediaError.h"

namespace media {

namespace {

// send() and receive() return AVERROR codes. Output is drained after every
// send, so a send that reports EAGAIN is retried once after draining.
template <class Send, class Receive, class Out, class Sink>
void Pump(Send&& send, Receive&& receive, Out* out, Sink&& sink, bool skipDamaged, const char* what) {
    auto drain = [&] {
        for (;;) {
            const int r = receive(out);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
            if (r == AVERROR_INVALIDDATA && skipDamaged) continue;
            Check(r, what);
            sink(out);
        }
    };
    int r = send();
    if (r == AVERROR(EAGAIN)) {
        drain();
        r = send();
    }
    if (r == AVERROR_EOF) r = 0;  // already flushed
    if (r < 0 && !(skipDamaged && r == AVERROR_INVALIDDATA)) Check(r, what);
    drain();
}

}  // namespace

Codec::Codec(CodecContextPtr ctx) : m_ctx(std::move(ctx)), m_frame(MakeFrame()), m_packet(MakePacket()) {}

Codec Codec::OpenDecoder(const AVCodecParameters& par, int threads) {
    const AVCodec* codec = avcodec_find_decoder(par.codec_id);
    if (!codec)
        throw MediaError(ErrorKind::Unsupported,
                         std::string("No decoder for the stream's format (") + avcodec_get_name(par.codec_id) + ")");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    Check(avcodec_parameters_to_context(ctx.get(), &par), "Reading the stream's parameters");
    ctx->thread_count = threads;
    Check(avcodec_open2(ctx.get(), codec, nullptr), "Opening the decoder");
    return Codec(std::move(ctx));
}

Codec Codec::OpenEncoder(const AVCodec* codec, const std::function<void(AVCodecContext&)>& configure) {
    if (!codec) throw MediaError(ErrorKind::Unsupported, "The encoder is not available");
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    configure(*ctx);
    Check(avcodec_open2(ctx.get(), codec, nullptr), (std::string("Opening the ") + codec->name + " encoder").c_str());
    return Codec(std::move(ctx));
}

void Codec::Decode(const AVPacket* packet, const FrameSink& sink) {
    if (m_flushed) return;
    if (!packet) m_flushed = true;
    Pump([&] { return avcodec_send_packet(m_ctx.get(), packet); },
         [&](AVFrame* f) { return avcodec_receive_frame(m_ctx.get(), f); }, m_frame.get(),
         [&](AVFrame* f) {
             sink(f);
             av_frame_unref(f);
         },
         true, "Decoding");
}

void Codec::Encode(const AVFrame* frame, const PacketSink& sink) {
    if (m_flushed) return;
    if (!frame) m_flushed = true;
    Pump([&] { return avcodec_send_frame(m_ctx.get(), frame); },
         [&](AVPacket* p) { return avcodec_receive_packet(m_ctx.get(), p); }, m_packet.get(),
         [&](AVPacket* p) {
             sink(p);
             av_packet_unref(p);
         },
         false, "Encoding");
}

}  // namespace media
