// The MPEG back end: one outside encoder and multiplexer filter that
// encodes both streams and writes the file.
#include "convctl/EngineMpeg.h"

#include <cstdio>

#include "convctl/ConversionEngine.h"
#include "convctl/FormatRules.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

namespace {

// The smallest picture side the encoder takes.
constexpr int kMpegMinSide = 16;

// The encoder's own constants for these two slots.
constexpr LONG kEncoderSlot10Value = 8;
constexpr LONG kEncoderSlot16Value = 4;

// A graph call that throws counts as failed.
HRESULT RenderToEncoder(ICaptureGraphBuilder2* builder, IPin* pin, IBaseFilter* encoder) {
    try {
        return builder->RenderStream(nullptr, nullptr, pin, nullptr, encoder);
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

LONG MpegPresetFor(LONG outputFormat) {
    switch (outputFormat) {
    case kFormatMpeg1: return 0;
    case kFormatMpeg2: return 2;
    case kFormatVcdPal: return 1;
    case kFormatVcdNtsc: return 5;
    case kFormatSvcdPal: return 3;
    case kFormatSvcdNtsc: return 6;
    case kFormatDvdPal: return 4;
    case kFormatDvdNtsc: return 7;
    default: return 0;
    }
}

HRESULT SendMpegEncoderValues(IMpegEncoderConfig* config, HWND notifyWindow, const MpegEncoderValues& v) {
    HRESULT hr = config->SetNotifyWindow(notifyWindow);
    hr |= config->SetPreset(v.preset);
    hr |= config->LoadPresetDefaults();
    hr |= config->ClearOverrides();
    hr |= config->SetAudioBitRate(v.audioBitRate);
    hr |= config->SetVideoBitRate(v.videoBitRate);
    hr |= config->SetInputFrameRate(v.frameRate);
    hr |= config->SetHeight(v.height);
    hr |= config->SetWidth(v.width);
    hr |= config->SetVideoEnabled(v.switchA);
    hr |= config->SetAudioEnabled(v.switchB);
    hr |= config->SetQuality(v.quality);
    hr |= config->SetMpeg2Level(kEncoderSlot10Value);
    hr |= config->SetVariableBitRate(v.vbr);
    hr |= config->SetFrameRate(v.frameRate);
    hr |= config->SetMpeg2Profile(kEncoderSlot16Value);
    return hr;
}

HRESULT ConversionEngine::ConfigureMpegEncoder() {
    if (!m_mpegEncoder) return E_POINTER;
    const HRESULT hr = m_mpegEncoder.As(IID_IMpegEncoderConfig, m_mpegConfig);
    if (FAILED(hr)) return hr;
    MpegEncoderValues values;
    values.preset = MpegPresetFor(m_outputFormat);
    values.frameRate = m_outputFrameRate;
    values.width = m_outputWidth;
    values.height = m_outputHeight;
    values.videoBitRate = m_videoBitRate;
    values.audioBitRate = m_audioBitRate;
    values.quality = m_quality;
    values.vbr = m_useVbr;
    values.switchA = m_encoderSwitchA;
    values.switchB = m_encoderSwitchB;
    return SendMpegEncoderValues(m_mpegConfig.Get(), m_notifyWnd, values);
}

// Every failure tears down and reports, so the host never marks a row
// done that has no valid file.
HRESULT ConversionEngine::AttachMpegBackEnd() {
    HRESULT hr = m_factory->CreateMpegEncoder(m_mpegEncoder.Put());
    if (FAILED(hr) || !m_mpegEncoder)
        return FailStart(FAILED(hr) ? hr : E_POINTER, "The MPEG encoder could not be created");

    ComPtr<IFileSinkFilter> sink;
    hr = m_mpegEncoder.As(IID_IFileSinkFilter, sink);
    if (SUCCEEDED(hr)) hr = sink->SetFileName(com::W(m_outputFile), nullptr);
    if (FAILED(hr)) return FailStart(hr, "The MPEG output file could not be set");
    hr = m_graph->AddFilter(m_mpegEncoder.Get(), L"MPEG Mux Filter");
    if (FAILED(hr)) return FailStart(hr, "The MPEG encoder could not be added to the graph");
    hr = m_mpegEncoder.As(IID_IMediaSeeking, m_writerSeeking);
    if (SUCCEEDED(hr)) hr = ConfigureMpegEncoder();
    if (FAILED(hr)) return FailStart(hr, "The MPEG encoder could not be configured");

    ComPtr<IPin> videoPin, audioPin;
    m_renderEngine->GetGroupOutputPin(0, videoPin.Put());
    m_renderEngine->GetGroupOutputPin(1, audioPin.Put());
    if (!videoPin || !audioPin) return FailStart(E_FAIL, "The source file could not be rendered");

    if (m_preview) {
        // Writer mode; a failed branch has already torn down and reported.
        hr = BuildPreviewBranch(videoPin.Get(), audioPin.Get(), m_mpegEncoder.Get());
        if (FAILED(hr)) return hr;
    } else {
        hr = RenderToEncoder(m_builder.Get(), videoPin.Get(), m_mpegEncoder.Get());
        // MPEG pictures are built of 16 x 16 blocks: a smaller source kept
        // at its size is the likely cause, and one the user can mend.
        if (FAILED(hr) && (m_groupWidth < kMpegMinSide || m_groupHeight < kMpegMinSide)) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "The MPEG encoder cannot take pictures of %ld x %ld pixels; choose an output size of at "
                          "least %d x %d",
                          static_cast<long>(m_groupWidth), static_cast<long>(m_groupHeight), kMpegMinSide,
                          kMpegMinSide);
            return FailStart(hr, text);
        }
        if (FAILED(hr)) return FailStart(hr, "The video could not be connected to the MPEG encoder");
    }
    hr = RenderToEncoder(m_builder.Get(), audioPin.Get(), m_mpegEncoder.Get());
    if (FAILED(hr)) return FailStart(hr, "The audio could not be connected to the MPEG encoder");
    return S_OK;
}

void ConversionEngine::OnEncoderStateNotice() {
    if (!m_mpegConfig) return;
    LPCSTR text = nullptr;
    if (FAILED(m_mpegConfig->GetStateText(&text)) || !text) return;
    m_host.Fire_StateChange(0, com::FromAnsi(text));
}

LONG ConversionEngine::EncodeFps() const {
    LONG fps = 0;
    if (m_mpegConfig && FAILED(m_mpegConfig->GetEncodeFps(&fps))) fps = 0;
    return fps;
}

}  // namespace convctl
