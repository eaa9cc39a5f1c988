// The ASF writer filter in a graph built by the render engine: profile
// configuration and its pins, the input types it takes, a whole run to
// EC_COMPLETE and a stop half-way, each file read back.
#include <windows.h>
#include <dshow.h>

#include <string>

#include "convctl/FilterUtil.h"
#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "platform/asf/AsfWriter.h"
#include "platform/wm/WmCatalog.h"
#include "platform/wm/WmMediaType.h"
#include "platform/wm/WmProfileManager.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tests/wmv/common/MediaProbe.h"

using com::ComPtr;

namespace {

constexpr double kSeconds = 1.0;

std::u16string SourceClip() {
    clipgen::ClipSpec desc;  // 160 x 120, 25 fps, 44.1 kHz stereo
    desc.seconds = kSeconds;
    return pt::Clip("asfwriter_source.avi", desc);
}

ComPtr<IWMProfile> SystemProfile(DWORD index) {
    ComPtr<IWMProfileManager> manager;
    REQUIRE_HR(wm::ProfileManager::Create(manager.Put()));
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(manager->LoadSystemProfile(index, profile.Put()));
    return profile;
}

ComPtr<IBaseFilter> NewWriter() {
    ComPtr<IBaseFilter> writer;
    REQUIRE_HR(asfw::AsfWriter::CreateInstance(nullptr, IID_IBaseFilter, writer.PutVoid()));
    return writer;
}

int InputPinCount(IBaseFilter* filter) {
    int n = 0;
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    filter->EnumPins(pins.Put());
    while (pins && pins->Next(1, pin.Put(), nullptr) == S_OK) ++n;
    return n;
}

// The render engine's front end, with the writer behind it.
struct WriterGraph {
    pt::FrontEnd fe;
    ComPtr<IBaseFilter> writer;
    std::string out;

    WriterGraph(const char* name, IWMProfile* profile, int width = 160) {
        fe = pt::BuildFrontEnd(SourceClip(), width, 120, 25, kSeconds);
        REQUIRE_HR(fe.connectResult);
        out = pt::OutputPath(name);
        DeleteFileW(com::W(pt::WindowsPath(out)));
        writer = NewWriter();
        ComPtr<IConfigAsfWriter> config;
        REQUIRE_HR(writer.As(IID_IConfigAsfWriter, config));
        REQUIRE_HR(config->ConfigureFilterUsingProfile(profile));
        ComPtr<IFileSinkFilter> sink;
        REQUIRE_HR(writer.As(IID_IFileSinkFilter, sink));
        REQUIRE_HR(sink->SetFileName(com::W(pt::WindowsPath(out)), nullptr));
        REQUIRE_HR(fe.graph->AddFilter(writer.Get(), L"ASF Writer"));
    }
    ~WriterGraph() {
        if (ComPtr<IMediaControl> c = Control()) c->Stop();
        if (fe.engine) fe.engine->ScrapIt();
    }
    HRESULT ConnectGroups() {
        ComPtr<IPin> video, audio;
        fe.engine->GetGroupOutputPin(0, video.Put());
        fe.engine->GetGroupOutputPin(1, audio.Put());
        HRESULT hr = fe.graph->Connect(video.Get(), convctl::FindUnconnectedPin(writer.Get(), PINDIR_INPUT).Get());
        if (SUCCEEDED(hr)) hr = fe.graph->Connect(audio.Get(), convctl::FindUnconnectedPin(writer.Get(), PINDIR_INPUT).Get());
        return hr;
    }
    ComPtr<IMediaControl> Control() {
        ComPtr<IMediaControl> c;
        if (fe.graph) fe.graph.As(IID_IMediaControl, c);
        return c;
    }
};

}  // namespace

