#include "gif/GifExtensions.h"

#include <cstring>
#include <utility>

#include "gif/GifImageCore.h"

namespace gif {

// ---- Registries ------------------------------------------------------------------

namespace {

struct ExtensionRecord {
    uint8_t Label;
    const TGIFExtensionClass* Class;
};

struct AppExtensionRecord {
    TGIFAppIdentifier Identifier;
    const TGIFExtensionClass* Class;
};

std::vector<ExtensionRecord>& ExtensionRegistry() {
    static std::vector<ExtensionRecord> registry{
        {TGIFTextExtension::kLabel, &TGIFTextExtension::StaticClass()},
        {TGIFGraphicControlExtension::kLabel, &TGIFGraphicControlExtension::StaticClass()},
        {TGIFCommentExtension::kLabel, &TGIFCommentExtension::StaticClass()},
        {TGIFApplicationExtension::kLabel, &TGIFApplicationExtension::StaticClass()},
    };
    return registry;
}

std::vector<AppExtensionRecord>& AppExtensionRegistry() {
    static std::vector<AppExtensionRecord> registry{
        {AppIdentifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::StaticClass()},
        {AppIdentifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::StaticClass()},
    };
    return registry;
}

const TGIFExtensionClass* KeepClass(const TGIFExtensionClass& asked, forms::TStream&) { return &asked; }

template <class T>
std::unique_ptr<TGIFExtension> Make(TGIFSubImageCore& frame) {
    return std::make_unique<T>(frame);
}

void WriteHeader(forms::TStream& stream, uint8_t label) {
    const uint8_t header[2] = {0x21, label};
    stream.WriteBuffer(header, 2);
}

}  // namespace

TGIFAppIdentifier AppIdentifier(const char* elevenBytes) {
    TGIFAppIdentifier id{};
    std::memcpy(id.data(), elevenBytes, id.size());
    return id;
}

void RegisterExtension(uint8_t label, const TGIFExtensionClass& cls) {
    ExtensionRegistry().push_back(ExtensionRecord{label, &cls});
}

void RegisterAppExtension(const TGIFAppIdentifier& identifier, const TGIFExtensionClass& cls) {
    AppExtensionRegistry().push_back(AppExtensionRecord{identifier, &cls});
}

const TGIFExtensionClass* FindExtension(uint8_t label) {
    const auto& registry = ExtensionRegistry();
    for (auto it = registry.rbegin(); it != registry.rend(); ++it)
        if (it->Label == label) return it->Class;
    return nullptr;
}

const TGIFExtensionClass* FindAppExtension(const TGIFAppIdentifier& identifier) {
    const auto& registry = AppExtensionRegistry();
    for (auto it = registry.rbegin(); it != registry.rend(); ++it)
        if (it->Identifier == identifier) return it->Class;
    return nullptr;
}

const TGIFExtensionClass* ExtensionClassAt(forms::TStream& stream) {
    const int64_t start = stream.Position();
    uint8_t label;
    const TGIFExtensionClass* cls = nullptr;
    if (ReadByteFrom(stream, label)) cls = FindExtension(label);
    while (cls) {
        const TGIFExtensionClass* refined = cls->Refine(*cls, stream);
        if (refined == cls) break;
        cls = refined;
    }
    stream.SetPosition(start);
    return cls;
}

// ---- TGIFExtension ---------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImageCore& frame) : TGIFItem(frame.Image()), m_frame(frame) {}

void TGIFExtension::SaveToStream(forms::TStream& stream) { WriteHeader(stream, Label()); }

void TGIFExtension::LoadFromStream(forms::TStream& stream) {
    uint8_t header[2];
    ReadExactly(stream, header, 2);
    if (header[0] != 0x21) RaiseGIFError(msg::InvalidIntroducer);
    if (header[1] != Label()) RaiseGIFError(msg::LabelMismatch);
}

// ---- Graphic control ----------------------------------------------------------------

const TGIFExtensionClass& TGIFGraphicControlExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFGraphicControlExtension", &Make<TGIFGraphicControlExtension>,
                                        &KeepClass};
    return cls;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImageCore& frame) : TGIFExtension(frame) {
    if (!frame.ControlExtension()) frame.SetControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (Transparent()) m_frame.SetTransparentFlag(false);
    if (m_frame.ControlExtension() == this) m_frame.SetControlExtension(nullptr);
}

