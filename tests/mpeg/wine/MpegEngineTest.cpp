// MPEG output through the control: every preset from generated clips, read
// back with FFmpeg; the back end's failures; speed, state and progress
// readings while a conversion runs.
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "convctl/VantrexControl.h"
#include "framework/com/ComPtr.h"
#include "framework/com/Enumerators.h"
#include "framework/com/WinText.h"
#include "platform/include/MpegEncoder.h"
#include "tests/mpeg/common/MpegExpect.h"
#include "tests/mpeg/common/MpegProbe.h"
#include "tests/wine/EngineRig.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"
#include "tools/clipgen/ClipWriter.h"

using com::ComPtr;
using wt::EventCall;
using wt::EventSink;

namespace {

constexpr DWORD kConversionTimeoutMs = 60000;
constexpr DISPID kComplete = 4, kError = 5, kStateChange = 7;

std::u16string TempPath(const std::u16string& name) {
    WCHAR dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return com::U16(dir) + name;
}

std::string UnixPath(const std::u16string& path) {
    char* unix = wine_get_unix_file_name(com::W(path));
    REQUIRE(unix != nullptr);
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// A generated clip, written once per test program.
std::u16string Clip(const std::u16string& name, const clipgen::ClipSpec& desc) {
    static std::map<std::u16string, bool> written;
    const std::u16string path = TempPath(name);
    if (!written[name]) {
        clipgen::WriteClip(UnixPath(path), desc);
        written[name] = true;
    }
    return path;
}

std::u16string ClipWithAudio() {
    clipgen::ClipSpec desc;
    desc.seconds = 1.0;
    return Clip(u"mpeg_src_av.avi", desc);
}

std::u16string ClipWithoutAudio() {
    clipgen::ClipSpec desc;
    desc.seconds = 1.0;
    desc.audio = false;
    return Clip(u"mpeg_src_v.avi", desc);
}

// Platform objects replaced where a test needs a failure.
class EncoderFactory final : public convctl::MediaObjectFactory {
public:
    // Asks COM for a class nobody registers, as the product's factory asks
    // for the encoder: the prefix the other tests share stays as it is.
    bool unregistered = false;
    HRESULT result = S_OK;
    bool pinless = false;
    ComPtr<IBaseFilter> created;  // the last encoder handed out
    HRESULT CreateMpegEncoder(IBaseFilter** out) override;
};

struct Rig : wt::EngineRig {
    LONG Fps() {
        LONG fps = -1;
        CHECK_HR(control->get_EncodeFPS(&fps));
        return fps;
    }
};

// What one conversion showed while it ran.
struct RunFacts {
    bool finished = false;
    LONG fpsBefore = -1, fpsMax = 0, fpsAfter = -1;
    double progressMax = 0, durationSeen = 0;
};

RunFacts Convert(Rig& rig, LONG format, const std::u16string& input, const std::u16string& output,
                 bool preview = false) {
    RunFacts facts;
    rig.Engine().SetInputFile(input);
    rig.Engine().SetOutputFile(output);
    rig.Engine().SetOutputFormat(format);
    rig.Engine().SetPreview(preview);
    facts.fpsBefore = rig.Fps();
    CHECK_HR(rig.control->StartConversion());
    facts.finished = wt::PumpUntil(
        [&] {
            facts.fpsMax = std::max(facts.fpsMax, rig.Fps());
            double v = 0;
            rig.control->get_Progress(&v);
            facts.progressMax = std::max(facts.progressMax, v);
            rig.control->get_Duration(&v);
            facts.durationSeen = std::max(facts.durationSeen, v);
            return rig.Has(kComplete);
        },
        kConversionTimeoutMs);
    if (!facts.finished) rig.control->StopConversion();
    facts.fpsAfter = rig.Fps();
    return facts;
}

}  // namespace

// A filter that hides the encoder's pins, so that nothing connects to it.
namespace {

class PinlessFilter final : public com::ComObjectRoot, public IBaseFilter {
public:
    explicit PinlessFilter(IBaseFilter* inner) : m_inner(inner) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IMediaFilter) ||
            IsEqualIID(iid, IID_IBaseFilter)) {
            *out = static_cast<IBaseFilter*>(this);
            AddRef();
            return S_OK;
        }
        return m_inner->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }
    STDMETHODIMP GetClassID(CLSID* clsid) override { return m_inner->GetClassID(clsid); }
    STDMETHODIMP Stop() override { return m_inner->Stop(); }
    STDMETHODIMP Pause() override { return m_inner->Pause(); }
    STDMETHODIMP Run(REFERENCE_TIME start) override { return m_inner->Run(start); }
    STDMETHODIMP GetState(DWORD ms, FILTER_STATE* state) override { return m_inner->GetState(ms, state); }
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override { return m_inner->SetSyncSource(clock); }
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override { return m_inner->GetSyncSource(clock); }
    STDMETHODIMP EnumPins(IEnumPins** out) override {
        using PinEnum = com::SnapshotEnum<IEnumPins, IID_IEnumPins, IPin*, com::InterfaceCopy>;
        return com::CreateAndQuery<PinEnum>(IID_IEnumPins, reinterpret_cast<void**>(out), std::vector<IPin*>{});
    }
    STDMETHODIMP FindPin(LPCWSTR, IPin** out) override {
        if (out) *out = nullptr;
        return VFW_E_NOT_FOUND;
    }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override { return m_inner->QueryFilterInfo(info); }
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        return m_inner->JoinFilterGraph(graph, name);
    }
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override { return m_inner->QueryVendorInfo(info); }

