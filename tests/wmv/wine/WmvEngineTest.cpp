// The engine's Windows Media side without a graph: profile and codec
// listings with their events and standard-output lines, the mapping of
// profile numbers, and the custom profile.
#include <windows.h>

#include <string>
#include <vector>

#include "convctl/ConversionEngine.h"
#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
#include "platform/wm/WmCatalog.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"
#include "tests/wmv/wine/RecordingHost.h"
#include "tests/wmv/wine/StdoutCapture.h"

using com::ComPtr;
using wmvtest::RecordingHost;
using wmvtest::StdoutCapture;

namespace {

// A runtime that cannot be reached.
class MissingRuntimeFactory final : public convctl::MediaObjectFactory {
public:
    HRESULT CreateProfileManager(IWMProfileManager** out) override {
        *out = nullptr;
        return E_FAIL;
    }
};

std::u16string ProfileName(IWMProfile* profile) {
    DWORD size = 0;
    CHECK_HR(profile->GetName(nullptr, &size));
    std::vector<WCHAR> buffer(size ? size : 1);
    CHECK_HR(profile->GetName(buffer.data(), &size));
    return com::U16(buffer.data());
}

struct StreamFacts {
    WORD number = 0;
    std::u16string name;
    std::u16string connection;
    DWORD bitRate = 0;
    std::vector<WM_MEDIA_TYPE> type;
    DWORD quality = 0;
    LONGLONG keyFrameSpacing = 0;
};

StreamFacts StreamOf(IWMProfile* profile, DWORD index) {
    StreamFacts f;
    ComPtr<IWMStreamConfig> config;
    REQUIRE_HR(profile->GetStream(index, config.Put()));
    CHECK_HR(config->GetStreamNumber(&f.number));
    WCHAR text[64] = {};
    WORD size = 64;
    CHECK_HR(config->GetStreamName(text, &size));
    f.name = com::U16(text);
    size = 64;
    CHECK_HR(config->GetConnectionName(text, &size));
    f.connection = com::U16(text);
    CHECK_HR(config->GetBitrate(&f.bitRate));
    CHECK_HR(convctl::ReadMediaType(config.Get(), f.type));
    ComPtr<IWMVideoMediaProps> video;
    if (SUCCEEDED(config->QueryInterface(IID_IWMVideoMediaProps, video.PutVoid()))) {
        CHECK_HR(video->GetQuality(&f.quality));
        CHECK_HR(video->GetMaxKeyFrameSpacing(&f.keyFrameSpacing));
    }
    return f;
}

const VIDEOINFOHEADER& VideoInfo(const StreamFacts& f) {
    REQUIRE(IsEqualGUID(f.type[0].formattype, FORMAT_VideoInfo));
    return *reinterpret_cast<const VIDEOINFOHEADER*>(f.type[0].pbFormat);
}

const WAVEFORMATEX& WaveFormat(const StreamFacts& f) {
    REQUIRE(IsEqualGUID(f.type[0].formattype, FORMAT_WaveFormatEx));
    return *reinterpret_cast<const WAVEFORMATEX*>(f.type[0].pbFormat);
}

std::string Subtype(const StreamFacts& f) { return core::Utf16ToUtf8(com::GuidToString(f.type[0].subtype)); }

}  // namespace

