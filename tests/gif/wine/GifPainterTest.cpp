// Animation painters under Wine, into memory bitmaps, synchronised through
// the message-only thread window: waits and loop counts, stopping, the
// picture going while its painters play, handlers only on the GUI thread,
// and a hundred runs of drawing, stopping and freeing that must never
// deadlock. The drawing and timing figures come from tools/gifbench
// (gifpaintbench).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifPainter.h"
#include "gif/GifPicture.h"
#include "tests/gif/wine/GifWineUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;
using namespace gif;
using gifwine::NowMs;
using gifwine::Rgb;

namespace {

constexpr int kNoControl = -1;

// An animation of full-screen frames over a table of four colours; frame
// i is colour i % 4. delays[i] < 0: no control extension. A loop extension
// with `loops` sits on frame `loopFrame` when loops >= 0.
std::unique_ptr<TGIFImage> Animation(const std::vector<int>& delays, int w = 16, int h = 12, int loops = -1,
                                     int loopFrame = 0) {
    auto picture = std::make_unique<TGIFImage>();
    for (TColor c : {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}) picture->GlobalColourTable().AppendColour(c);
    for (size_t i = 0; i < delays.size(); ++i) {
        auto frame = std::make_unique<TGIFSubImage>(picture.get());
        frame->PlaceFrame(0, 0, w, h);
        std::fill(frame->Pixels(), frame->Pixels() + frame->PixelCount(), static_cast<uint8_t>(i % 4));
        if (loops >= 0 && static_cast<int>(i) == loopFrame) {
            auto loop = std::make_unique<TGIFAppExtNSLoop>(*frame);
            loop->SetLoops(static_cast<uint16_t>(loops));
            frame->Extensions().Append(std::move(loop));
        }
        if (delays[i] != kNoControl) {
            auto gce = std::make_unique<TGIFGraphicControlExtension>(*frame);
            gce->SetDelay(delays[i]);
            frame->Extensions().Append(std::move(gce));
        }
        picture->AddFrame(std::move(frame));
    }
    return picture;
}

// What a painter did, seen from its handlers.
struct Recorder {
    double StartTime = 0;            // OnPaintStart
    std::vector<double> PaintTimes;  // OnPaintFrame
    std::vector<double> FrameTimes;  // OnPaintFrameDone
    std::vector<int> Frames;         // ActiveFrame at OnPaintFrame
    int Starts = 0, Loops = 0, Ends = 0;
    std::vector<DWORD> Threads;      // of every handler call
    DWORD PainterThread = 0;

    void Attach(TGIFImage& picture) {
        auto note = [this] { Threads.push_back(GetCurrentThreadId()); };
        picture.OnPaintStart = [this, note](TObject* sender) {
            note();
            ++Starts;
            StartTime = NowMs();
            PainterThread = static_cast<TGIFPainter*>(sender)->ThreadID();
        };
        picture.OnPaintFrame = [this, note](TObject* sender) {
            note();
            Frames.push_back(static_cast<TGIFPainter*>(sender)->ActiveFrame);
            PaintTimes.push_back(NowMs());
        };
        picture.OnPaintFrameDone = [this, note](TObject*) {
            note();
            FrameTimes.push_back(NowMs());
        };
        picture.OnPaintLoop = [this, note](TObject*) {
            note();
            ++Loops;
        };
        picture.OnPaintEnd = [this, note](TObject*) {
            note();
            ++Ends;
        };
    }
    bool AllOn(DWORD thread) const {
        return std::all_of(Threads.begin(), Threads.end(), [thread](DWORD t) { return t == thread; });
    }
};

const TGIFPaintOptions kOnCanvas = poThreaded | poTransparent | poAnimate | poPaintOnCanvas;

// A picture to draw onto a 16 x 12 memory bitmap, its handlers recording.
struct Play {
    Play(std::unique_ptr<TGIFImage> picture, TGIFPaintOptions options, int rate = 100)
        : Picture(std::move(picture)), Target(gifwine::SolidBitmap(16, 12, Rgb{})) {
        Picture->PaintOptions = options;
        Picture->AnimationRate = rate;
        Record.Attach(*Picture);
    }
    Play(const Play&) = delete;
    Play& operator=(const Play&) = delete;
    void Draw() { Picture->Draw(Target->Canvas(), RECT{0, 0, 16, 12}); }
    bool Ended(DWORD timeoutMs = 5000) {
        return gifwine::PumpUntil([this] { return Record.Ends == 1; }, timeoutMs);
    }

