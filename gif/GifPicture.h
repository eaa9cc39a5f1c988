// TGIFImage: the picture class for GIF data that the framework's picture
// registry creates for ".gif" files, the "GIF Image" clipboard format and
// stored pictures of that class. It loads and saves GIF streams, draws the
// first frame or animates all of them with painters (GifPainter.h),
// imports other pictures as frames and optimises its frames.
//
// Threads: every operation runs on the GUI thread. Painter threads only
// read frames and render them, under RenderLock(); whatever they cause to
// be told (progress, change, warnings) reaches the handlers on the GUI
// thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/forms/Graphics.h"
#include "framework/forms/Threads.h"
#include "gif/GifImageCore.h"
#include "gif/GifSubImage.h"

namespace gif {

class TGIFPainter;

// Drawing options of a picture (a set of bits).
enum TGIFPaintOption : uint16_t {
    poThreaded = 0x0001,        // painters run on their own thread
    poTransparent = 0x0002,     // frames draw through their transparency mask
    poAnimate = 0x0004,         // all frames in turn; otherwise the first only
    poLoop = 0x0008,            // repeat as the loop extension says
    poLoopForever = 0x0010,     // repeat without end
    poValidateCanvas = 0x0020,  // stop when the target's device context goes
    poPaintOnCanvas = 0x0040,   // animate on the target canvas, not the composite bitmap
    poClearOnRestart = 0x0080,  // clear to the backdrop before each pass
    poTile = 0x0100,            // tile over the target instead of stretching
    poDither = 0x0200,          // render dithered to the web-safe palette
    poAutoDither = 0x0400,      // with poDither: only on a palette display
};
using TGIFPaintOptions = uint16_t;

constexpr TGIFPaintOptions DefaultPaintOptions = 0x060F;
constexpr uint8_t DefaultColourReduction = 6;  // WebSafe216
constexpr int DefaultReductionDepth = 8;
constexpr uint8_t DefaultDitherKind = 0;
constexpr uint8_t DefaultEncoderKind = kEncoderLZW;
constexpr forms::TThreadPriority DefaultPainterPriority = forms::TThreadPriority::tpNormal;
constexpr int DefaultAnimationRate = 100;
// Painter timing: delays count in hundredths of a second, waited as 12 ms.
constexpr int FrameDelayUnitMs = 12;
constexpr int FrameDelayDefault = 10;
constexpr int FrameDelayMinimum = 3;
constexpr int FrameDelayMaximum = 1000;
// Frames render as soon as they are read (and loading asks for redraws).
constexpr bool BuildRenderingsWhileLoading = false;
// Storing the picture in a form description optimises it first.
constexpr bool OptimizeOnStore = false;

// Set at start-up: the screen shows at most 256 colours.
extern bool PaletteDisplay;
// Registered at start-up: the clipboard format "GIF Image".
extern UINT GIFClipboardFormat;

// What a picture shares with its painters: the lock over its frames'
// renderings and palettes, and the picture while it exists. A painter keeps
// it beyond the picture's end, so it can always ask.
struct TGIFPictureLink {
    std::recursive_mutex Lock;
    class TGIFImage* Picture = nullptr;
};

class TGIFImage : public forms::TGraphic, public TGIFImageCore {
public:
    FORMS_CLASS(TGIFImage)
    TGIFImage();
    ~TGIFImage() override;

    // The picture as the framework's object (its two bases are both objects).
    forms::TObject* Self() { return static_cast<forms::TGraphic*>(this); }

    // ---- The framework's picture ----
    void Draw(forms::TCanvas& canvas, const RECT& rect) override;
    bool Empty() const override { return TGIFImageCore::Empty(); }
    int Width() const override { return ScreenWidth(); }
    int Height() const override { return ScreenHeight(); }
    // "Image width too small for contained frames" (height likewise) when a
    // frame would not fit.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    // The image palette (see the .cpp); owned by the picture.
    HPALETTE Palette() override;
    // Takes ownership of the palette.
    void SetPalette(HPALETTE palette) override;
    void LoadFromStream(forms::TStream& stream) override;
    void SaveToStream(forms::TStream& stream) override;
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;
    void Assign(const forms::TObject& source) override;
    void Assign(const TGIFImage& source) { Assign(static_cast<const forms::TGraphic&>(source)); }
    void AssignTo(forms::TObject& dest) const override;
    bool Equals(const forms::TGraphic& other) const override { return &other == this; }
    void WriteData(forms::TStream& stream) override;

    // ---- The core's hooks ----
    void ResetImage() override;
    void ReportWarning(forms::TObject* sender, uint8_t severity, const std::string& message) override;
    std::unique_ptr<TGIFSubImageCore> NewFrame() override;
    void ReportProgress(forms::TObject* sender, TGIFProgressStage stage, int percent, bool redraw,
                        const std::string& message) override;
    void GlobalColoursChanged() override { SetPalette(nullptr); }
    void FrameColoursChanged(TGIFSubImageCore& frame) override;
    void FrameLoaded(TGIFSubImageCore& frame) override;
    bool RedrawWhileLoading() const override { return BuildRenderingsWhileLoading; }
    // Stops the painters first; the steps run under the painter-list lock.
    void OptimizeFrames(uint8_t steps, uint8_t reductionMethod, uint8_t ditherKind, int reductionBits) override;

