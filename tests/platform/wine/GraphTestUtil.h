// Helpers for the platform's Wine tests: clips in the build tree under
// Unix and Windows names, the engine's front end built from a timeline,
// and a bounded wait for graph events.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <map>
#include <string>

#include "framework/com/ComPtr.h"
#include "platform/include/EditingServices.h"
#include "tools/clipgen/ClipWriter.h"

namespace pt {

// A clip written once per test program; unixPath for the media core,
// the return value is the same file as Windows sees it.
std::u16string Clip(const std::string& name, const clipgen::ClipSpec& desc, std::string* unixPath = nullptr);
std::u16string WindowsPath(const std::string& unixPath);
std::string OutputPath(const std::string& name);  // Unix path in the build tree

// The timeline the conversion engine builds: a video group (RGB32 at the
// size and rate) and an audio group, each with one track holding the file.
struct FrontEnd {
    com::ComPtr<IAMTimeline> timeline;
    com::ComPtr<IAMTimelineObj> videoGroup, audioGroup;
    com::ComPtr<IRenderEngine> engine;
    com::ComPtr<IGraphBuilder> graph;
    HRESULT connectResult = E_FAIL;
};
FrontEnd BuildFrontEnd(const std::u16string& source, int width, int height, double fps, double seconds);

// The AVI back end as the engine wires it: audio first, then video, each
// through its compressor (when given) to the multiplexer's next free input.
struct AviGraph {
    FrontEnd fe;
    com::ComPtr<ICaptureGraphBuilder2> builder;
    com::ComPtr<IBaseFilter> mux;
    com::ComPtr<IFileSinkFilter> sink;

    AviGraph(const std::u16string& source, const std::string& out, int w, int h, double fps, double seconds,
             IBaseFilter* videoCodec = nullptr, IBaseFilter* audioCodec = nullptr);
    ~AviGraph();
    com::ComPtr<IMediaControl> Control();
    com::ComPtr<IMediaSeeking> MuxSeeking();
};

// The compressors listed in a category: friendly name -> moniker display
// name; and one of them bound as the engine binds it (null when missing).
std::map<std::string, std::u16string> ListedCompressors(const CLSID& category);
com::ComPtr<IBaseFilter> BindCompressor(const CLSID& category, const char* friendlyName);

// Waits (pumping messages) for EC_COMPLETE or an error event; returns the
// event code, or 0 when the time ran out.
LONG WaitForEnd(IGraphBuilder* graph, DWORD timeoutMs, LONG_PTR* param1 = nullptr);

// What FFmpeg reads back from a written file.
struct FileFacts {
    bool opened = false;
    int streams = 0;
    int firstStreamType = -1;  // AVMediaType of stream 0
    int videoCodec = 0, audioCodec = 0;
    unsigned videoTag = 0, audioTag = 0;
    int width = 0, height = 0;
    double frameRate = 0;  // frames per second the video stream declares
    int sampleRate = 0, channels = 0;
    long long videoFrames = 0;
    // AVI only: the audio stream header's sample size and the block size
    // of its WAVEFORMATEX (-1 when there is none).
    long long audioSampleSize = -1, audioBlockAlign = -1;
    std::string error;
};
FileFacts ReadBack(const std::string& unixPath);

}  // namespace pt
