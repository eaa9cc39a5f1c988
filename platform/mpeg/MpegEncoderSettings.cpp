#include "platform/mpeg/MpegEncoderSettings.h"

#include <dshow.h>

#include <cmath>

namespace mpegenc {

namespace {

constexpr LONG kMaxSide = 16383;
constexpr LONG kMaxKbps = 100000;
constexpr float kMaxFrameRate = 1000.0f;

bool ValidRate(float fps) { return std::isfinite(fps) && fps >= 0.0f && fps <= kMaxFrameRate; }

}  // namespace

MpegEncoderSettings::MpegEncoderSettings() { mpegenc::LoadPresetDefaults(m_settings); }

template <class F>
HRESULT MpegEncoderSettings::Change(F&& change) {
    if (!SettingsUnlocked()) return VFW_E_WRONG_STATE;
    std::lock_guard<std::mutex> lock(m_lock);
    change(m_settings);
    return S_OK;
}

Settings MpegEncoderSettings::CurrentSettings() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings;
}

STDMETHODIMP MpegEncoderSettings::SetNotifyWindow(HWND window) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_notifyWindow = window;
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::GetNotifyWindow(HWND* window) {
    if (!window) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *window = m_notifyWindow;
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::GetStateText(LPCSTR* text) {
    if (!text) return E_POINTER;
    *text = m_state.load();
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::GetEncodeFps(LONG* framesPerSecond) {
    if (!framesPerSecond) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *framesPerSecond = m_metering && !m_held ? m_meter.FramesPerSecond(GetTickCount64()) : 0;
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::GetFramesEncoded(LONG* frames) {
    if (!frames) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *frames = m_framesEncoded;
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::GetPreset(LONG* preset) {
    if (!preset) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *preset = m_settings.preset;
    return S_OK;
}

STDMETHODIMP MpegEncoderSettings::ClearOverrides() {
    return Change([](Settings& s) { mpegenc::ClearOverrides(s); });
}

STDMETHODIMP MpegEncoderSettings::LoadPresetDefaults() {
    return Change([](Settings& s) { mpegenc::LoadPresetDefaults(s); });
}

STDMETHODIMP MpegEncoderSettings::SetPreset(LONG preset) {
    if (preset < 0 || preset >= kPresetCount) return E_INVALIDARG;
    return Change([&](Settings& s) { s.preset = preset; });
}

STDMETHODIMP MpegEncoderSettings::SetMpeg2Level(LONG level) {
    if (level != kLevelHigh && level != kLevelHigh1440 && level != kLevelMain && level != kLevelLow)
        return E_INVALIDARG;
    return Change([&](Settings& s) { s.mpeg2Level = level; });
}

STDMETHODIMP MpegEncoderSettings::SetMpeg2Profile(LONG profile) {
    if (profile != kProfileMain) return E_INVALIDARG;
    return Change([&](Settings& s) { s.mpeg2Profile = profile; });
}

STDMETHODIMP MpegEncoderSettings::SetInputFrameRate(float fps) {
    if (!ValidRate(fps)) return E_INVALIDARG;
    return Change([&](Settings& s) { s.inputFrameRate = fps; });
}

STDMETHODIMP MpegEncoderSettings::SetFrameRate(float fps) {
    if (!ValidRate(fps)) return E_INVALIDARG;
    return Change([&](Settings& s) { s.frameRate = fps; });
}

STDMETHODIMP MpegEncoderSettings::SetWidth(LONG width) {
    if (width < 0 || width > kMaxSide) return E_INVALIDARG;
    return Change([&](Settings& s) { s.width = width; });
}

STDMETHODIMP MpegEncoderSettings::SetHeight(LONG height) {
    if (height < 0 || height > kMaxSide) return E_INVALIDARG;
    return Change([&](Settings& s) { s.height = height; });
}

STDMETHODIMP MpegEncoderSettings::SetVideoBitRate(LONG kbps) {
    if (kbps < 0 || kbps > kMaxKbps) return E_INVALIDARG;
    return Change([&](Settings& s) { s.videoKbps = kbps; });
}

STDMETHODIMP MpegEncoderSettings::SetAudioBitRate(LONG kbps) {
    if (kbps < 0 || kbps > kMaxKbps) return E_INVALIDARG;
    return Change([&](Settings& s) { s.audioKbps = kbps; });
}

STDMETHODIMP MpegEncoderSettings::SetQuality(LONG quality) {
    if (quality < 0 || quality > 100) return E_INVALIDARG;
    return Change([&](Settings& s) { s.quality = quality; });
}

STDMETHODIMP MpegEncoderSettings::SetVariableBitRate(boolean vbr) {
    return Change([&](Settings& s) { s.vbr = vbr != 0; });
}

STDMETHODIMP MpegEncoderSettings::SetVideoEnabled(boolean enabled) {
    return Change([&](Settings& s) { s.videoEnabled = enabled != 0; });
}

STDMETHODIMP MpegEncoderSettings::SetAudioEnabled(boolean enabled) {
    return Change([&](Settings& s) { s.audioEnabled = enabled != 0; });
}

void MpegEncoderSettings::SetState(const char* text) {
    if (m_state.exchange(text) == text) return;
    HWND window;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        window = m_notifyWindow;
    }
    if (window) PostMessageW(window, MPEGENC_STATE_MESSAGE, MPEGENC_STATE_NOTICE, 0);
}

void MpegEncoderSettings::ResetSpeed() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_meter.Reset();
    m_metering = true;
    m_held = false;
    m_framesEncoded = 0;
}

void MpegEncoderSettings::HoldSpeed(bool hold) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_held && !hold) m_meter.Reset();
    m_held = hold;
}

void MpegEncoderSettings::FrameEncoded() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_meter.FrameDone(GetTickCount64());
    ++m_framesEncoded;
}

void MpegEncoderSettings::StopSpeed() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_metering = false;
}

}  // namespace mpegenc
