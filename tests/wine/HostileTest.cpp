// The conversion under hostile sources and paths: frames a few pixels
// wide, headers that lie about the length, files that are mostly holes,
// outputs that are the source under another name. Every start ends, the
// source is never lost, and what is left behind is honest.
#include <windows.h>
#include <ole2.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
#include "tests/common/Damage.h"
#include "tests/common/FfmpegClip.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/ControlHost.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using wt::ControlHost;

namespace {

// The output formats by their OutputFormat values.
struct Format {
    LONG value;
    const char* name;
    const char* ext;
};
const Format kFormats[] = {{0, "AVI", "avi"},        {1, "WMV", "wmv"},        {2, "MPEG-1", "mpg"},
                           {3, "MPEG-2", "mpg"},     {4, "VCD PAL", "mpg"},    {5, "VCD NTSC", "mpg"},
                           {6, "SVCD PAL", "mpg"},   {7, "SVCD NTSC", "mpg"},  {8, "DVD PAL", "mpg"},
                           {9, "DVD NTSC", "mpg"}};

std::string Sized(const std::string& stem, int w, int h, const std::string& ext) {
    return stem + "_" + std::to_string(w) + "x" + std::to_string(h) + "." + ext;
}

// Complete and Error in the order they came (the MPEG encoder's state
// notices and AboutToRun left out).
std::vector<DISPID> Ends(const ControlHost& host) {
    std::vector<DISPID> ids;
    for (const auto& c : host.Log())
        if (c.id == wt::kEvComplete || c.id == wt::kEvError) ids.push_back(c.id);
    return ids;
}

// Starts and stops at once, while the graph's threads are starting: the
// stop returns at once and Complete comes once, with no Error.
void StartThenStop(ControlHost& host, const std::string& what) {
    host.ClearLog();
    CHECK_HR(host.Control()->StartConversion());
    const DWORD before = GetTickCount();
    CHECK_HR(host.Control()->StopConversion());
    const DWORD took = GetTickCount() - before;
    if (took > 5000) wt::ReportFailure(__FILE__, __LINE__, what + ": the stop took " + std::to_string(took) + " ms");
    wt::PumpPosted();
    if (Ends(host) != std::vector<DISPID>{wt::kEvComplete})
        wt::ReportFailure(__FILE__, __LINE__, what + ": not one Complete and nothing else");
}

std::string Dir(const std::string& name) {
    const std::string dir = pt::OutputPath(name);
    CreateDirectoryW(com::W(pt::WindowsPath(dir)), nullptr);
    return dir;
}

// The text of the Error event, or "" when none came.
std::string ErrorText(const ControlHost& host) {
    for (const auto& c : host.Log())
        if (c.id == wt::kEvError && c.args.size() == 2) return c.args[1];
    return {};
}

// Starts and waits: Complete, then Error when the start fails.
void Run(ControlHost& host, DWORD timeoutMs = 60000) {
    host.ClearLog();
    CHECK_HR(host.Control()->StartConversion());
    if (!wt::PumpUntil([&] { return host.Ended(); }, timeoutMs)) {
        wt::ReportFailure(__FILE__, __LINE__, "the conversion did not end; stopping it");
        host.Control()->StopConversion();
    }
    wt::PumpPosted();
}

}  // namespace

