#include "gif/GifPicture.h"

#include <algorithm>
#include <cstring>

#include "framework/forms/Palettes.h"
#include "gif/GifExtensions.h"
#include "gif/GifGdi.h"
#include "gif/GifPainter.h"

namespace gif {

bool PaletteDisplay = false;
UINT GIFClipboardFormat = 0;

namespace {

constexpr const char* kCopying = "Copying...";
// How long a picture waits for threaded painters that will not stop
// before it lets go of them.
constexpr DWORD kPainterGraceMs = 2000;

thread_local std::vector<std::function<void()>>* t_deferredEvents = nullptr;

// Holds the painter list's lock for a scope.
class TListLock {
public:
    explicit TListLock(forms::TThreadList& list) : m_list(list), m_items(list.LockList()) {}
    ~TListLock() { m_list.UnlockList(); }
    TListLock(const TListLock&) = delete;
    TListLock& operator=(const TListLock&) = delete;
    // The painters, last first (a copy: stopping one may change the list).
    std::vector<TGIFPainter*> PaintersLastFirst() const {
        std::vector<TGIFPainter*> painters;
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) painters.push_back(static_cast<TGIFPainter*>(*it));
        return painters;
    }
    bool Empty() const { return m_items.empty(); }

private:
    forms::TThreadList& m_list;
    std::vector<void*>& m_items;
};

// Sets a flag for a scope.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TFlagScope() { m_flag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& m_flag;
};

forms::TProgressStage StageOf(TGIFProgressStage stage) {
    switch (stage) {
    case TGIFProgressStage::Starting: return forms::TProgressStage::psStarting;
    case TGIFProgressStage::Running: return forms::TProgressStage::psRunning;
    default: return forms::TProgressStage::psEnding;
    }
}

// Does nothing: made at start-up and never started, it makes sure the
// threads' synchronisation window belongs to the GUI thread.
class TDummyThread : public forms::TThread {
public:
    FORMS_CLASS(TDummyThread)
    TDummyThread() : TThread(true) {}

protected:
    void Execute() override {}
};

int g_registrations = 0;
std::unique_ptr<TDummyThread> g_dummyThread;

}  // namespace

TGIFEventDeferral::TGIFEventDeferral(std::vector<std::function<void()>>& events) : m_previous(t_deferredEvents) {
    t_deferredEvents = &events;
}

TGIFEventDeferral::~TGIFEventDeferral() { t_deferredEvents = m_previous; }

// ---- Life -------------------------------------------------------------------------

TGIFImage::TGIFImage() : m_link(std::make_shared<TGIFPictureLink>()) {
    m_link->Picture = this;
    EncoderKind = DefaultEncoderKind;
    ResetImage();
}

TGIFImage::~TGIFImage() {
    StopPainting();
    {
        // Painters that would not stop go on without the picture.
        TListLock lock(m_painters);
        for (TGIFPainter* painter : lock.PaintersLastFirst()) painter->Detach();
        m_ownPainter = nullptr;
    }
    m_painters.Clear();
    {
        std::lock_guard<std::recursive_mutex> guard(m_link->Lock);
        m_link->Picture = nullptr;
    }
    ResetImage();
    m_composite.reset();
    if (m_palette) DeleteObject(m_palette);
}

void TGIFImage::ResetImage() {
    StopPainting();
    FreeCompositeBitmap();
    {
        std::lock_guard<std::recursive_mutex> guard(RenderLock());
        TGIFImageCore::ResetImage();
    }
    SetPalette(nullptr);
}

std::unique_ptr<TGIFSubImageCore> TGIFImage::NewFrame() { return std::make_unique<TGIFSubImage>(this); }

// ---- Events -----------------------------------------------------------------------

void TGIFImage::Changed() {
    if (t_deferredEvents) {
        t_deferredEvents->push_back([this] { TGraphic::Changed(); });
        return;
    }
    TGraphic::Changed();
}

void TGIFImage::ReportWarning(forms::TObject* sender, uint8_t severity, const std::string& message) {
    if (sender == static_cast<forms::TObject*>(static_cast<TGIFImageCore*>(this))) sender = Self();
    if (t_deferredEvents) {
        t_deferredEvents->push_back([this, sender, severity, message] {
            if (OnGIFWarning) OnGIFWarning(sender, severity, message);
        });
        return;
    }
    if (OnGIFWarning) OnGIFWarning(sender, severity, message);
}

