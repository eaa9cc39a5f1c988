// An audio compressor for one entry of the catalogue (MP3, MPEG Layer-2,
// AC-3, PCM, MS ADPCM, IMA ADPCM): 16-bit PCM in, the codec's packets out,
// described by a WAVEFORMATEX with the format tag and the extension the
// format defines (MPEG Layer-3 and Layer-2 fields, ADPCM coefficients).
#pragma once

#include <optional>

#include "platform/core/CodecCatalog.h"
#include "platform/filters/Compressor.h"

namespace plat {

class AudioCompressor final : public Compressor {
public:
    template <size_t Index>
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
        return Create(Index, outer, iid, out);
    }
    static HRESULT Create(size_t index, IUnknown* outer, REFIID iid, void** out);
    explicit AudioCompressor(size_t index);

    COM_BEGIN_QI()
        PLAT_COMPRESSOR_QI()
    COM_END_QI()

    std::u16string Name() const override;
    void OutputBuffers(ALLOCATOR_PROPERTIES& props) override;

protected:
    HRESULT AcceptInput(const AM_MEDIA_TYPE& mt) override;
    void OpenEncoder() override;
    void CloseEncoder() override { m_encoder.reset(); }
    dshow::MediaType MakeOutputType() override;
    void Encode(const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) override;
    void FinishEncoding() override;
    std::vector<uint8_t> SettingsBytes() const override { return media::Serialize(m_settings); }
    bool ApplySettingsBytes(const uint8_t* data, size_t size) override;

private:
    ~AudioCompressor() override = default;
    media::AudioEncodeSettings EncoderSettings(const WAVEFORMATEX& in) const;
    void Send(const media::EncodedPacket& p);

    const media::AudioCodecInfo& m_codec;
    media::AudioSettings m_settings;
    std::optional<media::AudioEncoder> m_encoder;
    int m_blockAlign = 4;
};

}  // namespace plat
