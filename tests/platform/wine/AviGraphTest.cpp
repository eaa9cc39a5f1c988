// The engine's front end and AVI back end under Wine: timeline, render
// engine, capture graph builder's SetOutputFileName, our multiplexer and
// file writer; the written file read back with FFmpeg.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <chrono>

#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
}

using com::ComPtr;

namespace {

clipgen::ClipSpec ClipOf(const std::string& container, double seconds) {
    clipgen::ClipSpec s;
    s.container = container;
    s.seconds = seconds;
    return s;
}

}  // namespace

WT_TEST(AviGraph, ConvertsUncompressedWithExactFrames) {
    std::string unixSource;
    // A non-ASCII name checks the Windows path on its way to the media core.
    const std::u16string source = pt::Clip("quelle-\xc3\xa4.mpg", ClipOf("mpg", 2.0), &unixSource);
    const std::string out = pt::OutputPath("uncompressed.avi");
    {
        pt::AviGraph g(source, out, 96, 64, 15.0, 2.0);
        ComPtr<IMediaSeeking> seeking = g.MuxSeeking();
        REQUIRE(seeking);
        LONGLONG duration = 0;
        CHECK_HR(seeking->GetDuration(&duration));
        CHECK_EQ(duration, 20000000LL);

        const auto started = std::chrono::steady_clock::now();
        REQUIRE_HR(g.Control()->Run());
        CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        LONGLONG position = 0;
        CHECK_HR(seeking->GetCurrentPosition(&position));
        CHECK(position >= duration - 10000000 / 15);
        CHECK(std::chrono::steady_clock::now() - started < std::chrono::seconds(20));
    }
    const pt::FileFacts f = pt::ReadBack(out);
    REQUIRE(f.opened);
    CHECK_EQ(f.streams, 2);
    CHECK_EQ(f.firstStreamType, static_cast<int>(AVMEDIA_TYPE_AUDIO));
    CHECK_EQ(f.videoCodec, static_cast<int>(AV_CODEC_ID_RAWVIDEO));
    CHECK_EQ(f.width, 96);
    CHECK_EQ(f.height, 64);
    CHECK_EQ(f.videoFrames, 30LL);
    CHECK_EQ(f.audioCodec, static_cast<int>(AV_CODEC_ID_PCM_S16LE));
    CHECK_EQ(f.sampleRate, 44100);
    CHECK_EQ(f.channels, 2);
}

WT_TEST(AviGraph, StopMidwayLeavesReadableFile) {
    const std::u16string source = pt::Clip("long.avi", ClipOf("avi", 3.0));
    const std::string out = pt::OutputPath("stopped.avi");
    {
        pt::AviGraph g(source, out, 320, 240, 25.0, 3.0);
        ComPtr<IMediaSeeking> seeking = g.MuxSeeking();
        REQUIRE_HR(g.Control()->Run());
        LONGLONG position = 0;
        wt::PumpUntil([&] { return SUCCEEDED(seeking->GetCurrentPosition(&position)) && position > 2000000; }, 20000);
        const auto before = std::chrono::steady_clock::now();
        CHECK_HR(g.Control()->Stop());
        CHECK(std::chrono::steady_clock::now() - before < std::chrono::seconds(5));
    }
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK(f.opened);
    CHECK_EQ(f.streams, 2);
    CHECK(f.videoFrames > 0);
}

WT_TEST(AviGraph, BadSourcesFailTheFrontEnd) {
    const std::string dir = pt::OutputPath("");
    const pt::FrontEnd missing = pt::BuildFrontEnd(pt::WindowsPath(dir + "nowhere.avi"), 64, 48, 25, 1);
    CHECK_HR_EQ(missing.connectResult, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    CHECK(!missing.graph);

    const pt::FrontEnd folder = pt::BuildFrontEnd(pt::WindowsPath(dir), 64, 48, 25, 1);
    CHECK_HR_EQ(folder.connectResult, VFW_E_UNKNOWN_FILE_TYPE);

    const std::u16string text = pt::WindowsPath(dir + "text.avi");
    const HANDLE h = CreateFileW(com::W(text), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, "this is not a video at all, only words and words", 48, &written, nullptr);
    CloseHandle(h);
    const pt::FrontEnd words = pt::BuildFrontEnd(text, 64, 48, 25, 1);
    CHECK_HR_EQ(words.connectResult, VFW_E_UNKNOWN_FILE_TYPE);
}

WT_TEST(AviGraph, AudioOnlySourceGivesBlackVideo) {
    clipgen::ClipSpec desc = ClipOf("avi", 1.0);
    desc.video = false;
    const std::u16string source = pt::Clip("tone.avi", desc);
    const std::string out = pt::OutputPath("black.avi");
    {
        pt::AviGraph g(source, out, 64, 48, 10.0, 1.0);
        REQUIRE_HR(g.Control()->Run());
        CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
    }
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK_EQ(f.videoFrames, 10LL);
    CHECK_EQ(f.streams, 2);
}