WT_TEST(WmvListings, ProfilesFireCustomThenEverySystemProfile) {
    RecordingHost host;
    convctl::ConversionEngine engine(host);
    const auto& table = wm::SystemProfiles();
    std::vector<std::string> expected = {"Profile|0|Custom Profile|Custom Settings"};
    for (size_t i = 0; i < table.size(); ++i)
        expected.push_back("Profile|" + std::to_string(i + 1) + "|" + table[i].name + "|" +
                           wm::ProfileDescription(table[i]));

    StdoutCapture out;
    engine.ListWmvProfiles();
    const std::string text = out.Text();
    CHECK(host.events == expected);
    const std::string first = std::string("    0:  ") + table[0].name;
    const std::string firstLines = "Standard system profiles:\n" + first + " \n[" +
                                   wm::ProfileDescription(table[0]) + "]\n\n" + first + "\n";
    CHECK_EQ(text.substr(0, firstLines.size()), firstLines);
    CHECK(text.find("\n    9:  High definition (8 Mbps)\n") != std::string::npos);

    const LONG count = static_cast<LONG>(table.size());
    CHECK_EQ(engine.ProfileDescription(0), std::u16string(u"Custom Settings"));
    CHECK_EQ(engine.ProfileDescription(1), com::U16(wm::ProfileDescription(table[0])));
    CHECK_EQ(engine.ProfileDescription(count), com::U16(wm::ProfileDescription(table.back())));
    CHECK_EQ(engine.ProfileDescription(count + 1), std::u16string());
    CHECK_EQ(engine.ProfileDescription(-1), std::u16string());

    // A second listing fires the same events and appends to the stored list.
    host.events.clear();
    StdoutCapture again;
    engine.ListWmvProfiles();
    again.Text();
    CHECK(host.events == expected);
    CHECK_EQ(engine.ProfileDescription(count + 1), com::U16(wm::ProfileDescription(table[0])));
}

WT_TEST(WmvListings, CodecsFireTheNoneEntryThenEveryCodec) {
    RecordingHost host;
    convctl::ConversionEngine engine(host);
    const std::string wma2 = "0,{00000161-0000-0010-8000-00AA00389B71}";
    const std::string wma1 = "1,{00000160-0000-0010-8000-00AA00389B71}";
    const std::string wmv2 = "0,{32564D57-0000-0010-8000-00AA00389B71}";
    const std::string wmv1 = "1,{31564D57-0000-0010-8000-00AA00389B71}";
    const std::string audio0 = wm::AudioCodecs()[0].name, audio1 = wm::AudioCodecs()[1].name;
    const std::string video0 = wm::VideoCodecs()[0].name, video1 = wm::VideoCodecs()[1].name;

    engine.ListWmvCodecs(0);
    CHECK(host.events == (std::vector<std::string>{"Codec|0|None (PCM)|", "Codec|0|" + audio0 + "|" + wma2,
                                                   "Codec|0|" + audio1 + "|" + wma1}));
    host.events.clear();
    engine.ListWmvCodecs(1);
    CHECK(host.events == (std::vector<std::string>{"Codec|1|Full Frames (uncompressed)|",
                                                   "Codec|1|" + video0 + "|" + wmv2,
                                                   "Codec|1|" + video1 + "|" + wmv1}));
    // Any other type lists the video codecs under the audio codecs' first entry.
    host.events.clear();
    engine.ListWmvCodecs(2);
    CHECK(host.events == (std::vector<std::string>{"Codec|2|None (PCM)|", "Codec|2|" + video0 + "|" + wmv2,
                                                   "Codec|2|" + video1 + "|" + wmv1}));
}

