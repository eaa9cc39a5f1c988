// What one catalogue entry fixes in a compressor, the same for audio and video: the COM
// class of each entry, its codec, its name, and its settings (the codec's defaults, then
// the stored ones, clamped to what the codec allows).
#pragma once

#include <vector>

#include "framework/com/WinText.h"
#include "platform/core/CodecCatalog.h"
#include "platform/filters/Compressor.h"

namespace plat {

// Codecs is the catalogue's list (media::VideoCodecs or media::AudioCodecs).
template <class Derived, class CodecInfo, class Settings, const std::vector<CodecInfo>& (*Codecs)()>
class CatalogueCompressor : public Compressor {
public:
    // One creation function per catalogue entry (they are COM classes).
    template <size_t Index>
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
        return Create(Index, outer, iid, out);
    }
    static HRESULT Create(size_t index, IUnknown* outer, REFIID iid, void** out) {
        if (outer) return CLASS_E_NOAGGREGATION;
        if (index >= Codecs().size()) return CLASS_E_CLASSNOTAVAILABLE;
        return com::CreateAndQuery<Derived>(iid, out, index);
    }

    COM_BEGIN_QI()
        PLAT_COMPRESSOR_QI()
    COM_END_QI()

    std::u16string Name() const override { return com::U16(m_codec.friendlyName); }

protected:
    CatalogueCompressor(const CLSID& clsid, size_t index, const CLSID& settingsPage)
        : Compressor(clsid, Codecs()[index].key, settingsPage),
          m_codec(Codecs()[index]),
          m_settings(media::DefaultSettings(m_codec)) {}

    std::vector<uint8_t> SettingsBytes() const override { return media::Serialize(m_settings); }
    bool ApplySettingsBytes(const uint8_t* data, size_t size) override {
        Settings s;
        if (!media::Deserialize(data, size, s)) return false;
        m_settings = media::Clamped(m_codec, s);
        return true;
    }

    const CodecInfo& m_codec;
    Settings m_settings;
};

}  // namespace plat
