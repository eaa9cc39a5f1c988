// The configuration interface of the MPEG encoder filter: its settings,
// its state text and speed, and the state notices to the caller's window.
// The filter derives from it and supplies the IUnknown methods.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/include/MpegEncoder.h"
#include "platform/mpeg/MpegPlan.h"
#include "platform/mpeg/MpegTiming.h"

namespace mpegenc {

// The state texts; static, so a pointer handed out stays valid.
constexpr const char kStateStopped[] = "Stopped";
constexpr const char kStateReady[] = "Ready";
constexpr const char kStateEncoding[] = "Encoding";
constexpr const char kStateFinished[] = "Finished";
constexpr const char kStateFailed[] = "Failed";

class MpegEncoderSettings : public IMpegEncoderConfig {
public:
    STDMETHODIMP SetNotifyWindow(HWND window) override;
    STDMETHODIMP GetNotifyWindow(HWND* window) override;
    STDMETHODIMP GetStateText(LPCSTR* text) override;
    STDMETHODIMP GetEncodeFps(LONG* framesPerSecond) override;
    STDMETHODIMP GetFramesEncoded(LONG* frames) override;
    STDMETHODIMP GetPreset(LONG* preset) override;
    STDMETHODIMP ClearOverrides() override;
    STDMETHODIMP LoadPresetDefaults() override;
    STDMETHODIMP SetPreset(LONG preset) override;
    STDMETHODIMP SetMpeg2Level(LONG level) override;
    STDMETHODIMP SetInputFrameRate(float framesPerSecond) override;
    STDMETHODIMP SetWidth(LONG width) override;
    STDMETHODIMP SetHeight(LONG height) override;
    STDMETHODIMP SetVideoBitRate(LONG kbps) override;
    STDMETHODIMP SetAudioBitRate(LONG kbps) override;
    STDMETHODIMP SetMpeg2Profile(LONG profile) override;
    STDMETHODIMP SetQuality(LONG quality) override;
    STDMETHODIMP SetVariableBitRate(boolean vbr) override;
    STDMETHODIMP SetVideoEnabled(boolean enabled) override;
    STDMETHODIMP SetAudioEnabled(boolean enabled) override;
    STDMETHODIMP SetFrameRate(float framesPerSecond) override;

protected:
    MpegEncoderSettings();
    virtual ~MpegEncoderSettings() = default;

    // True while the filter is stopped; settings change only then.
    virtual bool SettingsUnlocked() const = 0;

    Settings CurrentSettings() const;
    const char* StateText() const { return m_state.load(); }
    // Sets the state text and posts a notice when it changed.
    void SetState(const char* text);
    // Encoding speed, fed by the encoding thread.
    void ResetSpeed();
    void FrameEncoded();
    void StopSpeed();  // reads 0 until the next ResetSpeed
    // A paused encoder reads 0; on resuming the measure starts afresh.
    void HoldSpeed(bool hold);

private:
    template <class F>
    HRESULT Change(F&& change);

    mutable std::mutex m_lock;
    Settings m_settings;
    HWND m_notifyWindow = nullptr;
    std::atomic<const char*> m_state{kStateStopped};
    RateMeter m_meter;
    bool m_metering = false;
    bool m_held = false;
    LONG m_framesEncoded = 0;
};

}  // namespace mpegenc
