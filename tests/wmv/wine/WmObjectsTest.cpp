// The Windows Media stand-in of mediaplat, reached as callers reach it:
// through the exported WMCreateProfileManager.
#include <windows.h>

#include <vector>

#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "platform/include/WindowsMedia.h"
#include "platform/wm/WmMediaType.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;

namespace {

const DWORD kSystemProfileCount = 10;

using CreateFn = HRESULT(WINAPI*)(IWMProfileManager**);

CreateFn CreateFunction() {
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string dir = com::U16(path);
    dir.resize(dir.find_last_of(u'\\') + 1);
    const HMODULE lib = LoadLibraryW(com::W(dir + u"mediaplat.dll"));
    REQUIRE(lib != nullptr);
    auto fn = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(lib, "WMCreateProfileManager")));
    REQUIRE(fn != nullptr);
    return fn;
}

ComPtr<IWMProfileManager> NewManager() {
    ComPtr<IWMProfileManager> manager;
    REQUIRE_HR(CreateFunction()(manager.Put()));
    REQUIRE(manager);
    return manager;
}

std::u16string ProfileName(IWMProfile* profile) {
    DWORD size = 0;
    CHECK_HR(profile->GetName(nullptr, &size));
    std::vector<WCHAR> buffer(size);
    CHECK_HR(profile->GetName(buffer.data(), &size));
    return com::U16(buffer.data());
}

std::u16string StreamName(IWMStreamConfig* config) {
    WORD size = 0;
    CHECK_HR(config->GetStreamName(nullptr, &size));
    std::vector<WCHAR> buffer(size);
    CHECK_HR(config->GetStreamName(buffer.data(), &size));
    return com::U16(buffer.data());
}

// The stream's media type, read the way callers do: size first.
std::vector<BYTE> MediaTypeOf(IWMStreamConfig* config) {
    ComPtr<IWMMediaProps> props;
    CHECK_HR(config->QueryInterface(IID_IWMMediaProps, props.PutVoid()));
    DWORD size = 0;
    CHECK_HR(props->GetMediaType(nullptr, &size));
    std::vector<BYTE> buffer(size);
    DWORD shortSize = size - 1;
    CHECK_HR_EQ(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &shortSize), ASF_E_BUFFERTOOSMALL);
    CHECK_HR(props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data()), &size));
    return buffer;
}

const WM_MEDIA_TYPE& Header(const std::vector<BYTE>& buffer) {
    return *reinterpret_cast<const WM_MEDIA_TYPE*>(buffer.data());
}

}  // namespace

WT_TEST(WmProfileManager, SystemProfilesAreNumberedAsVersion7) {
    ComPtr<IWMProfileManager> manager = NewManager();
    ComPtr<IWMProfileManager2> manager2;
    REQUIRE_HR(manager.As(IID_IWMProfileManager2, manager2));
    WMT_VERSION version{};
    CHECK_HR(manager2->GetSystemProfileVersion(&version));
    CHECK_EQ(version, WMT_VER_7_0);
    CHECK_HR_EQ(manager2->SetSystemProfileVersion(WMT_VER_8_0), E_INVALIDARG);
    CHECK_HR(manager2->SetSystemProfileVersion(WMT_VER_7_0));

    DWORD count = 0;
    CHECK_HR(manager->GetSystemProfileCount(&count));
    CHECK_EQ(count, kSystemProfileCount);
    ComPtr<IWMProfile> profile;
    CHECK_HR_EQ(manager->LoadSystemProfile(count, profile.Put()), E_INVALIDARG);
    CHECK(!profile);

    // Every profile has one video and one audio stream, numbered 1 and 2.
    for (DWORD i = 0; i < count; ++i) {
        REQUIRE_HR(manager->LoadSystemProfile(i, profile.Put()));
        CHECK(!ProfileName(profile.Get()).empty());
        DWORD streams = 0;
        CHECK_HR(profile->GetStreamCount(&streams));
        CHECK_EQ(streams, 2u);
        ComPtr<IWMStreamConfig> video, audio;
        CHECK_HR(profile->GetStreamByNumber(1, video.Put()));
        CHECK_HR(profile->GetStreamByNumber(2, audio.Put()));
        GUID type{};
        if (video) CHECK(SUCCEEDED(video->GetStreamType(&type)) && IsEqualGUID(type, WMMEDIATYPE_Video));
        if (audio) CHECK(SUCCEEDED(audio->GetStreamType(&type)) && IsEqualGUID(type, WMMEDIATYPE_Audio));
    }
    profile = nullptr;
    manager2 = nullptr;
    CHECK_EQ(manager.Detach()->Release(), 0u);
}