    // ---- Frames ----
    TGIFSubImage& Frame(int index) { return static_cast<TGIFSubImage&>(Frames().FrameAt(index)); }
    int FrameCount() { return Frames().ItemCount(); }
    // Appends a frame of this picture; returns its index.
    int AddFrame(std::unique_ptr<TGIFSubImage> frame);
    // Imports another picture as a new frame ("Object type not supported
    // for operation" for what is not a picture).
    int AddFrame(const forms::TObject& source);
    TColor ImageBackgroundColour();
    bool RendersDithered() const;

    // ---- The composite bitmap (the whole screen) ----
    // Made on first use from the first frame; nullptr for an empty picture.
    forms::TBitmap* CompositeBitmap();
    // An empty one of the screen's size when none is cached.
    void NewCompositeBitmap();
    // Asks the own painter to stop (without waiting) and frees the bitmap.
    void FreeCompositeBitmap();

    // ---- Painters ----
    // Stops the painter Draw started, waiting for it while the painters'
    // calls to this thread keep running.
    void StopOwnPainter();
    // Stops every painter of the picture alike.
    void StopPainting();
    // Ends threaded painters that do not stop: waits a while for them,
    // serving their calls, then lets go of those still running (they end
    // on their own, finding no picture).
    void KillThreadedPainters();
    // A painter drawing this picture onto canvas and rect (see GifPainter.h):
    // threaded, it comes back suspended and is stored in *ref; unthreaded, it
    // has already played and nullptr comes back.
    TGIFPainter* CreatePainter(TGIFPainter** ref, forms::TCanvas& canvas, TGIFPaintOptions options,
                               const RECT& rect);
    TGIFPainter* OwnPainter();
    forms::TThreadList& PainterList() { return m_painters; }
    std::recursive_mutex& RenderLock() { return m_link->Lock; }
    const std::shared_ptr<TGIFPictureLink>& Link() const { return m_link; }

    // ---- Settings ----
    TGIFPaintOptions PaintOptions = DefaultPaintOptions;
    uint8_t ColourReduction = DefaultColourReduction;
    int ReductionDepth = DefaultReductionDepth;
    uint8_t DitherKind = DefaultDitherKind;
    forms::TThreadPriority PainterPriority = DefaultPainterPriority;
    int AnimationRate = DefaultAnimationRate;  // percent
    forms::TColor BackdropColor = forms::clNone;
    forms::TNotifyEvent OnPaintStart, OnPaintFrame, OnPaintFrameDone, OnPaintLoop, OnPaintEnd;

    // The picture changed: the framework's change event, on the GUI thread.
    void NotifyChanged() { Changed(); }

protected:
    void Changed() override;

private:
    friend class TGIFSubImage;
    friend class TGIFPainter;
    // Out of the list and forgotten, without waiting: the painter finds no
    // picture when it looks next. Under the painter-list lock.
    void DetachPainter(TGIFPainter* painter);
    void PutComposite(forms::TCanvas& canvas, const RECT& rect);
    // Serves the painters' calls to this thread for a moment; false when a
    // quit message came (it is posted again).
    bool ServePainters();
    void AssignFrom(const TGIFImage& source);
    void AssignFromOther(const forms::TObject& source);

    bool m_drawing = false;
    bool m_inPaletteQuery = false;
    HPALETTE m_palette = nullptr;
    forms::TThreadList m_painters;
    std::unique_ptr<forms::TBitmap> m_composite;
    TGIFPainter* m_ownPainter = nullptr;
    std::shared_ptr<TGIFPictureLink> m_link;
};

// While one lives on a thread, what pictures would tell their handlers on
// that thread (progress, change, warnings) is kept in `events` instead, for
// the GUI thread to deliver.
class TGIFEventDeferral {
public:
    explicit TGIFEventDeferral(std::vector<std::function<void()>>& events);
    ~TGIFEventDeferral();
    TGIFEventDeferral(const TGIFEventDeferral&) = delete;
    TGIFEventDeferral& operator=(const TGIFEventDeferral&) = delete;

private:
    std::vector<std::function<void()>>* m_previous;
};

// The picture class's start-up and shutdown, counted: the first start-up
// registers TGIFImage for "GIF" and the clipboard format "GIF Image" and
// notes PaletteDisplay; the last shutdown unregisters it. Call both on the
// GUI thread.
void RegisterGIFImage();
void UnregisterGIFImage();

// Registration for a scope (the program's message loop).
class TGIFImageRegistration {
public:
    TGIFImageRegistration() { RegisterGIFImage(); }
    ~TGIFImageRegistration() { UnregisterGIFImage(); }
    TGIFImageRegistration(const TGIFImageRegistration&) = delete;
    TGIFImageRegistration& operator=(const TGIFImageRegistration&) = delete;
};

}  // namespace gif