private:
    ~PinlessFilter() override = default;
    ComPtr<IBaseFilter> m_inner;
};

}  // namespace

HRESULT EncoderFactory::CreateMpegEncoder(IBaseFilter** out) {
    *out = nullptr;
    if (unregistered) {
        static const CLSID kUnregistered = {0x5d1c8a3e, 0x27b4, 0x4f0e,
                                            {0x9a, 0x61, 0x3c, 0x58, 0xe2, 0x0b, 0x94, 0x17}};
        return CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(out));
    }
    if (FAILED(result)) return result;
    ComPtr<IBaseFilter> real;
    const HRESULT hr = MediaObjectFactory::CreateMpegEncoder(real.Put());
    created = real;
    if (FAILED(hr) || !pinless) {
        *out = real.Detach();
        return hr;
    }
    *out = new PinlessFilter(real.Get());
    return S_OK;
}

WT_TEST(MpegEngine, EveryPresetConvertsClipsWithAndWithoutAudio) {
    const std::u16string sources[] = {ClipWithAudio(), ClipWithoutAudio()};
    for (const mpegtest::PresetFile& e : mpegtest::PresetFiles()) {
        for (int withAudio = 0; withAudio < 2; ++withAudio) {
            const std::string label =
                std::string(e.name) + (withAudio == 0 ? " from a clip with audio" : " from a clip without audio");
            Rig rig;
            const std::u16string out = TempPath(com::FromAnsi(std::string("mpeg_out_") + e.name + ".mpg"));
            // The free formats keep the source's size (the program's
            // "source"), or take a chosen one; the disc presets fix theirs.
            mpegtest::PresetFile expected = e;
            if (withAudio == 1 && (e.outputFormat == 2 || e.outputFormat == 3)) {
                rig.Engine().SetOutputWidth(expected.width = 176);
                rig.Engine().SetOutputHeight(expected.height = 144);
            }
            const RunFacts run = Convert(rig, e.outputFormat, sources[withAudio], out);
            CHECK(run.finished);
            CHECK(!rig.Has(kError));
            // One second of pictures at the coded rate; a source without
            // sound still gives the file its (silent) track.
            const mpegtest::ProbedMpeg p = mpegtest::ProbeMpeg(UnixPath(out));
            const auto mismatches =
                mpegtest::Mismatches(p, expected, (e.rateNum + e.rateDen - 1) / e.rateDen, 1, true);
            CHECK(mismatches.empty());
            CHECK(p.audioSeconds > 0.8 && p.audioSeconds < 1.3);
            if (!mismatches.empty() || rig.Has(kError) || !run.finished) {
                printf("  %s:", label.c_str());
                for (const auto& m : mismatches) printf(" [%s]", m.c_str());
                for (const auto& ev : rig.Events()) printf(" [event %s]", ev.c_str());
                printf("\n");
            }
            DeleteFileW(com::W(out));
        }
    }
}