WT_TEST(WmProfileManager, FirstSystemProfileDescribesItsStreams) {
    ComPtr<IWMProfileManager> manager = NewManager();
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(manager->LoadSystemProfile(0, profile.Put()));
    WMT_VERSION version{};
    CHECK_HR(profile->GetVersion(&version));
    CHECK_EQ(version, WMT_VER_7_0);

    // Name: size with terminator first, a short buffer is refused.
    DWORD size = 0;
    CHECK_HR(profile->GetName(nullptr, &size));
    const std::u16string name = u"Modem streaming (56 Kbps)";
    CHECK_EQ(size, name.size() + 1);
    std::vector<WCHAR> buffer(size);
    DWORD shortSize = 3;
    CHECK_HR_EQ(profile->GetName(buffer.data(), &shortSize), ASF_E_BUFFERTOOSMALL);
    CHECK_EQ(shortSize, size);
    CHECK_EQ(ProfileName(profile.Get()), name);

    ComPtr<IWMStreamConfig> video;
    REQUIRE_HR(profile->GetStream(0, video.Put()));
    CHECK_EQ(StreamName(video.Get()), std::u16string(u"Video Stream"));
    DWORD bitRate = 0;
    CHECK_HR(video->GetBitrate(&bitRate));
    CHECK_EQ(bitRate, 32000u);
    const std::vector<BYTE> vt = MediaTypeOf(video.Get());
    CHECK_EQ(Header(vt).subtype, com::SubtypeFromFourCC(wm::FourCC('W', 'M', 'V', '2')));
    REQUIRE(IsEqualGUID(Header(vt).formattype, FORMAT_VideoInfo) && Header(vt).cbFormat >= sizeof(VIDEOINFOHEADER));
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(Header(vt).pbFormat);
    CHECK_EQ(vih->bmiHeader.biWidth, 160);
    CHECK_EQ(vih->bmiHeader.biHeight, 120);
    CHECK_EQ(vih->AvgTimePerFrame, 10000000 / 15);
    ComPtr<IWMVideoMediaProps> videoProps;
    REQUIRE_HR(video->QueryInterface(IID_IWMVideoMediaProps, videoProps.PutVoid()));
    LONGLONG spacing = 0;
    CHECK_HR(videoProps->GetMaxKeyFrameSpacing(&spacing));
    CHECK_EQ(spacing, 8 * 10000000LL);

    ComPtr<IWMStreamConfig> audio;
    REQUIRE_HR(profile->GetStream(1, audio.Put()));
    ComPtr<IWMVideoMediaProps> none;
    CHECK_HR_EQ(audio->QueryInterface(IID_IWMVideoMediaProps, none.PutVoid()), E_NOINTERFACE);
    const std::vector<BYTE> at = MediaTypeOf(audio.Get());
    REQUIRE(IsEqualGUID(Header(at).formattype, FORMAT_WaveFormatEx));
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(Header(at).pbFormat);
    CHECK_EQ(wfx->wFormatTag, 0x161);
    CHECK_EQ(wfx->nSamplesPerSec, 16000u);
    CHECK_EQ(wfx->nChannels, 1);
    CHECK_EQ(wfx->nAvgBytesPerSec * 8, 24000u);
    CHECK_EQ(Header(at).cbFormat, 18u + wfx->cbSize);
}

