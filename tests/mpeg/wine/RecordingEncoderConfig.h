// A configuration interface that records every call as "Name(argument)"
// and answers one chosen call with a chosen HRESULT.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/com/ComObject.h"
#include "platform/include/MpegEncoder.h"

namespace mpegtest {

class RecordingEncoderConfig final : public com::ComObjectRoot, public IMpegEncoderConfig {
public:
    std::vector<std::string> calls;
    std::string failingCall;  // e.g. "SetWidth"
    HRESULT failure = E_INVALIDARG;
    LPCSTR stateText = "Encoding";
    LONG fps = 0;

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IMpegEncoderConfig)
    COM_END_QI()

    STDMETHODIMP SetNotifyWindow(HWND window) override {
        return Record("SetNotifyWindow", window ? "window" : "null");
    }
    STDMETHODIMP GetNotifyWindow(HWND* window) override {
        *window = nullptr;
        return Record("GetNotifyWindow", "");
    }
    STDMETHODIMP GetStateText(LPCSTR* text) override {
        *text = stateText;
        return Record("GetStateText", "");
    }
    STDMETHODIMP GetEncodeFps(LONG* out) override {
        *out = fps;
        return S_OK;  // polled; not recorded
    }
    STDMETHODIMP GetFramesEncoded(LONG* frames) override {
        *frames = 0;
        return Record("GetFramesEncoded", "");
    }
    STDMETHODIMP GetPreset(LONG* preset) override {
        *preset = 0;
        return Record("GetPreset", "");
    }
    STDMETHODIMP ClearOverrides() override { return Record("ClearOverrides", ""); }
    STDMETHODIMP LoadPresetDefaults() override { return Record("LoadPresetDefaults", ""); }
    STDMETHODIMP SetPreset(LONG v) override { return Record("SetPreset", std::to_string(v)); }
    STDMETHODIMP SetMpeg2Level(LONG v) override { return Record("SetMpeg2Level", std::to_string(v)); }
    STDMETHODIMP SetInputFrameRate(float v) override { return Record("SetInputFrameRate", Float(v)); }
    STDMETHODIMP SetWidth(LONG v) override { return Record("SetWidth", std::to_string(v)); }
    STDMETHODIMP SetHeight(LONG v) override { return Record("SetHeight", std::to_string(v)); }
    STDMETHODIMP SetVideoBitRate(LONG v) override { return Record("SetVideoBitRate", std::to_string(v)); }
    STDMETHODIMP SetAudioBitRate(LONG v) override { return Record("SetAudioBitRate", std::to_string(v)); }
    STDMETHODIMP SetMpeg2Profile(LONG v) override { return Record("SetMpeg2Profile", std::to_string(v)); }
    STDMETHODIMP SetQuality(LONG v) override { return Record("SetQuality", std::to_string(v)); }
    STDMETHODIMP SetVariableBitRate(boolean v) override { return Record("SetVariableBitRate", std::to_string(v)); }
    STDMETHODIMP SetVideoEnabled(boolean v) override { return Record("SetVideoEnabled", std::to_string(v)); }
    STDMETHODIMP SetAudioEnabled(boolean v) override { return Record("SetAudioEnabled", std::to_string(v)); }
    STDMETHODIMP SetFrameRate(float v) override { return Record("SetFrameRate", Float(v)); }

private:
    ~RecordingEncoderConfig() override = default;

    // Floats as their bit pattern, so that 29.97 is told from 29.9700298.
    static std::string Float(float v) {
        unsigned bits = 0;
        static_assert(sizeof bits == sizeof v);
        __builtin_memcpy(&bits, &v, sizeof bits);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08X", bits);
        return buf;
    }
    HRESULT Record(const char* name, const std::string& arg) {
        calls.push_back(std::string(name) + "(" + arg + ")");
        return failingCall == name ? failure : S_OK;
    }
};

}  // namespace mpegtest
