#include "gif/GifFrame.h"

#include <algorithm>
#include <new>

#include "gif/GifExtensions.h"
#include "gif/GifImageCore.h"
#include "gif/LzwDecoder.h"
#include "gif/LzwEncoder.h"

namespace gif {

namespace {
constexpr uint8_t kExtensionIntroducer = 0x21;  // "!"
constexpr uint8_t kImageSeparator = 0x2C;       // ","
constexpr uint8_t kTrailer = 0x3B;              // ";"

void StepBack(forms::TStream& stream) { stream.Seek(-1, forms::TSeekOrigin::soCurrent); }
}  // namespace

// ---- TGIFExtensionList ------------------------------------------------------------

TGIFExtension& TGIFExtensionList::ExtensionAt(int index) const {
    return static_cast<TGIFExtension&>(ItemAt(index));
}

void TGIFExtensionList::LoadFromStream(forms::TStream& stream) {
    uint8_t b;
    if (!ReadByteFrom(stream, b)) return;
    while (b != kImageSeparator && b != kTrailer) {
        if (b != kExtensionIntroducer) {
            Warn(kWarningSeverity, msg::InvalidIntroducer);
            break;
        }
        const TGIFExtensionClass* cls = ExtensionClassAt(stream);
        if (!cls) RaiseGIFError(msg::UnknownExtension);
        StepBack(stream);
        std::unique_ptr<TGIFExtension> ext = cls->Create(m_frame);
        ext->LoadFromStream(stream);
        Append(std::move(ext));
        if (!ReadByteFrom(stream, b)) return;
    }
    StepBack(stream);
}

// ---- TGIFSubImageCore ----------------------------------------------------------------

TGIFSubImageCore::TGIFSubImageCore(TGIFImageCore* image)
    : TGIFItem(image), m_colourMap(*this), m_extensions(image, *this) {
    m_descriptor[0] = kImageSeparator;
}

TGIFSubImageCore::~TGIFSubImageCore() {
    // The extensions go before the rest of the frame, as the control
    // extension tells its frame when it goes.
    m_extensions.RemoveAll();
}

void TGIFSubImageCore::Reset() {
    m_extensions.RemoveAll();
    m_colourMap.Reset();
    ReleasePixels();
    SetWidth(0);
    SetHeight(0);
    m_transparent = false;
    m_controlExtension = nullptr;
}

bool TGIFSubImageCore::IsEmpty() const { return m_pixels.empty() || Width() == 0 || Height() == 0; }

void TGIFSubImageCore::SetInterlaced(bool on) {
    if (on)
        m_descriptor[9] |= 0x40;
    else
        m_descriptor[9] &= static_cast<uint8_t>(~0x40);
}

TGIFColorMap& TGIFSubImageCore::ActiveColourTable() {
    if (m_colourMap.EntryCount() > 0) return m_colourMap;
    if (m_image && m_image->GlobalColourTable().EntryCount() > 0) return m_image->GlobalColourTable();
    return m_colourMap;
}

int TGIFSubImageCore::RequiredVersion() const {
    if (m_colourMap.UsageSorted()) return 2;
    int version = 1;
    for (int i = 0; i < m_extensions.ItemCount(); ++i)
        version = std::max(version, m_extensions.ItemAt(i).RequiredVersion());
    return version;
}

void TGIFSubImageCore::FillPixels(uint8_t fill) {
    const int64_t n = static_cast<int64_t>(Width()) * Height();
    ReleasePixels();
    if (n <= 0) return;
    try {
        m_pixels.assign(static_cast<size_t>(n), fill);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(std::string("Out of memory for a frame of ") + std::to_string(Width()) + " x " +
                           std::to_string(Height()) + " pixels");
    }
}

void TGIFSubImageCore::AllocatePixels() { FillPixels(0); }

void TGIFSubImageCore::RequirePixels() {
    if (!m_pixels.empty()) return;
    if (static_cast<int64_t>(Width()) * Height() == 0) RaiseGIFError(msg::ImageEmpty);
    AllocatePixels();
}

void TGIFSubImageCore::ReleasePixels() {
    m_pixels.clear();
    m_pixels.shrink_to_fit();
}

uint8_t* TGIFSubImageCore::RowAt(int y) {
    if (y < 0 || y >= Height()) RaiseGIFError(msg::InvalidPixel);
    RequirePixels();
    return m_pixels.data() + static_cast<int64_t>(y) * Width();
}

uint8_t TGIFSubImageCore::PixelAt(int x, int y) {
    if (x < 0 || x >= Width()) RaiseGIFError(msg::InvalidPixel);
    return RowAt(y)[x];
}

int TGIFSubImageCore::TransparentIndex() const {
    if (!m_transparent || !m_controlExtension) return -1;
    return m_controlExtension->TransparentIndex();
}

int TGIFSubImageCore::Delay() const { return m_controlExtension ? m_controlExtension->Delay() : 0; }

int TGIFSubImageCore::Disposal() const { return m_controlExtension ? m_controlExtension->DisposalMethod() : 0; }

TGIFAppExtNSLoop* TGIFSubImageCore::LoopExtension() const {
    for (int i = 0; i < m_extensions.ItemCount(); ++i)
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&m_extensions.ItemAt(i))) return loop;
    return nullptr;
}

