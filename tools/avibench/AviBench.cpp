// Times AVI output of a 30-second 640x480 25 fps clip with the MPEG-4
// Part 2 and MP3 compressors three ways: (a) a graph built here from the
// timeline, render engine, AVI multiplexer and the compressor filters;
// (b) the registered control's StartConversion; (c) the same encode through
// FFmpeg's libraries directly (decode, scale, encode, AVI muxer). Prints
// the times and their ratios to (c). Then the peak resident size of one
// conversion for a shorter and a longer clip, and a batch of short clips
// converted one after another in one control, with memory, handle and
// window counts before and after. Runs under Wine in a prefix where the
// libraries are registered (see run.sh).
#include <windows.h>
#include <dshow.h>
#include <objbase.h>
#include <psapi.h>
#include <qedit.h>
#include <winternl.h>

#include <dirent.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "convctl/FilterUtil.h"
#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "platform/core/ByteIo.h"
#include "platform/core/CodecCatalog.h"
#include "platform/core/CodecLoop.h"
#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "platform/core/Muxer.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/benchhost/BenchControl.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

using bench::Clock;
using bench::Seconds;
using bench::UnixPath;
using com::Bstr;
using com::ComPtr;

constexpr DWORD kTimeoutMs = 15 * 60 * 1000;
constexpr int kWidth = 640, kHeight = 480, kRate = 25;
constexpr double kSeconds = 30.0;
constexpr int kBatch = 100;

// The display name of the compressor listed under a friendly name.
std::u16string CompressorId(const CLSID& category, const char* friendlyName) {
    const auto listed = pt::ListedCompressors(category);
    const auto it = listed.find(friendlyName);
    return it == listed.end() ? std::u16string() : it->second;
}

ComPtr<IBaseFilter> BindCompressor(const std::u16string& id) {
    ComPtr<IBaseFilter> filter;
    convctl::BindFilterByDisplayName(id, filter);
    return filter;
}

// (a) The front end and back end built here, as the engine builds them,
// by the platform tests' AVI graph.
double ThroughGraph(const std::u16string& source, const std::u16string& output, const std::u16string& videoId,
                    const std::u16string& audioId) {
    const Clock::time_point start = Clock::now();
    ComPtr<IBaseFilter> videoCodec = BindCompressor(videoId), audioCodec = BindCompressor(audioId);
    if (!videoCodec || !audioCodec) {
        std::printf("  the compressors did not bind\n");
        return -1;
    }
    try {
        pt::AviGraph graph(source, UnixPath(output), kWidth, kHeight, kRate, kSeconds, videoCodec.Get(),
                           audioCodec.Get());
        ComPtr<IMediaControl> control = graph.Control();
        if (!control || FAILED(control->Run())) {
            std::printf("  the graph did not run\n");
            return -1;
        }
        const LONG result = pt::WaitForEnd(graph.fe.graph.Get(), kTimeoutMs);
        control->Stop();
        const double elapsed = Seconds(start);
        if (result != EC_COMPLETE) {
            std::printf("  the graph ended with event %d\n", static_cast<int>(result));
            return -1;
        }
        return elapsed;
    } catch (const wt::FatalFailure&) {
        std::printf("  the graph could not be built\n");
        return -1;
    }
}

