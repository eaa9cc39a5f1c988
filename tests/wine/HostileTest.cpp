// The conversion under hostile sources and paths: frames a few pixels
// wide, headers that lie about the length, files that are mostly holes,
// outputs that are the source under another name. Every start ends, the
// source is never lost, and what is left behind is honest.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
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

// Starts and stops at once, while the graph's threads are starting: the
// stop returns at once and Complete comes once, with no Error.
void StartThenStop(ControlHost& host, const std::string& what) {
    host.ClearLog();
    CHECK_HR(host.Control()->StartConversion());
    const DWORD before = GetTickCount();
    CHECK_HR(host.Control()->StopConversion());
    const DWORD took = GetTickCount() - before;
    if (took > 5000) wt::ReportFailure(__FILE__, __LINE__, what + ": the stop took " + std::to_string(took) + " ms");
    wt::PumpMessages(20);
    if (host.EndEvents() != std::vector<DISPID>{wt::kEvComplete})
        wt::ReportFailure(__FILE__, __LINE__, what + ": not one Complete and nothing else");
}

}  // namespace

WT_TEST(Hostile, TinyFramesConvertAndStopInEveryFormat) {
    ControlHost host(false);
    const std::string dir = pt::OutputPath("tiny");
    CreateDirectoryW(com::W(pt::WindowsPath(dir)), nullptr);
    for (const Format& f : kFormats) {
        for (int size = 1; size <= 17; ++size) {
            // AVI and WMV keep the source's size; the MPEG presets scale a
            // tiny picture up; each reads a container of its own kind.
            const std::string src = ffclip::Pattern(Sized(dir + "/src", size, size, f.ext), size, size, 0.4);
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
            wt::PumpMessages(20);
            // The MPEG encoder takes pictures of 16 pixels and more; the
            // formats that keep the source's size refuse a smaller one.
            const bool refused = (f.value == 2 || f.value == 3) && size < 16;
            if (refused) {
                if (host.EndEvents() != std::vector<DISPID>{wt::kEvComplete, wt::kEvError})
                    wt::ReportFailure(__FILE__, __LINE__, what + ": expected Complete then Error");
                if (ffclip::FileSize(out) >= 0) wt::ReportFailure(__FILE__, __LINE__, what + ": an output was left");
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
