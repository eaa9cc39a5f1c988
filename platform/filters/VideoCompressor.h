// A video compressor for one entry of the catalogue (MPEG-4 Part 2, Motion
// JPEG, Huffyuv, FFV1, MS-MPEG-4 v2/v3, DV): uncompressed RGB32 or RGB24
// in, the codec's frames out with its FourCC as subtype and in the
// BITMAPINFOHEADER, the encoder's extradata after it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/dshow/WorkerThread.h"
#include "platform/filters/CatalogueCompressor.h"

namespace plat {

class VideoCompressor final : public CatalogueCompressor<VideoCompressor, media::VideoCodecInfo,
                                                       media::VideoSettings, media::VideoCodecs> {
public:
    explicit VideoCompressor(size_t index);

    void OutputBuffers(ALLOCATOR_PROPERTIES& props) override;
    bool TakesPlanes() const override { return true; }

protected:
    HRESULT AcceptInput(const AM_MEDIA_TYPE& mt) override;
    void OpenEncoder() override;
    void CloseEncoder() override;
    dshow::MediaType MakeOutputType() override;
    void Encode(const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) override;
    bool EncodePlanes(const AVFrame& planes, bool timed, REFERENCE_TIME start) override;
    void FinishEncoding() override;

private:
    ~VideoCompressor() override { CloseEncoder(); }
    struct Input {
        int width = 0, height = 0;
        bool bottomUp = true;
        AVPixelFormat format = AV_PIX_FMT_BGRA;
        int stride = 0;
        REFERENCE_TIME frameTime = 400000;
    };
    static bool ReadInput(const AM_MEDIA_TYPE& mt, Input& in);
    media::VideoEncodeSettings EncoderSettings(const Input& in) const;
    void Send(const media::EncodedPacket& p);
    // Converts one picture into a frame for the encoding thread.
    void Queue(bool timed, REFERENCE_TIME start, const std::function<void(AVFrame*)>& convert);
    void EncodeLoop();

    std::optional<media::VideoEncoder> m_encoder;
    // The encoder opened for the output type, kept for the run when the
    // settings are still the same: opening one costs its threads' start.
    std::mutex m_probeLock;
    std::optional<media::VideoEncoder> m_probe;
    media::VideoEncodeSettings m_probeSettings;
    Input m_in;
    int64_t m_next = 0;

    // Pictures are encoded on a thread of their own while the delivering
    // thread converts the next one to the encoder's format.
    struct Job {
        media::FramePtr frame;  // null: flush the encoder
        int64_t index = 0;
    };
    std::mutex m_jobLock;
    std::condition_variable m_jobWake;
    std::deque<Job> m_jobs;
    std::vector<media::FramePtr> m_spareFrames;
    bool m_quit = false;
    bool m_flushed = false;
    bool m_failed = false;
    dshow::WorkerThread m_encodeThread;
};

}  // namespace plat
