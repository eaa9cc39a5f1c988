// Times MPEG output of a 30-second 640x480 25 fps clip for DVD PAL and
// VCD PAL: once through the registered control, as the program converts
// (timeline, render engine, graph, MPEG encoder filter), and once through
// the media core's readers and the MPEG writer on FFmpeg's libraries
// called directly, with the same encoder settings and no graph. Prints
// both times and their ratio. Runs under Wine in a prefix where the
// libraries are registered (see run.sh).
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "platform/core/ByteIo.h"
#include "platform/core/MediaError.h"
#include "platform/core/TrackReader.h"
#include "platform/mpeg/MpegPlan.h"
#include "platform/mpeg/MpegWriter.h"
#include "tools/benchhost/BenchControl.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

using bench::Clock;
using bench::Seconds;
using bench::UnixPath;

constexpr DWORD kTimeoutMs = 15 * 60 * 1000;
constexpr int kRate = 25;
constexpr int kSampleRate = 44100;

// Through the registered control, as the program converts; -1 on failure.
double ThroughControl(EnumMediaOutputFormat format, const std::u16string& source, const std::u16string& output) {
    bench::BenchControl control;
    if (!control.Create()) {
        std::printf("  the control could not be created or its events not reached\n");
        return -1;
    }
    control->put_OutputFormat(format);
    control->put_ConvertPreview(VARIANT_FALSE);
    return control.Convert(source, output, kTimeoutMs);
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
    const com::ComInit comScope;
    WCHAR dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::u16string temp = com::U16(dir);
    const std::u16string source = temp + u"mpegbench_source.avi";
    clipgen::ClipSpec desc;
    desc.width = 640;
    desc.height = 480;
    desc.rate = {kRate, 1};
    desc.seconds = 30.0;
    std::printf("writing the 30-second 640x480 clip...\n");
    clipgen::WriteClip(UnixPath(source), desc);

    struct Case {
        const char* name;
        EnumMediaOutputFormat format;
        int preset;
    };
    const Case cases[] = {{"DVD PAL", mediaDVD_PAL, mpegenc::kPresetDvdPal},
                           {"VCD PAL", mediaVCD_PAL, mpegenc::kPresetVcdPal}};
    int failures = 0;
    for (const Case& c : cases) {
        const std::u16string controlOut = temp + u"mpegbench_control.mpg";
        const std::u16string directOut = temp + u"mpegbench_direct.mpg";
        const double control = ThroughControl(c.format, source, controlOut);
        const double direct = Direct(c.preset, UnixPath(source), UnixPath(directOut));
        if (control < 0 || direct <= 0) {
            ++failures;
            continue;
        }
        std::printf("%-8s control %6.2f s   direct %6.2f s   ratio %.2f   (%.1fx real time through the control)\n",
                    c.name, control, direct, control / direct, 30.0 / control);
        DeleteFileW(com::W(controlOut));
        DeleteFileW(com::W(directOut));
    }
    DeleteFileW(com::W(source));
    return failures ? 1 : 0;
}
