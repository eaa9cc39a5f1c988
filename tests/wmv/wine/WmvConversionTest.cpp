// WMV conversions of generated clips through the whole engine: timeline,
// render engine, capture graph builder and ASF writer. Every file is read
// back with FFmpeg's libraries.
#include <windows.h>

#include <string>
#include <vector>

#include "convctl/ConversionEngine.h"
#include "framework/com/WinText.h"
#include "platform/wm/WmCatalog.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tests/wmv/common/MediaProbe.h"
#include "tests/wmv/wine/RecordingHost.h"
#include "tests/wmv/wine/StdoutCapture.h"

using wmvtest::ProbedFile;
using wmvtest::RecordingHost;

namespace {

constexpr double kClipSeconds = 2.0;
constexpr DWORD kConversionTimeoutMs = 60000;

const std::string kWmv1 = "1,{31564D57-0000-0010-8000-00AA00389B71}";
const std::string kWma1 = "1,{00000160-0000-0010-8000-00AA00389B71}";

std::u16string SourceClip(bool audio = true) {
    clipgen::ClipSpec desc;  // 160 x 120, 25 fps
    desc.seconds = kClipSeconds;
    desc.audio = audio;
    return pt::Clip(audio ? "wmv_source.avi" : "wmv_source_silent.avi", desc);
}

// One engine with a window for its preview, converting to WMV.
struct Conversion {
    RecordingHost host;
    convctl::ConversionEngine engine{host};
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    std::string out;

    Conversion(const std::u16string& source, const std::string& name, LONG profile) {
        out = pt::OutputPath(name);
        DeleteFileW(com::W(pt::WindowsPath(out)));
        engine.SetInputFile(source);
        engine.SetOutputFile(pt::WindowsPath(out));
        engine.SetOutputFormat(1);
        engine.SetWmvProfile(profile);
        engine.SetPreview(false);
    }
    ~Conversion() { DestroyWindow(window); }

    // Starts and waits for the end; the events the start and the graph fired.
    std::vector<std::string> Run() {
        engine.Start(window);
        wt::PumpUntil([&] { return !engine.IsRunning(); }, kConversionTimeoutMs);
        CHECK(!engine.IsRunning());
        return host.events;
    }
    bool OutputExists() const { return GetFileAttributesW(com::W(pt::WindowsPath(out))) != INVALID_FILE_ATTRIBUTES; }
};

// Events as one text, so that a failed check shows them.
std::string Joined(const std::vector<std::string>& events) {
    std::string all;
    for (const auto& e : events) all += e + "\n";
    return all;
}

const std::string kCompleted = "AboutToRun\nComplete\n";

// The file holds the codecs and rates asked for, at the input's frame size
// and duration. The declared rate is the container's; the coded video
// stays below its target plus what the first key frame of a short moving
// clip costs.
void ExpectWmv(const std::string& path, const char* videoCodec, const char* audioCodec, int64_t videoRate,
               int64_t audioRate) {
    const ProbedFile file = wmvtest::ProbeMedia(path);
    REQUIRE(file.error.empty());
    CHECK_EQ(file.format, std::string("asf"));
    const wmvtest::ProbedStream* v = file.Video();
    const wmvtest::ProbedStream* a = file.Audio();
    REQUIRE(v && a);
    CHECK_EQ(v->codec, std::string(videoCodec));
    CHECK_EQ(a->codec, std::string(audioCodec));
    CHECK_EQ(v->width, 160);
    CHECK_EQ(v->height, 120);
    CHECK_EQ(v->packets, static_cast<int64_t>(kClipSeconds * 25));
    CHECK(file.seconds > kClipSeconds - 0.15 && file.seconds < kClipSeconds + 0.15);
    CHECK_EQ(file.declaredBitRate, videoRate + audioRate);
    CHECK(v->bytes * 8 / kClipSeconds < videoRate * 1.5 + 60000);
    if (a->seconds > 0) CHECK(a->bytes * 8 / a->seconds < audioRate * 1.15);
}

}  // namespace

WT_TEST(WmvConversion, CustomProfileWithoutCodecsUsesTheDefaultStreams) {
    // The program's case: the custom entry (0), or no profile chosen (-1),
    // with both codecs empty and the preview on.
    for (LONG number : {LONG{0}, LONG{-1}}) {
        Conversion c(SourceClip(), number == 0 ? "wmv_custom.wmv" : "wmv_custom_unchosen.wmv", number);
        c.engine.SetPreview(true);
        CHECK_EQ(Joined(c.Run()), kCompleted);
        ExpectWmv(c.out, "wmv2", "wmav2", wm::VideoFormatBitRate(), wm::AudioFormats().front().bitRate);
    }
}