WT_TEST(MpegEngine, SpeedStateAndProgressWhileRunning) {
    Rig rig;
    const std::u16string out = TempPath(u"mpeg_out_speed.mpg");
    const RunFacts run = Convert(rig, 8, ClipWithAudio(), out);
    CHECK(run.finished);
    CHECK_EQ(run.fpsBefore, 0);
    CHECK(run.fpsMax > 0);
    CHECK_EQ(run.fpsAfter, 0);
    CHECK(run.progressMax > 0.0);
    CHECK(run.durationSeen > 0.9 && run.durationSeen < 1.1);
    // The encoder's notices become StateChange events before Complete.
    std::vector<std::string> states;
    for (const auto& c : rig.log)
        if (c.id == kStateChange) states.push_back(c.args.at(1));
    const auto events = rig.Events();
    CHECK(!states.empty());
    CHECK(std::find(states.begin(), states.end(), "Encoding") != states.end());
    CHECK(!states.empty() && states.back() == "Finished");
    CHECK(!events.empty() && events.back() == "4");
    DeleteFileW(com::W(out));
}

WT_TEST(MpegEngine, SvcdNtscConfiguresItsPreset) {
    Rig rig;
    EncoderFactory factory;
    rig.Engine().SetFactory(&factory);
    const std::u16string out = TempPath(u"mpeg_out_svcd.mpg");
    rig.Engine().SetOutputWidth(640);  // the preset overrules it
    const RunFacts run = Convert(rig, 7, ClipWithAudio(), out);
    CHECK(run.finished);
    CHECK_EQ(rig.Engine().OutputWidth(), 480);
    CHECK_EQ(rig.Engine().OutputHeight(), 480);
    CHECK_EQ(rig.Engine().OutputFrameRate(), 30000.0f / 1001.0f);
    ComPtr<IMpegEncoderConfig> config;
    REQUIRE(factory.created && SUCCEEDED(factory.created.As(IID_IMpegEncoderConfig, config)));
    LONG preset = -1;
    CHECK_HR(config->GetPreset(&preset));
    CHECK_EQ(preset, 6);
    LPCSTR state = nullptr;
    CHECK_HR(config->GetStateText(&state));
    CHECK_EQ(std::string(state), std::string("Finished"));
    DeleteFileW(com::W(out));
}

WT_TEST(MpegEngine, PreviewBranchFeedsTheEncoder) {
    Rig rig;
    const std::u16string out = TempPath(u"mpeg_out_preview.mpg");
    const RunFacts run = Convert(rig, 4, ClipWithAudio(), out, true);
    CHECK(run.finished);
    CHECK(!rig.Has(kError));
    const auto p = mpegtest::ProbeMpeg(UnixPath(out));
    CHECK_EQ(p.width, 352);
    CHECK(p.videoFrames >= 24 && p.videoFrames <= 26);
    DeleteFileW(com::W(out));
}

