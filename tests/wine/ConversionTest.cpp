// Conversions through the registered control, placed in place in a test
// container as the program places it: AVI with and without compressors,
// with the source's or chosen size and rate, progress, stop, and every
// kind of bad input or output ending with Complete then Error.
#include <windows.h>
#include <ole2.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "platform/core/FfmpegPtr.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;
using wt::EventCall;
using wt::EventSink;

namespace {

constexpr DISPID kAboutToRun = 2, kCodecListed = 3, kComplete = 4, kError = 5;
constexpr DWORD kConversionTimeoutMs = 60000;

clipgen::ClipSpec ClipOf(double seconds, int w = 160, int h = 120, AVRational rate = {25, 1}) {
    clipgen::ClipSpec s;
    s.container = "avi";
    s.width = w;
    s.height = h;
    s.rate = rate;
    s.seconds = seconds;
    return s;
}

// One control in a container window, with a sink recording its events.
struct Host {
    ComPtr<IVantrexObj> control;
    std::vector<EventCall> log;
    ComPtr<EventSink> sink = ComPtr<EventSink>::Adopt(new EventSink(DIID__IVantrexObjEvents, "S", &log));
    wt::TestContainer* container = new wt::TestContainer(400, 300);

    Host() {
        REQUIRE_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj,
                                    control.PutVoid()));
        REQUIRE(wt::Connect(control.Get(), DIID__IVantrexObjEvents, sink.Get()) != 0);
        REQUIRE_HR(container->Host(control.Get(), RECT{10, 10, 330, 250}));
        control->put_ConvertPreview(VARIANT_FALSE);
    }
    ~Host() {
        container->Close();
        container->Release();
        control = nullptr;
    }
    void Set(const std::u16string& in, const std::string& outUnix) {
        control->put_InputFile(Bstr(in).Get());
        control->put_OutputFile(Bstr(pt::WindowsPath(outUnix)).Get());
    }
    int Count(DISPID id) const {
        int n = 0;
        for (const auto& c : log) n += c.id == id;
        return n;
    }
    bool Ended() const { return Count(kComplete) > 0; }
    // Starts and waits for the end; true when Complete came without Error.
    bool Convert() {
        log.clear();
        CHECK_HR(control->StartConversion());
        CHECK(wt::PumpUntil([&] { return Ended(); }, kConversionTimeoutMs));
        wt::PumpPosted();  // an Error follows its Complete directly
        for (const auto& c : log)
            if (c.id == kError) wt::ReportFailure(__FILE__, __LINE__, "conversion failed: " + c.args.at(1));
        return Ended() && Count(kError) == 0;
    }
    // The events of a start that must fail: Complete once, then Error.
    void ExpectFailedStart(const char* what) {
        log.clear();
        CHECK_HR(control->StartConversion());
        wt::PumpUntil([&] { return Count(kError) > 0; }, kConversionTimeoutMs);
        std::vector<DISPID> ids;
        for (const auto& c : log)
            if (c.id != kAboutToRun) ids.push_back(c.id);
        if (ids != std::vector<DISPID>{kComplete, kError}) {
            std::string got;
            for (const auto& c : log) got += " " + std::to_string(c.id) + (c.args.size() > 1 ? "(" + c.args[1] + ")" : "");
            wt::ReportFailure(__FILE__, __LINE__, std::string(what) + ": expected Complete then Error, got" + got);
        }
    }
    std::u16string CodecId(LONG type, const char16_t* namePart) {
        const size_t before = log.size();
        control->ListAVICodecs(static_cast<EnumMediaType>(type));
        for (size_t i = before; i < log.size(); ++i)
            if (log[i].id == kCodecListed && log[i].args.size() == 3 &&
                com::U16(log[i].args[0]).find(namePart) != std::u16string::npos)
                return com::U16(log[i].args[1]);
        return {};
    }
};

