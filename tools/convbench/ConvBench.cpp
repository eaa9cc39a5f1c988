// Converts the same clips through the registered control, as the program
// converts, and through Debian's ffmpeg command line with the settings the
// control uses, in alternating pairs (control first in odd pairs, the
// command line first in even ones). Prints for every case the median wall
// time, CPU time and peak memory of both sides with their ratios, the
// output sizes and the PSNR of each output against the source (FFmpeg's
// psnr filter). Then the media facts (GetFileInfo with a poster) per clip
// against ffprobe with an ffmpeg poster, the fixed cost of a conversion
// (graph built to the first sample written, step by step), and the peak
// memory of one conversion for a short and a long clip.
//
// How the command line is matched to the control (the control's values
// come from its compressors' defaults, the MPEG presets and the WMV system
// profiles, in a fresh prefix):
// - Sound: the timeline's audio group delivers 44.1 kHz stereo 16-bit PCM;
//   the sources carry 44.1 kHz stereo sound, so neither side resamples
//   before its encoder.
// - AVI: MPEG-4 Part 2 compressor: 1800 kbit/s, a key frame every 250
//   frames, no B-frames, FourCC XVID; MP3 compressor: 128 kbit/s.
//   Command line: -c:v mpeg4 -vtag XVID -b:v 1800k -g 250 -bf 0
//   -c:a libmp3lame -b:a 128k -ar 44100 -ac 2 -f avi, with
//   -avoid_negative_ts disabled so that its muxer does not push the
//   pictures one frame late for the MP3's delay (see MakeClip).
// - DVD PAL: MPEG-2 at 720x576 and 25 fps, 6000 kbit/s average, 9000
//   maximum, VBV 1835008 bits started three quarters full, 15-frame GOP
//   with 2 B-frames, 4:3 display, main profile at main level; AC-3 448
//   kbit/s at 48 kHz; DVD program stream, 2048-byte packs, mux rate 10.08
//   Mbit/s. Command line: the same values given one by one (-target would
//   set most of them but not the B-frames, the aspect or the VBV start).
// - WMV: the system profile's WMV2 and WMA2 streams at the source's frame
//   size and rate: bit rate, key frame spacing (seconds times the rate),
//   buffer window (rc buffer of bit rate times window, maximum rate the
//   bit rate); audio rate, channels and bit rate of the profile.
// - Scaling (DVD): both scale with bicubic filters, the stretch mode of the
//   timeline (no letterbox).
// - Threads: both leave FFmpeg's codecs their automatic thread counts.
// - Preview: off (the conversion alone; the command line shows nothing).
//
// Runs under Wine in a prefix where the libraries are registered; run.sh
// makes one. Arguments: [--clips DIR] [--pairs N] [--only NAME] [--skip-psnr]
// [--parts cases,info,fixed,memory,series] [--kinds synthetic,footage].
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/common/FfmpegClip.h"
#include "tests/common/UnixProcess.h"
#include "tools/benchhost/BenchControl.h"

namespace {

using bench::Clock;
using bench::DosPath;
using bench::Seconds;
using com::Bstr;
using com::ComPtr;
using ffclip::FileSize;
using unixproc::ProcessRun;
using unixproc::SelfCpu;
using unixproc::Spawn;

constexpr DWORD kTimeoutMs = 20 * 60 * 1000;

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// ---- The command line -------------------------------------------------------------------

std::vector<std::string> Ffmpeg(std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-hide_banner", "-v", "error", "-y"});
    return args;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- This process ----------------------------------------------------------------------

// CPU seconds of a process from /proc (user and system); 0 when unknown.
double ProcCpu(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int i = 3; fields >> f; ++i) {
        if (i == 14) utime = std::atof(f.c_str());
        if (i == 15) {
            stime = std::atof(f.c_str());
            break;
        }
    }
    return (utime + stime) / sysconf(_SC_CLK_TCK);
}

// The wineserver of this prefix: the conversion's messages, events and
// waits are its work too, so its CPU time counts for the control.
std::string FindWineserver() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) return {};
    DIR* procs = opendir("/proc");
    if (!procs) return {};
    std::string found;
    while (const dirent* e = readdir(procs)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        const std::string pid = e->d_name;
        if (ReadFile("/proc/" + pid + "/comm").rfind("wineserver", 0) != 0) continue;
        const std::string env = ReadFile("/proc/" + pid + "/environ");
        if (env.find(std::string("WINEPREFIX=") + prefix + '\0') != std::string::npos) {
            found = pid;
            break;
        }
    }
    closedir(procs);
    return found;
}