    std::unique_ptr<TGIFImage> Picture;
    Recorder Record;
    std::unique_ptr<TBitmap> Target;
};

// Waits for the thread to end, serving its calls.
bool ThreadEnds(DWORD id, DWORD timeoutMs) {
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread) return true;  // gone already
    const bool ended =
        gifwine::PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
    CloseHandle(thread);
    return ended;
}

// Which interval between frame times is early, empty when none. A wait is
// shortened by half of what the frame before it ran over (scaled by the
// rate, as the wait is), and nothing else may make an interval early; the
// painter waits while a handler runs, so a handler's time is a point on
// the painter's own time line. What the last frame ran over is at most its
// interval beyond its delay plus what it carried itself; the first wait
// carries all from the start of the pass to the first frame.
std::string EarlyInterval(const Recorder& r, const std::vector<double>& expected, double scale) {
    const std::vector<double>& times = r.FrameTimes;
    if (times.size() != expected.size() + 1 || r.PaintTimes.size() != times.size())
        return std::to_string(times.size()) + " frames";
    double ranOver = times[0] - r.StartTime;
    for (size_t i = 0; i < expected.size(); ++i) {
        const double interval = times[i + 1] - times[i];
        const double shortest = expected[i] - scale * ranOver / 2;
        if (interval < shortest - 8)  // timer rounding
            return "interval " + std::to_string(i) + " took " + std::to_string(interval) + " ms, less than " +
                   std::to_string(shortest);
        ranOver = std::max(0.0, interval - expected[i] + scale * ranOver / 2);
    }
    return {};
}

// Plays an animation up to five times and checks its waits. No play may be
// early: that would be the painter's own doing. A wait longer than its
// delay is a loaded machine's doing unless every play shows it, so each
// wait's shortest over the plays counts, measured from the end of one
// frame to the paint of the next (without the painting itself).
void CheckWaits(const std::vector<double>& expected, double scale, const char* what,
                const std::function<Recorder()>& play) {
    std::vector<double> shortestWait(expected.size(), 1e9);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const Recorder r = play();
        const std::string early = EarlyInterval(r, expected, scale);
        if (!early.empty()) return wt::ReportFailure(__FILE__, __LINE__, std::string(what) + ": " + early);
        bool within = true;
        for (size_t i = 0; i < expected.size(); ++i) {
            shortestWait[i] = std::min(shortestWait[i], r.PaintTimes[i + 1] - r.FrameTimes[i]);
            within = within && shortestWait[i] <= expected[i] + 25;
        }
        if (within) return;
    }
    for (size_t i = 0; i < expected.size(); ++i)
        if (shortestWait[i] > expected[i] + 25)
            wt::ReportFailure(__FILE__, __LINE__,
                              std::string(what) + ": wait " + std::to_string(i) + " took at least " +
                                  std::to_string(shortestWait[i]) + " ms, not about " + std::to_string(expected[i]));
}

}  // namespace

WT_TEST(Painters, WaitsFollowTheDelays) {
    // Delays 5, 1 (raised to 3), 0 and none (10 each), 12 ms a unit.
    for (int rate : {100, 200}) {
        const double scale = 100.0 / rate;
        const std::vector<double> expected{60 * scale, 36 * scale, 120 * scale, 120 * scale};
        CheckWaits(expected, scale, "threaded", [&] {
            Play play(Animation({5, 1, 0, kNoControl, 5}), kOnCanvas, rate);
            play.Draw();
            CHECK(play.Ended());
            CHECK(gifwine::PixelOf(*play.Target, 3, 3) == (Rgb{255, 0, 0}));  // frame 4: colour 0
            CHECK(play.Record.PainterThread != GetCurrentThreadId());
            CHECK(gifwine::PumpUntil([&] { return play.Picture->OwnPainter() == nullptr; }, 2000));
            return play.Record;
        });
    }
    // Unthreaded, inside Draw: the same waits.
    CheckWaits({60, 36, 120, 120}, 1.0, "unthreaded", [] {
        Play play(Animation({5, 1, 0, kNoControl, 5}), poTransparent | poAnimate | poPaintOnCanvas);
        play.Draw();
        CHECK_EQ(play.Record.Ends, 1);
        return play.Record;
    });
}

