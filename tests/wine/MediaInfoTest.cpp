// Media facts through the control's GetFileInfo: generated clips of every
// container the converter reads, with their poster frames, and files that
// are no clips.
#include <windows.h>
#include <ole2.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;

namespace {

// The poster goes to the temporary folder; other test programs running
// beside this one write theirs there too, so this one gets its own.
void UseOwnTempFolder() {
    static const bool done = [] {
        const std::u16string folder = pt::WindowsPath(pt::OutputPath("mediainfo_temp"));
        CreateDirectoryW(com::W(folder), nullptr);
        SetEnvironmentVariableW(L"TMP", com::W(folder));
        SetEnvironmentVariableW(L"TEMP", com::W(folder));
        return true;
    }();
    (void)done;
}

ComPtr<IVantrexObj> CreateControl() {
    UseOwnTempFolder();
    ComPtr<IVantrexObj> control;
    CHECK_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj, control.PutVoid()));
    return control;
}

// What one GetFileInfo call answered; out-values start as junk so a value
// left unset shows.
struct Info {
    double rate = -7, duration = -7;
    VARIANT_BOOL video = 7, audio = 7;
    LONG width = -7, height = -7, bitRate = -7;
    std::u16string poster;
};

Info Ask(IVantrexObj* control, const std::u16string& file, bool withPoster = true) {
    Info i;
    BSTR poster = nullptr;
    CHECK_HR(control->GetFileInfo(Bstr(file).Get(), &i.rate, &i.duration, &i.video, &i.audio, &i.width, &i.height,
                                  &i.bitRate, withPoster ? &poster : nullptr));
    i.poster = com::U16FromBstr(poster);
    SysFreeString(poster);
    return i;
}

std::u16string TempPoster() {
    WCHAR folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return com::U16(folder) + u"qolp_poster.bmp";
}

bool FileExists(const std::u16string& path) {
    return GetFileAttributesW(com::W(path)) != INVALID_FILE_ATTRIBUTES;
}

void WriteFile(const std::u16string& path, const std::string& bytes) {
    const HANDLE h = CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    if (!bytes.empty()) ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

// Bits per second the video packets of a file take over its length.
double MeasuredVideoRate(const std::string& unixPath, double seconds) {
    double bytes = 0;
    try {
        media::Demuxer demux(media::OpenFileSource(unixPath));
        demux.KeepOnly(demux.BestStream(AVMEDIA_TYPE_VIDEO));
        media::PacketPtr pkt = media::MakePacket();
        while (demux.Read(pkt.get())) {
            bytes += pkt->size;
            av_packet_unref(pkt.get());
        }
    } catch (const media::MediaError& e) {
        wt::ReportFailure(__FILE__, __LINE__, e.what());
    }
    return bytes * 8 / seconds;
}

// A .bmp file as Windows loads it, as top-down 0x00RRGGBB pixels.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

Picture LoadBmp(const std::u16string& path) {
    Picture p;
    const auto bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, com::W(path), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) return p;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    const HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    if (rows != info.bmHeight) return p;
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    p.pixels = std::move(pixels);
    return p;
}

// Mean difference per channel between a poster and frame n of the clips'
// pattern scaled to it, upright or upside down.
double Distance(const Picture& poster, int srcW, int srcH, long long n, bool flipped) {
    std::vector<unsigned char> frame(static_cast<size_t>(srcW) * srcH * 4);
    clipgen::DrawPattern(frame.data(), srcW, srcH, n);
    double sum = 0;
    for (int y = 0; y < poster.height; ++y) {
        const int sy = (flipped ? poster.height - 1 - y : y) * srcH / poster.height;
        for (int x = 0; x < poster.width; ++x) {
            const unsigned char* e = &frame[(static_cast<size_t>(sy) * srcW + x * srcW / poster.width) * 4];
            const uint32_t got = poster.pixels[static_cast<size_t>(y) * poster.width + x];
            for (int ch = 0; ch < 3; ++ch) sum += std::abs(static_cast<int>((got >> (8 * ch)) & 0xFF) - e[ch]);
        }
    }
    return sum / (3.0 * poster.width * poster.height);
}

// The pattern repeats every eight frames (its bands move 4 of 32 pixels a
// frame).
constexpr long long kPatternPeriod = 8;

// Checks the poster file: the Part's size, upright, and showing frame n of
// a clip of the pattern at srcW x srcH (told apart from the frames around it).
void CheckPoster(const std::u16string& path, int srcW, int srcH, long long n, const std::string& what) {
    const Picture p = LoadBmp(path);
    if (p.width != 163 || p.height != 112) {
        wt::ReportFailure(__FILE__, __LINE__, what + ": no 163 x 112 poster");
        return;
    }
    long long best = -1;
    double bestDistance = 1e9;
    for (long long k = 0; k < kPatternPeriod; ++k) {
        const double d = Distance(p, srcW, srcH, k, false);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    const double flipped = Distance(p, srcW, srcH, n, true);
    if (best != n % kPatternPeriod || bestDistance > 20 || flipped < bestDistance)
        wt::ReportFailure(__FILE__, __LINE__,
                          what + ": poster is frame " + std::to_string(best) + " modulo 8, not " + std::to_string(n) +
                              " (distance " + std::to_string(bestDistance) + ", upside down " +
                              std::to_string(flipped) + ")");
}

}  // namespace

