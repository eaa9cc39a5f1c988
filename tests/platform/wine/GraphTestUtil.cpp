#include "tests/platform/wine/GraphTestUtil.h"

#include <unistd.h>

#include <fstream>

#include <vector>

#include "convctl/FilterUtil.h"
#include "framework/com/Bstr.h"
#include "framework/com/MediaType.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;

namespace pt {

std::u16string WindowsPath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return com::U16(p);
}

std::string OutputPath(const std::string& name) {
    std::string dir = CLIP_DIR;
    CreateDirectoryW(com::W(WindowsPath(dir)), nullptr);
    return dir + "/" + name;
}

std::u16string Clip(const std::string& name, const clipgen::ClipSpec& desc, std::string* unixPath) {
    const std::string path = OutputPath(name);
    static std::vector<std::string> written;
    bool done = false;
    for (const auto& w : written) done = done || w == path;
    if (!done) {
        const std::string temp = path + ".part" + std::to_string(getpid());
        clipgen::WriteClip(temp, desc);
        MoveFileExW(com::W(WindowsPath(temp)), com::W(WindowsPath(path)), MOVEFILE_REPLACE_EXISTING);
        written.push_back(path);
    }
    if (unixPath) *unixPath = path;
    return WindowsPath(path);
}

FrontEnd BuildFrontEnd(const std::u16string& source, int width, int height, double fps, double seconds) {
    FrontEnd fe;
    REQUIRE_HR(CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline,
                                fe.timeline.PutVoid()));
    REQUIRE_HR(fe.timeline->CreateEmptyNode(fe.videoGroup.Put(), TIMELINE_MAJOR_TYPE_GROUP));
    REQUIRE_HR(fe.timeline->CreateEmptyNode(fe.audioGroup.Put(), TIMELINE_MAJOR_TYPE_GROUP));

    com::MediaType mt = com::Rgb32VideoType(width, height);
    ComPtr<IAMTimelineGroup> vg, ag;
    REQUIRE_HR(fe.videoGroup.As(IID_IAMTimelineGroup, vg));
    REQUIRE_HR(vg->SetMediaType(&mt.Edit()));
    REQUIRE_HR(vg->SetOutputFPS(fps));
    REQUIRE_HR(fe.timeline->AddGroup(fe.videoGroup.Get()));
    AM_MEDIA_TYPE amt{};
    amt.majortype = MEDIATYPE_Audio;
    REQUIRE_HR(fe.audioGroup.As(IID_IAMTimelineGroup, ag));
    REQUIRE_HR(ag->SetMediaType(&amt));
    REQUIRE_HR(fe.timeline->AddGroup(fe.audioGroup.Get()));

    const REFERENCE_TIME stop = static_cast<REFERENCE_TIME>(seconds * 1e7);
    com::Bstr name(source);
    for (IAMTimelineObj* group : {fe.videoGroup.Get(), fe.audioGroup.Get()}) {
        ComPtr<IAMTimelineObj> track, src;
        REQUIRE_HR(fe.timeline->CreateEmptyNode(track.Put(), TIMELINE_MAJOR_TYPE_TRACK));
        ComPtr<IAMTimelineComp> comp;
        REQUIRE_HR(ComPtr<IAMTimelineObj>(group).As(IID_IAMTimelineComp, comp));
        REQUIRE_HR(comp->VTrackInsBefore(track.Get(), -1));
        REQUIRE_HR(fe.timeline->CreateEmptyNode(src.Put(), TIMELINE_MAJOR_TYPE_SOURCE));
        ComPtr<IAMTimelineSrc> s;
        REQUIRE_HR(src.As(IID_IAMTimelineSrc, s));
        REQUIRE_HR(src->SetStartStop(0, stop));
        REQUIRE_HR(s->SetMediaTimes(0, stop));
        REQUIRE_HR(s->SetMediaName(name.Get()));
        if (group == fe.videoGroup.Get()) REQUIRE_HR(s->SetStretchMode(RESIZEF_STRETCH));
        ComPtr<IAMTimelineTrack> t;
        REQUIRE_HR(track.As(IID_IAMTimelineTrack, t));
        REQUIRE_HR(t->SrcAdd(src.Get()));
    }
    fe.timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK | SFN_VALIDATEF_POPUP | SFN_VALIDATEF_REPLACE, nullptr, 0);
    REQUIRE_HR(CoCreateInstance(CLSID_RenderEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IRenderEngine,
                                fe.engine.PutVoid()));
    REQUIRE_HR(fe.engine->SetTimelineObject(fe.timeline.Get()));
    fe.connectResult = fe.engine->ConnectFrontEnd();
    fe.engine->GetFilterGraph(fe.graph.Put());
    return fe;
}

std::map<std::string, std::u16string> ListedCompressors(const CLSID& category) {
    std::map<std::string, std::u16string> out;
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.PutVoid())) ||
        devices->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK)
        return out;
    ComPtr<IMoniker> m;
    while (monikers->Next(1, m.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        com::Variant name;
        V_VT(name.Ptr()) = VT_BSTR;
        if (FAILED(bag->Read(L"FriendlyName", name.Ptr(), nullptr)) || V_VT(name.Ptr()) != VT_BSTR) continue;
        ComPtr<IBindCtx> ctx;
        com::TaskMem<OLECHAR> display;
        if (SUCCEEDED(CreateBindCtx(0, ctx.Put())) && SUCCEEDED(m->GetDisplayName(ctx.Get(), nullptr, display.Put())))
            out[com::Utf8(V_BSTR(name.Ptr()))] = com::U16(display.Get());
    }
    return out;
}