WT_TEST(Painters, LoopCounts) {
    struct Case {
        int loops, loopFrame;
        bool threaded;
        std::vector<int> frames;
    };
    const Case cases[] = {
        {2, 0, true, {0, 1, 2, 0, 1, 2}},
        {2, 0, false, {0, 1, 2, 0, 1, 2}},
        {0, 0, false, {0, 1, 2}},             // "forever" plays once inside Draw
        {2, 2, true, {0, 1, 2, 3, 2, 3}},     // later passes start at the loop's frame
    };
    for (const Case& c : cases) {
        auto picture = Animation({1, 1, 1, 1}, 16, 12, c.loops, c.loopFrame);
        if (c.loopFrame == 0) picture->Frames().DeleteAt(3);
        Play play(std::move(picture), (c.threaded ? poThreaded : 0) | poAnimate | poLoop | poPaintOnCanvas, 1000);
        play.Draw();
        CHECK(play.Ended());
        CHECK(play.Record.Frames == c.frames);
        CHECK_EQ(play.Record.Loops, static_cast<int>(c.frames.size() > 4 ? 1 : 0));
    }
    // "Forever" on a thread: still going after three passes.
    Play play(Animation({1, 1}, 16, 12, 0), poThreaded | poAnimate | poLoop | poPaintOnCanvas, 1000);
    play.Draw();
    CHECK(gifwine::PumpUntil([&] { return play.Record.Frames.size() >= 6; }, 5000));
    CHECK_EQ(play.Record.Ends, 0);
    play.Picture->StopPainting();
    CHECK(play.Picture->OwnPainter() == nullptr);
}

WT_TEST(Painters, StopPromptlyAndHoldAtRateZero) {
    // A delay of 5000 waits a minute; rate 0 holds the first frame.
    for (int rate : {100, 0}) {
        Play play(Animation({5000, 5000, 5000}), kOnCanvas, rate);
        play.Draw();
        CHECK(gifwine::PumpUntil([&] { return play.Record.FrameTimes.size() == 1; }, 2000));
        gifwine::PumpUntil([] { return false; }, 300);
        CHECK_EQ(play.Record.FrameTimes.size(), 1u);
        const double start = NowMs();
        play.Picture->StopPainting();
        const double took = NowMs() - start;
        CHECK(took < 200);
        CHECK(play.Picture->OwnPainter() == nullptr && play.Picture->PainterList().LockList().empty());
        play.Picture->PainterList().UnlockList();
        CHECK(ThreadEnds(play.Record.PainterThread, 2000));
    }
    // A negative rate plays as fast as it can.
    Play play(Animation(std::vector<int>(10, 100)), kOnCanvas, -1);
    const double start = NowMs();
    play.Draw();
    CHECK(play.Ended());
    CHECK(NowMs() - start < 1000);
}

// A memory bitmap's device context is as valid a target as a window's.
WT_TEST(Painters, ValidatedMemoryCanvasPlaysOn) {
    auto picture = Animation({1, 1, 1});
    for (int i = 0; i < 3; ++i) picture->Frame(i).ControlExtension()->SetDisposalMethod(2);
    Play play(std::move(picture), kOnCanvas | poValidateCanvas, 1000);
    play.Draw();
    CHECK(play.Ended());
    CHECK_EQ(play.Record.Frames.size(), 3u);
}