double StatusField(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field));
    return 0;
}

double StatusMb(const char* field) { return StatusField(field) / 1024.0; }

// Linux resets the high-water mark of the resident size when 5 is written.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// ---- Start marks ------------------------------------------------------------------------

// The graph's stages send start marks to the debugger output, which comes
// to this process as a debug-print exception: a vectored handler takes the
// time on the thread that sent it and lets the exception go on.
class StartMarks {
public:
    struct Mark {
        std::string stage;
        Clock::time_point at;
    };
    static void Install() { AddVectoredExceptionHandler(1, Handler); }
    static void Clear() {
        std::lock_guard<std::mutex> lock(Lock());
        Marks().clear();
    }
    static bool Seen(const std::string& stage) {
        std::lock_guard<std::mutex> lock(Lock());
        return std::any_of(Marks().begin(), Marks().end(), [&](const Mark& m) { return m.stage == stage; });
    }
    static std::vector<Mark> Taken() {
        std::lock_guard<std::mutex> lock(Lock());
        return Marks();
    }

private:
    static std::mutex& Lock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<Mark>& Marks() {
        static std::vector<Mark> marks;
        return marks;
    }
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* e) {
        const EXCEPTION_RECORD& r = *e->ExceptionRecord;
        if (r.ExceptionCode != DBG_PRINTEXCEPTION_C || r.NumberParameters < 2 || !r.ExceptionInformation[1])
            return EXCEPTION_CONTINUE_SEARCH;
        const Clock::time_point at = Clock::now();
        static constexpr char kPrefix[] = "start mark: ";
        std::string text(reinterpret_cast<const char*>(r.ExceptionInformation[1]));
        if (text.rfind(kPrefix, 0) != 0) return EXCEPTION_CONTINUE_SEARCH;
        text.erase(0, sizeof kPrefix - 1);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::lock_guard<std::mutex> lock(Lock());
        Marks().push_back({text, at});
        return EXCEPTION_CONTINUE_SEARCH;
    }
};

// What the C library's allocator holds: in use, and freed but kept.
struct HeapFacts {
    double inUseMb, freeMb;
};

HeapFacts TakeHeapFacts() {
    const struct mallinfo2 m = mallinfo2();
    return {(m.uordblks + m.hblkhd) / 1048576.0, m.fordblks / 1048576.0};
}

// ---- Clips and cases --------------------------------------------------------------------

struct Clip {
    std::string kind;  // "synthetic" or "footage"
    int width, height, seconds;
    std::string path;
};

// The picture source of a kind, as a lavfi graph: a clean test pattern, or
// footage-like pictures (a slow fractal zoom, softened as a lens does, with
// temporal grain added to the YUV planes as a camera's noise). The fractal
// is drawn at a quarter of the size and scaled up: at full size its deep
// end takes the better part of an hour on a busy machine, at a quarter
// about a minute, and the blur and grain make up for the lost detail.
std::string PictureGraph(const std::string& kind, int w, int h, int seconds) {
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (kind == "synthetic") return "testsrc2=size=" + size + ":rate=25";
    const std::string drawn = std::to_string(w / 4) + "x" + std::to_string(h / 4);
    return "mandelbrot=size=" + drawn + ":rate=25:maxiter=160:start_scale=2.5:end_scale=0.05:end_pts=" +
           std::to_string(seconds) + ",scale=" + std::to_string(w) + ":" + std::to_string(h) +
           ":flags=bicubic,format=yuv420p,gblur=sigma=0.8,noise=alls=10:allf=t";
}

// Made once by the command line (MPEG-4 at a fine quantiser and MP3 at
// 44.1 kHz in AVI, as cameras and earlier conversions leave them) and kept.
// Left to shift the streams for the MP3's priming delay, FFmpeg's AVI
// muxer writes an empty second video frame, which moves every later
// picture one frame on; the clips start both streams at zero instead.
bool MakeClip(const Clip& c) {
    if (FileSize(c.path) > 0) return true;
    std::printf("making %s...\n", c.path.c_str());
    std::fflush(stdout);
    const std::string part = c.path + ".part.avi";
    const ProcessRun r = Spawn(Ffmpeg({"-f", "lavfi", "-i", PictureGraph(c.kind, c.width, c.height, c.seconds), "-f",
                                       "lavfi", "-i", "sine=frequency=440:sample_rate=44100:beep_factor=4", "-t",
                                       std::to_string(c.seconds), "-ac", "2", "-c:v", "mpeg4", "-q:v", "2", "-c:a",
                                       "libmp3lame", "-b:a", "192k", "-avoid_negative_ts", "disabled", part}));
    if (r.exitCode != 0 || std::rename(part.c_str(), c.path.c_str()) != 0) {
        std::printf("  ffmpeg could not make the clip\n");
        return false;
    }
    return true;
}

