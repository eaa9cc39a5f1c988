// TGIFPainter: plays the frames of one TGIFImage onto one canvas
// rectangle. It waits each frame's delay, applies the disposal methods
// between frames, repeats as the loop extension says and reports through
// five events. Threaded (poThreaded) it runs on its own thread, and every
// drawing and every event handler runs on the GUI thread through the
// framework's thread synchronisation; unthreaded it runs inside the
// caller's Draw.
//
// The picture creates painters (CreatePainter) and stops them; a painter
// that ends removes itself from the picture's painter list and clears the
// reference that named it. The picture may go first: the painter then
// finds no picture and ends.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <memory>

#include "framework/forms/Graphics.h"
#include "framework/forms/Threads.h"
#include "gif/GifPicture.h"

namespace gif {

class TGIFPainter : public forms::TThread {
public:
    FORMS_CLASS(TGIFPainter)
    // Created suspended, on the GUI thread; stores itself in *painterRef.
    TGIFPainter(TGIFImage& picture, TGIFPaintOptions options, const RECT& rect, forms::TCanvas& canvas,
                TGIFPainter** painterRef);
    ~TGIFPainter() override;

    // Starts a threaded painter.
    void Launch();
    // Asks the painter to stop soon: a waiting threaded painter wakes.
    void RequestStop();
    // Runs an unthreaded painter to its end on this thread and frees it;
    // an error of the framework's kind caught in the run comes back here.
    void RunAndFree();

    bool Threaded() const { return (m_options & poThreaded) != 0; }
    bool Started() const { return m_started; }
    TGIFPaintOptions PainterOptions() const { return m_options; }
    int Rate() const { return m_rate; }
    forms::TCanvas& TargetCanvas() const { return m_canvas; }
    const RECT& TargetRect() const { return m_rect; }
    int Disposal() const { return m_disposal; }
    int PreviousDisposal() const { return m_previousDisposal; }
    // Runs on this thread's behalf on the GUI thread right now.
    bool InCallback() const { return m_inCallback; }

    // The frame being painted, -1 when idle. OnPaintFrameDone may move it
    // to choose the next frame.
    std::atomic<int> ActiveFrame{-1};
    // Set to start again from the first frame.
    std::atomic<bool> RestartRequested{false};

    forms::TNotifyEvent OnPaintStart, OnPaintFrame, OnPaintFrameDone, OnPaintLoop, OnPaintEnd;

protected:
    void Execute() override;

private:
    friend class TGIFImage;
    // Lets go of the picture: out of its list, its reference cleared; the
    // buffers and the wake event go. On the GUI thread.
    void LeavePicture();
    // The picture goes (or gives up on this painter) without waiting: the
    // painter will find no picture. Under the picture's painter-list lock.
    void Detach();
    // The picture while it exists and this painter belongs to it; hold
    // lock for as long as the picture is used.
    TGIFImage* PictureLocked(std::unique_lock<std::recursive_mutex>& lock);
    // The same, and the frame being painted (nullptr when out of range).
    // Without a picture the painter stops.
    TGIFSubImage* ActiveFrameLocked(std::unique_lock<std::recursive_mutex>& lock, TGIFImage*& picture);
    void PrepareBuffers();
    void Run();
    // Waits before the frame: w is the delay of the frame painted before.
    void Wait(int w);
    void RenderActiveFrame();
    void Synchronized(const std::function<void()>& routine);
    void FireEvent(const forms::TNotifyEvent& handler);
    void PlainPaint();
    void DisposalPaint();
    void ClearFrameArea();

    std::shared_ptr<TGIFPictureLink> m_link;
    bool m_detached = false;  // under the link's lock
    forms::TCanvas& m_canvas;
    RECT m_rect;
    TGIFPaintOptions m_options;
    int m_rate;
    int m_disposal = 1;
    int m_previousDisposal = 1;
    std::unique_ptr<forms::TBitmap> m_backupBuffer, m_frameBuffer, m_backgroundCopy;
    HDC m_validatedDC = nullptr;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_inCallback{false};
    TGIFPainter** m_painterRef;
    HANDLE m_wakeEvent = nullptr;
    std::exception_ptr m_caughtError;
    // Timing between frames.
    DWORD m_lastTime = 0;
    int m_carriedWait = 0;
};

}  // namespace gif
