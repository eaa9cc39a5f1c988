#include "gif/GifPainter.h"

#include <mmsystem.h>

#include <algorithm>

#include "gif/GifExtensions.h"

namespace gif {

namespace {

// What the painter needs of one frame, read under the picture's lock.
struct FrameFacts {
    bool Exists = false;
    bool Empty = true;
    bool HasControl = false;
    int Disposal = 0;
    int Delay = 0;
    bool HasLoop = false;
    int Loops = 0;
};

}  // namespace

TGIFPainter::TGIFPainter(TGIFImage& picture, TGIFPaintOptions options, const RECT& rect, forms::TCanvas& canvas,
                         TGIFPainter** painterRef)
    : TThread(true),
      m_link(picture.Link()),
      m_canvas(canvas),
      m_rect(rect),
      m_options(options),
      m_rate(picture.AnimationRate),
      m_painterRef(painterRef) {
    SetFreeOnTerminate(Threaded());
    OnTerminate = [this](forms::TObject*) { LeavePicture(); };
    if (Threaded() && (options & poAnimate) && picture.FrameCount() > 1 && m_rate >= 0)
        m_wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    PrepareBuffers();
    if (m_painterRef) *m_painterRef = this;
}

TGIFPainter::~TGIFPainter() {
    if (m_wakeEvent) CloseHandle(m_wakeEvent);
}

void TGIFPainter::PrepareBuffers() {
    std::unique_lock<std::recursive_mutex> lock;
    TGIFImage* picture = PictureLocked(lock);
    if (!picture) return;
    unsigned disposals = 0;
    for (int i = 0; i < picture->FrameCount(); ++i) {
        TGIFSubImage& frame = picture->Frame(i);
        if (frame.ControlExtension() && frame.Disposal() <= 7) disposals |= 1u << frame.Disposal();
    }
    if (m_options & poClearOnRestart) disposals |= 1u << 2;
    COLORREF clear;
    if (picture->BackdropColor != forms::clNone)
        clear = forms::ColorToRGB(picture->BackdropColor);
    else if (picture->GlobalColourTable().EntryCount() > 0)
        clear = static_cast<COLORREF>(picture->ImageBackgroundColour());
    else
        clear = forms::ColorToRGB(forms::clWindow);
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    const RECT whole{0, 0, w, h};
    auto copyOfTarget = [&] {
        auto bitmap = std::make_unique<forms::TBitmap>(w, h, forms::TPixelFormat::pf24bit);
        bitmap->Canvas().CopyRect(whole, m_canvas, m_rect);
        return bitmap;
    };
    if ((disposals & 4u) && (m_options & poTransparent)) m_backgroundCopy = copyOfTarget();
    if (disposals & (4u | 8u)) {
        m_backupBuffer = copyOfTarget();
        m_backupBuffer->Canvas().Brush().SetColor(static_cast<forms::TColor>(clear));
        m_frameBuffer = std::make_unique<forms::TBitmap>(w, h, forms::TPixelFormat::pf24bit);
        m_frameBuffer->Canvas().Brush().SetColor(static_cast<forms::TColor>(clear));
    }
}

void TGIFPainter::Launch() {
    if (Threaded()) Resume();
}

void TGIFPainter::RequestStop() {
    Terminate();
    if (!Threaded()) return;
    if (m_wakeEvent) SetEvent(m_wakeEvent);
    SetPriority(forms::TThreadPriority::tpNormal);
    if (Suspended()) Resume();
}

TGIFImage* TGIFPainter::PictureLocked(std::unique_lock<std::recursive_mutex>& lock) {
    lock = std::unique_lock<std::recursive_mutex>(m_link->Lock);
    return m_detached ? nullptr : m_link->Picture;
}

TGIFSubImage* TGIFPainter::ActiveFrameLocked(std::unique_lock<std::recursive_mutex>& lock, TGIFImage*& picture) {
    picture = PictureLocked(lock);
    if (!picture) {
        Terminate();
        return nullptr;
    }
    const int index = ActiveFrame;
    return index >= 0 && index < picture->FrameCount() ? &picture->Frame(index) : nullptr;
}

void TGIFPainter::Detach() {
    std::lock_guard<std::recursive_mutex> guard(m_link->Lock);
    m_detached = true;
}

void TGIFPainter::LeavePicture() {
    TGIFImage* picture;
    {
        std::lock_guard<std::recursive_mutex> guard(m_link->Lock);
        picture = m_detached ? nullptr : m_link->Picture;
        m_detached = true;
    }
    if (picture) {
        // On the GUI thread, which alone frees pictures: it stays while used.
        std::vector<void*>& painters = picture->PainterList().LockList();
        if (m_painterRef && *m_painterRef == this) *m_painterRef = nullptr;
        painters.erase(std::remove(painters.begin(), painters.end(), this), painters.end());
        picture->PainterList().UnlockList();
    }
    m_backupBuffer.reset();
    m_frameBuffer.reset();
    m_backgroundCopy.reset();
    if (m_wakeEvent) CloseHandle(m_wakeEvent);
    m_wakeEvent = nullptr;
}

void TGIFPainter::RunAndFree() {
    std::exception_ptr error;
    try {
        Execute();
    } catch (...) {
        error = std::current_exception();
    }
    if (!error) error = m_caughtError;
    LeavePicture();
    delete this;
    if (error) std::rethrow_exception(error);
}

void TGIFPainter::Synchronized(const std::function<void()>& routine) {
    if (Terminated()) return;
    if (!Threaded()) {
        routine();
        return;
    }
    Synchronize([this, &routine] {
        // Asked to stop while this call waited: what it would draw on may be gone.
        if (Terminated()) return;
        m_inCallback = true;
        try {
            routine();
        } catch (...) {
            m_inCallback = false;
            throw;
        }
        m_inCallback = false;
    });
}

void TGIFPainter::FireEvent(const forms::TNotifyEvent& handler) {
    if (!handler) return;
    Synchronized([this, &handler] { handler(this); });
}

void TGIFPainter::Execute() {
    try {
        Run();
    } catch (const forms::Exception& e) {
        Terminate();
        m_caughtError = std::current_exception();
        if (!Threaded()) return;
        // It must not leave this thread: the picture's warning tells it.
        const std::string message = e.what();
        try {
            TThread::Synchronize(this, [this, &message] {
                std::unique_lock<std::recursive_mutex> lock;
                if (TGIFImage* picture = PictureLocked(lock))
                    picture->ReportWarning(picture->Self(), kWarningSeverity, message);
            });
        } catch (...) {
        }
    }
}

void TGIFPainter::Run() {
    // The target may have gone already when the painter was stopped at once.
    if (m_options & poValidateCanvas) Synchronized([this] { m_validatedDC = m_canvas.Handle(); });
    auto readFrame = [this](int index) {
        FrameFacts facts;
        std::unique_lock<std::recursive_mutex> lock;
        TGIFImage* picture = PictureLocked(lock);
        if (!picture) {
            Terminate();
            return facts;
        }
        if (index < 0 || index >= picture->FrameCount()) return facts;
        TGIFSubImage& frame = picture->Frame(index);
        facts.Exists = true;
        facts.Empty = frame.IsEmpty();
        facts.HasControl = frame.ControlExtension() != nullptr;
        facts.Disposal = frame.Disposal();
        facts.Delay = frame.Delay();
        if (TGIFAppExtNSLoop* loop = frame.LoopExtension()) {
            facts.HasLoop = true;
            facts.Loops = loop->Loops();
        }
        return facts;
    };
    const bool animate = (m_options & poAnimate) != 0;
    const bool loopForever = (m_options & poLoopForever) != 0;

    RestartRequested = true;
    while (RestartRequested && !Terminated()) {
        ActiveFrame = 0;
        FireEvent(OnPaintStart);
        m_started = false;
        RestartRequested = false;
        int loopsLeft = 1, restartFrame = 0;
        bool loopSeen = false;
        int wait = Threaded() ? 0 : 1;
        m_previousDisposal = 1;
        m_lastTime = timeGetTime();
        m_carriedWait = 0;
        for (bool firstPass = true;
             firstPass || (animate && (m_options & poLoop) && (loopsLeft != 0 || loopForever) && !Terminated() &&
                           !RestartRequested);
             firstPass = false) {
            ActiveFrame = restartFrame;
            if (m_started) FireEvent(OnPaintLoop);
            for (;;) {
                FrameFacts facts = readFrame(ActiveFrame);
                if (!facts.Exists || facts.Empty || Terminated() || RestartRequested) break;
                Wait(wait);
                if (Terminated()) break;
                FireEvent(OnPaintFrame);
                if (Terminated()) break;
                m_disposal = 1;
                if (facts.HasLoop && !loopSeen) {
                    loopSeen = true;
                    loopsLeft = (Threaded() && (facts.Loops == 0 || loopForever)) ? -1 : facts.Loops;
                    restartFrame = ActiveFrame;
                }
                if (facts.HasControl) m_disposal = facts.Disposal;
                Synchronized([this] {
                    if (m_backupBuffer)
                        DisposalPaint();
                    else
                        PlainPaint();
                });
                m_previousDisposal = m_disposal;
                if (Terminated()) break;
                wait = FrameDelayDefault;
                if (facts.HasControl && facts.Delay > 0) {
                    wait = std::max(facts.Delay, FrameDelayMinimum);
                    if (!Threaded()) wait = std::min(wait, FrameDelayMaximum);
                }
                const int before = ActiveFrame;
                FireEvent(OnPaintFrameDone);
                if (Terminated()) break;
                if (ActiveFrame == before) ++ActiveFrame;
                if (!animate) break;
            }
            if (loopsLeft > 0) --loopsLeft;
        }
    }
    ActiveFrame = -1;
    FireEvent(OnPaintEnd);
}

void TGIFPainter::RenderActiveFrame() {
    std::vector<std::function<void()>> events;
    {
        std::unique_lock<std::recursive_mutex> lock;
        TGIFImage* picture;
        TGIFSubImage* frame = ActiveFrameLocked(lock, picture);
        if (!frame) return;
        if (!Threaded()) {
            frame->Rendering();
            return;
        }
        // Rendering tells progress and changes; their handlers run on the
        // GUI thread once the lock is free again.
        TGIFEventDeferral deferral(events);
        frame->Rendering();
    }
    if (events.empty()) return;
    Synchronized([this, &events] {
        for (const auto& deliver : events) {
            // A handler may free the picture.
            if (!m_link->Picture || m_detached) return;
            deliver();
        }
    });
}

void TGIFPainter::Wait(int w) {
    if (w <= 0) {
        Sleep(0);
        return;
    }
    RenderActiveFrame();
    if (Terminated()) return;
    const DWORD now = timeGetTime();
    if (m_rate > 0) {
        // Half of the time the last frame ran over comes off this wait.
        const int overrun = (static_cast<int>(now - m_lastTime) - m_carriedWait) / 2;
        w = MulDiv(w * FrameDelayUnitMs - overrun, 100, m_rate);
        m_carriedWait = w;
    } else {
        w = Threaded() ? -1 : 1000 * FrameDelayUnitMs;
    }
    m_lastTime = now;
    if (Threaded()) {
        if (w > 0 || m_rate == 0) {
            // Rate 0 holds the frame (w is -1: no time-out) until woken.
            const DWORD result = m_wakeEvent ? WaitForSingleObject(m_wakeEvent, static_cast<DWORD>(w))
                                             : (Sleep(static_cast<DWORD>(std::max(w, 0))), WAIT_TIMEOUT);
            if (result != WAIT_TIMEOUT) {
                m_carriedWait = 0;
                m_lastTime = timeGetTime();
            }
        }
        return;
    }
    // Unthreaded: in slices of at most 100 ms, the message queue flowing.
    w = std::max(w, 1);
    while (w > 0 && !Terminated() && !RestartRequested) {
        const DWORD start = timeGetTime();
        Sleep(static_cast<DWORD>(std::min(w, 100)));
        w -= static_cast<int>(timeGetTime() - start);
        MSG msg;
        while (!Terminated() && !RestartRequested && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                Terminate();
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void TGIFPainter::PlainPaint() {
    std::unique_lock<std::recursive_mutex> lock;
    TGIFImage* picture;
    TGIFSubImage* frame = ActiveFrameLocked(lock, picture);
    if (!frame) return;
    frame->DrawFrame(m_canvas, m_rect, (m_options & poTransparent) != 0, (m_options & poTile) != 0);
    m_started = true;
}

void TGIFPainter::DisposalPaint() {
    std::unique_lock<std::recursive_mutex> lock;
    TGIFImage* picture;
    TGIFSubImage* active = ActiveFrameLocked(lock, picture);
    if (!active) return;
    if (m_options & poValidateCanvas) {
        // A memory context is as valid a target as a window's.
        const DWORD type = GetObjectType(m_validatedDC);
        if (type != OBJ_DC && type != OBJ_MEMDC) {
            Terminate();
            return;
        }
    }
    TGIFSubImage& frame = *active;
    const bool clearFirst = (m_options & poClearOnRestart) && ActiveFrame == 0;
    const RECT whole{0, 0, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
    forms::TCanvas* surface = nullptr;
    RECT surfaceRect = whole;
    bool copyToTarget = false, backupToFrame = false;
    switch (m_disposal) {
    case 0:
    case 1:
    case 2:
        surface = &m_backupBuffer->Canvas();
        copyToTarget = true;
        break;
    case 3:
        if (m_previousDisposal == 0 || m_previousDisposal == 1) {
            // Straight onto the target: the backup keeps what was before.
            surface = &m_canvas;
            surfaceRect = m_rect;
        } else if (m_previousDisposal == 2 || m_previousDisposal == 3) {
            backupToFrame = true;
            surface = &m_frameBuffer->Canvas();
            copyToTarget = true;
        }
        break;
    default:
        break;
    }
    HDC surfaceDc = nullptr;
    HPALETTE oldPalette = nullptr;
    if (surface) {
        surfaceDc = surface->Handle();
        HPALETTE palette = frame.FramePalette();
        if (!palette) palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
        oldPalette = SelectPalette(surfaceDc, palette, FALSE);
        RealizePalette(surfaceDc);
    }
    try {
        if (clearFirst) ClearFrameArea();
        if (backupToFrame) m_frameBuffer->Canvas().CopyRect(whole, m_backupBuffer->Canvas(), whole);
        if (surface) {
            frame.DrawFrame(*surface, surfaceRect, (m_options & poTransparent) != 0, (m_options & poTile) != 0);
            if (copyToTarget) {
                m_canvas.SetCopyMode(SRCCOPY);
                m_canvas.CopyRect(m_rect, *surface, whole);
            }
        }
    } catch (...) {
        if (oldPalette) SelectPalette(surfaceDc, oldPalette, FALSE);
        throw;
    }
    if (oldPalette) SelectPalette(surfaceDc, oldPalette, FALSE);
    if (m_disposal == 2) ClearFrameArea();
    m_started = true;
}

void TGIFPainter::ClearFrameArea() {
    std::unique_lock<std::recursive_mutex> lock;
    TGIFImage* picture;
    TGIFSubImage* active = ActiveFrameLocked(lock, picture);
    if (!active || !m_backupBuffer) return;
    TGIFSubImage& frame = *active;
    const bool transparent = (m_options & poTransparent) != 0;
    forms::TCanvas& backup = m_backupBuffer->Canvas();
    auto clear = [&](const RECT& area) {
        if (transparent && m_backgroundCopy)
            backup.CopyRect(area, m_backgroundCopy->Canvas(), area);
        else
            backup.FillRect(area);
    };
    if (!(m_options & poTile)) {
        clear(frame.FrameRect(RECT{0, 0, m_backupBuffer->Width(), m_backupBuffer->Height()}));
        return;
    }
    const int screenW = picture->Width(), screenH = picture->Height();
    auto areaAt = [&](int x, int y) {
        const int left = x + frame.Left(), top = y + frame.Top();
        return RECT{left, top, left + frame.Width(), top + frame.Height()};
    };
    if (!transparent && (frame.Width() >= screenW || frame.Height() >= screenH)) {
        clear(areaAt(0, 0));
        return;
    }
    // Every copy of the screen over the buffer; a screen of no size gives one.
    for (int y = 0; y < m_backupBuffer->Height(); y += screenH) {
        for (int x = 0; x < m_backupBuffer->Width(); x += screenW) {
            clear(areaAt(x, y));
            if (screenW <= 0) break;
        }
        if (screenH <= 0) break;
    }
}

}  // namespace gif