// (c) The libraries directly: decode, scale to the encoder's picture
// format, MPEG-4 and MP3 with the compressors' default settings, AVI.
double Direct(const std::string& source, const std::string& output) {
    try {
        const Clock::time_point start = Clock::now();
        media::Demuxer demux(media::OpenFileSource(source));
        const int vs = demux.BestStream(AVMEDIA_TYPE_VIDEO), as = demux.BestStream(AVMEDIA_TYPE_AUDIO);
        if (vs < 0 || as < 0) throw media::MediaError(media::ErrorKind::NotMedia, "the clip lacks a stream");
        media::Codec vdec = media::Codec::OpenDecoder(*demux.Stream(vs)->codecpar, 0);
        media::Codec adec = media::Codec::OpenDecoder(*demux.Stream(as)->codecpar, 0);

        const media::VideoCodecInfo& vinfo = media::VideoCodecs()[0];
        const media::VideoSettings vset = media::DefaultSettings(vinfo);
        media::Codec venc = media::Codec::OpenEncoder(avcodec_find_encoder_by_name(vinfo.encoder), [&](AVCodecContext& c) {
            c.width = kWidth;
            c.height = kHeight;
            c.pix_fmt = AV_PIX_FMT_YUV420P;
            c.time_base = AVRational{1, kRate};
            c.framerate = AVRational{kRate, 1};
            c.codec_tag = vinfo.fourcc;
            c.max_b_frames = 0;
            c.gop_size = vset.keyInterval;
            c.bit_rate = static_cast<int64_t>(vset.bitRateKbps) * 1000;
            c.thread_count = 0;  // as the compressor: FFmpeg chooses
        });
        const media::AudioCodecInfo& ainfo = media::AudioCodecs()[0];
        const AVCodec* mp3 = avcodec_find_encoder_by_name(ainfo.encoder);
        const int sampleRate = adec->sample_rate;
        media::Codec aenc = media::Codec::OpenEncoder(mp3, [&](AVCodecContext& c) {
            c.sample_fmt = mp3->sample_fmts[0];
            c.sample_rate = sampleRate;
            av_channel_layout_default(&c.ch_layout, 2);
            c.time_base = AVRational{1, sampleRate};
            c.bit_rate = static_cast<int64_t>(ainfo.defaultBitRateKbps) * 1000;
        });

        auto sink = media::CreateFileSink(output);
        media::Muxer mux("avi", *sink);
        const int outAudio = mux.AddStream(*aenc.Get());
        const int outVideo = mux.AddStream(*venc.Get());
        mux.Begin();

        media::SwsPtr sws;
        media::FramePtr picture = media::MakeFrame();
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = kWidth;
        picture->height = kHeight;
        media::Check(av_frame_get_buffer(picture.get(), 0), "Allocating a picture");
        int64_t frames = 0;
        auto writeVideo = [&](AVPacket* p) {
            mux.Write(outVideo, p->data, p->size, p->pts, p->duration > 0 ? p->duration : 1,
                      (p->flags & AV_PKT_FLAG_KEY) != 0);
        };
        auto onPicture = [&](AVFrame* f) {
            sws.reset(sws_getCachedContext(sws.release(), f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                           kWidth, kHeight, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                           nullptr));
            av_frame_make_writable(picture.get());
            sws_scale(sws.get(), f->data, f->linesize, 0, f->height, picture->data, picture->linesize);
            picture->pts = frames++;
            venc.Encode(picture.get(), writeVideo);
        };

        media::SwrPtr swr;
        AVChannelLayout stereo{};
        av_channel_layout_default(&stereo, 2);
        media::AudioFifoPtr fifo(av_audio_fifo_alloc(aenc->sample_fmt, 2, aenc->frame_size * 4));
        media::FramePtr chunk = media::MakeFrame();
        int64_t samplesIn = 0, samplesOut = 0;
        auto writeAudio = [&](AVPacket* p) {
            const int64_t d = p->duration > 0 ? p->duration : aenc->frame_size;
            mux.Write(outAudio, p->data, p->size, samplesOut, d, true);
            samplesOut += d;
        };
        auto encodeChunks = [&](bool last) {
            while (av_audio_fifo_size(fifo.get()) >= aenc->frame_size || (last && av_audio_fifo_size(fifo.get()) > 0)) {
                av_frame_unref(chunk.get());
                chunk->nb_samples = aenc->frame_size;
                chunk->format = aenc->sample_fmt;
                chunk->sample_rate = sampleRate;
                av_channel_layout_copy(&chunk->ch_layout, &aenc->ch_layout);
                media::Check(av_frame_get_buffer(chunk.get(), 0), "Allocating audio");
                const int got = av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(chunk->extended_data),
                                                   aenc->frame_size);
                if (got < aenc->frame_size)
                    av_samples_set_silence(chunk->extended_data, got, aenc->frame_size - got, 2, aenc->sample_fmt);
                chunk->pts = samplesIn;
                samplesIn += aenc->frame_size;
                aenc.Encode(chunk.get(), writeAudio);
            }
        };
        auto onSound = [&](AVFrame* f) {
            if (!swr) {
                SwrContext* s = nullptr;
                media::Check(swr_alloc_set_opts2(&s, &stereo, aenc->sample_fmt, sampleRate, &f->ch_layout,
                                                 static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr),
                             "Preparing the audio conversion");
                swr.reset(s);
                media::Check(swr_init(swr.get()), "Preparing the audio conversion");
            }
            uint8_t** out = nullptr;
            const int room = swr_get_out_samples(swr.get(), f->nb_samples);
            media::Check(av_samples_alloc_array_and_samples(&out, nullptr, 2, std::max(room, 1), aenc->sample_fmt, 0),
                         "Allocating audio");
            const int got = swr_convert(swr.get(), out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
            if (got > 0) av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(out), got);
            av_freep(&out[0]);
            av_freep(&out);
            encodeChunks(false);
        };

        media::PacketPtr packet = media::MakePacket();
        while (demux.Read(packet.get())) {
            if (packet->stream_index == vs) vdec.Decode(packet.get(), onPicture);
            else if (packet->stream_index == as) adec.Decode(packet.get(), onSound);
            av_packet_unref(packet.get());
        }
        vdec.Decode(nullptr, onPicture);
        adec.Decode(nullptr, onSound);
        encodeChunks(true);
        venc.Encode(nullptr, writeVideo);
        aenc.Encode(nullptr, writeAudio);
        mux.Finish();
        return Seconds(start);
    } catch (const media::MediaError& e) {
        std::printf("  direct failed: %s\n", e.what());
        return -1;
    }
}