bool Exists(const std::string& unixPath) {
    return GetFileAttributesW(com::W(pt::WindowsPath(unixPath))) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

WT_TEST(Conversion, UncompressedAviKeepsTheSourceSizeAndRate) {
    Host host;
    // 15 fps is not among the accepted rates: the file has it only when
    // the source's rate is kept as it is.
    const std::u16string src = pt::Clip("conv_src15.avi", ClipOf(2.0, 176, 144, AVRational{15, 1}));
    const std::string out = pt::OutputPath("conv_raw.avi");
    host.Set(src, out);
    REQUIRE(host.Convert());
    // AboutToRun before the run, Complete at its end.
    CHECK_EQ(host.log.front().id, kAboutToRun);
    CHECK_EQ(host.Count(kComplete), 1);
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK(f.opened);
    CHECK_EQ(f.streams, 2);
    CHECK_EQ(f.firstStreamType, static_cast<int>(AVMEDIA_TYPE_AUDIO));  // audio is the first stream
    CHECK_EQ(f.width, 176);
    CHECK_EQ(f.height, 144);
    CHECK_EQ(f.videoFrames, 30);
    CHECK_EQ(f.frameRate, 15.0);
    CHECK_EQ(f.sampleRate, 44100);
    double fps = -1;
    host.control->get_OutputFramerate(&fps);
    CHECK_EQ(fps, 0.0);  // the source's rate was kept
}

WT_TEST(Conversion, Mpeg4AndMp3AtAChosenSizeAndRate) {
    Host host;
    const std::u16string video = host.CodecId(0, u"MPEG-4 Part 2");
    const std::u16string audio = host.CodecId(1, u"MP3");
    REQUIRE(!video.empty() && !audio.empty());
    const std::u16string src = pt::Clip("conv_src.avi", ClipOf(2.0));
    const std::string out = pt::OutputPath("conv_mp4.avi");
    host.Set(src, out);
    host.control->put_VideoCodec(Bstr(video).Get());
    host.control->put_AudioCodec(Bstr(audio).Get());
    host.control->put_OutputWidth(320);
    host.control->put_OutputHeight(240);
    host.control->put_OutputFramerate(15.0);  // not an accepted rate: becomes 25
    REQUIRE(host.Convert());
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK_EQ(f.videoCodec, static_cast<int>(AV_CODEC_ID_MPEG4));
    CHECK_EQ(f.audioCodec, static_cast<int>(AV_CODEC_ID_MP3));
    CHECK_EQ(f.width, 320);
    CHECK_EQ(f.height, 240);
    CHECK_EQ(f.videoFrames, 50);
    CHECK_EQ(f.frameRate, 25.0);
    double fps = 0;
    host.control->get_OutputFramerate(&fps);
    CHECK_EQ(fps, 25.0);

    host.control->put_OutputFramerate(30.0);
    REQUIRE(host.Convert());
    const pt::FileFacts at30 = pt::ReadBack(out);
    CHECK_EQ(at30.videoFrames, 60);
    CHECK_EQ(at30.frameRate, 30.0);
}

// Conversions one after another in one host keep nothing of each other:
// decoders, pictures, samples, packets and encoders are all given back,
// so the C heap in use is the same after the third as after the first
// (one lost picture of this size is 345 KB in planes, 900 KB in RGB).
WT_TEST(Conversion, RepeatedConversionsKeepNothing) {
    Host host;
    const std::u16string video = host.CodecId(0, u"MPEG-4 Part 2");
    const std::u16string audio = host.CodecId(1, u"MP3");
    REQUIRE(!video.empty() && !audio.empty());
    host.Set(pt::Clip("conv_keep.avi", ClipOf(1.0, 640, 360)), pt::OutputPath("conv_keep_out.avi"));
    host.control->put_VideoCodec(Bstr(video).Get());
    host.control->put_AudioCodec(Bstr(audio).Get());
    auto inUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return static_cast<long long>(m.uordblks + m.hblkhd);
    };
    REQUIRE(host.Convert());  // the first loads and fills what stays for good
    wt::PumpMessages(100);
    const long long after1 = inUse();
    REQUIRE(host.Convert());
    REQUIRE(host.Convert());
    wt::PumpMessages(100);
    const long long grown = inUse() - after1;
    if (grown > 256 * 1024) std::printf("  the C heap grew by %lld bytes over two conversions\n", grown);
    CHECK(grown <= 256 * 1024);
}