WT_TEST(AsfWriter, ProfileDecidesThePins) {
    ComPtr<IBaseFilter> writer = NewWriter();
    // A new writer holds the runtime's default profile: one video, one audio.
    CHECK_EQ(InputPinCount(writer.Get()), 2);
    ComPtr<IPin> pin;
    CHECK_HR(writer->FindPin(L"Video Input 01", pin.Put()));
    CHECK_HR(writer->FindPin(L"Audio Input 01", pin.Put()));

    ComPtr<IConfigAsfWriter> config;
    REQUIRE_HR(writer.As(IID_IConfigAsfWriter, config));
    ComPtr<IWMProfileManager> manager;
    REQUIRE_HR(wm::ProfileManager::Create(manager.Put()));
    ComPtr<IWMProfile> audioOnly;
    REQUIRE_HR(manager->CreateEmptyProfile(WMT_VER_7_0, audioOnly.Put()));
    CHECK_HR_EQ(config->ConfigureFilterUsingProfile(audioOnly.Get()), NS_E_INVALIDPROFILE);  // no streams
    ComPtr<IWMStreamConfig> stream;
    REQUIRE_HR(audioOnly->CreateNewStream(WMMEDIATYPE_Audio, stream.Put()));
    REQUIRE_HR(audioOnly->AddStream(stream.Get()));
    CHECK_HR(config->ConfigureFilterUsingProfile(audioOnly.Get()));
    CHECK_EQ(InputPinCount(writer.Get()), 1);
    ComPtr<IWMProfile> current;
    CHECK_HR(config->GetCurrentProfile(current.Put()));
    CHECK(current.Get() == audioOnly.Get());
    CHECK_HR_EQ(config->ConfigureFilterUsingProfile(nullptr), E_POINTER);
    CHECK_HR_EQ(config->ConfigureFilterUsingProfileId(0), E_NOTIMPL);

    // A stream of a codec this runtime lacks.
    REQUIRE_HR(audioOnly->GetStream(0, stream.Put()));
    ComPtr<IWMMediaProps> props;
    REQUIRE_HR(stream->QueryInterface(IID_IWMMediaProps, props.PutVoid()));
    DWORD size = 0;
    REQUIRE_HR(props->GetMediaType(nullptr, &size));
    std::vector<WM_MEDIA_TYPE> type((size + sizeof(WM_MEDIA_TYPE) - 1) / sizeof(WM_MEDIA_TYPE));
    REQUIRE_HR(props->GetMediaType(type.data(), &size));
    type[0].subtype = com::SubtypeFromFourCC(0x0162);
    REQUIRE_HR(props->SetMediaType(type.data()));
    REQUIRE_HR(audioOnly->ReconfigStream(stream.Get()));
    CHECK_HR_EQ(config->ConfigureFilterUsingProfile(audioOnly.Get()), NS_E_AUDIO_CODEC_NOT_INSTALLED);
    CHECK_EQ(InputPinCount(writer.Get()), 1);

    ComPtr<IFileSinkFilter> sink;
    REQUIRE_HR(writer.As(IID_IFileSinkFilter, sink));
    CHECK_HR_EQ(sink->SetFileName(L"", nullptr), E_INVALIDARG);
    LPOLESTR name = nullptr;
    CHECK_HR_EQ(sink->GetCurFile(&name, nullptr), E_FAIL);
    config = nullptr;
    sink = nullptr;
    pin = nullptr;
    CHECK_EQ(writer.Detach()->Release(), 0u);
}

WT_TEST(AsfWriter, WritesTheWholeRunBeforeItCompletes) {
    const wm::SystemProfileSpec& desc = wm::SystemProfiles()[3];
    WriterGraph g("asfwriter_whole.wmv", SystemProfile(3).Get());
    REQUIRE_HR(g.ConnectGroups());
    ComPtr<IMediaSeeking> seeking;
    REQUIRE_HR(g.writer.As(IID_IMediaSeeking, seeking));
    LONGLONG duration = 0;
    CHECK_HR(seeking->GetDuration(&duration));
    CHECK_EQ(duration, static_cast<LONGLONG>(kSeconds * 1e7));

    REQUIRE_HR(g.Control()->Run());
    CHECK_EQ(pt::WaitForEnd(g.fe.graph.Get(), 30000), EC_COMPLETE);
    LONGLONG position = 0;
    CHECK_HR(seeking->GetCurrentPosition(&position));
    CHECK(position >= duration - 400000);  // within a frame of the end
    g.Control()->Stop();

    const wmvtest::ProbedFile file = wmvtest::ProbeMedia(g.out);
    REQUIRE(file.error.empty());
    REQUIRE(file.Video() && file.Audio());
    CHECK_EQ(file.Video()->codec, std::string("wmv2"));
    CHECK_EQ(file.Video()->packets, 25);
    CHECK_EQ(file.Audio()->sampleRate, static_cast<int>(desc.audio.format.sampleRate));
    CHECK_EQ(file.declaredBitRate, desc.video.bitRate + desc.audio.format.bitRate);
}

WT_TEST(AsfWriter, StopHalfwayLeavesAReadableFile) {
    WriterGraph g("asfwriter_stopped.wmv", SystemProfile(0).Get());
    REQUIRE_HR(g.ConnectGroups());
    REQUIRE_HR(g.Control()->Run());
    // Stopped once the first pictures are in.
    ComPtr<IMediaSeeking> seeking;
    REQUIRE_HR(g.writer.As(IID_IMediaSeeking, seeking));
    CHECK(wt::PumpUntil(
        [&] {
            LONGLONG position = 0;
            return SUCCEEDED(seeking->GetCurrentPosition(&position)) && position > 0;
        },
        30000));
    g.Control()->Stop();
    const wmvtest::ProbedFile file = wmvtest::ProbeMedia(g.out);
    CHECK_EQ(file.error, std::string());
    CHECK_EQ(file.format, std::string("asf"));
}

WT_TEST(AsfWriter, RefusesPicturesTheEncodersCannotTake) {
    // One column: an odd width loses its last column, and none is left.
    WriterGraph g("asfwriter_odd.wmv", SystemProfile(0).Get(), 1);
    ComPtr<IPin> video;
    g.fe.engine->GetGroupOutputPin(0, video.Put());
    CHECK(FAILED(g.fe.graph->Connect(video.Get(), convctl::FindUnconnectedPin(g.writer.Get(), PINDIR_INPUT).Get())));
    // Unconnected pins keep the graph from starting.
    CHECK(FAILED(g.Control()->Run()));
}
