// The GIF89a extension blocks that precede a frame (graphic control, plain
// text, comment, application and the loop extension) and the two
// registries that map a label and an application identifier to the class
// that reads the block.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GifFrame.h"

namespace gif {

class TGIFExtension;

// What stands in for a class reference: how to make an extension of the
// class and how the class narrows itself from the bytes after the label.
struct TGIFExtensionClass {
    const char* Name;
    std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImageCore& frame);
    // The stream stands after the label. Answers this class, another one
    // to ask in turn, or nullptr when the block cannot be read.
    const TGIFExtensionClass* (*Refine)(const TGIFExtensionClass& asked, forms::TStream& stream);
};

class TGIFExtension : public TGIFItem {
public:
    FORMS_CLASS(TGIFExtension)
    explicit TGIFExtension(TGIFSubImageCore& frame);

    TGIFSubImageCore& Frame() const { return m_frame; }
    int RequiredVersion() const override { return 2; }
    virtual uint8_t Label() const = 0;
    virtual const TGIFExtensionClass& Class() const = 0;
    // Writes the introducer and the label.
    void SaveToStream(forms::TStream& stream) override;
    // Reads and checks the introducer and the label.
    void LoadFromStream(forms::TStream& stream) override;

protected:
    TGIFSubImageCore& m_frame;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    FORMS_CLASS(TGIFGraphicControlExtension)
    static constexpr uint8_t kLabel = 0xF9;
    static const TGIFExtensionClass& StaticClass();
    explicit TGIFGraphicControlExtension(TGIFSubImageCore& frame);
    ~TGIFGraphicControlExtension() override;

    uint8_t Label() const override { return kLabel; }
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromStream(forms::TStream& stream) override;

    // The 6 bytes as stored: size, packed, delay (2), transparent index, terminator.
    const std::array<uint8_t, 6>& Data() const { return m_data; }
    bool Transparent() const { return (m_data[1] & 1) != 0; }
    void SetTransparent(bool on);
    uint8_t TransparentIndex() const { return m_data[4]; }
    // An index beyond the frame's colours warns and stores 0.
    void SetTransparentIndex(int index);
    // Stores the index as it is (reading, remapping).
    void StoreTransparentIndex(uint8_t index) { m_data[4] = index; }
    int Delay() const { return m_data[2] | (m_data[3] << 8); }
    void SetDelay(int hundredths);
    bool UserInput() const { return (m_data[1] & 2) != 0; }
    int DisposalMethod() const { return (m_data[1] >> 2) & 7; }
    void SetDisposalMethod(int method);

private:
    std::array<uint8_t, 6> m_data{4, 0, 0, 0, 0, 0};
};

class TGIFTextExtension : public TGIFExtension {
public:
    FORMS_CLASS(TGIFTextExtension)
    static constexpr uint8_t kLabel = 0x01;
    static const TGIFExtensionClass& StaticClass();
    using TGIFExtension::TGIFExtension;

    uint8_t Label() const override { return kLabel; }
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromStream(forms::TStream& stream) override;

    // Block size (12), grid left, top, width, height (2 bytes each), cell
    // width and height, foreground and background index.
    std::array<uint8_t, 13>& Header() { return m_header; }
    TGIFStrings& Text() { return m_text; }

private:
    std::array<uint8_t, 13> m_header{12};
    TGIFStrings m_text;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    FORMS_CLASS(TGIFCommentExtension)
    static constexpr uint8_t kLabel = 0xFE;
    static const TGIFExtensionClass& StaticClass();
    using TGIFExtension::TGIFExtension;

    uint8_t Label() const override { return kLabel; }
    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromStream(forms::TStream& stream) override;
    TGIFStrings& Comment() { return m_comment; }

private:
    TGIFStrings m_comment;
};

using TGIFAppIdentifier = std::array<uint8_t, 11>;

class TGIFApplicationExtension : public TGIFExtension {
public:
    FORMS_CLASS(TGIFApplicationExtension)
    static constexpr uint8_t kLabel = 0xFF;
    // The registered class, which only narrows itself to the classes below.
    static const TGIFExtensionClass& StaticClass();

    uint8_t Label() const override { return kLabel; }
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromStream(forms::TStream& stream) override;
    // 8 bytes of identifier and 3 of authentication code.
    const TGIFAppIdentifier& Identifier() const { return m_identifier; }
    void SetIdentifier(const TGIFAppIdentifier& id) { m_identifier = id; }
    virtual void SaveData(forms::TStream& stream) = 0;
    virtual void LoadData(forms::TStream& stream) = 0;

protected:
    using TGIFExtension::TGIFExtension;
    // Narrows the registered class by the identifier block: a registered
    // identifier's class, else the unknown application.
    static const TGIFExtensionClass* RefineApplication(const TGIFExtensionClass& asked, forms::TStream& stream);

private:
    TGIFAppIdentifier m_identifier{};
    // Bytes of an identifier block longer than 11, kept and written back
    // (only unknown applications have them).
    std::vector<uint8_t> m_identifierTail;
};

// One data sub-block, 1 to 255 bytes.
struct TGIFBlock {
    std::vector<uint8_t> Data;
};

// An application extension the program does not know: kept byte for byte.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    FORMS_CLASS(TGIFUnknownAppExtension)
    static const TGIFExtensionClass& StaticClass();
    explicit TGIFUnknownAppExtension(TGIFSubImageCore& frame) : TGIFApplicationExtension(frame) {}

    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveData(forms::TStream& stream) override;
    void LoadData(forms::TStream& stream) override;
    std::vector<TGIFBlock>& Blocks() { return m_blocks; }

private:
    std::vector<TGIFBlock> m_blocks;
};

// The loop extension ("NETSCAPE2.0", also read from "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    FORMS_CLASS(TGIFAppExtNSLoop)
    static const TGIFExtensionClass& StaticClass();
    explicit TGIFAppExtNSLoop(TGIFSubImageCore& frame);

    const TGIFExtensionClass& Class() const override { return StaticClass(); }
    void SaveData(forms::TStream& stream) override;
    void LoadData(forms::TStream& stream) override;
    uint16_t Loops() const { return m_loops; }
    void SetLoops(uint16_t loops) { m_loops = loops; }
    uint32_t BufferSize() const { return m_bufferSize; }
    void SetBufferSize(uint32_t size) { m_bufferSize = size; }

private:
    uint16_t m_loops = 0;
    uint32_t m_bufferSize = 0;
};

// The registries, made on first use. A later registration wins.
void RegisterExtension(uint8_t label, const TGIFExtensionClass& cls);
void RegisterAppExtension(const TGIFAppIdentifier& identifier, const TGIFExtensionClass& cls);
const TGIFExtensionClass* FindExtension(uint8_t label);
const TGIFExtensionClass* FindAppExtension(const TGIFAppIdentifier& identifier);
TGIFAppIdentifier AppIdentifier(const char* elevenBytes);
// The class of the extension whose label the stream stands at (after the
// introducer); the stream is left where it was. nullptr when unknown.
const TGIFExtensionClass* ExtensionClassAt(forms::TStream& stream);

}  // namespace gif
