// The send/receive loop of FFmpeg's codec API, written once for decoders
// and encoders: EAGAIN, end of stream and the flush (a null input) are
// handled here and nowhere else.
#pragma once

#include <functional>

#include "platform/core/FfmpegPtr.h"

namespace media {

using FrameSink = std::function<void(AVFrame* frame)>;
using PacketSink = std::function<void(AVPacket* packet)>;

// A codec context that decodes or encodes; opened by the constructor.
class Codec {
public:
    // Decoder for a demuxed stream; threads 0 lets FFmpeg choose.
    static Codec OpenDecoder(const AVCodecParameters& par, int threads);
    // Encoder; configure sets the context's fields before it opens.
    static Codec OpenEncoder(const AVCodec* codec, const std::function<void(AVCodecContext&)>& configure);

    AVCodecContext* Get() const { return m_ctx.get(); }
    AVCodecContext* operator->() const { return m_ctx.get(); }

    // Feeds one packet (null: end of input) and hands over each frame.
    // Damaged packets are skipped: one bad frame never ends a conversion.
    void Decode(const AVPacket* packet, const FrameSink& sink);
    // Feeds one frame (null: end of input) and hands over each packet.
    void Encode(const AVFrame* frame, const PacketSink& sink);

private:
    explicit Codec(CodecContextPtr ctx);
    CodecContextPtr m_ctx;
    FramePtr m_frame;
    PacketPtr m_packet;
    bool m_flushed = false;
};

}  // namespace media
