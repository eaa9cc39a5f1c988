// The conversion engine's start, failure and teardown paths, with the
// platform objects replaced where a test needs a failure.
#include <windows.h>
#include <ole2.h>

#include "convctl/VantrexControl.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using wt::EventCall;
using wt::EventSink;

namespace {

// Platform objects that fail on demand.
class FailingFactory final : public convctl::MediaObjectFactory {
public:
    HRESULT timelineResult = S_OK;
    HRESULT renderEngineResult = S_OK;
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
        return MediaObjectFactory::CreateRenderEngine(out);
    }
};

struct Rig {
    convctl::VantrexControl* control = new convctl::VantrexControl();
    std::vector<EventCall> log;
    ComPtr<EventSink> sink = ComPtr<EventSink>::Adopt(new EventSink(DIID__IVantrexObjEvents, "S", &log));
    wt::TestContainer* container = new wt::TestContainer(400, 300);

    Rig() {
        CHECK(wt::Connect(static_cast<IVantrexObj*>(control), DIID__IVantrexObjEvents, sink.Get()) != 0);
        CHECK_HR(container->Host(static_cast<IVantrexObj*>(control), RECT{10, 10, 330, 250}));
    }
    ~Rig() {
        container->Close();
        container->Release();
        CHECK_EQ(control->Release(), 0u);
    }
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const auto& c : log) {
            std::string s = std::to_string(c.id);
            for (const auto& a : c.args) s += "|" + a;
            out.push_back(s);
        }
        return out;
    }
};

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
