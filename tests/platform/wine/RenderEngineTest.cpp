// The render engine and the front end it builds, reached through the
// registry: calls in the wrong order fail and harm nothing, two groups give
// a video pin and an audio pin of the groups' types, the engine is scrapped
// and used again, a second ConnectFrontEnd follows a changed timeline and
// keeps what it can of the pins' connections, and everything built,
// played and released is freed.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>
#include <vector>

#include "convctl/FilterUtil.h"
#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/Owners.h"
#include "platform/ClassIds.h"
#include "platform/include/EditingServices.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/platform/wine/EditingTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using pt::NewTimeline;

namespace {

ComPtr<IRenderEngine> NewEngine() {
    ComPtr<IRenderEngine> engine;
    CHECK_HR(CoCreateInstance(CLSID_RenderEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IRenderEngine,
                              engine.PutVoid()));
    return engine;
}

// Adds a group of the type (none when null) with one empty track.
ComPtr<IAMTimelineObj> AddGroup(IAMTimeline* timeline, AM_MEDIA_TYPE* type, double fps = 10.0) {
    ComPtr<IAMTimelineObj> group, track;
    CHECK_HR(timeline->CreateEmptyNode(group.Put(), TIMELINE_MAJOR_TYPE_GROUP));
    CHECK_HR(timeline->CreateEmptyNode(track.Put(), TIMELINE_MAJOR_TYPE_TRACK));
    ComPtr<IAMTimelineGroup> g;
    ComPtr<IAMTimelineComp> comp;
    CHECK_HR(group.As(IID_IAMTimelineGroup, g));
    CHECK_HR(group.As(IID_IAMTimelineComp, comp));
    if (type) CHECK_HR(g->SetMediaType(type));
    CHECK_HR(g->SetOutputFPS(fps));
    CHECK_HR(comp->VTrackInsBefore(track.Get(), -1));
    CHECK_HR(timeline->AddGroup(group.Get()));
    return group;
}

ComPtr<IAMTimelineObj> AddVideoGroup(IAMTimeline* timeline, LONG width, LONG height, double fps = 10.0) {
    com::MediaType mt = com::Rgb32VideoType(width, height);
    return AddGroup(timeline, &mt.Edit(), fps);
}

ComPtr<IAMTimelineObj> AddAudioGroup(IAMTimeline* timeline) {
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    return AddGroup(timeline, &mt);
}

com::MediaType FirstTypeOf(IPin* pin) {
    com::MediaType out;
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Put())) || !types) return out;
    AM_MEDIA_TYPE* mt = nullptr;
    if (types->Next(1, &mt, nullptr) == S_OK && mt) {
        out = com::MediaType(*mt);
        com::DeleteMediaType(mt);
    }
    return out;
}

int FiltersIn(IGraphBuilder* graph) {
    ComPtr<IEnumFilters> filters;
    int n = 0;
    if (FAILED(graph->EnumFilters(filters.Put()))) return -1;
    ComPtr<IBaseFilter> f;
    while (filters->Next(1, f.Put(), nullptr) == S_OK) ++n;
    return n;
}

ComPtr<IPin> PeerOf(IPin* pin) {
    ComPtr<IPin> peer;
    pin->ConnectedTo(peer.Put());
    return peer;
}

}  // namespace