WT_TEST(Hostile, TinyFramesConvertAndStopInEveryFormat) {
    ControlHost host(false);
    const std::string dir = pt::OutputPath("tiny");
    CreateDirectoryW(com::W(pt::WindowsPath(dir)), nullptr);
    // One run of ffmpeg makes every size of a container.
    for (const char* ext : {"avi", "wmv", "mpg"}) {
        std::vector<ffclip::SizedPath> clips;
        for (int size = 1; size <= 17; ++size) clips.push_back({Sized(dir + "/src", size, size, ext), size, size});
        ffclip::Patterns(clips, 0.2);
    }
    // The disc presets scale every source to their own picture, so a
    // source's size reaches only the scaler: one pixel, odd and even sides
    // below and above 8 and 16 stand for the rest there.
    const std::vector<int> presetSizes = {1, 2, 3, 7, 9, 16, 17};
    for (const Format& f : kFormats) {
        for (int size = 1; size <= 17; ++size) {
            if (f.value >= 4 && std::find(presetSizes.begin(), presetSizes.end(), size) == presetSizes.end())
                continue;
            // AVI and WMV keep the source's size; the MPEG presets scale a
            // tiny picture up; each reads a container of its own kind.
            const std::string src = Sized(dir + "/src", size, size, f.ext);
            const std::string out = Sized(dir + "/out_" + std::to_string(f.value), size, size, f.ext);
            const std::string what = std::string(f.name) + " from " + std::to_string(size) + "x" + std::to_string(size);
            host.SetFiles(pt::WindowsPath(src), out);
            host.Control()->put_OutputFormat(static_cast<EnumMediaOutputFormat>(f.value));
            host.Control()->put_OutputWMVProfile(0);
            host.ClearLog();
            CHECK_HR(host.Control()->StartConversion());
            if (!wt::PumpUntil([&] { return host.Ended(); }, 30000)) {
                wt::ReportFailure(__FILE__, __LINE__, what + ": no end");
                host.Control()->StopConversion();
                continue;
            }
            wt::PumpPosted();
            // The MPEG encoder takes pictures of 16 pixels and more; the
            // formats that keep the source's size refuse a smaller one.
            const bool refused = (f.value == 2 || f.value == 3) && size < 16;
            if (refused) {
                if (Ends(host) != std::vector<DISPID>{wt::kEvComplete, wt::kEvError})
                    wt::ReportFailure(__FILE__, __LINE__, what + ": expected Complete then Error");
                if (ffclip::FileSize(out) >= 0) wt::ReportFailure(__FILE__, __LINE__, what + ": an output was left");
                const std::string side = std::to_string(size);
                if (ErrorText(host) != "The MPEG encoder cannot take pictures of " + side + " x " + side +
                                           " pixels; choose an output size of at least 16 x 16")
                    wt::ReportFailure(__FILE__, __LINE__, what + ": " + ErrorText(host));
                continue;
            }
            if (host.Count(wt::kEvError) != 0)
                wt::ReportFailure(__FILE__, __LINE__, what + ": " + host.Log().back().args.at(1));
            const pt::FileFacts facts = pt::ReadBack(out);
            if (!facts.opened || facts.videoFrames < 1)
                wt::ReportFailure(__FILE__, __LINE__, what + ": no readable video in the output");
            StartThenStop(host, what + ", stopped");
        }
    }
}