ComPtr<IBaseFilter> BindCompressor(const CLSID& category, const char* friendlyName) {
    const auto listed = ListedCompressors(category);
    const auto it = listed.find(friendlyName);
    ComPtr<IBaseFilter> filter;
    if (it != listed.end()) convctl::BindFilterByDisplayName(it->second, filter);
    return filter;
}

AviGraph::AviGraph(const std::u16string& source, const std::string& out, int w, int h, double fps, double seconds,
                   IBaseFilter* videoCodec, IBaseFilter* audioCodec) {
    fe = BuildFrontEnd(source, w, h, fps, seconds);
    REQUIRE_HR(fe.connectResult);
    REQUIRE(fe.graph);
    DeleteFileW(com::W(WindowsPath(out)));
    REQUIRE_HR(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                builder.PutVoid()));
    REQUIRE_HR(builder->SetFiltergraph(fe.graph.Get()));
    REQUIRE_HR(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, com::W(WindowsPath(out)), mux.Put(), sink.Put()));
    REQUIRE(mux);
    ComPtr<IPin> video, audio;
    REQUIRE_HR(fe.engine->GetGroupOutputPin(0, video.Put()));
    REQUIRE_HR(fe.engine->GetGroupOutputPin(1, audio.Put()));
    auto wire = [&](IPin* out, IBaseFilter* codec, const wchar_t* name) {
        if (!codec) {
            CHECK_HR(fe.graph->Connect(out, convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get()));
            return;
        }
        CHECK_HR(fe.graph->AddFilter(codec, name));
        CHECK_HR(fe.graph->Connect(out, convctl::FindUnconnectedPin(codec, PINDIR_INPUT).Get()));
        CHECK_HR(fe.graph->Connect(convctl::FindUnconnectedPin(codec, PINDIR_OUTPUT).Get(), convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get()));
    };
    wire(audio.Get(), audioCodec, L"Audio Compressor");
    wire(video.Get(), videoCodec, L"Video Compressor");
    CHECK(convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT));  // a free input is always there
}

AviGraph::~AviGraph() {
    ComPtr<IMediaControl> control;
    if (fe.graph && SUCCEEDED(fe.graph.As(IID_IMediaControl, control))) control->Stop();
    if (fe.engine) fe.engine->ScrapIt();
}

ComPtr<IMediaControl> AviGraph::Control() {
    ComPtr<IMediaControl> c;
    fe.graph.As(IID_IMediaControl, c);
    return c;
}

ComPtr<IMediaSeeking> AviGraph::MuxSeeking() {
    ComPtr<IMediaSeeking> s;
    mux.As(IID_IMediaSeeking, s);
    return s;
}

LONG WaitForEnd(IGraphBuilder* graph, DWORD timeoutMs, LONG_PTR* param1) {
    ComPtr<IMediaEventEx> events;
    if (FAILED(ComPtr<IGraphBuilder>(graph).As(IID_IMediaEventEx, events))) return 0;
    LONG result = 0;
    wt::PumpUntil(
        [&] {
            LONG code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) {
                events->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
                    result = code;
                    if (param1) *param1 = p1;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return result;
}

namespace {

uint32_t Le32(const std::string& b, size_t at) {
    return at + 4 <= b.size() ? static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
                                    static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24
                              : 0;
}

// The audio stream's strh sample size and strf block size, from the
// headers at the start of an AVI file.
void ReadAviAudioHeader(const std::string& unixPath, FileFacts& f) {
    std::ifstream in(unixPath, std::ios::binary);
    std::string head(65536, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    for (size_t at = head.find("strh"); at != std::string::npos; at = head.find("strh", at + 4)) {
        // "strh", its size, then the header: type first, dwSampleSize at 44.
        const size_t data = at + 8;
        if (head.compare(data, 4, "auds") != 0) continue;
        f.audioSampleSize = Le32(head, data + 44);
        const size_t strf = head.find("strf", data);
        if (strf != std::string::npos && strf + 8 + 14 <= head.size())
            f.audioBlockAlign = static_cast<uint8_t>(head[strf + 8 + 12]) | static_cast<uint8_t>(head[strf + 8 + 13]) << 8;
        return;
    }
}

}  // namespace

FileFacts ReadBack(const std::string& unixPath) {
    FileFacts f;
    ReadAviAudioHeader(unixPath, f);
    try {
        media::Demuxer demux(media::OpenFileSource(unixPath));
        f.opened = true;
        const int v = demux.BestStream(AVMEDIA_TYPE_VIDEO), a = demux.BestStream(AVMEDIA_TYPE_AUDIO);
        f.streams = (v >= 0) + (a >= 0);
        f.firstStreamType = demux.Stream(0)->codecpar->codec_type;
        if (v >= 0) {
            const AVCodecParameters* p = demux.Stream(v)->codecpar;
            f.videoCodec = p->codec_id;
            f.videoTag = p->codec_tag;
            f.width = p->width;
            f.height = p->height;
            f.frameRate = av_q2d(demux.Stream(v)->r_frame_rate);
        }
        if (a >= 0) {
            const AVCodecParameters* p = demux.Stream(a)->codecpar;
            f.audioCodec = p->codec_id;
            f.audioTag = p->codec_tag;
            f.sampleRate = p->sample_rate;
            f.channels = p->ch_layout.nb_channels;
        }
        if (v >= 0) {
            demux.KeepOnly(v);
            media::PacketPtr pkt = media::MakePacket();
            while (demux.Read(pkt.get())) {
                ++f.videoFrames;
                av_packet_unref(pkt.get());
            }
        }
    } catch (const media::MediaError& e) {
        f.error = e.what();
    }
    return f;
}

}  // namespace pt
