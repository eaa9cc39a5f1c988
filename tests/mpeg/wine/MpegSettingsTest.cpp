// The encoder's configuration interface on its own: what it accepts, when
// it refuses, its state notices and its speed reading.
#include <windows.h>
#include <dshow.h>

#include <cstring>

#include "framework/com/ComObject.h"
#include "platform/mpeg/MpegEncoderSettings.h"
#include "tests/mpeg/wine/TestEncoderSettings.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using mpegtest::TestSettings;

namespace {

struct Holder {
    TestSettings* s = new TestSettings();
    ~Holder() { CHECK_EQ(s->Release(), 0u); }
};

}  // namespace

WT_TEST(MpegSettings, ValuesInRangeAreKeptAndOthersRefused) {
    Holder h;
    TestSettings& s = *h.s;
    CHECK_HR(s.SetPreset(7));
    CHECK_HR(s.SetWidth(720));
    CHECK_HR(s.SetHeight(0));
    CHECK_HR(s.SetFrameRate(29.97f));
    CHECK_HR(s.SetInputFrameRate(0.0f));
    CHECK_HR(s.SetVideoBitRate(4000));
    CHECK_HR(s.SetAudioBitRate(0));
    CHECK_HR(s.SetQuality(100));
    CHECK_HR(s.SetVariableBitRate(0));
    CHECK_HR(s.SetMpeg2Level(10));
    CHECK_HR(s.SetMpeg2Profile(4));
    mpegenc::Settings cur = s.Current();
    CHECK_EQ(cur.preset, 7);
    CHECK_EQ(cur.width, 720);
    CHECK_EQ(cur.frameRate, 29.97f);
    CHECK_EQ(cur.videoKbps, 4000);
    CHECK_EQ(cur.quality, 100);
    CHECK(!cur.vbr);
    CHECK_EQ(cur.mpeg2Level, 10);
    LONG preset = -1;
    CHECK_HR(s.GetPreset(&preset));
    CHECK_EQ(preset, 7);

    CHECK_HR_EQ(s.SetPreset(8), E_INVALIDARG);
    CHECK_HR_EQ(s.SetPreset(-1), E_INVALIDARG);
    CHECK_HR_EQ(s.SetWidth(-2), E_INVALIDARG);
    CHECK_HR_EQ(s.SetHeight(20000), E_INVALIDARG);
    CHECK_HR_EQ(s.SetVideoBitRate(-1), E_INVALIDARG);
    CHECK_HR_EQ(s.SetAudioBitRate(-128), E_INVALIDARG);
    CHECK_HR_EQ(s.SetQuality(101), E_INVALIDARG);
    CHECK_HR_EQ(s.SetFrameRate(-25.0f), E_INVALIDARG);
    float nan;
    const unsigned nanBits = 0x7fc00000u;
    std::memcpy(&nan, &nanBits, sizeof nan);
    CHECK_HR_EQ(s.SetInputFrameRate(nan), E_INVALIDARG);
    CHECK_HR_EQ(s.SetMpeg2Level(5), E_INVALIDARG);
    CHECK_HR_EQ(s.SetMpeg2Profile(1), E_INVALIDARG);
    // Refused values leave the settings as they were.
    CHECK_EQ(s.Current().preset, 7);
    CHECK_EQ(s.Current().width, 720);

    // The two preparation calls bring everything back to the preset's start.
    CHECK_HR(s.LoadPresetDefaults());
    CHECK_HR(s.ClearOverrides());
    cur = s.Current();
    CHECK_EQ(cur.preset, 7);
    CHECK_EQ(cur.width, 0);
    CHECK_EQ(cur.videoKbps, 0);
    CHECK_EQ(cur.frameRate, 0.0f);
    CHECK_EQ(cur.quality, 90);
    CHECK(cur.vbr);
    CHECK_EQ(cur.mpeg2Level, 8);
}

WT_TEST(MpegSettings, SettingsAreLockedWhileTheFilterRuns) {
    Holder h;
    TestSettings& s = *h.s;
    s.unlocked = false;
    CHECK_HR_EQ(s.SetPreset(1), VFW_E_WRONG_STATE);
    CHECK_HR_EQ(s.SetWidth(352), VFW_E_WRONG_STATE);
    CHECK_HR_EQ(s.ClearOverrides(), VFW_E_WRONG_STATE);
    CHECK_HR_EQ(s.SetVideoEnabled(0), VFW_E_WRONG_STATE);
    CHECK_EQ(s.Current().preset, 0);
    // The window and the readings are not settings.
    CHECK_HR(s.SetNotifyWindow(nullptr));
    LONG fps = -1;
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK_EQ(fps, 0);
    CHECK_HR_EQ(s.GetEncodeFps(nullptr), E_POINTER);
    CHECK_HR_EQ(s.GetStateText(nullptr), E_POINTER);
}

WT_TEST(MpegSettings, StateChangesPostOneNoticeEach) {
    Holder h;
    TestSettings& s = *h.s;
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    REQUIRE(window != nullptr);
    CHECK_HR(s.SetNotifyWindow(window));
    HWND back = nullptr;
    CHECK_HR(s.GetNotifyWindow(&back));
    CHECK_EQ(back, window);

    LPCSTR text = nullptr;
    CHECK_HR(s.GetStateText(&text));
    CHECK_EQ(std::string(text), std::string("Stopped"));
    s.SetState(mpegenc::kStateEncoding);
    s.SetState(mpegenc::kStateEncoding);  // no change, no notice
    s.SetState(mpegenc::kStateFinished);
    int notices = 0;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_APP + 30) {
            CHECK_EQ(msg.wParam, static_cast<WPARAM>(50));
            CHECK_EQ(msg.lParam, static_cast<LPARAM>(0));
            ++notices;
        }
    }
    CHECK_EQ(notices, 2);
    CHECK_HR(s.GetStateText(&text));
    CHECK_EQ(std::string(text), std::string("Finished"));
    DestroyWindow(window);
}

WT_TEST(MpegSettings, SpeedReadsWhileFramesAreEncodedOnly) {
    Holder h;
    TestSettings& s = *h.s;
    LONG fps = -1, frames = -1;
    s.ResetSpeed();
    for (int i = 0; i < 5; ++i) {
        s.FrameEncoded();
        Sleep(20);
    }
    s.FrameEncoded();
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK(fps > 0 && fps <= 60);
    CHECK_HR(s.GetFramesEncoded(&frames));
    CHECK_EQ(frames, 6);
    s.StopSpeed();
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK_EQ(fps, 0);
    CHECK_HR(s.GetFramesEncoded(&frames));
    CHECK_EQ(frames, 6);  // the count stays for the caller to read
}

WT_TEST(MpegSettings, APausedEncoderReadsNoSpeed) {
    Holder h;
    TestSettings& s = *h.s;
    s.ResetSpeed();
    for (int i = 0; i < 4; ++i) {
        s.FrameEncoded();
        Sleep(10);
    }
    LONG fps = 0;
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK(fps > 0);
    s.HoldSpeed(true);
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK_EQ(fps, 0);
    s.HoldSpeed(false);
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK_EQ(fps, 0);  // no frame since the pause yet
    s.FrameEncoded();
    Sleep(10);
    s.FrameEncoded();
    CHECK_HR(s.GetEncodeFps(&fps));
    CHECK(fps > 0);
    LONG frames = 0;
    CHECK_HR(s.GetFramesEncoded(&frames));
    CHECK_EQ(frames, 6);
}