// An output path that is the source under another spelling used to pass
// the text comparison: the start deleted "the output", the source, and
// then failed to open it.
WT_TEST(Hostile, TheSourceUnderAnotherSpellingIsNeverTouched) {
    ControlHost host(false);
    const std::string dir = Dir("samefile");
    const std::string real = dir + "/real";
    CreateDirectoryW(com::W(pt::WindowsPath(real)), nullptr);
    const std::string src = ffclip::Pattern(real + "/A long source name.avi", 64, 48, 1.0);
    const std::string original = damage::ReadFile(src);
    const std::string link = dir + "/link";
    unlink(link.c_str());
    REQUIRE(symlink(real.c_str(), link.c_str()) == 0);

    const std::u16string winSrc = pt::WindowsPath(src);
    WCHAR shortName[MAX_PATH] = {};
    REQUIRE(GetShortPathNameW(com::W(winSrc), shortName, MAX_PATH) > 0);
    // The prefix's C: drive is a folder under Z:, the Unix root.
    const std::u16string cSource = u"C:\\users\\Public\\hostile_same.avi";
    REQUIRE(CopyFileW(com::W(winSrc), com::W(cSource), FALSE));
    char* unixC = nullptr;
    {
        // Where C: lies on the Unix side, from the prefix's dosdevices link.
        const char* prefix = getenv("WINEPREFIX");
        REQUIRE(prefix != nullptr);
        unixC = realpath((std::string(prefix) + "/dosdevices/c:").c_str(), nullptr);
        REQUIRE(unixC != nullptr);
    }
    const std::u16string zSpelling = pt::WindowsPath(std::string(unixC) + "/users/Public/hostile_same.avi");
    free(unixC);

    struct Case {
        const char* what;
        std::u16string input, output;
    };
    const Case cases[] = {
        {"a folder that is a symbolic link", winSrc, pt::WindowsPath(link + "/A long source name.avi")},
        {"the \\\\?\\ prefix", winSrc, u"\\\\?\\" + winSrc},
        {"the \\\\.\\ prefix", winSrc, u"\\\\.\\" + winSrc},
        {"the 8.3 short name", winSrc, com::U16(shortName)},
        {"C: against the same folder under Z:", cSource, zSpelling},
    };
    for (const Case& c : cases) {
        host.Control()->put_InputFile(Bstr(c.input).Get());
        host.Control()->put_OutputFile(Bstr(c.output).Get());
        host.Control()->put_OutputFormat(mediaAVI);
        const std::string text = host.ExpectFailedStart(c.what);
        if (text != "The output file is the input file; choose another output file")
            wt::ReportFailure(__FILE__, __LINE__, std::string(c.what) + ": " + text);
    }
    CHECK(damage::ReadFile(src) == original);
    CHECK(GetFileAttributesW(com::W(cSource)) != INVALID_FILE_ATTRIBUTES);
    DeleteFileW(com::W(cSource));
}

// A Windows Media file that holds only its headers converted "successfully"
// to a file with no frames.
WT_TEST(Hostile, AnEmptySourceEndsWithCompleteThenErrorAndLeavesNothing) {
    ControlHost host(false);
    const std::string dir = Dir("empty");
    const std::string full = ffclip::Pattern(dir + "/full.wmv", 64, 48, 1.0);
    const std::string headersOnly =
        damage::WriteFile(dir + "/headers_only.wmv", damage::HeadersOnly(damage::ReadFile(full)));
    for (const Format& f : kFormats) {
        if (f.value == 2 || f.value == 3) continue;  // the encoder refuses 64x48 as it is
        const std::string out = dir + "/out_" + std::to_string(f.value) + "." + f.ext;
        damage::WriteFile(out, "an older file");
        host.SetFiles(pt::WindowsPath(headersOnly), out);
        host.Control()->put_OutputFormat(static_cast<EnumMediaOutputFormat>(f.value));
        host.Control()->put_OutputWidth(64);
        host.Control()->put_OutputHeight(48);
        Run(host);
        if (Ends(host) != std::vector<DISPID>{wt::kEvComplete, wt::kEvError})
            wt::ReportFailure(__FILE__, __LINE__, std::string(f.name) + ": expected Complete then Error");
        CHECK_EQ(ErrorText(host), std::string("The source file holds no video frames that could be converted"));
        // The older file was deleted by the start; nothing stands in its place.
        if (ffclip::FileSize(out) >= 0) wt::ReportFailure(__FILE__, __LINE__, std::string(f.name) + ": output left");
    }
}