struct Usage {
    double workingSetMb = 0;  // what the system counts resident
    double nativeHeapMb = 0;  // C and C++ allocations (FFmpeg, our objects)
    double win32HeapMb = 0;   // busy blocks of the process heap (COM, Wine's objects)
    int handles = -1;
    int windows = 0;  // of this thread: the engine's notification window and kin
    int unixFiles = 0;
};

// The kernel's high-water mark of this process's resident size, and its
// reset (Linux resets it when 5 is written to clear_refs).
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

double PeakResidentMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// This process's entries in the system's handle table; -1 when unknown.
int CountHandles() {
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);  // STATUS_INFO_LENGTH_MISMATCH
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(SystemExtendedHandleInformation, buffer.data(),
                                                         static_cast<ULONG>(buffer.size()), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) return -1;
        break;
    }
    const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION_EX*>(buffer.data());
    const ULONG_PTR self = GetCurrentProcessId();
    int count = 0;
    for (ULONG_PTR i = 0; i < info->NumberOfHandles; ++i) count += info->Handles[i].UniqueProcessId == self;
    return count;
}

// Bytes in use in all of the C library's heaps (every thread's arena and
// the large blocks it maps): what its totals say, less what lies free.
double NativeHeapMb() {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    if (!out) return 0;
    malloc_info(0, out);
    std::fclose(out);
    const std::string xml(text, size);
    std::free(text);
    const size_t tail = xml.rfind("</heap>");
    if (tail == std::string::npos) return 0;
    auto value = [&](const char* tag) -> double {
        const size_t at = xml.find(tag, tail);
        if (at == std::string::npos) return 0;
        const size_t q = xml.find("size=\"", at);
        return q == std::string::npos ? 0 : std::atof(xml.c_str() + q + 6);
    };
    const double current = value("<system type=\"current\"");
    const double freeBytes = value("<total type=\"fast\"") + value("<total type=\"rest\"");
    const double mapped = value("<total type=\"mmap\"");
    return (current - freeBytes + mapped) / 1048576.0;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

Usage Measure() {
    Usage u;
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) u.workingSetMb = pmc.WorkingSetSize / 1048576.0;
    u.nativeHeapMb = NativeHeapMb();
    PROCESS_HEAP_ENTRY entry{};
    const HANDLE heap = GetProcessHeap();
    size_t busy = 0;
    if (HeapLock(heap)) {
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heap);
    }
    u.win32HeapMb = busy / 1048576.0;
    u.handles = CountHandles();
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&u.windows));
    // Linux's own count of this process's open files.
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* e = readdir(fds))
            if (e->d_name[0] != '.') ++u.unixFiles;
        closedir(fds);
        --u.unixFiles;  // the listing's own
    }
    return u;
}

