// The conversion engine's start, failure and teardown paths, with the
// platform objects replaced where a test needs a failure.
#include <windows.h>
#include <ole2.h>

#include "convctl/VantrexControl.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/EngineRig.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using wt::EventCall;
using wt::EventSink;

namespace {

// Platform objects that fail on demand; the render engine handed out is
// kept, so a test can reach the running graph.
class FailingFactory final : public convctl::MediaObjectFactory {
public:
    HRESULT timelineResult = S_OK;
    HRESULT renderEngineResult = S_OK;
    ComPtr<IRenderEngine> lastRenderEngine;
    HRESULT CreateTimeline(IAMTimeline** out) override {
        if (FAILED(timelineResult)) {
            *out = nullptr;
            return timelineResult;
        }
        return MediaObjectFactory::CreateTimeline(out);
    }
    HRESULT CreateRenderEngine(IRenderEngine** out) override {
        if (FAILED(renderEngineResult)) {
            *out = nullptr;
            return renderEngineResult;
        }
        const HRESULT hr = MediaObjectFactory::CreateRenderEngine(out);
        if (SUCCEEDED(hr)) lastRenderEngine = ComPtr<IRenderEngine>(*out);
        return hr;
    }
};

using Rig = wt::EngineRig;

std::u16string TempFile(const char16_t* name) {
    WCHAR dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return com::U16(dir) + name;
}

void WriteBytes(const std::u16string& path, const char* text) {
    const HANDLE h = CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    REQUIRE(h != INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    CloseHandle(h);
}

}  // namespace

WT_TEST(Engine, IdleControlReadsZeroAndStopFiresCompleteOnce) {
    Rig rig;
    double progress = 9, duration = 9;
    CHECK_HR(rig.control->get_Progress(&progress));
    CHECK_HR(rig.control->get_Duration(&duration));
    CHECK_EQ(progress, 0.0);
    CHECK_EQ(duration, 0.0);
    CHECK_HR(rig.control->StopConversion());
    CHECK(rig.Events() == std::vector<std::string>{"4"});
    CHECK(!rig.control->Engine().IsRunning());
}

WT_TEST(Engine, TimelineThatCannotBeMadeEndsWithCompleteThenError) {
    Rig rig;
    FailingFactory factory;
    factory.timelineResult = E_OUTOFMEMORY;
    rig.control->Engine().SetFactory(&factory);
    CHECK_HR(rig.control->StartConversion());
    // Complete first, then Error, both before the call returned; no AboutToRun.
    CHECK(rig.Events() ==
          (std::vector<std::string>{"4", "5|-2147024882|The DirectX component could not be instanciated"}));
    CHECK(!rig.control->Engine().IsRunning());
    rig.control->Engine().SetFactory(nullptr);
}

WT_TEST(Engine, OutputThatIsTheInputIsRefusedAndTheSourceKept) {
    Rig rig;
    const std::u16string source = TempFile(u"engine_same_source.avi");
    WriteBytes(source, "RIFF not really a clip");
    rig.control->Engine().SetInputFile(source);
    // Another spelling of the same file.
    std::u16string upper = source;
    for (auto& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    rig.control->Engine().SetOutputFile(upper);
    CHECK_HR(rig.control->StartConversion());
    const auto events = rig.Events();
    REQUIRE(events.size() == 2);
    CHECK_EQ(events[0], std::string("4"));
    CHECK(events[1].rfind("5|-2147024809|", 0) == 0);  // E_INVALIDARG
    CHECK(GetFileAttributesW(com::W(source)) != INVALID_FILE_ATTRIBUTES);
    DeleteFileW(com::W(source));
}

WT_TEST(Engine, GraphErrorEventEndsWithCompleteThenError) {
    Rig rig;
    FailingFactory factory;
    rig.control->Engine().SetFactory(&factory);
    clipgen::ClipSpec desc;
    desc.seconds = 10.0;
    desc.width = 320;
    desc.height = 240;
    rig.control->Engine().SetInputFile(pt::Clip("engine_long.avi", desc));
    rig.control->Engine().SetOutputFile(pt::WindowsPath(pt::OutputPath("engine_error_out.avi")));
    rig.control->Engine().SetPreview(false);
    CHECK_HR(rig.control->StartConversion());
    REQUIRE(rig.control->Engine().IsRunning());
    // A filter that fails says so through the graph, as ours do.
    ComPtr<IGraphBuilder> graph;
    REQUIRE(factory.lastRenderEngine);
    REQUIRE_HR(factory.lastRenderEngine->GetFilterGraph(graph.Put()));
    ComPtr<IMediaEventSink> sink;
    REQUIRE_HR(graph.As(IID_IMediaEventSink, sink));
    CHECK_HR(sink->Notify(EC_ERRORABORT, E_OUTOFMEMORY, 0));
    graph = nullptr;
    sink = nullptr;
    // The conversion ends by itself: Complete, then Error with the code.
    CHECK(wt::PumpUntil([&] { return rig.Events().size() >= 3; }, 20000));
    wt::PumpPosted();
    const auto events = rig.Events();
    REQUIRE(events.size() == 3);
    CHECK_EQ(events[0], std::string("2"));  // AboutToRun
    CHECK_EQ(events[1], std::string("4"));
    CHECK(events[2].rfind("5|-2147024882|", 0) == 0);
    CHECK(!rig.control->Engine().IsRunning());
    rig.control->Engine().SetFactory(nullptr);
}