WT_TEST(Painters, DrawingThroughTheCompositeBitmap) {
    // Threaded: Draw shows the first frame at once, later frames arrive in
    // the composite bitmap, and each change tells the picture's handler.
    auto picture = Animation({1, 1, 1});
    picture->AnimationRate = 1000;
    int changes = 0;
    picture->OnChange = [&](TObject*) { ++changes; };
    Recorder recorder;
    recorder.Attach(*picture);
    auto target = gifwine::SolidBitmap(32, 24, Rgb{9, 9, 9});
    picture->Draw(target->Canvas(), RECT{0, 0, 32, 24});
    CHECK(gifwine::PixelOf(*target, 20, 20) == (Rgb{255, 0, 0}));  // frame 0, stretched
    CHECK(gifwine::PumpUntil([&] { return recorder.Ends == 1; }, 5000));
    CHECK(changes >= 3);
    picture->Draw(target->Canvas(), RECT{0, 0, 32, 24});
    CHECK(gifwine::PixelOf(*target, 20, 20) == (Rgb{0, 0, 255}));  // the last frame

    // Unthreaded: all of it inside Draw, into the composite; the canvas
    // shows it at the next Draw.
    picture = Animation({1, 1, 1});
    picture->PaintOptions = poTransparent | poAnimate;
    picture->AnimationRate = 1000;
    target = gifwine::SolidBitmap(32, 24, Rgb{9, 9, 9});
    picture->Draw(target->Canvas(), RECT{0, 0, 32, 24});
    CHECK(gifwine::PixelOf(*target, 20, 20) == (Rgb{9, 9, 9}));
    picture->Draw(target->Canvas(), RECT{0, 0, 32, 24});
    CHECK(gifwine::PixelOf(*target, 20, 20) == (Rgb{0, 0, 255}));

    // On the canvas: the same canvas and rectangle keep their painter, a
    // new rectangle replaces it.
    picture = Animation({1, 1, 1, 1}, 16, 12, 0);
    picture->PaintOptions = kOnCanvas | poLoop;
    picture->Draw(target->Canvas(), RECT{0, 0, 16, 12});
    TGIFPainter* first = picture->OwnPainter();
    REQUIRE(first != nullptr);
    picture->Draw(target->Canvas(), RECT{0, 0, 16, 12});
    CHECK(picture->OwnPainter() == first);
    picture->Draw(target->Canvas(), RECT{16, 12, 32, 24});
    TGIFPainter* second = picture->OwnPainter();
    CHECK(second != nullptr && second->TargetRect().left == 16);
    picture->StopPainting();
}

// Rendering on a painter's thread tells progress, changes and warnings:
// they reach the handlers on the GUI thread.
WT_TEST(Painters, HandlersRunOnTheGuiThread) {
    auto picture = Animation({1, 1, 1, 1}, 40, 30);
    // An index past the table: dithered rendering warns of it.
    for (int i = 1; i < 4; ++i) picture->Frame(i).Pixels()[7] = 9;
    picture->PaintOptions = poThreaded | poTransparent | poAnimate | poDither;
    picture->AnimationRate = 1000;
    Recorder recorder;
    recorder.Attach(*picture);
    std::vector<DWORD> others;
    int framesRenderedLater = 0, warnings = 0;
    picture->OnChange = [&](TObject*) { others.push_back(GetCurrentThreadId()); };
    picture->OnProgress = [&](TObject* sender, TProgressStage stage, int, bool, const RECT&, const String& text) {
        others.push_back(GetCurrentThreadId());
        if (text == u"Rendering..." && stage == TProgressStage::psEnding && sender != &picture->Frame(0))
            ++framesRenderedLater;
    };
    picture->OnGIFWarning = [&](TObject*, uint8_t, const std::string&) {
        others.push_back(GetCurrentThreadId());
        ++warnings;
    };
    auto target = gifwine::SolidBitmap(40, 30, Rgb{});
    picture->Draw(target->Canvas(), RECT{0, 0, 40, 30});
    CHECK(gifwine::PumpUntil([&] { return recorder.Ends == 1; }, 5000));
    const DWORD gui = GetCurrentThreadId();
    CHECK(recorder.AllOn(gui));
    CHECK(std::all_of(others.begin(), others.end(), [gui](DWORD t) { return t == gui; }));
    CHECK_EQ(framesRenderedLater, 3);
    CHECK(warnings >= 3);
}

WT_TEST(Painters, ThePictureMayGoWhilePainting) {
    for (int moment = 0; moment < 3; ++moment) {
        auto picture = Animation({1, 5000, 1});
        picture->PaintOptions = moment == 2 ? kOnCanvas : DefaultPaintOptions;
        Recorder recorder;
        recorder.Attach(*picture);
        auto target = gifwine::SolidBitmap(16, 12, Rgb{});
        picture->Draw(target->Canvas(), RECT{0, 0, 16, 12});
        if (moment > 0) gifwine::PumpUntil([&] { return recorder.FrameTimes.size() >= 2; }, 2000);
        const DWORD painter = recorder.PainterThread;
        picture.reset();
        CHECK(painter != 0 && ThreadEnds(painter, 2000));
    }
    // From the painter's own handler: the picture does not wait for the
    // painter that is calling it, which finds no picture afterwards.
    auto picture = Animation({1, 1, 1, 1}, 16, 12, 0);
    picture->PaintOptions = kOnCanvas | poLoop;
    DWORD painter = 0;
    double took = 0;
    picture->OnPaintFrame = [&](TObject* sender) {
        if (static_cast<TGIFPainter*>(sender)->ActiveFrame != 2 || !picture) return;
        painter = static_cast<TGIFPainter*>(sender)->ThreadID();
        const double start = NowMs();
        picture.reset();
        took = NowMs() - start;
    };
    auto target = gifwine::SolidBitmap(16, 12, Rgb{});
    picture->Draw(target->Canvas(), RECT{0, 0, 16, 12});
    CHECK(gifwine::PumpUntil([&] { return !picture; }, 5000));
    CHECK(took < 500);
    CHECK(ThreadEnds(painter, 2000));
}