WT_TEST(WmProfile, StreamsAreCopiesUntilReconfigured) {
    ComPtr<IWMProfileManager> manager = NewManager();
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(manager->CreateEmptyProfile(WMT_VER_7_0, profile.Put()));
    CHECK_HR_EQ(manager->CreateEmptyProfile(static_cast<WMT_VERSION>(0x50000), profile.Put()), E_INVALIDARG);
    REQUIRE_HR(manager->CreateEmptyProfile(WMT_VER_7_0, profile.Put()));

    ComPtr<IWMStreamConfig> video, audio, other;
    REQUIRE_HR(profile->CreateNewStream(WMMEDIATYPE_Video, video.Put()));
    CHECK_HR_EQ(profile->CreateNewStream(MEDIATYPE_Text, other.Put()), E_INVALIDARG);
    CHECK_HR(video->SetStreamNumber(1));
    CHECK_HR(video->SetStreamName(L"Video Stream"));
    CHECK_HR(profile->AddStream(video.Get()));
    CHECK_HR_EQ(profile->AddStream(video.Get()), NS_E_INVALID_STREAM);  // number taken

    // A new stream is numbered already, so it can be added as it comes.
    REQUIRE_HR(profile->CreateNewStream(WMMEDIATYPE_Audio, audio.Put()));
    WORD number = 0;
    CHECK_HR(audio->GetStreamNumber(&number));
    CHECK_EQ(number, 2);
    CHECK_HR(profile->AddStream(audio.Get()));

    // Changing the configuration after AddStream leaves the profile alone...
    CHECK_HR(video->SetBitrate(300000));
    ComPtr<IWMStreamConfig> stored;
    REQUIRE_HR(profile->GetStreamByNumber(1, stored.Put()));
    DWORD bitRate = 0;
    CHECK_HR(stored->GetBitrate(&bitRate));
    CHECK(bitRate != 300000u);
    // ...until it is reconfigured.
    CHECK_HR(profile->ReconfigStream(video.Get()));
    REQUIRE_HR(profile->GetStreamByNumber(1, stored.Put()));
    CHECK_HR(stored->GetBitrate(&bitRate));
    CHECK_EQ(bitRate, 300000u);
    CHECK_EQ(StreamName(stored.Get()), std::u16string(u"Video Stream"));

    CHECK_HR(profile->RemoveStreamByNumber(1));
    CHECK_HR_EQ(profile->RemoveStreamByNumber(1), NS_E_INVALID_STREAM);
    DWORD count = 0;
    CHECK_HR(profile->GetStreamCount(&count));
    CHECK_EQ(count, 1u);
}

WT_TEST(WmStreamConfig, RefusesValuesOutsideTheirRange) {
    ComPtr<IWMProfileManager> manager = NewManager();
    ComPtr<IWMProfile> profile;
    REQUIRE_HR(manager->CreateEmptyProfile(WMT_VER_7_0, profile.Put()));
    ComPtr<IWMStreamConfig> video;
    REQUIRE_HR(profile->CreateNewStream(WMMEDIATYPE_Video, video.Put()));
    CHECK_HR_EQ(video->SetStreamNumber(0), NS_E_INVALID_STREAM);
    CHECK_HR_EQ(video->SetStreamNumber(64), NS_E_INVALID_STREAM);
    ComPtr<IWMVideoMediaProps> props;
    REQUIRE_HR(video->QueryInterface(IID_IWMVideoMediaProps, props.PutVoid()));
    CHECK_HR(props->SetQuality(100));
    CHECK_HR_EQ(props->SetQuality(101), E_INVALIDARG);

    // A video stream takes only a whole video media type.
    WAVEFORMATEX wfx{};
    WM_MEDIA_TYPE audioType{};
    audioType.majortype = WMMEDIATYPE_Audio;
    audioType.formattype = FORMAT_WaveFormatEx;
    audioType.cbFormat = 18;
    audioType.pbFormat = reinterpret_cast<BYTE*>(&wfx);
    CHECK_HR_EQ(props->SetMediaType(&audioType), E_INVALIDARG);
    VIDEOINFOHEADER vih{};
    WM_MEDIA_TYPE videoType{};
    videoType.majortype = WMMEDIATYPE_Video;
    videoType.formattype = FORMAT_VideoInfo;
    videoType.cbFormat = sizeof vih - 1;
    videoType.pbFormat = reinterpret_cast<BYTE*>(&vih);
    CHECK_HR_EQ(props->SetMediaType(&videoType), E_INVALIDARG);
    videoType.cbFormat = sizeof vih;
    CHECK_HR(props->SetMediaType(&videoType));
}