bool TGIFSubImageCore::IsAllTransparent() const {
    const int t = TransparentIndex();
    if (t < 0 || IsEmpty()) return false;
    return std::all_of(m_pixels.begin(), m_pixels.end(), [t](uint8_t p) { return p == t; });
}

void TGIFSubImageCore::PreparePackedFields() {
    if (m_colourMap.EntryCount() == 0) {
        m_descriptor[9] &= 0x40 | 0x10 | 0x08;
        return;
    }
    // The interlace flag stays: the data is written in the order it names.
    uint8_t packed = static_cast<uint8_t>(0x80 | (m_descriptor[9] & 0x40));
    if (m_colourMap.UsageSorted()) packed |= 0x20;
    packed |= static_cast<uint8_t>(FrameColourResolution() & 7);
    m_descriptor[9] = packed;
}

void TGIFSubImageCore::SaveToStream(forms::TStream& stream) {
    m_extensions.SaveToStream(stream);
    if (IsEmpty()) return;
    PreparePackedFields();
    stream.WriteBuffer(m_descriptor.data(), 10);
    m_colourMap.SaveToStream(stream);
    EncodeFrameData(*this, stream);
}

void TGIFSubImageCore::LoadFromStream(forms::TStream& stream) {
    Reset();
    ReadExtensions(stream);
    uint8_t b;
    if (!ReadByteFrom(stream, b)) return;
    StepBack(stream);
    if (b == kTrailer || b == 0) return;
    ReadExactly(stream, m_descriptor.data(), 10);
    if (Width() == 0 || Height() == 0) {
        if (m_image) {
            SetWidth(m_image->ScreenWidth());
            SetHeight(m_image->ScreenHeight());
        }
        Warn(kWarningSeverity, msg::ExceedsScreen);
    }
    if (PackedFields() & 0x80) m_colourMap.LoadFromStream(stream, 2 << (PackedFields() & 7));
    DecodeFrameData(*this, stream);
    if (m_image) m_image->FrameLoaded(*this);
}

// ---- TGIFImageList ---------------------------------------------------------------

namespace {
// Zero bytes between blocks are skipped; false at the end of the stream.
bool NextBlockByte(forms::TStream& stream, uint8_t& b) {
    do {
        if (!ReadByteFrom(stream, b)) return false;
    } while (b == 0);
    return true;
}
}  // namespace

void TGIFImageList::LoadFromStream(forms::TStream& stream) {
    TGIFImageCore* image = Image();
    uint8_t b;
    if (!NextBlockByte(stream, b)) return;
    const int64_t size = stream.Size();
    while (b != kTrailer) {
        StepBack(stream);
        if (b != kExtensionIntroducer && b != kImageSeparator) {
            Warn(kWarningSeverity, msg::UnknownBlock);
            StepBack(stream);
            return;
        }
        std::unique_ptr<TGIFSubImageCore> frame = image->NewFrame();
        frame->LoadFromStream(stream);
        TGIFSubImageCore& added = *frame;
        Append(std::move(frame));
        const int percent = size > 0 ? static_cast<int>(stream.Position() * 100 / size) : 100;
        image->ReportProgress(&added, TGIFProgressStage::Running, percent, image->RedrawWhileLoading(),
                              "Loading...");
        if (!NextBlockByte(stream, b)) return;
    }
    StepBack(stream);
}

}  // namespace gif