enum class Kind { Avi, Dvd, Wmv };

struct WmvProfile {
    int index;  // OutputWMVProfile
    long long videoBps;
    int keySeconds, bufferMs;
    int sampleRate, channels;
    long long audioBps;
};

// The system profiles used: 10 "High definition (8 Mbps)" for 720p, 8
// "High quality (2 Mbps)" for the smaller pictures.
WmvProfile ProfileFor(int height) {
    if (height >= 720) return {10, 7808000, 10, 3000, 48000, 2, 192000};
    return {8, 1872000, 10, 3000, 44100, 2, 128000};
}

const char* KindName(Kind k) { return k == Kind::Avi ? "AVI" : k == Kind::Dvd ? "DVD" : "WMV"; }
const char* KindExt(Kind k) { return k == Kind::Avi ? ".avi" : k == Kind::Dvd ? ".mpg" : ".wmv"; }

struct Case {
    std::string name;
    Kind kind;
    const Clip* clip;
    std::string ext;
};

std::vector<std::string> CommandLineArgs(const Case& c, const std::string& out) {
    std::vector<std::string> a{"-i", c.clip->path};
    switch (c.kind) {
    case Kind::Avi:
        a.insert(a.end(), {"-c:v", "mpeg4", "-vtag", "XVID", "-b:v", "1800k", "-g", "250", "-bf", "0", "-c:a",
                           "libmp3lame", "-b:a", "128k", "-ar", "44100", "-ac", "2", "-avoid_negative_ts", "disabled", "-f",
                           "avi"});
        break;
    case Kind::Dvd:
        a.insert(a.end(), {"-vf", "scale=720:576:flags=bicubic", "-r", "25", "-c:v", "mpeg2video", "-b:v", "6000k",
                           "-maxrate", "9000k", "-minrate", "0", "-bufsize", "1835008", "-rc_init_occupancy",
                           "1376256", "-g", "15", "-bf", "2", "-aspect", "4:3", "-profile:v", "4", "-level:v", "8",
                           "-c:a", "ac3", "-b:a", "448k", "-ar", "48000", "-ac", "2", "-f", "dvd", "-packetsize",
                           "2048", "-muxrate", "10080000"});
        break;
    case Kind::Wmv: {
        const WmvProfile p = ProfileFor(c.clip->height);
        a.insert(a.end(), {"-c:v", "wmv2", "-b:v", std::to_string(p.videoBps), "-maxrate", std::to_string(p.videoBps),
                           "-bufsize", std::to_string(p.videoBps * p.bufferMs / 1000), "-g",
                           std::to_string(p.keySeconds * 25), "-c:a", "wmav2", "-b:a", std::to_string(p.audioBps),
                           "-ar", std::to_string(p.sampleRate), "-ac", std::to_string(p.channels), "-f", "asf"});
        break;
    }
    }
    a.push_back(out);
    return Ffmpeg(a);
}

struct Side {
    std::vector<double> wall, cpu, peak, growth;
    long long size = 0;
    std::string psnr;
    int failures = 0;
};

struct Bench {
    std::string clipDir;
    std::string wineserver;
    std::u16string mpeg4, mp3;  // compressor identifiers

    // Sets the control up for a case; the conversion itself is timed by the caller.
    void Configure(bench::BenchControl& c, const Case& k) {
        c->put_ConvertPreview(VARIANT_FALSE);
        c->put_OutputWidth(0);
        c->put_OutputHeight(0);
        c->put_OutputFramerate(0);
        switch (k.kind) {
        case Kind::Avi:
            c->put_OutputFormat(mediaAVI);
            c->put_VideoCodec(Bstr(mpeg4).Get());
            c->put_AudioCodec(Bstr(mp3).Get());
            break;
        case Kind::Dvd: c->put_OutputFormat(mediaDVD_PAL); break;
        case Kind::Wmv:
            c->put_OutputFormat(mediaWMV);
            c->put_OutputWMVProfile(ProfileFor(k.clip->height).index);
            break;
        }
    }

