// Times MPEG output of a 30-second 640x480 25 fps clip for DVD PAL and
// VCD PAL: once through the conversion engine (timeline, render engine,
// graph, MPEG encoder filter) and once through the media core's readers
// and the MPEG writer called directly, with the same encoder settings.
// Prints both times and their ratio. Runs under Wine in a prefix where
// the libraries are registered (see run.sh).
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "convctl/ConversionEngine.h"
#include "framework/com/WinText.h"
#include "platform/core/ByteIo.h"
#include "platform/core/MediaError.h"
#include "platform/core/TrackReader.h"
#include "platform/mpeg/MpegPlan.h"
#include "platform/mpeg/MpegWriter.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kTimeoutMs = 15 * 60 * 1000;
constexpr int kRate = 25;
constexpr int kSampleRate = 44100;

class Host final : public convctl::EngineHost {
public:
    bool complete = false;
    std::string error;
    void Fire_AboutToRun() override {}
    void Fire_AVICodecListed(const std::u16string&, const std::u16string&, LONG) override {}
    void Fire_Complete() override { complete = true; }
    void Fire_Error(LONG code, const std::u16string& text) override {
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%08x ", static_cast<unsigned>(code));
        error = buf + core::Utf16ToUtf8(text);
    }
    void Fire_WMVProfileListed(LONG, const std::u16string&, const std::u16string&) override {}
    void Fire_StateChange(LONG, const std::u16string&) override {}
    void Fire_WMVCodecListed(LONG, const std::u16string&, const std::u16string&) override {}
};

std::string UnixPath(const std::u16string& path) {
    char* unix = wine_get_unix_file_name(com::W(path));
    std::string out = unix ? unix : "";
    if (unix) HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Through the engine, as the control converts; -1 on failure.
double ThroughEngine(LONG format, const std::u16string& source, const std::u16string& output) {
    Host host;
    convctl::ConversionEngine engine(host);
    engine.SetInputFile(source);
    engine.SetOutputFile(output);
    engine.SetOutputFormat(format);
    engine.SetPreview(false);
    const Clock::time_point start = Clock::now();
    engine.Start(nullptr);
    const DWORD begun = GetTickCount();
    while (!host.complete && GetTickCount() - begun < kTimeoutMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    const double elapsed = Seconds(start);
    if (!host.complete) engine.Teardown();
    if (!host.complete || !host.error.empty()) {
        std::printf("  engine failed: %s\n", host.error.empty() ? "timed out" : host.error.c_str());
        return -1;
    }
    return elapsed;
}

// The same pictures and sound, read and written by the libraries directly.
double Direct(int preset, const std::string& source, const std::string& output) {
    mpegenc::Settings settings;
    settings.preset = preset;
    mpegenc::LoadPresetDefaults(settings);
    mpegenc::Plan plan;
    const char* reason = nullptr;
    if (!mpegenc::MakePlan(settings, {0, 0, kRate, kSampleRate, 2}, plan, &reason)) {
        std::printf("  no plan: %s\n", reason);
        return -1;
    }
    try {
        const Clock::time_point start = Clock::now();
        media::VideoTrackReader video(media::FileOpener(source), {plan.width, plan.height, {kRate, 1}}, {});
        media::AudioTrackReader audio(media::FileOpener(source), {kSampleRate, 2}, {});
        auto sink = media::CreateFileSink(output);
        mpegenc::MpegWriter writer(plan, {plan.width, plan.height, kSampleRate, 2}, *sink);
        std::vector<uint8_t> picture(video.FrameBytes());
        std::vector<int16_t> pcm(kSampleRate / kRate * 2);
        while (video.Next(picture.data())) {
            writer.WriteVideo(picture.data(), plan.width * 4, true, 1);
            const int got = audio.Read(pcm.data(), kSampleRate / kRate);
            writer.WriteAudio(pcm.data(), got);
        }
        for (int got; (got = audio.Read(pcm.data(), kSampleRate / kRate)) > 0;) writer.WriteAudio(pcm.data(), got);
        writer.Finish();
        return Seconds(start);
    } catch (const media::MediaError& e) {
        std::printf("  direct failed: %s\n", e.what());
        return -1;
    }
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WCHAR dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::u16string temp = com::U16(dir);
    const std::u16string source = temp + u"mpegbench_source.avi";
    clipgen::ClipSpec spec;
    spec.width = 640;
    spec.height = 480;
    spec.rate = {kRate, 1};
    spec.seconds = 30.0;
    std::printf("writing the 30-second 640x480 clip...\n");
    clipgen::WriteClip(UnixPath(source), spec);

    struct Case {
        const char* name;
        LONG format;
        int preset;
    };
    const Case cases[] = {{"DVD PAL", 8, mpegenc::kPresetDvdPal}, {"VCD PAL", 4, mpegenc::kPresetVcdPal}};
    int failures = 0;
    for (const Case& c : cases) {
        const std::u16string engineOut = temp + u"mpegbench_engine.mpg";
        const std::u16string directOut = temp + u"mpegbench_direct.mpg";
        const double engine = ThroughEngine(c.format, source, engineOut);
        const double direct = Direct(c.preset, UnixPath(source), UnixPath(directOut));
        if (engine < 0 || direct <= 0) {
            ++failures;
            continue;
        }
        std::printf("%-8s engine %6.2f s   direct %6.2f s   ratio %.2f   (%.1fx real time through the engine)\n",
                    c.name, engine, direct, engine / direct, 30.0 / engine);
        DeleteFileW(com::W(engineOut));
        DeleteFileW(com::W(directOut));
    }
    DeleteFileW(com::W(source));
    CoUninitialize();
    return failures ? 1 : 0;
}
