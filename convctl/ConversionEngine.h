// The one object behind the control that holds all conversion state. The
// control forwards nearly every automation member here. One conversion is
// one DirectShow graph built from an editing-services timeline; graph
// events come back as messages to a hidden notification window, so
// everything here runs on the control's thread.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>
#include <utility>
#include <vector>

#include "convctl/EngineHost.h"
#include "convctl/MediaObjectFactory.h"
#include "convctl/WmvProfiles.h"
#include "framework/com/ComPtr.h"
#include "platform/include/EditingServices.h"
#include "platform/include/MpegEncoder.h"

namespace convctl {

class ConversionEngine {
public:
    // Graph events arrive as this message (WM_APP + 1), encoder state
    // notices as WM_APP + 30 with wParam 50.
    static constexpr UINT kGraphNotifyMessage = WM_APP + 1;
    static constexpr UINT kEncoderStateMessage = WM_APP + 30;
    static constexpr WPARAM kEncoderStateCode = 50;

    explicit ConversionEngine(EngineHost& host);
    ConversionEngine(const ConversionEngine&) = delete;
    ConversionEngine& operator=(const ConversionEngine&) = delete;
    ~ConversionEngine();

    // Tests replace the platform objects; nullptr restores the system's.
    void SetFactory(MediaObjectFactory* factory) { m_factory = factory ? factory : &MediaObjectFactory::System(); }

    // Conversion lifecycle.
    HRESULT Start(HWND containerWindow);
    void Teardown();  // always fires Complete
    void PlacePreview(const RECT& position);
    double GetProgress() const;
    double GetDuration() const;
    HRESULT PauseGraph();
    HRESULT RunGraph();
    LONG EncodeFps() const;
    bool IsRunning() const { return static_cast<bool>(m_mediaControl); }

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
    // The custom WMV profile's inputs as the last WMV start left them.
    const WmvCustomProfile& CustomWmvProfile() const { return m_customProfile; }

private:
    struct SourceFacts {
        double frameRate = 0.0;
        LONG width = 0;
        LONG height = 0;
    };

    // Start, in its steps.
    HRESULT CreateNotifyWindow();
    void DestroyNotifyWindow();
    void ProbeSource(SourceFacts& facts);
    HRESULT CreateTimeline();
    void ApplyFormatPreset();
    HRESULT BuildVideoGroup(LONG sourceWidth, LONG sourceHeight, double sourceRate);
    HRESULT BuildAudioGroup();
    HRESULT BuildTracksAndSources();
    HRESULT ConnectRenderEngine();
    HRESULT AttachAviBackEnd();
    HRESULT AttachWmvBackEnd();
    HRESULT AttachMpegBackEnd();
    HRESULT ConfigureMpegEncoder();
    void OnEncoderStateNotice();
    HRESULT BindCompressors();
    void AddSampleGrabbers();
    HRESULT RenderOutputPins(IPin* videoOut, IPin* audioOut);
    // Builds the branch; a failure tears down and reports.
    HRESULT BuildPreviewBranch(IPin* videoPin, IPin* audioPin, IBaseFilter* writer);
    // The same without the report, for a back end that words its own.
    HRESULT ConnectPreviewBranch(IPin* videoPin, IPin* audioPin, IBaseFilter* writer);
    HRESULT FailStart(HRESULT hr, const char* text);
    // Why the streams could not be wired, when a chosen compressor refused
    // its stream (null otherwise); such a start fails instead of writing
    // the stream uncompressed.
    const char* m_refusedByCodec = nullptr;
    // After a failure: the output this start began is removed.
    void RemovePartialOutput();
    // Whether the front end delivered pictures (sound, from a source
    // without video) before the graph completed.
    bool DeliveredSomething() const;

    // Notification window.
    static LRESULT CALLBACK NotifyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnNotify(UINT msg, WPARAM wParam, LPARAM lParam);
    void DrainGraphEvents();

    void ReleaseGraph();

    EngineHost& m_host;
    MediaObjectFactory* m_factory;

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
    LONG m_groupWidth = 0, m_groupHeight = 0;  // the video group's picture size
    bool m_sourceHasVideo = true;  // the start's probe found a video stream
    HRESULT m_probeResult = S_OK;  // how the start's probe opened the source
    bool m_outputTouched = false;  // this start deleted the output to write it anew
    bool m_preview = true;
    LONG m_videoBitRate = 0;
    LONG m_audioBitRate = 0;
    bool m_encoderSwitchA = true;
    bool m_encoderSwitchB = true;
    bool m_useVbr = true;
    LONG m_quality = 90;
    std::vector<std::pair<std::u16string, std::u16string>> m_profileList;  // (name, description)
    WmvCustomProfile m_customProfile;

    HWND m_notifyWnd = nullptr;

    // Graph references of the running conversion.
    com::ComPtr<IAMTimeline> m_timeline;
    com::ComPtr<IAMTimelineObj> m_videoGroup;
    com::ComPtr<IAMTimelineObj> m_audioGroup;
    com::ComPtr<IRenderEngine> m_renderEngine;
    com::ComPtr<IGraphBuilder> m_graph;
    com::ComPtr<ICaptureGraphBuilder2> m_builder;
    com::ComPtr<IMediaEventEx> m_mediaEvent;
    com::ComPtr<IMediaControl> m_mediaControl;
    com::ComPtr<IVideoWindow> m_videoWindow;
    com::ComPtr<IMediaSeeking> m_writerSeeking;
    com::ComPtr<IMediaSeeking> m_graphSeeking;
    com::ComPtr<IBaseFilter> m_mux;
    com::ComPtr<IBaseFilter> m_videoCodecFilter;
    com::ComPtr<IBaseFilter> m_audioCodecFilter;
    com::ComPtr<IBaseFilter> m_videoGrabber;
    com::ComPtr<IBaseFilter> m_audioGrabber;
    com::ComPtr<IBaseFilter> m_smartTee;
    com::ComPtr<IBaseFilter> m_videoRenderer;
    com::ComPtr<IBaseFilter> m_mpegEncoder;
    com::ComPtr<IMpegEncoderConfig> m_mpegConfig;
};

}  // namespace convctl