// Measured once the threads of the last conversion have gone, and after
// the C library gave back the free memory it keeps for reuse, so that
// memory in use counts, not the heaps' high-water marks.
Usage SettledMeasure() {
    wt::PumpMessages(300);
    malloc_trim(0);
    return Measure();
}

void PrintUsage(const char* when, const Usage& u) {
    std::printf("  %-14s working set %6.1f MB   C/C++ heap %6.2f MB   Win32 heap %6.2f MB   handles %4d   "
                "windows %2d   unix files %3d\n",
                when, u.workingSetMb, u.nativeHeapMb, u.win32HeapMb, u.handles, u.windows, u.unixFiles);
}

}  // namespace

// Runs the named parts ("graph", "control", "direct", "peak", "batch"; all
// when none is named), so that one path can be profiled alone.
int main(int argc, char** argv) {
    auto wanted = [&](const char* part) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) == part) return true;
        return false;
    };
    const com::ComInit comScope;
    WCHAR dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::u16string temp = com::U16(dir);
    const std::u16string source = temp + u"avibench_source.avi";
    const std::u16string shortSource = temp + u"avibench_short.avi";
    int failures = 0;
    {
        clipgen::ClipSpec desc;
        desc.width = kWidth;
        desc.height = kHeight;
        desc.rate = {kRate, 1};
        desc.seconds = kSeconds;
        std::printf("writing the 30-second 640x480 clip...\n");
        clipgen::WriteClip(UnixPath(source), desc);
        clipgen::ClipSpec brief;
        brief.seconds = 1.0;
        clipgen::WriteClip(UnixPath(shortSource), brief);
    }

    const std::u16string videoId = CompressorId(CLSID_VideoCompressorCategory, media::VideoCodecs()[0].friendlyName);
    const std::u16string audioId = CompressorId(CLSID_AudioCompressorCategory, media::AudioCodecs()[0].friendlyName);
    if (videoId.empty() || audioId.empty()) {
        std::printf("the MPEG-4 and MP3 compressors are not listed\n");
        return 1;
    }

    const std::u16string graphOut = temp + u"avibench_graph.avi";
    const std::u16string controlOut = temp + u"avibench_control.avi";
    const std::u16string directOut = temp + u"avibench_direct.avi";
    // Best of two rounds, the three ways taking turns, so that a busy
    // moment of the machine or a cold file cache favours none of them.
    constexpr int kRounds = 2;
    double graph = 0, control = 0, direct = 0;
    auto best = [&](double& slot, double t) {
        if (t < 0) ++failures;
        else if (slot == 0 || t < slot) slot = t;
    };
    for (int round = 0; round < kRounds && !failures; ++round) {
        if (wanted("direct")) best(direct, Direct(UnixPath(source), UnixPath(directOut)));
        if (wanted("graph")) best(graph, ThroughGraph(source, graphOut, videoId, audioId));
        if (wanted("control")) {
            bench::BenchControl c;
            if (!c.Create()) {
                std::printf("  the control could not be created\n");
                ++failures;
                break;
            }
            c->put_ConvertPreview(VARIANT_FALSE);
            c->put_VideoCodec(Bstr(videoId).Get());
            c->put_AudioCodec(Bstr(audioId).Get());
            best(control, c.Convert(source, controlOut, kTimeoutMs));
        }
    }
    for (const auto* out : {&graphOut, &controlOut, &directOut}) DeleteFileW(com::W(*out));
    if (!failures && (graph > 0 || control > 0 || direct > 0)) {
        std::printf("MPEG-4 + MP3, 30 s of 640x480 at 25 fps (best of %d):\n", kRounds);
        if (graph > 0) std::printf("  (a) graph    %6.2f s   (%4.1fx real time)", graph, kSeconds / graph);
        if (graph > 0 && direct > 0) std::printf("   %.2fx the direct time", graph / direct);
        if (graph > 0) std::printf("\n");
        if (control > 0) std::printf("  (b) control  %6.2f s   (%4.1fx real time)", control, kSeconds / control);
        if (control > 0 && direct > 0) std::printf("   %.2fx the direct time", control / direct);
        if (control > 0) std::printf("\n");
        if (direct > 0) std::printf("  (c) direct   %6.2f s   (%4.1fx real time)\n", direct, kSeconds / direct);
    }

    if (wanted("peak") && !failures) {
        // The peak resident size of one conversion, for a clip a third as
        // long as the benchmark's and for the benchmark's own: streamed
        // conversion keeps it flat.
        const std::u16string tenSeconds = temp + u"avibench_10s.avi";
        clipgen::ClipSpec desc;
        desc.width = kWidth;
        desc.height = kHeight;
        desc.rate = {kRate, 1};
        desc.seconds = kSeconds / 3;
        clipgen::WriteClip(UnixPath(tenSeconds), desc);
        bench::BenchControl c;
        if (c.Create()) {
            c->put_ConvertPreview(VARIANT_FALSE);
            c->put_VideoCodec(Bstr(videoId).Get());
            c->put_AudioCodec(Bstr(audioId).Get());
            // Taking turns, twice: the first conversions of a process also
            // grow its heaps for good.
            double peaks[4] = {0, 0, 0, 0};
            for (int i = 0; i < 4 && !failures; ++i) {
                ResetPeakResident();
                if (c.Convert(i % 2 ? source : tenSeconds, controlOut, kTimeoutMs) < 0) ++failures;
                peaks[i] = PeakResidentMb();
            }
            if (!failures)
                std::printf("peak resident size of one conversion: %.0f s clip %.1f MB, %.0f s clip %.1f MB; "
                            "again: %.1f MB, %.1f MB\n",
                            kSeconds / 3, peaks[0], kSeconds, peaks[1], peaks[2], peaks[3]);
        } else {
            ++failures;
        }
        DeleteFileW(com::W(controlOut));
        DeleteFileW(com::W(tenSeconds));
    }

    if (wanted("batch") && !failures) {
        // A batch in one control: nothing may grow from one conversion to the next.
        std::printf("batch of %d one-second clips (160x120, MPEG-4 + MP3) in one control:\n", kBatch);
        bench::BenchControl c;
        if (!c.Create()) {
            std::printf("  the control could not be created\n");
            return 1;
        }
        c->put_ConvertPreview(VARIANT_FALSE);
        c->put_VideoCodec(Bstr(videoId).Get());
        c->put_AudioCodec(Bstr(audioId).Get());
        const std::u16string out = temp + u"avibench_batch.avi";
        // The first conversions load libraries and fill caches once.
        const int warmUp = 5;
        Usage before{}, middle{};
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < warmUp + kBatch && !failures; ++i) {
            if (i == warmUp) before = SettledMeasure();
            if (i == warmUp + kBatch / 2) middle = SettledMeasure();
            if (c.Convert(shortSource, out, kTimeoutMs) < 0) ++failures;
        }
        const Usage after = SettledMeasure();
        if (!failures) {
            PrintUsage("after 5 clips", before);
            PrintUsage("after 55", middle);
            PrintUsage("after 105", after);
            std::printf("  growth over the last 100: working set %+.1f MB, C/C++ heap %+.2f MB, Win32 heap %+.2f MB, "
                        "handles %+d, windows %+d, unix files %+d   (%.2f s per clip)\n",
                        after.workingSetMb - before.workingSetMb, after.nativeHeapMb - before.nativeHeapMb,
                        after.win32HeapMb - before.win32HeapMb, after.handles - before.handles,
                        after.windows - before.windows, after.unixFiles - before.unixFiles,
                        Seconds(start) / (warmUp + kBatch));
            // For comparison: the system's bare filter graph, made and
            // released as often (Wine 8 keeps one event of each).
            const int bare = CountHandles();
            for (int i = 0; i < kBatch; ++i) {
                ComPtr<IGraphBuilder> g;
                CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, g.PutVoid());
            }
            std::printf("  %d bare filter graphs made and released: handles %+d\n", kBatch, CountHandles() - bare);
        }
        DeleteFileW(com::W(out));
    }
    DeleteFileW(com::W(source));
    DeleteFileW(com::W(shortSource));
    return failures ? 1 : 0;
}