void TGIFImage::ReportProgress(forms::TObject* sender, TGIFProgressStage stage, int percent, bool redraw,
                               const std::string& message) {
    if (sender == static_cast<forms::TObject*>(static_cast<TGIFImageCore*>(this))) sender = Self();
    const forms::String text = forms::Utf8ToText(message);
    if (t_deferredEvents) {
        t_deferredEvents->push_back([this, sender, stage, percent, redraw, text] {
            Progress(sender, StageOf(stage), percent, redraw, RECT{}, text);
        });
        return;
    }
    Progress(sender, StageOf(stage), percent, redraw, RECT{}, text);
}

void TGIFImage::FrameColoursChanged(TGIFSubImageCore& frame) {
    static_cast<TGIFSubImage&>(frame).ReplacePalette(nullptr);
}

void TGIFImage::FrameLoaded(TGIFSubImageCore& frame) {
    if (BuildRenderingsWhileLoading) static_cast<TGIFSubImage&>(frame).Rendering();
}

// ---- Size, palette, colours ---------------------------------------------------------

void TGIFImage::SetWidth(int width) {
    for (int i = 0; i < FrameCount(); ++i)
        if (width < Frame(i).Left() + Frame(i).Width()) RaiseGIFError(msg::WidthTooSmall);
    if (width == Width()) return;
    Header().SetWidth(width);
    FreeCompositeBitmap();
    NotifyChanged();
}

void TGIFImage::SetHeight(int height) {
    for (int i = 0; i < FrameCount(); ++i)
        if (height < Frame(i).Top() + Frame(i).Height()) RaiseGIFError(msg::HeightTooSmall);
    if (height == Height()) return;
    Header().SetHeight(height);
    FreeCompositeBitmap();
    NotifyChanged();
}

bool TGIFImage::RendersDithered() const {
    if (!(PaintOptions & poDither)) return false;
    if (PaintOptions & poAutoDither) return PaletteDisplay;
    return true;
}

TColor TGIFImage::ImageBackgroundColour() { return Header().BackgroundColour(); }

HPALETTE TGIFImage::Palette() {
    std::lock_guard<std::recursive_mutex> guard(RenderLock());
    // A frame without colours of its own asks the picture, which may ask
    // the first frame: a picture without any table ends here.
    if (m_inPaletteQuery) RaiseGIFError(msg::NoColourTable);
    TFlagScope query(m_inPaletteQuery);
    if (m_composite)
        if (HPALETTE palette = m_composite->Palette()) return palette;
    if (m_palette) return m_palette;
    if (RendersDithered()) {
        m_palette = CreateWebSafePalette();
        return m_palette;
    }
    if (GlobalColourTable().EntryCount() > 0) {
        m_palette = ColourMapToPalette(GlobalColourTable());
        return m_palette;
    }
    if (Empty()) return nullptr;
    return Frame(0).FramePalette();
}

void TGIFImage::SetPalette(HPALETTE palette) {
    {
        std::lock_guard<std::recursive_mutex> guard(RenderLock());
        if (palette == m_palette) return;
        if (m_palette) DeleteObject(m_palette);
        m_palette = palette;
    }
    if (m_composite && m_composite->Palette() != palette) {
        FreeCompositeBitmap();
        SetPaletteModified(true);
        NotifyChanged();
    }
}

// ---- Frames -----------------------------------------------------------------------

int TGIFImage::AddFrame(std::unique_ptr<TGIFSubImage> frame) {
    int index;
    {
        std::lock_guard<std::recursive_mutex> guard(RenderLock());
        index = Frames().Append(std::move(frame));
    }
    FreeCompositeBitmap();
    NotifyChanged();
    return index;
}

int TGIFImage::AddFrame(const forms::TObject& source) {
    if (!dynamic_cast<const TGIFSubImageCore*>(&source) && !dynamic_cast<const forms::TGraphic*>(&source))
        RaiseGIFError(msg::UnsupportedObject);
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->Assign(&source);
    return AddFrame(std::move(frame));
}

void TGIFImage::OptimizeFrames(uint8_t steps, uint8_t reductionMethod, uint8_t ditherKind, int reductionBits) {
    if (Empty()) return;
    StopPainting();
    TListLock lock(m_painters);
    std::lock_guard<std::recursive_mutex> guard(RenderLock());
    TGIFImageCore::OptimizeFrames(steps, reductionMethod, ditherKind, reductionBits);
}

