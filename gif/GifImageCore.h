// The platform-free half of a GIF picture: the header with the global
// colour table, the frames, the values the blocks ask of their picture,
// and the reading and writing of a whole GIF stream. The picture class
// builds on it and answers the hooks (warnings, progress, palettes).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gif/GifBlocks.h"
#include "gif/GifFrame.h"

namespace gif {

enum class TGIFProgressStage { Starting, Running, Ending };

// 0 LZW, 1 run-length (any other value means LZW).
enum : uint8_t { kEncoderLZW = 0, kEncoderRLE = 1 };

// The steps of OptimizeFrames, as a set of bits.
enum TGIFOptimizeStep : uint8_t {
    osCrop = 0x01,           // cut transparent borders off frames, drop frames that become empty
    osMerge = 0x02,          // make pixels that repeat the previous frame transparent
    osCleanup = 0x04,        // drop unused transparency, needless disposals, extensions and frames
    osSortColours = 0x08,    // sort the colour tables by use
    osReduceColours = 0x10,  // asked for colour reduction (only method 9 is refused)
};
constexpr uint8_t kAllOptimizeSteps = 0x1F;

class TGIFImageCore : public forms::TObject {
public:
    FORMS_CLASS(TGIFImageCore)
    using TWarningEvent = std::function<void(forms::TObject* sender, uint8_t severity, const std::string& message)>;

    TGIFImageCore();
    ~TGIFImageCore() override;

    TGIFHeader& Header() { return *m_header; }
    TGIFImageList& Frames() { return *m_frames; }
    TGIFGlobalColorMap& GlobalColourTable() { return m_header->ColourMap(); }
    bool Empty() const { return m_frames->ItemCount() == 0; }
    int ScreenWidth() const { return m_header->Width(); }
    int ScreenHeight() const { return m_header->Height(); }

    // The highest version any block needs (header and frames); 0 without frames.
    int ImageVersion() const;
    int ImageColourResolution() const;
    int ImageBitsPerPixel() const;

    // Frees the frames, resets the header.
    virtual void ResetImage();
    // Header, frames and trailer. On an error the picture is left empty,
    // the stream goes back to where it stood and the error goes on.
    virtual void LoadFromStream(forms::TStream& stream);
    virtual void SaveToStream(forms::TStream& stream);

    // Makes the picture smaller to store while it keeps its look. Method 9
    // (the caller's palette) with osReduceColours and without osCleanup
    // raises "Invalid reduction method" after the other steps.
    virtual void OptimizeFrames(uint8_t steps, uint8_t reductionMethod, uint8_t ditherKind, int reductionBits);

    // Every warning of the picture and its blocks arrives here.
    virtual void ReportWarning(forms::TObject* sender, uint8_t severity, const std::string& message);
    // A new frame owned by this picture.
    virtual std::unique_ptr<TGIFSubImageCore> NewFrame();
    // Hooks for the picture class.
    virtual void ReportProgress(forms::TObject* sender, TGIFProgressStage stage, int percent, bool redraw,
                                const std::string& message) {}
    virtual void GlobalColoursChanged() {}
    virtual void FrameColoursChanged(TGIFSubImageCore& frame) {}
    virtual void FrameLoaded(TGIFSubImageCore& frame) {}
    virtual bool RedrawWhileLoading() const { return false; }

    uint8_t EncoderKind = kEncoderLZW;
    TWarningEvent OnGIFWarning;

    // While a stream loads, the frames together may take a million pixels (2^20)
    // plus 4096 (the longest string one code stands for) per byte of the
    // stream; a frame beyond that is refused. False when over.
    bool ClaimFramePixels(int64_t pixels);

private:
    int64_t m_pixelAllowance = -1;  // -1: no load running
    std::unique_ptr<TGIFHeader> m_header;
    std::unique_ptr<TGIFImageList> m_frames;
};

}  // namespace gif