WT_TEST(WmCodecInfo, ListsCodecsWithTheirFormats) {
    ComPtr<IWMProfileManager> manager = NewManager();
    ComPtr<IWMCodecInfo3> info;
    REQUIRE_HR(manager.As(IID_IWMCodecInfo3, info));
    ComPtr<IWMCodecInfo2> info2;
    CHECK_HR(manager.As(IID_IWMCodecInfo2, info2));

    DWORD videoCount = 0, audioCount = 0, count = 0;
    CHECK_HR(info->GetCodecInfoCount(WMMEDIATYPE_Video, &videoCount));
    CHECK_HR(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &audioCount));
    CHECK_EQ(videoCount, 2u);
    CHECK_EQ(audioCount, 2u);
    CHECK_HR_EQ(info->GetCodecInfoCount(MEDIATYPE_Text, &count), E_INVALIDARG);
    CHECK_HR_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Video, videoCount, &count), E_INVALIDARG);

    DWORD size = 0;
    CHECK_HR(info->GetCodecName(WMMEDIATYPE_Audio, 0, nullptr, &size));
    std::vector<WCHAR> name(size);
    CHECK_HR(info->GetCodecName(WMMEDIATYPE_Audio, 0, name.data(), &size));
    CHECK(com::Utf8(name.data()).rfind("WMA2", 0) == 0);

    // The first audio format of the first codec: 128 Kbps, 44.1 kHz stereo.
    ComPtr<IWMStreamConfig> config;
    REQUIRE_HR(info->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, config.Put()));
    const std::vector<BYTE> at = MediaTypeOf(config.Get());
    CHECK_EQ(Header(at).subtype, com::SubtypeFromFourCC(0x161));
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(Header(at).pbFormat);
    CHECK_EQ(wfx->nSamplesPerSec, 44100u);
    CHECK_EQ(wfx->nAvgBytesPerSec, 16000u);
    CHECK_EQ(Header(at).lSampleSize, wfx->nBlockAlign);
    DWORD formats = 0;
    CHECK_HR(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &formats));
    CHECK_HR_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, 0, formats, config.Put()), E_INVALIDARG);

    size = 0;
    CHECK_HR(info->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, config.Put(), nullptr, &size));
    std::vector<WCHAR> desc(size);
    CHECK_HR(info->GetCodecFormatDesc(WMMEDIATYPE_Audio, 0, 0, nullptr, desc.data(), &size));
    CHECK_EQ(com::Utf8(desc.data()), std::string("128 Kbps, 44.1 kHz, stereo"));

    // One-pass constant-rate codecs only.
    WMT_ATTR_DATATYPE type{};
    BOOL vbr = TRUE;
    size = sizeof vbr;
    CHECK_HR(info->GetCodecProp(WMMEDIATYPE_Video, 0, L"_ISVBRSUPPORTED", &type, reinterpret_cast<BYTE*>(&vbr),
                                &size));
    CHECK_EQ(type, WMT_TYPE_BOOL);
    CHECK_EQ(vbr, FALSE);
    vbr = TRUE;
    CHECK_HR_EQ(info->SetCodecEnumerationSetting(WMMEDIATYPE_Video, 0, g_wszVBREnabled, WMT_TYPE_BOOL,
                                                 reinterpret_cast<BYTE*>(&vbr), sizeof vbr),
                E_INVALIDARG);
    DWORD passes = 0;
    size = sizeof passes;
    CHECK_HR(info->GetCodecEnumerationSetting(WMMEDIATYPE_Audio, 0, g_wszNumPasses, &type,
                                              reinterpret_cast<BYTE*>(&passes), &size));
    CHECK_EQ(passes, 1u);
}