// Every failure of the back end tears down and reports: Complete, then
// Error, before StartConversion returns, and no AboutToRun.
WT_TEST(MpegEngine, BackEndFailuresEndWithCompleteThenError) {
    struct Case {
        const char* what;
        bool unregistered;
        HRESULT createResult;
        bool pinless;
        bool preview;
        std::u16string output;
        LONG videoBitRate;
        const char* text;
    };
    const std::u16string out = TempPath(u"mpeg_out_fail.mpg");
    const Case cases[] = {
        {"encoder not registered", true, S_OK, false, false, out, 0, "The MPEG encoder could not be created"},
        {"encoder not created", false, E_OUTOFMEMORY, false, false, out, 0, "The MPEG encoder could not be created"},
        {"file name refused", false, S_OK, false, false, u"", 0, "The MPEG output file could not be set"},
        {"configuration refused", false, S_OK, false, false, out, -1, "The MPEG encoder could not be configured"},
        {"video not connected", false, S_OK, true, false, out, 0,
         "The video could not be connected to the MPEG encoder"},
        {"preview branch failed", false, S_OK, true, true, out, 0, "The preview could not be built"},
    };
    for (const Case& c : cases) {
        Rig rig;
        EncoderFactory factory;
        factory.unregistered = c.unregistered;
        factory.result = c.createResult;
        factory.pinless = c.pinless;
        rig.Engine().SetFactory(&factory);
        rig.Engine().SetInputFile(ClipWithAudio());
        rig.Engine().SetOutputFile(c.output);
        rig.Engine().SetOutputFormat(4);
        rig.Engine().SetPreview(c.preview);
        rig.Engine().SetVideoBitRate(c.videoBitRate);
        CHECK_HR(rig.control->StartConversion());
        const auto events = rig.Events();
        const bool ok = events.size() == 2 && events[0] == "4" && events[1].rfind("5|", 0) == 0 &&
                        events[1].find(c.text) != std::string::npos;
        if (!ok) {
            printf("%s:", c.what);
            for (const auto& e : events) printf(" [%s]", e.c_str());
            printf("\n");
        }
        CHECK(ok);
        CHECK(!rig.Engine().IsRunning());
        CHECK_EQ(rig.Fps(), 0);
    }
    // The missing class reaches the host as its own code.
    Rig rig;
    EncoderFactory factory;
    factory.unregistered = true;
    rig.Engine().SetFactory(&factory);
    rig.Engine().SetInputFile(ClipWithAudio());
    rig.Engine().SetOutputFile(out);
    rig.Engine().SetOutputFormat(9);
    CHECK_HR(rig.control->StartConversion());
    const auto events = rig.Events();
    REQUIRE(events.size() == 2);
    CHECK(events[1].rfind("5|" + std::to_string(static_cast<LONG>(REGDB_E_CLASSNOTREG)) + "|", 0) == 0);
}

// A pause holds the encoder's inputs; a stop part-way leaves a file that
// plays up to where it stopped.
WT_TEST(MpegEngine, PauseHoldsAndStopLeavesAPlayableFile) {
    clipgen::ClipSpec desc;
    desc.seconds = 4.0;
    const std::u16string source = Clip(u"mpeg_src_long.avi", desc);
    const std::u16string out = TempPath(u"mpeg_out_stopped.mpg");
    Rig rig;
    rig.Engine().SetInputFile(source);
    rig.Engine().SetOutputFile(out);
    rig.Engine().SetOutputFormat(8);
    rig.Engine().SetPreview(false);
    CHECK_HR(rig.control->StartConversion());
    auto progress = [&] {
        double v = 0;
        rig.control->get_Progress(&v);
        return v;
    };
    // Until the encoder's first pictures the progress is the graph's clock,
    // which a loaded machine runs ahead of them: wait for pictures as well.
    REQUIRE(wt::PumpUntil([&] { return (progress() > 0.2 && rig.Fps() > 0) || rig.Has(kComplete); },
                          kConversionTimeoutMs));
    REQUIRE(!rig.Has(kComplete));
    CHECK_HR(rig.control->PauseConversion());
    const double paused = progress();
    // The encoder goes on with what its queue held at the pause, a few
    // pictures, however long that takes; then the progress stands still.
    double held = paused;
    DWORD stillSince = GetTickCount();
    REQUIRE(wt::PumpUntil(
        [&] {
            const double now = progress();
            if (now != held) {
                held = now;
                stillSince = GetTickCount();
            }
            return GetTickCount() - stillSince >= 400;
        },
        kConversionTimeoutMs));
    // Held inputs: neither the end of the clip nor more than its queue's
    // worth of pictures past the pause.
    CHECK(!rig.Has(kComplete));
    CHECK(held < paused + 1.0);
    CHECK_EQ(rig.Fps(), 0);
    CHECK_HR(rig.control->ResumeConversion());
    CHECK(wt::PumpUntil([&] { return progress() > held || rig.Has(kComplete); }, kConversionTimeoutMs));
    CHECK_HR(rig.control->StopConversion());
    CHECK(rig.Has(kComplete));
    CHECK(!rig.Has(kError));
    const auto p = mpegtest::ProbeMpeg(UnixPath(out));
    CHECK_EQ(p.error, std::string());
    CHECK_EQ(p.width, 720);
    CHECK(p.videoFrames > 0 && p.videoFrames < 100);
    DeleteFileW(com::W(out));
}