    bool RunControl(const Case& k, const std::string& out, Side& s) {
        bench::BenchControl c;
        if (!c.Create()) {
            std::printf("    the control could not be created\n");
            return false;
        }
        Configure(c, k);
        std::remove(out.c_str());
        wt::PumpMessages(50);  // the last run's threads settle
        const double before = StatusMb("VmRSS:");
        ResetPeak();
        const double cpu0 = SelfCpu(), server0 = wineserver.empty() ? 0 : ProcCpu(wineserver);
        const Clock::time_point t0 = Clock::now();
        c.Start(DosPath(k.clip->path), DosPath(out));
        const bool ok = c.Wait(kTimeoutMs);
        const double wall = Seconds(t0);
        const double cpu = SelfCpu() - cpu0 + (wineserver.empty() ? 0 : ProcCpu(wineserver) - server0);
        const double peak = StatusMb("VmHWM:");
        if (!ok) return false;
        s.wall.push_back(wall);
        s.cpu.push_back(cpu);
        s.peak.push_back(peak);
        s.growth.push_back(peak - before);
        s.size = FileSize(out);
        return true;
    }

    bool RunCommandLine(const Case& k, const std::string& out, Side& s) {
        std::remove(out.c_str());
        const std::string log = out + ".log";
        // Through GNU time, which reports the command line's own peak: a
        // child spawned from here starts with this process's high-water
        // mark, which after a few conversions is above the command line's.
        std::vector<std::string> args = CommandLineArgs(k, out);
        args.insert(args.begin(), {"/usr/bin/time", "-f", "peak kB %M"});
        const ProcessRun r = Spawn(args, log);
        const std::string text = ReadFile(log);
        if (r.exitCode != 0) {
            std::printf("    the command line failed: %s\n", text.c_str());
            return false;
        }
        std::remove(log.c_str());
        const size_t at = text.rfind("peak kB ");
        const double peakMb = at == std::string::npos ? r.peakMb : std::atof(text.c_str() + at + 8) / 1024.0;
        s.wall.push_back(r.wall);
        s.cpu.push_back(r.cpu);
        s.peak.push_back(peakMb);
        s.growth.push_back(peakMb);
        s.size = FileSize(out);
        return true;
    }

    // FFmpeg's psnr filter, the output against the source scaled to the
    // output's size with the same bicubic filter: "y u v average" and the
    // number of frames compared. Both are moved to start at time 0: the
    // command line's ASF video starts 46 ms in, and the filter, pairing
    // pictures by time, would compare each with the source's next one.
    std::string Psnr(const Case& k, const std::string& out) {
        const int w = k.kind == Kind::Dvd ? 720 : k.clip->width;
        const int h = k.kind == Kind::Dvd ? 576 : k.clip->height;
        const std::string stats = out + ".psnr";
        const std::string log = out + ".psnrlog";
        const std::string graph = "[1:v]setpts=PTS-STARTPTS,scale=" + std::to_string(w) + ":" + std::to_string(h) +
                                  ":flags=bicubic,format=yuv420p[ref];[0:v]setpts=PTS-STARTPTS,format=yuv420p[out];"
                                  "[out][ref]psnr=stats_file=" +
                                  stats;
        const ProcessRun r = Spawn({"ffmpeg", "-nostdin", "-hide_banner", "-i", out, "-i", k.clip->path, "-lavfi",
                                    graph, "-f", "null", "-"},
                                   log);
        std::string result = "failed";
        const std::string text = ReadFile(log);
        const size_t at = text.rfind("PSNR y:");
        if (r.exitCode == 0 && at != std::string::npos) {
            double y = 0, u = 0, v = 0, avg = 0;
            std::sscanf(text.c_str() + at, "PSNR y:%lf u:%lf v:%lf average:%lf", &y, &u, &v, &avg);
            int frames = 0;
            std::ifstream in(stats);
            for (std::string line; std::getline(in, line);) ++frames;
            char buf[128];
            std::snprintf(buf, sizeof buf, "%.2f dB (y %.2f u %.2f v %.2f, %d frames)", avg, y, u, v, frames);
            result = buf;
        }
        std::remove(stats.c_str());
        std::remove(log.c_str());
        return result;
    }
};

double AverageDb(const std::string& psnr) { return std::atof(psnr.c_str()); }

void PrintSide(const char* name, const Side& s) {
    std::printf("    %-12s wall %7.2f s   CPU %7.2f s   peak %6.1f MB (growth %6.1f MB)   size %10lld B   PSNR %s\n",
                name, Median(s.wall), Median(s.cpu), Median(s.peak), Median(s.growth), s.size, s.psnr.c_str());
}

