// The one object behind the control that holds all conversion state. The
// control forwards nearly every automation member here.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "convctl/EngineHost.h"

namespace convctl {

class ConversionEngine {
public:
    explicit ConversionEngine(EngineHost& host);
    ConversionEngine(const ConversionEngine&) = delete;
    ConversionEngine& operator=(const ConversionEngine&) = delete;
    ~ConversionEngine();

    // Conversion lifecycle.
    HRESULT Start(HWND containerWindow);
    void Teardown();  // always fires Complete
    void PlacePreview(const RECT& position);
    double GetProgress() const;
    double GetDuration() const;
    HRESULT PauseGraph();
    HRESULT RunGraph();
    LONG EncodeFps() const;

    // Listings and codec boxes.
    void ListAviCodecs(LONG type);
    void ListWmvProfiles();
    void ListWmvCodecs(LONG codecType);
    std::u16string ProfileDescription(LONG index) const;
    bool CodecHasAboutBox(const std::u16string& codecGuid);
    bool CodecHasConfigBox(const std::u16string& codecGuid);
    void ShowCodecAboutBox(HWND parent, const std::u16string& codecGuid);
    void ShowCodecConfigBox(HWND parent, const std::u16string& codecGuid);

    // Media facts of a file; every out-pointer may be null.
    struct FileInfoRequest {
        double* frameRate = nullptr;
        double* duration = nullptr;
        VARIANT_BOOL* hasVideo = nullptr;
        VARIANT_BOOL* hasAudio = nullptr;
        LONG* width = nullptr;
        LONG* height = nullptr;
        LONG* bitRate = nullptr;
        BSTR* posterPath = nullptr;
    };
    void GetFileInfo(const std::u16string& fileName, const FileInfoRequest& request);

    // Writes the debugger trace and fires Error(hr, text).
    void ReportError(HRESULT hr, const char* text);

    // Properties: plain reads and writes.
    const std::u16string& InputFile() const { return m_inputFile; }
    void SetInputFile(std::u16string v) { m_inputFile = std::move(v); }
    const std::u16string& OutputFile() const { return m_outputFile; }
    void SetOutputFile(std::u16string v) { m_outputFile = std::move(v); }
    const std::u16string& VideoCodec() const { return m_videoCodec; }
    void SetVideoCodec(std::u16string v) { m_videoCodec = std::move(v); }
    const std::u16string& AudioCodec() const { return m_audioCodec; }
    void SetAudioCodec(std::u16string v) { m_audioCodec = std::move(v); }
    LONG OutputFormat() const { return m_outputFormat; }
    void SetOutputFormat(LONG v) { m_outputFormat = v; }
    LONG WmvProfile() const { return m_wmvProfile; }
    void SetWmvProfile(LONG v) { m_wmvProfile = v; }
    LONG OutputWidth() const { return m_outputWidth; }
    void SetOutputWidth(LONG v) { m_outputWidth = v; }
    LONG OutputHeight() const { return m_outputHeight; }
    void SetOutputHeight(LONG v) { m_outputHeight = v; }
    float OutputFrameRate() const { return m_outputFrameRate; }
    void SetOutputFrameRate(float v) { m_outputFrameRate = v; }
    bool Preview() const { return m_preview; }
    void SetPreview(bool v) { m_preview = v; }
    LONG VideoBitRate() const { return m_videoBitRate; }
    void SetVideoBitRate(LONG v) { m_videoBitRate = v; }
    LONG AudioBitRate() const { return m_audioBitRate; }
    void SetAudioBitRate(LONG v) { m_audioBitRate = v; }
    bool UseVbr() const { return m_useVbr; }
    void SetUseVbr(bool v) { m_useVbr = v; }
    LONG Quality() const { return m_quality; }
    void SetQuality(LONG v) { m_quality = v; }

private:
    EngineHost& m_host;

    std::u16string m_outputFile;
    std::u16string m_inputFile;
    std::u16string m_videoCodec;
    std::u16string m_audioCodec;
    LONG m_outputFormat = 0;
    LONG m_wmvProfile = 0;
    LONG m_outputWidth = 0;
    LONG m_outputHeight = 0;
    float m_outputFrameRate = 0.0f;
    double m_startTime = 0.0;
    double m_stopTime = 0.0;  // 0: the source's duration
    double m_sourceDuration = 0.0;
    VARIANT_BOOL m_sourceHasAudio = VARIANT_TRUE;
    bool m_preview = true;
    LONG m_videoBitRate = 0;
    LONG m_audioBitRate = 0;
    bool m_encoderSwitchA = true;
    bool m_encoderSwitchB = true;
    bool m_useVbr = true;
    LONG m_quality = 90;
    std::vector<std::pair<std::u16string, std::u16string>> m_profileList;  // (name, description)
};

}  // namespace convctl