// ---- Streams, clipboard, assignment -----------------------------------------------

void TGIFImage::LoadFromStream(forms::TStream& stream) { TGIFImageCore::LoadFromStream(stream); }

void TGIFImage::SaveToStream(forms::TStream& stream) { TGIFImageCore::SaveToStream(stream); }

void TGIFImage::WriteData(forms::TStream& stream) {
    if (OptimizeOnStore) OptimizeFrames(kAllOptimizeSteps, 0, 0, 8);
    SaveToStream(stream);
}

void TGIFImage::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    if (!data) data = GetClipboardData(format);
    if (format == GIFClipboardFormat && data) {
        const void* bytes = GlobalLock(data);
        if (!bytes) RaiseGIFError(msg::PrematureEnd);
        std::vector<uint8_t> copy;
        try {
            const auto* p = static_cast<const uint8_t*>(bytes);
            copy.assign(p, p + GlobalSize(data));
        } catch (...) {
            GlobalUnlock(data);
            throw;
        }
        GlobalUnlock(data);
        forms::TMemoryStream stream(std::move(copy));
        LoadFromStream(stream);
        return;
    }
    if (data && format == CF_BITMAP) {
        forms::TBitmap bitmap;
        bitmap.LoadFromClipboardFormat(format, data, palette);
        AssignFromOther(bitmap);
        return;
    }
    throw forms::EInvalidGraphic("Unsupported clipboard format");
}

void TGIFImage::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    if (Empty()) return;
    CompositeBitmap()->SaveToClipboardFormat(format, data, palette);
    forms::TMemoryStream stream;
    SaveToStream(stream);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(stream.Size()));
    if (!block) return;
    if (void* p = GlobalLock(block)) {
        std::memcpy(p, stream.Memory(), static_cast<size_t>(stream.Size()));
        GlobalUnlock(block);
    }
    if (!SetClipboardData(GIFClipboardFormat, block)) {
        GlobalFree(block);
        // The bitmap form would not reach the clipboard either.
        if (data) GlobalFree(data);
        data = nullptr;
        RaiseGIFError(msg::ClipboardFailed);
    }
}

void TGIFImage::Assign(const forms::TObject& source) {
    if (const auto* picture = dynamic_cast<const TGIFImage*>(&source)) {
        if (picture != this) AssignFrom(*picture);
        return;
    }
    AssignFromOther(source);
}

void TGIFImage::AssignFrom(const TGIFImage& from) {
    auto& source = const_cast<TGIFImage&>(from);
    ResetImage();
    // The copy reports to the source's handlers; this picture has none after it.
    OnProgress = source.OnProgress;
    OnGIFWarning = source.OnGIFWarning;
    ReportProgress(Self(), TGIFProgressStage::Starting, 0, false, kCopying);
    try {
        Header().Assign(source.Header());
        PainterPriority = source.PainterPriority;
        BackdropColor = source.BackdropColor;
        PaintOptions = source.PaintOptions;
        ColourReduction = source.ColourReduction;
        DitherKind = source.DitherKind;
        const int count = source.FrameCount();
        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TGIFSubImage>(this);
            frame->Assign(&source.Frame(i));
            AddFrame(std::move(frame));
            ReportProgress(Self(), TGIFProgressStage::Running, (i + 1) * 100 / count, false, kCopying);
        }
    } catch (...) {
        ReportProgress(Self(), TGIFProgressStage::Ending, 0, false, kCopying);
        OnProgress = nullptr;
        OnGIFWarning = nullptr;
        throw;
    }
    ReportProgress(Self(), TGIFProgressStage::Ending, 100, false, kCopying);
    OnProgress = nullptr;
    OnGIFWarning = nullptr;
}

void TGIFImage::AssignFromOther(const forms::TObject& source) {
    ResetImage();
    auto frame = std::make_unique<TGIFSubImage>(this);
    try {
        frame->Assign(&source);
    } catch (const forms::EConvertError&) {
        frame.reset();
        TGraphic::Assign(source);
        return;
    }
    AddFrame(std::move(frame));
}

void TGIFImage::AssignTo(forms::TObject& dest) const {
    if (auto* bitmap = dynamic_cast<forms::TBitmap*>(&dest)) {
        if (forms::TBitmap* composite = const_cast<TGIFImage*>(this)->CompositeBitmap())
            bitmap->Assign(*composite);
        else
            bitmap->Assign(forms::TBitmap());
        return;
    }
    TGraphic::AssignTo(dest);
}