// A conversion that fails part-way left its partial output (a full disk
// stayed full); a stopped one keeps its file.
WT_TEST(Hostile, AFailedOutputIsRemovedAndAStoppedOneKept) {
    ControlHost host(false);
    const std::string dir = Dir("partial");
    const std::string src = ffclip::Pattern(dir + "/src.avi", 320, 240, 4.0);
    const std::string out = dir + "/out.avi";
    host.SetFiles(pt::WindowsPath(src), out);
    host.Control()->put_OutputFormat(mediaAVI);
    host.Control()->put_OutputWidth(0);
    host.Control()->put_OutputHeight(0);
    {
        // A disk that fills up: writes past 2 MB fail (uncompressed, the
        // file would be about 30 MB).
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = old;
        tight.rlim_cur = 2 << 20;
        setrlimit(RLIMIT_FSIZE, &tight);
        Run(host);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
    }
    CHECK(Ends(host) == (std::vector<DISPID>{wt::kEvComplete, wt::kEvError}));
    CHECK_EQ(ffclip::FileSize(out), -1LL);
    CHECK(damage::ReadFile(src).size() > 0);

    // Stopped by the user: the file stays, readable.
    host.ClearLog();
    CHECK_HR(host.Control()->StartConversion());
    wt::PumpUntil([&] {
        double p = 0;
        host.Control()->get_Progress(&p);
        return p > 0.5 || host.Ended();
    }, 30000);
    CHECK_HR(host.Control()->StopConversion());
    wt::PumpPosted();
    CHECK(Ends(host) == std::vector<DISPID>{wt::kEvComplete});
    CHECK(ffclip::FileSize(out) > 0);
}

// Texts that name the cause: an audio-only source is not one that "could
// not be opened".
WT_TEST(Hostile, ErrorTextsNameTheCause) {
    ControlHost host(false);
    const std::string dir = Dir("causes");
    const std::string sound = ffclip::Make(dir + "/sound.mpa", {"-t", "1", "-f", "lavfi", "-i", "sine=sample_rate=44100", "-c:a", "mp2"});
    const std::string text = damage::WriteFile(dir + "/text.avi", std::string(4000, 'x'));
    const std::string out = dir + "/out.avi";
    struct Case {
        std::string input;
        const char* expected;
    };
    const Case cases[] = {
        {dir + "/missing.avi", "The source file does not exist"},
        {text, "The source file is not a video or audio file that can be read"},
        {sound, "The source file has no video to take the frame size from; choose an output width and height"},
    };
    for (const Case& c : cases) {
        host.SetFiles(pt::WindowsPath(c.input), out);
        host.Control()->put_OutputFormat(mediaAVI);
        host.Control()->put_OutputWidth(0);
        host.Control()->put_OutputHeight(0);
        CHECK_EQ(host.ExpectFailedStart(c.input.c_str()), std::string(c.expected));
    }
    // With a size the sound converts, under black pictures.
    host.SetFiles(pt::WindowsPath(sound), out);
    host.Control()->put_OutputWidth(160);
    host.Control()->put_OutputHeight(120);
    CHECK(host.Convert());
    const pt::FileFacts f = pt::ReadBack(out);
    CHECK(f.opened && f.sampleRate == 44100 && f.videoFrames >= 24);
}

namespace {

double Duration(IVantrexObj* control, const std::string& path, double* rate = nullptr) {
    double fps = 0, duration = 0;
    VARIANT_BOOL video = 0, audio = 0;
    LONG w = 0, h = 0, bitRate = 0;
    BSTR poster = nullptr;
    control->GetFileInfo(Bstr(pt::WindowsPath(path)).Get(), &fps, &duration, &video, &audio, &w, &h, &bitRate, &poster);
    SysFreeString(poster);
    if (rate) *rate = fps;
    return duration;
}

}  // namespace