void TGIFGraphicControlExtension::SetTransparent(bool on) {
    if (on)
        m_data[1] |= 1;
    else
        m_data[1] &= static_cast<uint8_t>(~1);
    m_frame.SetTransparentFlag(on);
}

void TGIFGraphicControlExtension::SetTransparentIndex(int index) {
    const TGIFColorMap& table = m_frame.ActiveColourTable();
    if (table.EntryCount() > 0 && index >= table.EntryCount()) {
        Warn(kWarningSeverity, msg::InvalidColourIndex);
        index = 0;
    }
    m_data[4] = static_cast<uint8_t>(index);
}

void TGIFGraphicControlExtension::SetDelay(int hundredths) {
    m_data[2] = static_cast<uint8_t>(hundredths);
    m_data[3] = static_cast<uint8_t>(hundredths >> 8);
}

void TGIFGraphicControlExtension::SetDisposalMethod(int method) {
    m_data[1] = static_cast<uint8_t>((m_data[1] & ~0x1C) | ((method & 7) << 2));
}

void TGIFGraphicControlExtension::SaveToStream(forms::TStream& stream) {
    TGIFExtension::SaveToStream(stream);
    stream.WriteBuffer(m_data.data(), 6);
}

void TGIFGraphicControlExtension::LoadFromStream(forms::TStream& stream) {
    TGIFExtension::LoadFromStream(stream);
    if (stream.Read(m_data.data(), 6) != 6) {
        Warn(kWarningSeverity, msg::PrematureEnd);
        return;
    }
    if (Transparent()) m_frame.SetTransparentFlag(true);
}

// ---- Plain text and comment -------------------------------------------------------

const TGIFExtensionClass& TGIFTextExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFTextExtension", &Make<TGIFTextExtension>, &KeepClass};
    return cls;
}

void TGIFTextExtension::SaveToStream(forms::TStream& stream) {
    TGIFExtension::SaveToStream(stream);
    stream.WriteBuffer(m_header.data(), 13);
    WriteStringsAsSubBlocks(stream, m_text);
}

void TGIFTextExtension::LoadFromStream(forms::TStream& stream) {
    TGIFExtension::LoadFromStream(stream);
    ReadExactly(stream, m_header.data(), 13);
    ReadSubBlocksAsStrings(stream, m_text);
}

const TGIFExtensionClass& TGIFCommentExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFCommentExtension", &Make<TGIFCommentExtension>, &KeepClass};
    return cls;
}

void TGIFCommentExtension::SaveToStream(forms::TStream& stream) {
    TGIFExtension::SaveToStream(stream);
    WriteStringsAsSubBlocks(stream, m_comment);
}

void TGIFCommentExtension::LoadFromStream(forms::TStream& stream) {
    TGIFExtension::LoadFromStream(stream);
    ReadSubBlocksAsStrings(stream, m_comment);
}

// ---- Application extensions ----------------------------------------------------------

const TGIFExtensionClass* TGIFApplicationExtension::RefineApplication(const TGIFExtensionClass&,
                                                                      forms::TStream& stream) {
    const int64_t start = stream.Position();
    uint8_t size;
    if (!ReadByteFrom(stream, size)) return nullptr;
    if (size == 10) {
        uint8_t bytes[10];
        return stream.Read(bytes, 10) == 10 ? &TGIFUnknownAppExtension::StaticClass() : nullptr;
    }
    if (size == 11) {
        TGIFAppIdentifier id;
        if (stream.Read(id.data(), 11) == 11) {
            const TGIFExtensionClass* found = FindAppExtension(id);
            return found ? found : &TGIFUnknownAppExtension::StaticClass();
        }
    }
    stream.SetPosition(start);
    // A block of any other size is kept as the sub-blocks of an unknown
    // application: the registered class has no data of its own.
    return &TGIFUnknownAppExtension::StaticClass();
}

const TGIFExtensionClass& TGIFApplicationExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFApplicationExtension", &Make<TGIFUnknownAppExtension>,
                                        &RefineApplication};
    return cls;
}

