// An audio compressor for one entry of the catalogue (MP3, MPEG Layer-2,
// AC-3, PCM, MS ADPCM, IMA ADPCM): 16-bit PCM in, the codec's packets out,
// described by a WAVEFORMATEX with the format tag and the extension the
// format defines (MPEG Layer-3 and Layer-2 fields, ADPCM coefficients).
#pragma once

#include <memory>
#include <mutex>

#include "platform/filters/CatalogueCompressor.h"

namespace plat {

class AudioCompressor final : public CatalogueCompressor<AudioCompressor, media::AudioCodecInfo,
                                                       media::AudioSettings, media::AudioCodecs> {
public:
    explicit AudioCompressor(size_t index);

    void OutputBuffers(ALLOCATOR_PROPERTIES& props) override;

protected:
    HRESULT AcceptInput(const AM_MEDIA_TYPE& mt) override;
    void OpenEncoder() override;
    void CloseEncoder() override { m_encoder.reset(); }
    dshow::MediaType MakeOutputType() override;
    void Encode(const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) override;
    void FinishEncoding() override;

private:
    ~AudioCompressor() override = default;
    media::AudioEncodeSettings EncoderSettings(const WAVEFORMATEX& in) const;
    void Send(const media::EncodedPacket& p);

    std::unique_ptr<media::AudioEncoder> m_encoder;
    int m_blockAlign = 4;
    // The encoder opened to describe the output, kept for the run when its
    // settings still hold (opening one again costs the start its time).
    std::mutex m_probeLock;
    std::unique_ptr<media::AudioEncoder> m_probe;
    media::AudioEncodeSettings m_probeSettings;
};

}  // namespace plat