WT_TEST(RenderEngine, CallsOutOfOrderFailWithoutHarm) {
    ComPtr<IRenderEngine> engine = NewEngine();
    REQUIRE(engine);
    ComPtr<IAMTimeline> none;
    CHECK_HR(engine->GetTimelineObject(none.Put()));
    CHECK(!none);
    IPin* pin = reinterpret_cast<IPin*>(0x1);
    CHECK(FAILED(engine->GetGroupOutputPin(0, &pin)));
    CHECK(pin == nullptr);
    IGraphBuilder* graph = reinterpret_cast<IGraphBuilder*>(0x1);
    CHECK(FAILED(engine->GetFilterGraph(&graph)));
    CHECK(graph == nullptr);
    CHECK(FAILED(engine->ConnectFrontEnd()));
    CHECK(FAILED(engine->RenderOutputPins()));
    CHECK_HR(engine->ScrapIt());
    CHECK_HR_EQ(engine->SetTimelineObject(nullptr), E_POINTER);
    CHECK_HR_EQ(engine->GetGroupOutputPin(0, nullptr), E_POINTER);

    // A timeline without groups, then a group without a type: nothing is built.
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    CHECK_HR(engine->SetTimelineObject(timeline.Get()));
    CHECK(FAILED(engine->ConnectFrontEnd()));
    CHECK(FAILED(engine->GetFilterGraph(&graph)));
    CHECK(graph == nullptr);
    ComPtr<IAMTimelineObj> group = AddGroup(timeline.Get(), nullptr);
    CHECK_HR_EQ(engine->ConnectFrontEnd(), VFW_E_INVALIDMEDIATYPE);
    CHECK(FAILED(engine->GetGroupOutputPin(0, &pin)));
    CHECK(pin == nullptr);
    // Pictures other than 32-bit RGB are not made.
    com::MediaType rgb24 = com::Rgb32VideoType(64, 48);
    rgb24.Edit().subtype = MEDIASUBTYPE_RGB24;
    reinterpret_cast<VIDEOINFOHEADER*>(rgb24.Edit().pbFormat)->bmiHeader.biBitCount = 24;
    ComPtr<IAMTimelineGroup> g;
    CHECK_HR(group.As(IID_IAMTimelineGroup, g));
    CHECK_HR(g->SetMediaType(&rgb24.Edit()));
    CHECK(FAILED(engine->ConnectFrontEnd()));
    CHECK(FAILED(engine->GetFilterGraph(&graph)));

    // Mended, the same engine builds.
    com::MediaType rgb32 = com::Rgb32VideoType(64, 48);
    CHECK_HR(g->SetMediaType(&rgb32.Edit()));
    CHECK_HR(engine->ConnectFrontEnd());
    ComPtr<IGraphBuilder> built;
    CHECK_HR(engine->GetFilterGraph(built.Put()));
    CHECK(built);
    // Built, the engine keeps its timeline and graph until it is scrapped.
    ComPtr<IAMTimeline> other = NewTimeline();
    REQUIRE(other);
    CHECK(FAILED(engine->SetTimelineObject(other.Get())));
    CHECK_HR(engine->GetTimelineObject(none.Put()));
    CHECK(none.Get() == timeline.Get());
    CHECK(FAILED(engine->SetFilterGraph(nullptr)));
    CHECK(FAILED(engine->RenderOutputPins()));
    ComPtr<IPin> video;
    CHECK_HR(engine->GetGroupOutputPin(0, video.Put()));
    CHECK(video);

    CHECK_HR(engine->ScrapIt());
    CHECK_HR(engine->ScrapIt());
    CHECK(FAILED(engine->GetGroupOutputPin(0, &pin)));
    CHECK(pin == nullptr);
    CHECK(FAILED(engine->GetFilterGraph(&graph)));
    CHECK_EQ(FiltersIn(built.Get()), 0);
    // The pin handed out before still answers.
    PIN_DIRECTION dir = PINDIR_INPUT;
    CHECK_HR(video->QueryDirection(&dir));
    CHECK_EQ(dir, PINDIR_OUTPUT);

    // Scrapped, it takes another timeline, and a graph of the caller's.
    AddAudioGroup(other.Get());
    CHECK_HR(engine->SetTimelineObject(other.Get()));
    ComPtr<IGraphBuilder> mine;
    REQUIRE_HR(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                mine.PutVoid()));
    CHECK_HR(engine->SetFilterGraph(mine.Get()));
    CHECK_HR(engine->ConnectFrontEnd());
    CHECK_HR(engine->GetFilterGraph(built.Put()));
    CHECK(built.Get() == mine.Get());
    CHECK_EQ(FiltersIn(mine.Get()), 1);
    ComPtr<IPin> audio;
    CHECK_HR(engine->GetGroupOutputPin(0, audio.Put()));
    REQUIRE(audio);
    CHECK_EQ(FirstTypeOf(audio.Get()).Get().majortype, MEDIATYPE_Audio);
    CHECK_HR_EQ(engine->GetGroupOutputPin(1, &pin), E_INVALIDARG);
    CHECK_HR(engine->ScrapIt());
}