// ---- The composite bitmap -----------------------------------------------------------

void TGIFImage::NewCompositeBitmap() {
    if (m_composite) return;
    auto bitmap = std::make_unique<forms::TBitmap>();
    // Our bitmaps take a palette by turning into 8 bits: only a palette
    // display, where the colours are limited anyway, gets one.
    if (PaletteDisplay)
        if (HPALETTE palette = Palette()) bitmap->SetPalette(palette);
    bitmap->SetSize(Width(), Height());
    bitmap->OnChange = [this](forms::TObject*) { NotifyChanged(); };
    m_composite = std::move(bitmap);
}

forms::TBitmap* TGIFImage::CompositeBitmap() {
    if (Empty()) return nullptr;
    if (m_composite) return m_composite.get();
    auto bitmap = std::make_unique<forms::TBitmap>();
    TGIFSubImage& first = Frame(0);
    if (first.Width() == Width() && first.Height() == Height()) {
        if (forms::TBitmap* rendering = first.Rendering()) bitmap->Assign(*rendering);
    } else {
        if (PaletteDisplay)
            if (HPALETTE palette = Palette()) bitmap->SetPalette(palette);
        bitmap->SetSize(Width(), Height());
        if (!bitmap->Empty()) first.DrawFrame(bitmap->Canvas(), bitmap->Canvas().ClipRect(), false, false);
    }
    bitmap->OnChange = [this](forms::TObject*) { NotifyChanged(); };
    m_composite = std::move(bitmap);
    return m_composite.get();
}

void TGIFImage::FreeCompositeBitmap() {
    {
        TListLock lock(m_painters);
        if (m_ownPainter) m_ownPainter->RequestStop();
    }
    m_composite.reset();
}

// ---- Drawing and painters -----------------------------------------------------------

TGIFPainter* TGIFImage::OwnPainter() {
    TListLock lock(m_painters);
    return m_ownPainter;
}

void TGIFImage::Draw(forms::TCanvas& canvas, const RECT& rect) {
    if (m_drawing || Empty()) return;
    TFlagScope drawing(m_drawing);
    if (FrameCount() == 1 || !(PaintOptions & poAnimate)) {
        Frame(0).DrawFrame(canvas, rect, (PaintOptions & poTransparent) != 0, (PaintOptions & poTile) != 0);
        return;
    }
    if (m_composite && !(PaintOptions & poPaintOnCanvas)) {
        PutComposite(canvas, rect);
        return;
    }
    {
        // Only the GUI thread takes this lock (painters leave through a
        // call to it), so it may be held while their calls are served.
        TListLock lock(m_painters);
        if (m_ownPainter && &m_ownPainter->TargetCanvas() == &canvas && EqualRect(&m_ownPainter->TargetRect(), &rect))
            return;
        StopOwnPainter();
        forms::TCanvas* target = &canvas;
        RECT targetRect = rect;
        if (!(PaintOptions & poPaintOnCanvas)) {
            NewCompositeBitmap();
            if (m_composite->Empty()) return;  // a logical screen of no size
            target = &m_composite->Canvas();
            targetRect = target->ClipRect();
            target->CopyRect(targetRect, canvas, rect);
        }
        TGIFPainter* painter = CreatePainter(&m_ownPainter, *target, PaintOptions, targetRect);
        if (!painter) return;
        painter->Launch();
        if (PaintOptions & poPaintOnCanvas) return;
        while (m_ownPainter == painter && !painter->Terminated() && !painter->Started())
            if (!ServePainters()) return;
    }
    PutComposite(canvas, rect);
}

void TGIFImage::PutComposite(forms::TCanvas& canvas, const RECT& rect) {
    if (!m_composite) return;
    if (!(PaintOptions & poTile)) {
        canvas.StretchDraw(rect, *m_composite);
        return;
    }
    const int w = Width(), h = Height();
    for (int y = rect.top; y < rect.bottom; y += h) {
        for (int x = rect.left; x < rect.right; x += w) {
            canvas.StretchDraw(RECT{x, y, x + w, y + h}, *m_composite);
            if (w <= 0) break;
        }
        if (h <= 0) break;
    }
}