// What a host of the registered control receives: the same entries as
// dispatch events, in order and with their arguments as the Part's types.
WT_TEST(WmvListings, HostsOfTheControlGetEveryEntryInOrder) {
    ComPtr<IVantrexObj> control;
    REQUIRE_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj, control.PutVoid()));
    std::vector<wt::EventCall> log;
    auto sink = ComPtr<wt::EventSink>::Adopt(new wt::EventSink(DIID__IVantrexObjEvents, "S", &log));
    const DWORD cookie = wt::Connect(control.Get(), DIID__IVantrexObjEvents, sink.Get());
    REQUIRE(cookie != 0);
    auto described = [&] {
        std::vector<std::string> out;
        for (const auto& c : log) {
            std::string s = std::to_string(c.id);
            for (const auto& a : c.args) s += "|" + a;
            out.push_back(s);
        }
        log.clear();
        return out;
    };

    // As the program asks at start-up: profiles, audio codecs, video codecs.
    const auto& table = wm::SystemProfiles();
    std::vector<std::string> expected = {"6|0|Custom Profile|Custom Settings"};
    for (size_t i = 0; i < table.size(); ++i)
        expected.push_back("6|" + std::to_string(i + 1) + "|" + table[i].name + "|" +
                           wm::ProfileDescription(table[i]));
    StdoutCapture out;
    CHECK_HR(control->ListWMVProfiles());
    out.Text();
    CHECK(described() == expected);

    const std::string wma2 = "0,{00000161-0000-0010-8000-00AA00389B71}";
    const std::string wma1 = "1,{00000160-0000-0010-8000-00AA00389B71}";
    const std::string wmv2 = "0,{32564D57-0000-0010-8000-00AA00389B71}";
    const std::string wmv1 = "1,{31564D57-0000-0010-8000-00AA00389B71}";
    const std::string audio0 = wm::AudioCodecs()[0].name, audio1 = wm::AudioCodecs()[1].name;
    const std::string video0 = wm::VideoCodecs()[0].name, video1 = wm::VideoCodecs()[1].name;
    CHECK_HR(control->ListWMVCodecs(0));
    CHECK(described() ==
          (std::vector<std::string>{"8|0|None (PCM)|", "8|0|" + audio0 + "|" + wma2, "8|0|" + audio1 + "|" + wma1}));
    CHECK_HR(control->ListWMVCodecs(1));
    CHECK(described() == (std::vector<std::string>{"8|1|Full Frames (uncompressed)|", "8|1|" + video0 + "|" + wmv2,
                                                   "8|1|" + video1 + "|" + wmv1}));

    // The combo index the program keeps is the listed index.
    for (LONG index : {LONG{0}, LONG{1}, static_cast<LONG>(table.size())}) {
        com::Bstr text;
        CHECK_HR(control->get_ProfileDescription(index, text.Put()));
        CHECK_EQ(text.Text(),
                 index == 0 ? std::u16string(u"Custom Settings")
                            : com::U16(wm::ProfileDescription(table[static_cast<size_t>(index - 1)])));
    }
    CHECK_HR(wt::Disconnect(control.Get(), DIID__IVantrexObjEvents, cookie));
}

WT_TEST(WmvListings, MissingRuntimeListsNothingAndSaysWhy) {
    RecordingHost host;
    convctl::ConversionEngine engine(host);
    MissingRuntimeFactory factory;
    engine.SetFactory(&factory);
    StdoutCapture out;
    engine.ListWmvProfiles();
    engine.ListWmvCodecs(0);
    CHECK_EQ(out.Text(), std::string("Standard system profiles:\n"
                                     "ListProfiles: Failed to create profile manager!  hr=0x80004005\n"));
    CHECK(host.events.empty());
    CHECK_EQ(engine.ProfileDescription(1), std::u16string());
}

WT_TEST(WmvProfiles, NumbersCountFromOneAndStopAtTheCount) {
    convctl::MediaObjectFactory& factory = convctl::MediaObjectFactory::System();
    const auto& table = wm::SystemProfiles();
    const LONG count = static_cast<LONG>(table.size());
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(convctl::MapProfile(factory, 1, profile));
    CHECK_EQ(ProfileName(profile.Get()), com::U16(table.front().name));
    REQUIRE_HR(convctl::MapProfile(factory, count, profile));
    CHECK_EQ(ProfileName(profile.Get()), com::U16(table.back().name));

    for (LONG bad : {count + 1, LONG{0}, LONG{-5}}) {
        StdoutCapture out;
        CHECK_HR_EQ(convctl::MapProfile(factory, bad, profile), E_INVALIDARG);
        CHECK_EQ(out.Text(), "Invalid profile: " + std::to_string(bad) + "\n");
    }
}

WT_TEST(WmvCustomProfile, EmptyCodecsGiveTheRuntimesDefaultStreams) {
    convctl::WmvCustomProfile custom;
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(custom.Build(convctl::MediaObjectFactory::System(), profile));
    CHECK_EQ(ProfileName(profile.Get()), std::u16string(u"Custom Profile"));
    DWORD count = 0;
    CHECK_HR(profile->GetStreamCount(&count));
    REQUIRE(count == 2);

    const StreamFacts video = StreamOf(profile.Get(), 0);
    CHECK_EQ(video.number, 1);
    CHECK_EQ(video.name, std::u16string(u"Video Stream"));
    CHECK_EQ(video.connection, std::u16string(u"Video"));
    CHECK_EQ(video.bitRate, wm::VideoFormatBitRate());  // the new stream's own rate
    CHECK_EQ(VideoInfo(video).AvgTimePerFrame, 10000000 / 30);
    CHECK_EQ(video.quality, 80u);
    CHECK_EQ(video.keyFrameSpacing, 10 * 10000000LL);

    const StreamFacts audio = StreamOf(profile.Get(), 1);
    CHECK_EQ(audio.number, 2);
    CHECK(audio.name.empty());
    CHECK_EQ(Subtype(audio), std::string("{00000161-0000-0010-8000-00AA00389B71}"));
}