WT_TEST(RenderEngine, TwoGroupsGiveAVideoPinAndAnAudioPin) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    AddVideoGroup(timeline.Get(), 176, 144, 15.0);
    // Sound in the group's own PCM format.
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 1;
    wfx.nSamplesPerSec = 22050;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 2;
    wfx.nAvgBytesPerSec = 44100;
    com::MediaType pcm;
    pcm.Edit().majortype = MEDIATYPE_Audio;
    pcm.Edit().subtype = MEDIASUBTYPE_PCM;
    pcm.SetFormat(FORMAT_WaveFormatEx, &wfx, sizeof wfx);
    AddGroup(timeline.Get(), &pcm.Edit());

    ComPtr<IRenderEngine> engine = NewEngine();
    REQUIRE(engine);
    CHECK_HR(engine->SetTimelineObject(timeline.Get()));
    CHECK_HR(engine->ConnectFrontEnd());
    ComPtr<IGraphBuilder> graph;
    CHECK_HR(engine->GetFilterGraph(graph.Put()));
    REQUIRE(graph);
    ComPtr<IPin> video, audio;
    CHECK_HR(engine->GetGroupOutputPin(0, video.Put()));
    CHECK_HR(engine->GetGroupOutputPin(1, audio.Put()));
    REQUIRE(video && audio);
    IPin* pin = reinterpret_cast<IPin*>(0x1);
    CHECK_HR_EQ(engine->GetGroupOutputPin(2, &pin), E_INVALIDARG);
    CHECK(pin == nullptr);
    CHECK_HR_EQ(engine->GetGroupOutputPin(-1, &pin), E_INVALIDARG);

    // Bottom-up 32-bit pictures at the group's size and rate.
    const com::MediaType vt = FirstTypeOf(video.Get());
    CHECK_EQ(vt.Get().majortype, MEDIATYPE_Video);
    CHECK_EQ(vt.Get().subtype, MEDIASUBTYPE_RGB32);
    const auto* vih = vt.Format<VIDEOINFOHEADER>();
    REQUIRE(vih);
    CHECK_EQ(vih->bmiHeader.biWidth, 176);
    CHECK_EQ(vih->bmiHeader.biHeight, 144);
    CHECK_EQ(vih->bmiHeader.biBitCount, 32);
    CHECK_EQ(vih->AvgTimePerFrame, 666667LL);
    CHECK_EQ(vt.Get().lSampleSize, 176UL * 144 * 4);
    const com::MediaType at = FirstTypeOf(audio.Get());
    CHECK_EQ(at.Get().subtype, MEDIASUBTYPE_PCM);
    const auto* got = at.Format<WAVEFORMATEX>();
    REQUIRE(got);
    CHECK_EQ(got->nSamplesPerSec, 22050UL);
    CHECK_EQ(got->nChannels, 1);
    CHECK_EQ(got->wBitsPerSample, 16);

    // Both pins belong to one source filter, in the graph the engine hands out.
    PIN_INFO vi{}, ai{};
    CHECK_HR(video->QueryPinInfo(&vi));
    CHECK_HR(audio->QueryPinInfo(&ai));
    ComPtr<IBaseFilter> vf = ComPtr<IBaseFilter>::Adopt(vi.pFilter), af = ComPtr<IBaseFilter>::Adopt(ai.pFilter);
    CHECK(vf && vf.Get() == af.Get());
    CHECK_EQ(vi.dir, PINDIR_OUTPUT);
    CHECK_EQ(FiltersIn(graph.Get()), 1);
    FILTER_INFO fi{};
    CHECK_HR(vf->QueryFilterInfo(&fi));
    CHECK(fi.pGraph != nullptr);
    if (fi.pGraph) fi.pGraph->Release();

    // A second ConnectFrontEnd with nothing changed builds the same pins.
    CHECK_HR(engine->ConnectFrontEnd());
    CHECK_EQ(FiltersIn(graph.Get()), 1);
    ComPtr<IPin> again;
    CHECK_HR(engine->GetGroupOutputPin(1, again.Put()));
    REQUIRE(again);
    CHECK_EQ(FirstTypeOf(again.Get()).Format<WAVEFORMATEX>()->nSamplesPerSec, 22050UL);
    CHECK_HR(engine->ScrapIt());
}