WT_TEST(MediaInfo, ClipsOfEveryContainer) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    struct Case {
        const char* file;
        const char* container;
        AVRational rate;
        double expectedRate;
        long long posterFrame;  // the picture at 1 s; WMV's poster is its first
    };
    const Case cases[] = {{"info.avi", "avi", {25, 1}, 25.0, 25},
                          {"info.mpg", "mpg", {25, 1}, 25.0, 25},
                          {"info_mpeg2.mpg", "mpeg2", {30000, 1001}, 29.97, 30},
                          {"info.wmv", "wmv", {15, 1}, 15.0, 0}};
    for (const Case& c : cases) {
        std::string unixPath;
        const std::u16string clip = pt::Clip(c.file, clipgen::SpecOf(c.container, 176, 144, c.rate, 2.0), &unixPath);
        const Info i = Ask(control.Get(), clip);
        const std::string what = c.file;
        if (std::fabs(i.rate - c.expectedRate) > 0.01)
            wt::ReportFailure(__FILE__, __LINE__, what + " rate " + std::to_string(i.rate));
        if (std::fabs(i.duration - 2.0) > 0.1)
            wt::ReportFailure(__FILE__, __LINE__, what + " length " + std::to_string(i.duration));
        CHECK_EQ(i.video, VARIANT_TRUE);
        CHECK_EQ(i.audio, VARIANT_TRUE);
        CHECK_EQ(i.width, 176);
        CHECK_EQ(i.height, 144);
        const double measured = MeasuredVideoRate(unixPath, 2.0);
        if (std::fabs(i.bitRate - measured) > measured * 0.15)
            wt::ReportFailure(__FILE__, __LINE__,
                              what + " bit rate " + std::to_string(i.bitRate) + ", the video takes " +
                                  std::to_string(measured));
        CHECK_EQ(i.poster, TempPoster());
        CHECK(i.poster.find(u"mediainfo_temp") != std::u16string::npos);
        CheckPoster(i.poster, 176, 144, c.posterFrame, what);
    }
}

WT_TEST(MediaInfo, PosterTimeFollowsTheLowerCasedName) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    std::string unixPath;
    pt::Clip("poster_time.avi", clipgen::SpecOf("avi", 176, 144, {25, 1}, 2.0), &unixPath);
    const std::u16string source = pt::WindowsPath(unixPath);
    // The same AVI under names that speak of Windows Media: the first picture.
    const std::u16string folder = pt::WindowsPath(pt::OutputPath("Clips ASF"));
    CreateDirectoryW(com::W(folder), nullptr);
    const std::u16string inAsfFolder = folder + u"\\clip.avi", upperWmv = folder + u"\\CLIP.WMV";
    CopyFileW(com::W(source), com::W(inAsfFolder), FALSE);
    CopyFileW(com::W(source), com::W(upperWmv), FALSE);
    CheckPoster(Ask(control.Get(), source).poster, 176, 144, 25, "clip.avi");
    CheckPoster(Ask(control.Get(), inAsfFolder).poster, 176, 144, 0, "clip.avi in a folder named ASF");
    CheckPoster(Ask(control.Get(), upperWmv).poster, 176, 144, 0, "CLIP.WMV");
}

WT_TEST(MediaInfo, FilesThatAreNoClips) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    const std::u16string poster = TempPoster();
    const std::u16string video = pt::Clip("info.avi", clipgen::SpecOf("avi", 176, 144, {25, 1}, 2.0));

    // Sound only: its length when a poster is asked for, 0 without one.
    clipgen::ClipSpec toneSpec = clipgen::SpecOf("avi", 176, 144, {25, 1}, 1.5);
    toneSpec.video = false;
    const std::u16string tone = pt::Clip("info_tone.avi", toneSpec);
    CHECK(FileExists(Ask(control.Get(), video).poster));
    Info i = Ask(control.Get(), tone);
    CHECK_EQ(i.video, VARIANT_FALSE);
    CHECK_EQ(i.audio, VARIANT_TRUE);
    CHECK(std::fabs(i.duration - 1.5) < 0.1);
    CHECK_EQ(i.rate, 0.0);
    CHECK_EQ(i.width, 0);
    CHECK_EQ(i.height, 0);
    CHECK_EQ(i.bitRate, 0);
    CHECK_EQ(i.poster, poster);
    CHECK(!FileExists(poster));  // the last poster is gone, none took its place
    i = Ask(control.Get(), tone, false);
    CHECK_EQ(i.audio, VARIANT_TRUE);
    CHECK_EQ(i.duration, 0.0);

    // Nothing the detector opens: every fact zero, the path all the same.
    const std::u16string empty = pt::WindowsPath(pt::OutputPath("info_empty.avi"));
    const std::u16string text = pt::WindowsPath(pt::OutputPath("info_text.avi"));
    WriteFile(empty, "");
    WriteFile(text, "This is a text file that only calls itself a clip.\r\n");
    const std::u16string missing = pt::WindowsPath(pt::OutputPath("info_missing.avi"));
    for (const std::u16string& file : {empty, text, missing, std::u16string()}) {
        Ask(control.Get(), video);
        i = Ask(control.Get(), file);
        const std::string what = core::Utf16ToUtf8(file);
        CHECK_EQ(i.rate, 0.0);
        CHECK_EQ(i.duration, 0.0);
        CHECK_EQ(i.video, VARIANT_FALSE);
        CHECK_EQ(i.audio, VARIANT_FALSE);
        CHECK_EQ(i.width, 0);
        CHECK_EQ(i.height, 0);
        CHECK_EQ(i.bitRate, 0);
        CHECK_EQ(i.poster, poster);
        if (FileExists(poster)) wt::ReportFailure(__FILE__, __LINE__, what + ": a poster remains");
        i = Ask(control.Get(), file, false);
        CHECK_EQ(i.poster, std::u16string());
    }
    // Every out-pointer may be missing.
    CHECK_HR(control->GetFileInfo(Bstr(video).Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr));
}