// Painters that cannot stop (this one waits for the very handler that
// asks) are let go after a bounded wait, never ended by force.
WT_TEST(Painters, KillingPaintersWaitsABoundedTime) {
    auto picture = Animation({1, 1, 1}, 16, 12, 0);
    picture->PaintOptions = kOnCanvas | poLoop;
    DWORD painter = 0;
    double took = -1;
    picture->OnPaintFrame = [&](TObject* sender) {
        if (took >= 0) return;
        painter = static_cast<TGIFPainter*>(sender)->ThreadID();
        const double start = NowMs();
        picture->KillThreadedPainters();
        took = NowMs() - start;
    };
    auto target = gifwine::SolidBitmap(16, 12, Rgb{});
    picture->Draw(target->Canvas(), RECT{0, 0, 16, 12});
    CHECK(gifwine::PumpUntil([&] { return took >= 0; }, 5000));
    CHECK(took < 3000);
    CHECK(picture->OwnPainter() == nullptr);
    CHECK(picture->PainterList().LockList().empty());
    picture->PainterList().UnlockList();
    CHECK(ThreadEnds(painter, 2000));
    picture.reset();
}

WT_TEST(Painters, HundredRunsNeverDeadlock) {
    giftest::Random random(7);
    for (int run = 0; run < 100; ++run) {
        gifwine::Watchdog watchdog(20000, "painter run " + std::to_string(run));
        const int frames = 2 + random.Below(4);
        std::vector<int> delays;
        for (int i = 0; i < frames; ++i) delays.push_back(random.Below(4));
        auto picture = Animation(delays, 8 + random.Below(40), 6 + random.Below(30), random.Below(3) - 1);
        picture->AnimationRate = 100 + random.Below(900);
        const TGIFPaintOptions options[] = {DefaultPaintOptions, DefaultPaintOptions | poLoopForever,
                                            kOnCanvas | poLoop, kOnCanvas | poLoopForever | poDither,
                                            poTransparent | poAnimate};
        picture->PaintOptions = options[random.Below(5)];
        auto target = gifwine::SolidBitmap(60, 50, Rgb{});
        const RECT rect{random.Below(5), random.Below(5), 30 + random.Below(30), 20 + random.Below(30)};
        const int action = random.Below(6);
        bool stopInHandler = action == 5;
        picture->OnPaintFrameDone = [&](TObject*) {
            if (stopInHandler && picture) {
                stopInHandler = false;
                picture->StopPainting();
            }
        };
        picture->Draw(target->Canvas(), rect);
        gifwine::PumpUntil([] { return false; }, static_cast<DWORD>(random.Below(60)));
        switch (action) {
        case 0:
            picture.reset();
            break;
        case 1:
            picture->StopPainting();
            break;
        case 2:
            picture->Draw(target->Canvas(), RECT{0, 0, 20, 20});
            gifwine::PumpUntil([] { return false; }, static_cast<DWORD>(random.Below(30)));
            picture->Draw(target->Canvas(), rect);
            break;
        case 3: {
            forms::TMemoryStream stream;
            picture->SaveToStream(stream);
            stream.SetPosition(0);
            picture->LoadFromStream(stream);
            break;
        }
        case 4:
            picture->OptimizeFrames(kAllOptimizeSteps, 0, 0, 8);
            break;
        default:
            gifwine::PumpUntil([] { return false; }, 50);
            break;
        }
        gifwine::PumpUntil([] { return false; }, static_cast<DWORD>(random.Below(20)));
        picture.reset();
    }
}