WT_TEST(RenderEngine, SecondConnectFollowsTheTimeline) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> videoGroup = AddVideoGroup(timeline.Get(), 64, 48);
    ComPtr<IAMTimelineObj> audioGroup = AddAudioGroup(timeline.Get());
    ComPtr<IRenderEngine> engine = NewEngine();
    REQUIRE(engine);
    CHECK_HR(engine->SetTimelineObject(timeline.Get()));
    REQUIRE_HR(engine->ConnectFrontEnd());
    ComPtr<IGraphBuilder> graph;
    REQUIRE_HR(engine->GetFilterGraph(graph.Put()));

    // The rendering part: both pins into a multiplexer.
    ComPtr<IBaseFilter> mux;
    REQUIRE_HR(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, mux.PutVoid()));
    REQUIRE_HR(graph->AddFilter(mux.Get(), L"Mux"));
    ComPtr<IPin> video, audio;
    CHECK_HR(engine->GetGroupOutputPin(0, video.Put()));
    CHECK_HR(engine->GetGroupOutputPin(1, audio.Put()));
    REQUIRE(video && audio);
    CHECK_HR(graph->ConnectDirect(video.Get(), convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get(), nullptr));
    CHECK_HR(graph->ConnectDirect(audio.Get(), convctl::FindUnconnectedPin(mux.Get(), PINDIR_INPUT).Get(), nullptr));
    const ComPtr<IPin> videoInput = PeerOf(video.Get()), audioInput = PeerOf(audio.Get());
    REQUIRE(videoInput && audioInput);

    // A new picture size: the front end is built again, with the new size,
    // and its pins feed the same inputs.
    com::MediaType bigger = com::Rgb32VideoType(96, 64);
    ComPtr<IAMTimelineGroup> vg;
    CHECK_HR(videoGroup.As(IID_IAMTimelineGroup, vg));
    CHECK_HR(vg->SetMediaType(&bigger.Edit()));
    CHECK_HR(engine->ConnectFrontEnd());
    CHECK_EQ(FiltersIn(graph.Get()), 2);
    CHECK(!PeerOf(video.Get()));  // the old pins are out of the graph
    CHECK_HR(engine->GetGroupOutputPin(0, video.Put()));
    CHECK_HR(engine->GetGroupOutputPin(1, audio.Put()));
    REQUIRE(video && audio);
    CHECK(PeerOf(video.Get()).Get() == videoInput.Get());
    CHECK(PeerOf(audio.Get()).Get() == audioInput.Get());
    com::MediaType connected;
    CHECK_HR(video->ConnectionMediaType(connected.Put()));
    REQUIRE(connected.Format<VIDEOINFOHEADER>());
    CHECK_EQ(connected.Format<VIDEOINFOHEADER>()->bmiHeader.biWidth, 96);

    // A group gone: its connection cannot be kept, and the engine says so.
    CHECK_HR(timeline->RemGroupFromList(audioGroup.Get()));
    CHECK_HR_EQ(engine->ConnectFrontEnd(), S_WARN_OUTPUTRESET);
    IPin* pin = reinterpret_cast<IPin*>(0x1);
    CHECK_HR_EQ(engine->GetGroupOutputPin(1, &pin), E_INVALIDARG);
    CHECK(pin == nullptr);
    CHECK_HR(engine->GetGroupOutputPin(0, video.Put()));
    REQUIRE(video);
    CHECK(PeerOf(video.Get()).Get() == videoInput.Get());
    CHECK(!PeerOf(audioInput.Get()));

    // A timeline that cannot be built any more fails the call; nothing is
    // handed out until it is mended.
    CHECK_HR(timeline->ClearAllGroups());
    CHECK(FAILED(engine->ConnectFrontEnd()));
    CHECK(FAILED(engine->GetGroupOutputPin(0, &pin)));
    CHECK(pin == nullptr);
    CHECK_HR(timeline->AddGroup(audioGroup.Get()));
    CHECK_HR(engine->ConnectFrontEnd());
    CHECK_HR(engine->GetGroupOutputPin(0, audio.Put()));
    REQUIRE(audio);
    CHECK_EQ(FirstTypeOf(audio.Get()).Get().majortype, MEDIATYPE_Audio);
    CHECK_HR(engine->ScrapIt());
}