WT_TEST(WmvConversion, ProfileNumbersCountFromTheFirstSystemProfile) {
    const auto& table = wm::SystemProfiles();
    struct Case {
        LONG number;
        const wm::SystemProfileSpec* desc;
        const char* name;
    };
    for (const Case& k : {Case{1, &table.front(), "wmv_first.wmv"},
                          Case{static_cast<LONG>(table.size()), &table.back(), "wmv_last.wmv"}}) {
        Conversion c(SourceClip(), k.name, k.number);
        CHECK_EQ(Joined(c.Run()), kCompleted);
        ExpectWmv(c.out, wm::VideoCodecs()[k.desc->video.codec].encoderName,
                  wm::AudioCodecs()[k.desc->audio.codec].encoderName, k.desc->video.bitRate,
                  k.desc->audio.format.bitRate);
    }
}

WT_TEST(WmvConversion, ProfilesThatCannotBeMadeFailAfterCompleting) {
    {
        const LONG number = static_cast<LONG>(wm::SystemProfiles().size()) + 1;
        Conversion c(SourceClip(), "wmv_beyond.wmv", number);
        wmvtest::StdoutCapture out;
        const auto events = c.Run();
        CHECK_EQ(out.Text(), "Invalid profile: " + std::to_string(number) + "\n");
        CHECK_EQ(Joined(events), std::string("Complete\nError|-2147024809|Failed to map profile ID!\n"));
        CHECK(!c.OutputExists());
    }
    {
        // A custom profile naming a codec the runtime does not list.
        Conversion c(SourceClip(), "wmv_nocodec.wmv", 0);
        c.engine.SetVideoCodec(u"7,{31564D57-0000-0010-8000-00AA00389B71}");
        CHECK_EQ(Joined(c.Run()), std::string("Complete\nError|-2147024809|Could not create custom profile object!\n"));
        CHECK(!c.OutputExists());
    }
}

WT_TEST(WmvConversion, ChosenCodecsAreDescribedAtTheGroupsRealSize) {
    Conversion c(SourceClip(), "wmv_codecs.wmv", 0);
    c.engine.SetVideoCodec(com::U16(kWmv1));
    c.engine.SetAudioCodec(com::U16(kWma1));
    c.engine.SetPreview(true);  // the writer behind the preview's Smart Tee
    CHECK_EQ(Joined(c.Run()), kCompleted);
    ExpectWmv(c.out, "wmv1", "wmav1", 819200, wm::AudioFormats().front().bitRate);
    // The output size was kept (0 x 0): the profile has the source's size.
    CHECK_EQ(c.engine.CustomWmvProfile().width, 160);
    CHECK_EQ(c.engine.CustomWmvProfile().height, 120);
}

WT_TEST(WmvConversion, SourceWithoutAudioGetsASilentTrack) {
    Conversion c(SourceClip(false), "wmv_silent.wmv", 1);
    CHECK_EQ(Joined(c.Run()), kCompleted);
    const ProbedFile file = wmvtest::ProbeMedia(c.out);
    REQUIRE(file.error.empty());
    REQUIRE(file.Video() && file.Audio());
    CHECK_EQ(file.Video()->packets, static_cast<int64_t>(kClipSeconds * 25));
}

WT_TEST(WmvConversion, VideoThatCannotBeWrittenEndsTheStart) {
    // The encoders take even widths only (an odd one loses its last
    // column): one column wide cannot be written. With the preview on, the
    // video goes through the preview's Smart Tee and the same holds.
    for (bool preview : {false, true}) {
        {
            Conversion c(SourceClip(), "wmv_odd.wmv", 1);
            c.engine.SetOutputWidth(1);
            c.engine.SetPreview(preview);
            const auto events = c.Run();
            REQUIRE(events.size() == 2);
            CHECK_EQ(events[0], std::string("Complete"));
            CHECK(events[1].rfind("Error|", 0) == 0);
            CHECK(events[1].find("|The video stream does not render") != std::string::npos);
        }
        {
            Conversion c(SourceClip(false), "wmv_odd_silent.wmv", 1);
            c.engine.SetOutputWidth(1);
            c.engine.SetPreview(preview);
            CHECK_EQ(Joined(c.Run()), std::string("Complete\nError|-2147467259|The selected source file does not "
                                                  "have any audio content, and the video stream does not render\n"));
        }
    }
}

WT_TEST(WmvConversion, OutputFileThatCannotBeNamedEndsTheStart) {
    Conversion c(SourceClip(), "wmv_unnamed.wmv", 1);
    c.engine.SetOutputFile(u"");
    CHECK_EQ(Joined(c.Run()), std::string("Complete\nError|-2147024809|The output file could not be created\n"));
}