// Headers claiming 0x7FFFFFFF frames, or damage through an MPEG file, made
// the last picture repeat for ever (33 GB in two minutes).
WT_TEST(Hostile, LyingLengthsEndWithTheRealData) {
    ControlHost host(false);
    const std::string dir = Dir("lying");
    const std::string honest = ffclip::Pattern(dir + "/honest.avi", 160, 120, 2.0);
    const std::string lying =
        damage::WriteFile(dir + "/lying.avi", damage::ClaimFrames(damage::ReadFile(honest), 0x7FFFFFFF));
    const double length = Duration(host.Control(), lying);
    CHECK(length > 1.9 && length < 2.1);
    const std::string out = dir + "/lying_out.avi";
    host.SetFiles(pt::WindowsPath(lying), out);
    host.Control()->put_OutputFormat(mediaAVI);
    CHECK(host.Convert());
    const long long frames = pt::ReadBack(out).videoFrames;
    CHECK(frames >= 49 && frames <= 51);

    // One bit in a hundred flipped, converted to DVD: ends, and soon.
    const std::string clean = damage::ReadFile(ffclip::Pattern(dir + "/clean.mpeg", 352, 288, 6.0));
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const std::string flipped =
            damage::WriteFile(dir + "/flipped" + std::to_string(seed) + ".mpeg", damage::FlipBits(clean, seed));
        const std::string dvd = dir + "/flipped_out" + std::to_string(seed) + ".mpg";
        host.SetFiles(pt::WindowsPath(flipped), dvd);
        host.Control()->put_OutputFormat(mediaDVD_PAL);
        Run(host, 60000);
        // Converted or refused, the output holds no more than the source's
        // six seconds.
        CHECK(ffclip::FileSize(dvd) < 20ll << 20);
        if (ffclip::FileSize(dvd) > 0) CHECK(pt::ReadBack(dvd).videoFrames <= 6 * 25 + 5);
    }
}

// 4 s of MPEG followed by zeros to 5 GB (a sparse file, never written):
// GetFileInfo took 36 s with the window frozen, converting 86 s.
WT_TEST(Hostile, ASparseFileIsProbedAndConvertedQuickly) {
    ControlHost host(false);
    const std::string dir = Dir("sparse");
    const std::string path = dir + "/sparse.mpg";
    ffclip::Make(path, {"-t", "4", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-c:v", "mpeg1video", "-an",
                        "-f", "mpeg"});
    REQUIRE(truncate(path.c_str(), 5ll << 30) == 0);
    DWORD before = GetTickCount();
    Duration(host.Control(), path);
    CHECK(GetTickCount() - before < 5000);
    const std::string out = dir + "/sparse_out.avi";
    host.SetFiles(pt::WindowsPath(path), out);
    host.Control()->put_OutputFormat(mediaAVI);
    host.Control()->put_OutputWidth(0);
    host.Control()->put_OutputHeight(0);
    before = GetTickCount();
    CHECK(host.Convert());
    CHECK(GetTickCount() - before < 15000);
    const long long frames = pt::ReadBack(out).videoFrames;
    CHECK(frames >= 98 && frames <= 101);
}

// A Windows Media file of one or two pictures read as 1000 frames per
// second: one picture became 86 in the output.
WT_TEST(Hostile, ShortWindowsMediaSourcesKeepTheirPictures) {
    ControlHost host(false);
    const std::string dir = Dir("shortwmv");
    struct Case {
        int pictures;
        double rate;  // what GetFileInfo says; 0 is "unknown"
    };
    for (const Case c : {Case{1, 0.0}, Case{2, 25.0}}) {
        const std::string src = ffclip::Make(dir + "/short" + std::to_string(c.pictures) + ".wmv",
                                             {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-frames:v",
                                              std::to_string(c.pictures), "-c:v", "wmv2", "-an"});
        double rate = -1;
        Duration(host.Control(), src, &rate);
        CHECK(std::abs(rate - c.rate) < 0.01);
        const std::string out = dir + "/short_out" + std::to_string(c.pictures) + ".avi";
        host.SetFiles(pt::WindowsPath(src), out);
        host.Control()->put_OutputFormat(mediaAVI);
        CHECK(host.Convert());
        const pt::FileFacts f = pt::ReadBack(out);
        CHECK(f.videoFrames >= c.pictures && f.videoFrames <= c.pictures + 2);
        CHECK(f.frameRate < 31);
    }
}