WT_TEST(Conversion, ProgressRisesToTheDuration) {
    Host host;
    const std::u16string src = pt::Clip("conv_long.avi", ClipOf(6.0, 320, 240));
    const std::string out = pt::OutputPath("conv_progress.avi");
    host.Set(src, out);
    host.log.clear();
    const DWORD started = GetTickCount();
    CHECK_HR(host.control->StartConversion());
    double maxProgress = 0, previous = 0, duration = 0;
    int samples = 0, stepsBack = 0;
    wt::PumpUntil(
        [&] {
            double p = 0, d = 0;
            host.control->get_Progress(&p);
            host.control->get_Duration(&d);
            if (!host.Ended()) {
                CHECK(p <= d + 0.05);
                // Until the writer reports its first position the graph's
                // clock stands in, which a loaded machine can put ahead of
                // the first frames written: one step back, from a value
                // no later than the time since the start, as the clock's is.
                if (p < previous) {
                    ++stepsBack;
                    const double elapsed = (GetTickCount() - started) / 1000.0;
                    if (previous > elapsed + 0.1)
                        wt::ReportFailure(__FILE__, __LINE__,
                                          "progress stepped back from " + std::to_string(previous) + " to " +
                                              std::to_string(p) + " after " + std::to_string(elapsed) + " s");
                }
                previous = p;
                maxProgress = std::max(maxProgress, p);
                duration = d;
                ++samples;
            }
            return host.Ended();
        },
        kConversionTimeoutMs);
    CHECK(host.Ended());
    CHECK_EQ(host.Count(kError), 0);
    CHECK(samples > 0);
    CHECK(duration > 5.9 && duration < 6.1);
    CHECK(maxProgress > 0.0);
    CHECK(stepsBack <= 1);
    // Seeking interfaces are gone with the graph.
    double p = 1, d = 1;
    host.control->get_Progress(&p);
    host.control->get_Duration(&d);
    CHECK_EQ(p, 0.0);
    CHECK_EQ(d, 0.0);
}

WT_TEST(Conversion, StopMidwayCompletesOnceWithoutAHang) {
    Host host;
    const std::u16string mpeg4 = host.CodecId(0, u"MPEG-4 Part 2");
    const std::u16string mp3 = host.CodecId(1, u"MP3");
    REQUIRE(!mpeg4.empty() && !mp3.empty());
    const std::u16string src = pt::Clip("conv_stop.avi", ClipOf(20.0, 640, 480));
    const std::string out = pt::OutputPath("conv_stop_out.avi");
    // Uncompressed, and through the compressors with their own threads.
    for (const bool compressed : {false, true}) {
        host.Set(src, out);
        host.control->put_VideoCodec(Bstr(compressed ? mpeg4 : u"").Get());
        host.control->put_AudioCodec(Bstr(compressed ? mp3 : u"").Get());
        host.log.clear();
        CHECK_HR(host.control->StartConversion());
        wt::PumpUntil(
            [&] {
                double p = 0;
                host.control->get_Progress(&p);
                return p > 0.5 || host.Ended();
            },
            kConversionTimeoutMs);
        CHECK(!host.Ended());
        const DWORD before = GetTickCount();
        CHECK_HR(host.control->StopConversion());
        CHECK(GetTickCount() - before < 10000);
        wt::PumpPosted();
        CHECK_EQ(host.Count(kComplete), 1);
        CHECK_EQ(host.Count(kError), 0);
        // The file is readable or absent, never a broken leftover that hangs.
        if (Exists(out)) CHECK(pt::ReadBack(out).opened);
    }
    // The control converts again after a stop.
    host.Set(pt::Clip("conv_src.avi", ClipOf(2.0)), out);
    CHECK(host.Convert());
}

