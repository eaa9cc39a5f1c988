#include "gif/GifImageCore.h"

#include <algorithm>

#include "gif/GifExtensions.h"

namespace gif {

TGIFImageCore::TGIFImageCore()
    : m_header(std::make_unique<TGIFHeader>(this)), m_frames(std::make_unique<TGIFImageList>(this)) {}

TGIFImageCore::~TGIFImageCore() {
    // Frames before the header: their tables ask the picture on the way out.
    m_frames->RemoveAll();
}

int TGIFImageCore::ImageVersion() const {
    const int count = m_frames->ItemCount();
    if (count == 0) return 0;
    // The header's own fields (a sorted table, an aspect ratio) count too.
    int version = m_header->RequiredVersion();
    for (int i = 0; i < count && version < 2; ++i) version = std::max(version, m_frames->ItemAt(i).RequiredVersion());
    return version;
}

int TGIFImageCore::ImageColourResolution() const {
    int bits = m_header->ResolutionBits();
    for (int i = 0; i < m_frames->ItemCount(); ++i) bits = std::max(bits, m_frames->FrameAt(i).FrameColourResolution());
    return bits;
}

int TGIFImageCore::ImageBitsPerPixel() const {
    int bits = m_header->TableBits();
    for (int i = 0; i < m_frames->ItemCount(); ++i) bits = std::max(bits, m_frames->FrameAt(i).FrameBitsPerPixel());
    return bits;
}

bool TGIFImageCore::ClaimFramePixels(int64_t pixels) {
    if (m_pixelAllowance < 0) return true;
    if (pixels > m_pixelAllowance) return false;
    m_pixelAllowance -= pixels;
    return true;
}

void TGIFImageCore::ResetImage() {
    m_frames->RemoveAll();
    m_header->Reset();
    m_header->PreparePackedFields();
}

std::unique_ptr<TGIFSubImageCore> TGIFImageCore::NewFrame() { return std::make_unique<TGIFSubImageCore>(this); }

void TGIFImageCore::ReportWarning(forms::TObject* sender, uint8_t severity, const std::string& message) {
    if (OnGIFWarning) OnGIFWarning(sender, severity, message);
}

void TGIFImageCore::LoadFromStream(forms::TStream& stream) {
    ReportProgress(this, TGIFProgressStage::Starting, 0, false, "Loading...");
    const int64_t start = stream.Position();
    try {
        ResetImage();
        m_header->LoadFromStream(stream);
        m_pixelAllowance = kPlausibleFramePixels + 4096 * BytesLeft(stream);
        m_frames->LoadFromStream(stream);
        m_pixelAllowance = -1;
        uint8_t trailer;
        if (ReadByteFrom(stream, trailer) && trailer != 0x3B)
            ReportWarning(this, kWarningSeverity, msg::InvalidTrailer);
    } catch (...) {
        m_pixelAllowance = -1;
        stream.SetPosition(start);
        ResetImage();
        ReportProgress(this, TGIFProgressStage::Ending, 0, true, "Loading...");
        throw;
    }
    ReportProgress(this, TGIFProgressStage::Ending, 100, true, "Loading...");
}

void TGIFImageCore::SaveToStream(forms::TStream& stream) {
    ReportProgress(this, TGIFProgressStage::Starting, 0, false, "Saving...");
    try {
        m_header->SaveToStream(stream);
        const int count = m_frames->ItemCount();
        for (int i = 0; i < count; ++i) {
            m_frames->FrameAt(i).SaveToStream(stream);
            ReportProgress(this, TGIFProgressStage::Running, (i + 1) * 100 / count, false, "Saving...");
        }
        WriteByteTo(stream, 0x3B);
    } catch (...) {
        ReportProgress(this, TGIFProgressStage::Ending, 0, true, "Saving...");
        throw;
    }
    ReportProgress(this, TGIFProgressStage::Ending, 100, true, "Saving...");
}

}  // namespace gif