TGIFPainter* TGIFImage::CreatePainter(TGIFPainter** ref, forms::TCanvas& canvas, TGIFPaintOptions options,
                                      const RECT& rect) {
    if (Empty() || rect.left >= rect.right || rect.top >= rect.bottom) {
        if (ref) *ref = nullptr;
        return nullptr;
    }
    if (FrameCount() == 1) options &= static_cast<TGIFPaintOptions>(~(poThreaded | poAnimate));
    auto* painter = new TGIFPainter(*this, options, rect, canvas, ref);
    m_painters.Add(painter);
    painter->OnPaintStart = OnPaintStart;
    painter->OnPaintFrame = OnPaintFrame;
    painter->OnPaintFrameDone = OnPaintFrameDone;
    painter->OnPaintLoop = OnPaintLoop;
    painter->OnPaintEnd = OnPaintEnd;
    if (options & poThreaded) {
        painter->SetPriority(PainterPriority);
        return painter;
    }
    painter->RunAndFree();
    return nullptr;
}

bool TGIFImage::ServePainters() {
    if (HWND window = forms::ThreadWindowHandle()) {
        MSG msg;
        while (PeekMessageW(&msg, window, forms::CM_DESTROYWINDOW, forms::CM_EXECPROC, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // A painter's call to this thread ends the wait at once.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
    return true;
}

void TGIFImage::DetachPainter(TGIFPainter* painter) {
    painter->Detach();
    m_painters.Remove(painter);
    if (m_ownPainter == painter) m_ownPainter = nullptr;
}

void TGIFImage::StopOwnPainter() {
    for (;;) {
        {
            TListLock lock(m_painters);
            TGIFPainter* painter = m_ownPainter;
            if (!painter) break;
            painter->RequestStop();
            if (!painter->Threaded()) break;
            // Called from the painter's own call to this thread: it cannot
            // end before this returns.
            if (painter->InCallback()) {
                DetachPainter(painter);
                break;
            }
        }
        if (!ServePainters()) return;
    }
    FreeCompositeBitmap();
}

void TGIFImage::StopPainting() {
    for (;;) {
        bool waiting = false;
        {
            TListLock lock(m_painters);
            if (lock.Empty()) break;
            for (TGIFPainter* painter : lock.PaintersLastFirst()) {
                painter->RequestStop();
                if (!painter->Threaded()) continue;
                if (painter->InCallback())
                    DetachPainter(painter);
                else
                    waiting = true;
            }
        }
        if (!waiting) break;
        if (!forms::ThreadWindowHandle() || !ServePainters()) {
            KillThreadedPainters();
            break;
        }
    }
    FreeCompositeBitmap();
}

void TGIFImage::KillThreadedPainters() {
    // Painters may hold locks of their own (the heap's, the picture's): they
    // are never ended by force. Those that do not stop in time are let go.
    const DWORD start = GetTickCount();
    for (;;) {
        {
            TListLock lock(m_painters);
            bool any = false;
            for (TGIFPainter* painter : lock.PaintersLastFirst()) {
                if (!painter->Threaded()) continue;
                painter->RequestStop();
                any = true;
            }
            if (!any) return;
        }
        if (GetTickCount() - start >= kPainterGraceMs) break;
        ServePainters();
    }
    TListLock lock(m_painters);
    for (TGIFPainter* painter : lock.PaintersLastFirst())
        if (painter->Threaded()) DetachPainter(painter);
}

// ---- Start-up and shutdown ------------------------------------------------------------

void RegisterGIFImage() {
    if (g_registrations++ > 0) return;
    auto factory = [] { return std::unique_ptr<forms::TGraphic>(std::make_unique<TGIFImage>()); };
    forms::TPicture::RegisterFileFormat(u"GIF", u"GIF Image", "TGIFImage", factory);
    GIFClipboardFormat = RegisterClipboardFormatW(L"GIF Image");
    forms::TPicture::RegisterClipboardFormat(GIFClipboardFormat, "TGIFImage", factory);
    if (const HDC screen = GetDC(nullptr)) {
        PaletteDisplay = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) <= 8;
        ReleaseDC(nullptr, screen);
    }
    g_dummyThread = std::make_unique<TDummyThread>();
}

void UnregisterGIFImage() {
    if (g_registrations == 0 || --g_registrations > 0) return;
    forms::TPicture::UnregisterGraphicClass("TGIFImage");
    g_dummyThread.reset();
}

}  // namespace gif