WT_TEST(Conversion, BadInputsAndOutputsEndWithCompleteThenError) {
    Host host;
    const std::u16string good = pt::Clip("conv_src.avi", ClipOf(2.0));
    const std::string out = pt::OutputPath("conv_bad_out.avi");

    host.Set(pt::WindowsPath(pt::OutputPath("does_not_exist.avi")), out);
    host.ExpectFailedStart("missing input");

    // A text file named .avi, and a clip cut off in the middle.
    const std::string text = pt::OutputPath("not_a_clip.avi");
    {
        const HANDLE h = CreateFileW(com::W(pt::WindowsPath(text)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, "just some text\r\n", 16, &n, nullptr);
        CloseHandle(h);
    }
    host.Set(pt::WindowsPath(text), out);
    host.ExpectFailedStart("text input");

    std::string full;
    pt::Clip("conv_src.avi", ClipOf(2.0), &full);
    const std::string cut = pt::OutputPath("truncated.avi");
    {
        const std::u16string from = pt::WindowsPath(full), to = pt::WindowsPath(cut);
        CopyFileW(com::W(from), com::W(to), FALSE);
        const HANDLE h = CreateFileW(com::W(to), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(h, 3000, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
        CloseHandle(h);
    }
    host.Set(pt::WindowsPath(cut), out);
    host.log.clear();
    CHECK_HR(host.control->StartConversion());
    // A cut clip may convert what is there or fail; it never hangs and a
    // failure always comes as Complete then Error.
    CHECK(wt::PumpUntil([&] { return host.Ended(); }, kConversionTimeoutMs));
    wt::PumpPosted();
    CHECK_EQ(host.Count(kComplete), 1);

    host.Set(good, pt::OutputPath("no_such_folder") + "/out.avi");
    host.ExpectFailedStart("output in a missing folder");

    // No output name: the writer refuses it as the output is set up.
    host.control->put_InputFile(Bstr(good).Get());
    host.control->put_OutputFile(Bstr(u"").Get());
    host.ExpectFailedStart("no output name");
    for (const auto& c : host.log)
        if (c.id == kError) CHECK_EQ(c.args.at(1), std::string("The output file could not be created"));

    const std::string readOnly = pt::OutputPath("read_only.avi");
    {
        const std::u16string p = pt::WindowsPath(readOnly);
        SetFileAttributesW(com::W(p), FILE_ATTRIBUTE_NORMAL);
        const HANDLE h = CreateFileW(com::W(p), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        SetFileAttributesW(com::W(p), FILE_ATTRIBUTE_READONLY);
    }
    host.Set(good, readOnly);
    host.ExpectFailedStart("read-only output");
    SetFileAttributesW(com::W(pt::WindowsPath(readOnly)), FILE_ATTRIBUTE_NORMAL);
}

WT_TEST(Conversion, ABadCompressorFailsAndTheOldOutputIsGone) {
    Host host;
    const std::u16string mpeg4 = host.CodecId(0, u"MPEG-4 Part 2");
    const std::u16string mp3 = host.CodecId(1, u"MP3");
    REQUIRE(!mpeg4.empty() && !mp3.empty());
    const std::u16string badVideo = u"@device:sw:{33D9A760-90C8-11D0-BD43-00A0C911CE86}\\no such codec";
    const std::u16string badAudio = u"@device:sw:{33D9A761-90C8-11D0-BD43-00A0C911CE86}\\no such codec";
    std::string srcUnix;
    const std::u16string src = pt::Clip("conv_src.avi", ClipOf(2.0), &srcUnix);
    const std::string out = pt::OutputPath("conv_badcodec.avi");
    struct Case {
        const char* what;
        std::u16string video, audio;
    };
    // Any identifier given that does not bind fails the start: never an
    // uncompressed stream in its place.
    const Case cases[] = {{"bad video alone", badVideo, u""},
                          {"bad video with good audio", badVideo, mp3},
                          {"bad audio with good video", mpeg4, badAudio},
                          {"a name that is no identifier", u"MPEG-4 Part 2", u""}};
    for (const Case& c : cases) {
        {
            const HANDLE h =
                CreateFileW(com::W(pt::WindowsPath(out)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD n = 0;
            WriteFile(h, "old", 3, &n, nullptr);
            CloseHandle(h);
        }
        host.Set(src, out);
        host.control->put_VideoCodec(Bstr(c.video).Get());
        host.control->put_AudioCodec(Bstr(c.audio).Get());
        const DWORD before = GetTickCount();
        host.ExpectFailedStart(c.what);
        // Binding stays in process: no wait for an out-of-process parser.
        CHECK(GetTickCount() - before < 2500);
        bool textOk = false;
        for (const auto& e : host.log)
            if (e.id == kError) textOk = e.args.at(1) == "The selected compression filters could not used";
        if (!textOk) wt::ReportFailure(__FILE__, __LINE__, std::string(c.what) + ": wrong or no error text");
        CHECK(!Exists(out));     // deleted at the start, and nothing written
        CHECK(Exists(srcUnix));  // the source is never touched
    }
}

WT_TEST(Conversion, AStreamThatCannotReachTheMultiplexerFailsTheStart) {
    Host host;
    // A filter that takes the video and has no output: the video would be
    // lost from the file while the conversion looked successful.
    const std::u16string nullRenderer =
        u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{C1F400A4-3F08-11D3-9F0B-006008039E37}";
    const std::string out = pt::OutputPath("conv_novideo.avi");
    host.Set(pt::Clip("conv_src.avi", ClipOf(2.0)), out);
    host.control->put_VideoCodec(Bstr(nullRenderer).Get());
    host.ExpectFailedStart("video that cannot reach the multiplexer");
    bool textOk = false;
    for (const auto& e : host.log)
        if (e.id == kError) textOk = e.args.at(1) == "The streams could not be connected to the multiplexer";
    CHECK(textOk);
    CHECK(!Exists(out));
}