void TGIFApplicationExtension::SaveToStream(forms::TStream& stream) {
    TGIFExtension::SaveToStream(stream);
    WriteByteTo(stream, static_cast<uint8_t>(11 + m_identifierTail.size()));
    stream.WriteBuffer(m_identifier.data(), 11);
    stream.WriteBuffer(m_identifierTail.data(), static_cast<int64_t>(m_identifierTail.size()));
    SaveData(stream);
}

void TGIFApplicationExtension::LoadFromStream(forms::TStream& stream) {
    TGIFExtension::LoadFromStream(stream);
    uint8_t size;
    ReadExactly(stream, &size, 1);
    if (size == 10) {
        m_identifier.fill(0);
        ReadExactly(stream, m_identifier.data(), 10);
    } else if (size < 10) {
        RaiseGIFError(msg::AppBlockSize);
    } else {
        ReadExactly(stream, m_identifier.data(), 11);
        m_identifierTail.resize(size - 11u);
        ReadExactly(stream, m_identifierTail.data(), static_cast<int64_t>(m_identifierTail.size()));
    }
    LoadData(stream);
}

// The classes found by identifier keep themselves: what follows the
// identifier is their data, never another identifier.
const TGIFExtensionClass& TGIFUnknownAppExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFUnknownAppExtension", &Make<TGIFUnknownAppExtension>, &KeepClass};
    return cls;
}

void TGIFUnknownAppExtension::SaveData(forms::TStream& stream) {
    for (const TGIFBlock& block : m_blocks) {
        WriteByteTo(stream, static_cast<uint8_t>(block.Data.size()));
        stream.WriteBuffer(block.Data.data(), static_cast<int64_t>(block.Data.size()));
    }
    WriteByteTo(stream, 0);
}

void TGIFUnknownAppExtension::LoadData(forms::TStream& stream) {
    m_blocks.clear();
    uint8_t size;
    while (ReadByteFrom(stream, size) && size != 0) {
        TGIFBlock block;
        block.Data.resize(size);
        ReadExactly(stream, block.Data.data(), size);
        m_blocks.push_back(std::move(block));
    }
}

const TGIFExtensionClass& TGIFAppExtNSLoop::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFAppExtNSLoop", &Make<TGIFAppExtNSLoop>, &KeepClass};
    return cls;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImageCore& frame) : TGIFApplicationExtension(frame) {
    SetIdentifier(AppIdentifier("NETSCAPE2.0"));
}

void TGIFAppExtNSLoop::SaveData(forms::TStream& stream) {
    const uint8_t loop[4] = {3, 1, static_cast<uint8_t>(m_loops), static_cast<uint8_t>(m_loops >> 8)};
    stream.WriteBuffer(loop, 4);
    if (m_bufferSize != 0) {
        uint8_t buffer[6] = {5, 2};
        for (int i = 0; i < 4; ++i) buffer[2 + i] = static_cast<uint8_t>(m_bufferSize >> (8 * i));
        stream.WriteBuffer(buffer, 6);
    }
    WriteByteTo(stream, 0);
}

void TGIFAppExtNSLoop::LoadData(forms::TStream& stream) {
    uint8_t n, id;
    // The end of the stream ends the sub-blocks as a terminator would.
    while (ReadByteFrom(stream, n) && n != 0) {
        if (!ReadByteFrom(stream, id)) break;
        switch (id & 7) {
        case 1: {
            if (n < 3) RaiseGIFError(msg::InvalidData);
            uint8_t v[2];
            ReadExactly(stream, v, 2);
            m_loops = static_cast<uint16_t>(v[0] | (v[1] << 8));
            SkipBytes(stream, n - 3);
            break;
        }
        case 2: {
            if (n < 5) RaiseGIFError(msg::InvalidData);
            uint8_t v[4];
            ReadExactly(stream, v, 4);
            m_bufferSize = v[0] | (v[1] << 8) | (v[2] << 16) | (static_cast<uint32_t>(v[3]) << 24);
            SkipBytes(stream, n - 5);
            break;
        }
        default:
            SkipBytes(stream, n - 1);
        }
    }
}

}  // namespace gif