// One conversion in this fresh process, for the memory part: prints the
// process's peak resident size and its size just before the conversion.
int ConvertOnce(const std::string& kindName, int height, const std::string& in, const std::string& out) {
    const Kind kind = kindName == "DVD" ? Kind::Dvd : kindName == "WMV" ? Kind::Wmv : Kind::Avi;
    const Clip clip{"", height * 16 / 9, height, 0, in};
    const Case k{"", kind, &clip, KindExt(kind)};
    Bench bench;
    bench::BenchControl c;
    if (!c.Create()) return 1;
    if (kind == Kind::Avi) {
        bench.mpeg4 = c.Codec(mediaVideo, "MPEG-4 Part 2 Video Compressor");
        bench.mp3 = c.Codec(mediaAudio, "MPEG Layer-3 (MP3) Audio Compressor");
    }
    bench.Configure(c, k);
    wt::PumpMessages(50);
    const double before = StatusMb("VmRSS:");
    std::remove(out.c_str());
    c.Start(DosPath(in), DosPath(out));
    if (!c.Wait(kTimeoutMs)) return 1;
    std::printf("once: peak %.1f MB before %.1f MB\n", StatusMb("VmHWM:"), before);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string clipDir = "/tmp/convbench";
    std::string only, parts = "cases,info,fixed,memory,series", kinds = "synthetic,footage";
    int pairs = 5;
    bool psnr = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--clips" && i + 1 < argc) clipDir = argv[++i];
        else if (a == "--pairs" && i + 1 < argc) pairs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc) only = argv[++i];
        else if (a == "--parts" && i + 1 < argc) parts = argv[++i];
        else if (a == "--kinds" && i + 1 < argc) kinds = argv[++i];
        else if (a == "--skip-psnr") psnr = false;
    }
    auto part = [&](const char* p) { return parts.find(p) != std::string::npos; };
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc == 6 && std::string(argv[1]) == "--once") {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const int rc = ConvertOnce(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
        CoUninitialize();
        return rc;
    }
    mkdir(clipDir.c_str(), 0755);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    StartMarks::Install();

    Bench bench;
    bench.clipDir = clipDir;
    bench.wineserver = FindWineserver();
    std::printf("load average at the start: %s; %ld processors\n", LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    if (bench.wineserver.empty()) std::printf("(the prefix's wineserver was not found: its CPU time is not counted)\n");

    // Clips: both kinds at both sizes, 60 s for AVI and DVD, 15 s for WMV.
    std::vector<Clip> clips;
    for (const char* kind : {"synthetic", "footage"}) {
        if (kinds.find(kind) == std::string::npos) continue;
        for (const auto& [w, h] : {std::pair{1280, 720}, std::pair{640, 360}})
            for (int seconds : {60, 15})
                clips.push_back({kind, w, h, seconds,
                                 clipDir + "/" + kind + "_" + std::to_string(w) + "x" + std::to_string(h) + "_" +
                                     std::to_string(seconds) + "s.avi"});
    }
    for (const Clip& c : clips)
        if (!MakeClip(c)) return 1;
    auto clipOf = [&](const std::string& kind, int h, int seconds) -> const Clip* {
        for (const Clip& c : clips)
            if (c.kind == kind && c.height == h && c.seconds == seconds) return &c;
        return nullptr;
    };

    bench::BenchControl lister;
    if (!lister.Create()) {
        std::printf("the control could not be created\n");
        return 1;
    }
    bench.mpeg4 = lister.Codec(mediaVideo, "MPEG-4 Part 2 Video Compressor");
    bench.mp3 = lister.Codec(mediaAudio, "MPEG Layer-3 (MP3) Audio Compressor");
    if (bench.mpeg4.empty() || bench.mp3.empty()) {
        std::printf("the MPEG-4 and MP3 compressors are not listed\n");
        return 1;
    }

    int failures = 0;
    if (part("cases")) {
        std::vector<Case> cases;
        for (const char* kind : {"synthetic", "footage"})
            for (int h : {720, 360}) {
                if (!clipOf(kind, h, 60)) continue;
                const std::string size = h == 720 ? "1280x720" : "640x360";
                cases.push_back({std::string(kind) + " " + size + " 60 s -> AVI (MPEG-4 + MP3)", Kind::Avi,
                                 clipOf(kind, h, 60), ".avi"});
                cases.push_back({std::string(kind) + " " + size + " 60 s -> DVD PAL", Kind::Dvd, clipOf(kind, h, 60),
                                 ".mpg"});
                cases.push_back({std::string(kind) + " " + size + " 15 s -> WMV (system profile " +
                                     std::to_string(ProfileFor(h).index) + ")",
                                 Kind::Wmv, clipOf(kind, h, 15), ".wmv"});
            }
        std::printf("\n%d pairs per case, alternating; medians. CPU of the control includes the prefix's "
                    "wineserver; peak is the whole process's resident size, growth what the conversion added.\n",
                    pairs);
        std::printf("%-52s %10s %10s %10s %10s %9s\n", "case", "wall ratio", "CPU ratio", "peak ratio", "grow ratio",
                    "PSNR diff");
        struct Row {
            std::string name, line;
        };
        std::vector<Row> rows;
        for (const Case& k : cases) {
            if (!only.empty() && k.name.find(only) == std::string::npos) continue;
            std::printf("%s\n", k.name.c_str());
            Side ours, theirs;
            const std::string ourOut = clipDir + "/out_control" + k.ext;
            const std::string theirOut = clipDir + "/out_ffmpeg" + k.ext;
            bool ok = true;
            for (int p = 0; p < pairs && ok; ++p) {
                if (p % 2 == 0) ok = bench.RunControl(k, ourOut, ours) && bench.RunCommandLine(k, theirOut, theirs);
                else ok = bench.RunCommandLine(k, theirOut, theirs) && bench.RunControl(k, ourOut, ours);
                if (ok)
                    std::printf("  pair %d: control %.2f s / %.2f s CPU, command line %.2f s / %.2f s CPU, load %s\n",
                                p + 1, ours.wall.back(), ours.cpu.back(), theirs.wall.back(), theirs.cpu.back(),
                                LoadAverage().c_str());
            }
            if (!ok) {
                ++failures;
                continue;
            }
            if (psnr) {
                ours.psnr = bench.Psnr(k, ourOut);
                theirs.psnr = bench.Psnr(k, theirOut);
            }
            PrintSide("control", ours);
            PrintSide("command line", theirs);
            char line[256];
            std::snprintf(line, sizeof line, "%10.2f %10.2f %10.2f %10.2f %+9.2f", Median(ours.wall) / Median(theirs.wall),
                          Median(ours.cpu) / Median(theirs.cpu), Median(ours.peak) / Median(theirs.peak),
                          Median(ours.growth) / Median(theirs.growth),
                          psnr ? AverageDb(ours.psnr) - AverageDb(theirs.psnr) : 0.0);
            std::printf("  ratios (control / command line): wall %.2f  CPU %.2f  peak %.2f  growth %.2f  size %.3f  "
                        "PSNR %+.2f dB\n",
                        Median(ours.wall) / Median(theirs.wall), Median(ours.cpu) / Median(theirs.cpu),
                        Median(ours.peak) / Median(theirs.peak), Median(ours.growth) / Median(theirs.growth),
                        static_cast<double>(ours.size) / theirs.size,
                        psnr ? AverageDb(ours.psnr) - AverageDb(theirs.psnr) : 0.0);
            rows.push_back({k.name, line});
            std::remove(ourOut.c_str());
            std::remove(theirOut.c_str());
        }
        std::printf("\nsummary (control / command line; PSNR difference in dB)\n");
        std::printf("%-52s %10s %10s %10s %10s %9s\n", "case", "wall", "CPU", "peak", "growth", "PSNR");
        for (const Row& r : rows) std::printf("%-52s %s\n", r.name.c_str(), r.line.c_str());
    }

    if (part("info")) {
        // The task list asks for every added file's facts and poster.
        std::printf("\nGetFileInfo with a poster, median of 15 calls per clip after one, against ffprobe plus an "
                    "ffmpeg poster of the same size:\n");
        std::vector<double> all;
        for (const Clip& c : clips) {
            const std::u16string path = DosPath(c.path);
            std::vector<double> times, reference;
            for (int i = 0; i < 16; ++i) {
                double rate = 0, duration = 0;
                VARIANT_BOOL video = 0, audio = 0;
                LONG width = 0, height = 0, bitRate = 0;
                BSTR poster = nullptr;
                const Clock::time_point t0 = Clock::now();
                lister->GetFileInfo(Bstr(path).Get(), &rate, &duration, &video, &audio, &width, &height, &bitRate,
                                        &poster);
                const double ms = Seconds(t0) * 1000;
                SysFreeString(poster);
                if (i > 0) times.push_back(ms);
                if (i == 0)
                    std::printf("  %-40s %.3f fps, %.2f s, %ldx%ld, %ld bit/s, video %d audio %d\n",
                                c.path.substr(clipDir.size() + 1).c_str(), rate, duration, static_cast<long>(width),
                                static_cast<long>(height), static_cast<long>(bitRate), video != 0, audio != 0);
                if (i < 5) {
                    const std::string bmp = clipDir + "/poster.bmp";
                    const ProcessRun a = Spawn({"ffprobe", "-v", "error", "-show_streams", "-show_format", c.path});
                    const ProcessRun b = Spawn(Ffmpeg({"-ss", "1", "-i", c.path, "-frames:v", "1", "-s", "163x112",
                                                       bmp}));
                    reference.push_back((a.wall + b.wall) * 1000);
                    std::remove(bmp.c_str());
                }
            }
            all.push_back(Median(times));
            std::printf("      median %.1f ms (min %.1f, max %.1f); ffprobe + ffmpeg poster %.1f ms; ratio %.2f\n",
                        Median(times), *std::min_element(times.begin(), times.end()),
                        *std::max_element(times.begin(), times.end()), Median(reference),
                        Median(times) / Median(reference));
        }
        std::printf("  median over the clips: %.1f ms per file\n", Median(all));
    }

    if (part("fixed") && clipOf("synthetic", 360, 15)) {
        // From StartConversion to the first picture written by the AVI
        // multiplexer, on a short small clip so that the conversion's own
        // work is little, timed step by step by the start marks the graph's
        // stages send to the debugger output. "Graph built" is the moment
        // before the graph is run; the fixed cost is from there to
        // the first sample at the writer.
        const Clip* shortClip = clipOf("synthetic", 360, 15);
        Case k{"fixed", Kind::Avi, shortClip, ".avi"};
        const std::string out = clipDir + "/out_fixed.avi";
        const std::string written = "AVI mux: first video sample written";
        std::vector<double> returned, builtToWritten;
        struct Step {
            std::string stage;
            std::vector<double> at, after;  // ms from the start, and from the mark before
        };
        std::vector<Step> steps;
        int missing = 0;
        for (int i = 0; i < 12; ++i) {
            bench::BenchControl c;
            if (!c.Create()) break;
            bench.Configure(c, k);
            wt::PumpMessages(50);
            StartMarks::Clear();
            const Clock::time_point t0 = Clock::now();
            c.Start(DosPath(shortClip->path), DosPath(out));
            const double b = Seconds(t0) * 1000;
            wt::PumpUntil([&] { return StartMarks::Seen(written) || c.Completed(); }, 10000);
            const std::vector<StartMarks::Mark> marks = StartMarks::Taken();
            c->StopConversion();
            c.Wait(kTimeoutMs);
            if (i == 0) continue;  // the first loads the code
            returned.push_back(b);
            double built = -1, first = -1;
            double last = 0;
            for (const StartMarks::Mark& m : marks) {
                const double ms = std::chrono::duration<double, std::milli>(m.at - t0).count();
                const double after = ms - last;
                last = ms;
                if (m.stage == "graph built") built = ms;
                if (m.stage == written) first = ms;
                auto step = std::find_if(steps.begin(), steps.end(), [&](const Step& s) { return s.stage == m.stage; });
                if (step == steps.end()) step = steps.insert(steps.end(), Step{m.stage, {}, {}});
                step->at.push_back(ms);
                step->after.push_back(after);
            }
            if (built < 0 || first < 0) ++missing;
            else builtToWritten.push_back(first - built);
        }
        std::remove(out.c_str());
        std::printf("\nfixed cost of a conversion (640x360 AVI, medians of 11 starts after one; ms from "
                    "StartConversion; load %s):\n",
                    LoadAverage().c_str());
        std::sort(steps.begin(), steps.end(), [](const Step& a, const Step& b) { return Median(a.at) < Median(b.at); });
        std::printf("  %-56s %8s %8s %8s %8s\n", "step (marks in the order they came)", "at", "min", "max", "after");
        for (const Step& s : steps)
            std::printf("  %-56s %8.1f %8.1f %8.1f %8.1f%s\n", s.stage.c_str(), Median(s.at),
                        *std::min_element(s.at.begin(), s.at.end()), *std::max_element(s.at.begin(), s.at.end()),
                        Median(s.after), s.at.size() == returned.size() ? "" : " (not in every start)");
        std::printf("  (after: the median time from the mark before it in the same start)\n");
        std::printf("  %-56s %8.1f\n", "StartConversion returned", Median(returned));
        if (builtToWritten.empty())
            std::printf("  no start marks came (%d starts without them)\n", missing);
        else
            std::printf("  graph built to the first sample written: %.1f ms (min %.1f, max %.1f)%s\n",
                        Median(builtToWritten), *std::min_element(builtToWritten.begin(), builtToWritten.end()),
                        *std::max_element(builtToWritten.begin(), builtToWritten.end()),
                        missing ? " (some starts had no marks)" : "");
    }

    if (part("memory") && clipOf("synthetic", 720, 15)) {
        // Peak memory of one conversion for a clip of 15 s and one of 60 s,
        // each in a fresh host process (this program run again for the one
        // conversion) against a fresh command line: streamed conversion
        // keeps it flat in the clip's length.
        const char* envScript = std::getenv("CONVBENCH_ENV");
        const char* buildDir = std::getenv("CONVBENCH_BUILD");
        if (envScript && buildDir) {
            std::printf("\npeak memory of one conversion in a fresh process (1280x720; median of 3; load %s):\n",
                        LoadAverage().c_str());
            for (Kind kind : {Kind::Avi, Kind::Dvd, Kind::Wmv}) {
                for (int seconds : {15, 60}) {
                    Case k{"", kind, clipOf("synthetic", 720, seconds), KindExt(kind)};
                    Side ours, theirs;
                    const std::string ourOut = clipDir + "/mem_control" + k.ext;
                    const std::string theirOut = clipDir + "/mem_ffmpeg" + k.ext;
                    for (int i = 0; i < 3; ++i) {
                        const std::string log = ourOut + ".log";
                        const ProcessRun r = Spawn({envScript, "run", buildDir, std::string(buildDir) + "/bin/ConvBench.exe",
                                                    "--once", KindName(kind), std::to_string(k.clip->height), k.clip->path, ourOut},
                                                   log);
                        const std::string text = ReadFile(log);
                        std::remove(log.c_str());
                        const size_t at = text.find("once: ");
                        double peak = 0, before = 0;
                        if (r.exitCode != 0 || at == std::string::npos ||
                            std::sscanf(text.c_str() + at, "once: peak %lf MB before %lf MB", &peak, &before) != 2) {
                            std::printf("    the conversion in its own process failed: %s\n", text.c_str());
                            ++failures;
                            break;
                        }
                        ours.peak.push_back(peak);
                        ours.growth.push_back(peak - before);
                        if (!bench.RunCommandLine(k, theirOut, theirs)) {
                            ++failures;
                            break;
                        }
                    }
                    if (ours.peak.empty() || theirs.peak.empty()) continue;
                    std::printf("  %s %2d s: control %.1f MB (the conversion added %.1f MB), command line %.1f MB, "
                                "ratio %.2f\n",
                                KindName(kind), seconds, Median(ours.peak), Median(ours.growth), Median(theirs.peak),
                                Median(ours.peak) / Median(theirs.peak));
                    std::remove(ourOut.c_str());
                    std::remove(theirOut.c_str());
                }
            }
        } else {
            std::printf("\n(fresh-process memory needs CONVBENCH_ENV and CONVBENCH_BUILD, which run.sh sets)\n");
        }
    }

    if (part("series") && clipOf("synthetic", 720, 15)) {
        // Conversions one after another in this process: what stays after
        // each. Memory in use that grows from run to run is kept by the
        // conversions; free memory that grows is the allocator's (free
        // pages given back no longer count in the resident size).
        std::printf("\nsix 15 s 1280x720 conversions in one process (AVI, DVD, WMV, twice), after each:\n");
        const Kind series[] = {Kind::Avi, Kind::Dvd, Kind::Wmv, Kind::Avi, Kind::Dvd, Kind::Wmv};
        for (size_t i = 0; i < 6; ++i) {
            Case k{"", series[i], clipOf("synthetic", 720, 15), KindExt(series[i])};
            Side ours;
            const std::string ourOut = clipDir + "/mem_series" + k.ext;
            if (!bench.RunControl(k, ourOut, ours)) {
                ++failures;
                break;
            }
            std::remove(ourOut.c_str());
            wt::PumpMessages(500);  // the run's threads end
            const HeapFacts h = TakeHeapFacts();
            std::printf("  %zu %s: peak %.1f MB, resident after %.1f MB; C heap in use %.1f MB, free %.1f MB; "
                        "%d threads\n",
                        i + 1, KindName(series[i]), ours.peak.back(), StatusMb("VmRSS:"), h.inUseMb, h.freeMb,
                        static_cast<int>(StatusField("Threads:")));
        }
    }

    std::printf("\nload average at the end: %s\n", LoadAverage().c_str());
    CoUninitialize();
    return failures ? 1 : 0;
}