WT_TEST(WmvCustomProfile, ChosenCodecsUseTheirFirstFormatAtTheGivenSize) {
    convctl::WmvCustomProfile custom;
    custom.videoCodec = u"1,{31564D57-0000-0010-8000-00AA00389B71}";
    custom.audioCodec = u"1,{00000160-0000-0010-8000-00AA00389B71}";
    custom.width = 320;
    custom.height = 240;
    custom.frameRate = 25;
    custom.quality = 70;
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(custom.Build(convctl::MediaObjectFactory::System(), profile));

    const StreamFacts video = StreamOf(profile.Get(), 0);
    CHECK_EQ(Subtype(video), std::string("{31564D57-0000-0010-8000-00AA00389B71}"));
    CHECK_EQ(video.bitRate, 819200u);
    const VIDEOINFOHEADER& vih = VideoInfo(video);
    CHECK_EQ(vih.dwBitRate, 819200u);
    CHECK_EQ(vih.bmiHeader.biWidth, 320);
    CHECK_EQ(vih.bmiHeader.biHeight, 240);
    CHECK_EQ(vih.rcTarget.right, 320);
    CHECK_EQ(vih.rcSource.bottom, 240);
    CHECK_EQ(vih.AvgTimePerFrame, 400000);
    CHECK_EQ(video.quality, 70u);

    const StreamFacts audio = StreamOf(profile.Get(), 1);
    CHECK_EQ(audio.number, 2);
    CHECK_EQ(audio.name, std::u16string(u"Audio Stream"));
    CHECK_EQ(audio.connection, std::u16string(u"Audio"));
    CHECK_EQ(Subtype(audio), std::string("{00000160-0000-0010-8000-00AA00389B71}"));
    const WAVEFORMATEX& wfx = WaveFormat(audio);
    CHECK_EQ(audio.bitRate, wfx.nAvgBytesPerSec * 8);
    CHECK_EQ(audio.type[0].lSampleSize, wfx.nBlockAlign);
    CHECK_EQ(audio.type[0].cbFormat, 18u + wfx.cbSize);

    // The builder keeps its inputs: a later build without codecs is plain again.
    custom.videoCodec.clear();
    custom.audioCodec.clear();
    REQUIRE_HR(custom.Build(convctl::MediaObjectFactory::System(), profile));
    CHECK_EQ(Subtype(StreamOf(profile.Get(), 0)), std::string("{32564D57-0000-0010-8000-00AA00389B71}"));
}

WT_TEST(WmvCustomProfile, IdentifiersAreReadUpToTheFirstComma) {
    convctl::WmvCustomProfile custom;
    ComPtr<IWMProfile> profile;
    custom.videoCodec = u"1";  // no comma: the whole text is the number
    CHECK_HR(custom.Build(convctl::MediaObjectFactory::System(), profile));
    custom.videoCodec = u"7,{31564D57-0000-0010-8000-00AA00389B71}";  // no such codec
    CHECK_HR_EQ(custom.Build(convctl::MediaObjectFactory::System(), profile), E_INVALIDARG);
    custom.videoCodec = u"WMV1";
    CHECK_HR_EQ(custom.Build(convctl::MediaObjectFactory::System(), profile), E_INVALIDARG);
    custom.videoCodec.clear();
    custom.audioCodec = u",{00000160-0000-0010-8000-00AA00389B71}";
    CHECK_HR_EQ(custom.Build(convctl::MediaObjectFactory::System(), profile), E_INVALIDARG);
}