WT_TEST(RenderEngine, EverythingIsFreedAfterARun) {
    const std::u16string clip = pt::Clip("engine-life.avi", clipgen::SpecOf("avi", 64, 48, {25, 1}, 0.4));
    int gone = 0;
    IAMTimeline* timeline = nullptr;
    IRenderEngine* engine = nullptr;
    IBaseFilter* source = nullptr;
    {
        pt::AviGraph g(clip, pt::OutputPath("engine-life-out.avi"), 64, 48, 10.0, 0.4);
        // Every node of the timeline carries a probe.
        for (const ComPtr<IAMTimelineObj>& group : {g.fe.videoGroup, g.fe.audioGroup}) {
            pt::HangProbe(group.Get(), gone);
            ComPtr<IAMTimelineComp> comp;
            ComPtr<IAMTimelineObj> track, src;
            REQUIRE_HR(group.As(IID_IAMTimelineComp, comp));
            REQUIRE_HR(comp->GetVTrack(track.Put(), 0));
            pt::HangProbe(track.Get(), gone);
            ComPtr<IAMTimelineTrack> t;
            REQUIRE_HR(track.As(IID_IAMTimelineTrack, t));
            REQUIRE_HR(t->GetNextSrcEx(nullptr, src.Put()));
            pt::HangProbe(src.Get(), gone);
        }
        ComPtr<IPin> pin;
        REQUIRE_HR(g.fe.engine->GetGroupOutputPin(0, pin.Put()));
        PIN_INFO info{};
        REQUIRE_HR(pin->QueryPinInfo(&info));
        source = info.pFilter;
        timeline = g.fe.timeline.Get();
        timeline->AddRef();
        engine = g.fe.engine.Get();
        engine->AddRef();

        auto control = g.Control();
        REQUIRE_HR(control->Run());
        CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 20000), static_cast<LONG>(EC_COMPLETE));
        // Stopped and scrapped as the control does it, then let go.
    }
    CHECK_EQ(gone, 0);
    CHECK_EQ(source->Release(), 0UL);
    CHECK_EQ(engine->Release(), 0UL);
    CHECK_EQ(gone, 0);
    CHECK_EQ(timeline->Release(), 0UL);
    CHECK_EQ(gone, 6);

    // Built and let go without a scrap, the engine first: the graph it
    // made frees the front end, and the engine the timeline.
    gone = 0;
    {
        pt::FrontEnd fe = pt::BuildFrontEnd(clip, 64, 48, 10.0, 0.4);
        REQUIRE_HR(fe.connectResult);
        for (const ComPtr<IAMTimelineObj>& group : {fe.videoGroup, fe.audioGroup}) pt::HangProbe(group.Get(), gone);
        ComPtr<IPin> pin;
        REQUIRE_HR(fe.engine->GetGroupOutputPin(1, pin.Put()));
        PIN_INFO info{};
        REQUIRE_HR(pin->QueryPinInfo(&info));
        source = info.pFilter;
        pin = nullptr;
        CHECK_EQ(fe.engine.Detach()->Release(), 0UL);
        fe.graph = nullptr;
        fe.videoGroup = nullptr;
        fe.audioGroup = nullptr;
        CHECK_EQ(gone, 0);
        CHECK_EQ(fe.timeline.Detach()->Release(), 0UL);
        CHECK_EQ(gone, 2);
    }
    CHECK_EQ(source->Release(), 0UL);
}
