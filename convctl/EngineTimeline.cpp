// The front end of every conversion: a timeline with one video group and
// one audio group, each holding the whole input file as one clip, and the
// render engine that turns it into a filter graph.
#include "convctl/ConversionEngine.h"

#include <cstdlib>

#include "convctl/FormatRules.h"
#include "framework/com/Bstr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::Bstr;
using com::ComPtr;

namespace {

constexpr char kComponentFailed[] = "The DirectX component could not be instanciated";
constexpr double kSecondsToReferenceTime = 10000000.0;

// Why the front end could not read the source, as a user can act on it.
const char* SourceFailureText(HRESULT hr) {
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
        return "The source file does not exist";
    if (hr == E_ACCESSDENIED || hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION))
        return "The source file cannot be read (access denied)";
    if (hr == VFW_E_UNKNOWN_FILE_TYPE) return "The source file is not a video or audio file that can be read";
    if (hr == VFW_E_INVALID_FILE_FORMAT) return "The source file is damaged beyond reading";
    if (hr == VFW_E_UNSUPPORTED_STREAM) return "The source file's video or audio format cannot be decoded";
    if (hr == HRESULT_FROM_WIN32(ERROR_READ_FAULT)) return "The source file could not be read from its disk";
    return "The source file could not be opened";
}

}  // namespace

HRESULT ConversionEngine::CreateTimeline() {
    HRESULT hr = m_factory->CreateTimeline(m_timeline.Put());
    if (SUCCEEDED(hr)) hr = m_timeline->CreateEmptyNode(m_videoGroup.Put(), TIMELINE_MAJOR_TYPE_GROUP);
    if (SUCCEEDED(hr)) hr = m_timeline->CreateEmptyNode(m_audioGroup.Put(), TIMELINE_MAJOR_TYPE_GROUP);
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);
    return S_OK;
}

void ConversionEngine::ApplyFormatPreset() {
    FormatPreset preset{};
    if (!PresetFor(m_outputFormat, preset)) return;
    m_outputWidth = preset.width;
    m_outputHeight = preset.height;
    m_outputFrameRate = preset.frameRate;
}

HRESULT ConversionEngine::BuildVideoGroup(LONG sourceWidth, LONG sourceHeight, double sourceRate) {
    // No frame size to keep: say why, rather than let the front end fail
    // on a picture of no size.
    if ((!m_outputWidth && sourceWidth <= 0) || (!m_outputHeight && sourceHeight <= 0)) {
        if (FAILED(m_probeResult)) return FailStart(m_probeResult, SourceFailureText(m_probeResult));
        return FailStart(VFW_E_INVALIDMEDIATYPE,
                         m_sourceHasVideo
                             ? "The source file's video has no frame size; choose an output width and height"
                             : "The source file has no video to take the frame size from; choose an output width "
                               "and height");
    }
    const LONG width = m_outputWidth ? m_outputWidth : sourceWidth;
    const LONG height = m_outputHeight ? m_outputHeight : sourceHeight;
    m_groupWidth = width;
    m_groupHeight = std::labs(height);
    com::MediaType mt = com::Rgb32VideoType(width, height);

    ComPtr<IAMTimelineGroup> group;
    HRESULT hr = m_videoGroup.As(IID_IAMTimelineGroup, group);
    if (SUCCEEDED(hr)) hr = group->SetMediaType(&mt.Edit());
    if (FAILED(hr)) return FailStart(hr, "The DirectX video group could not be set");

    const RateChoice rate = ChooseOutputRate(m_outputFrameRate, sourceRate, m_outputFormat);
    m_outputFrameRate = rate.engineRate;
    group->SetOutputFPS(rate.rate);
    hr = m_timeline->AddGroup(m_videoGroup.Get());
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);
    return S_OK;
}

HRESULT ConversionEngine::BuildAudioGroup() {
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    ComPtr<IAMTimelineGroup> group;
    HRESULT hr = m_audioGroup.As(IID_IAMTimelineGroup, group);
    if (SUCCEEDED(hr)) hr = group->SetMediaType(&mt);
    if (FAILED(hr)) return FailStart(hr, "The DirectX audio could not be instanciated");
    hr = m_timeline->AddGroup(m_audioGroup.Get());
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);
    return S_OK;
}

HRESULT ConversionEngine::BuildTracksAndSources() {
    ComPtr<IAMTimelineObj> videoTrack, audioTrack;
    HRESULT hr = m_timeline->CreateEmptyNode(videoTrack.Put(), TIMELINE_MAJOR_TYPE_TRACK);
    if (SUCCEEDED(hr)) hr = m_timeline->CreateEmptyNode(audioTrack.Put(), TIMELINE_MAJOR_TYPE_TRACK);
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);

    ComPtr<IAMTimelineComp> videoComp, audioComp;
    hr = m_videoGroup.As(IID_IAMTimelineComp, videoComp);
    if (SUCCEEDED(hr)) hr = m_audioGroup.As(IID_IAMTimelineComp, audioComp);
    if (SUCCEEDED(hr)) hr = videoComp->VTrackInsBefore(videoTrack.Get(), -1);
    if (SUCCEEDED(hr)) hr = audioComp->VTrackInsBefore(audioTrack.Get(), -1);
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);

    ComPtr<IAMTimelineObj> videoSource, audioSource;
    hr = m_timeline->CreateEmptyNode(videoSource.Put(), TIMELINE_MAJOR_TYPE_SOURCE);
    if (SUCCEEDED(hr)) hr = m_timeline->CreateEmptyNode(audioSource.Put(), TIMELINE_MAJOR_TYPE_SOURCE);
    if (FAILED(hr)) return FailStart(hr, kComponentFailed);

    const REFERENCE_TIME start = static_cast<REFERENCE_TIME>(m_startTime * kSecondsToReferenceTime);
    const REFERENCE_TIME stop =
        static_cast<REFERENCE_TIME>((m_stopTime != 0.0 ? m_stopTime : m_sourceDuration) * kSecondsToReferenceTime);
    Bstr name(m_inputFile);

    ComPtr<IAMTimelineSrc> videoSrc, audioSrc;
    hr = videoSource.As(IID_IAMTimelineSrc, videoSrc);
    if (FAILED(hr)) return FailStart(hr, "The video source could not be loaded");
    // Each call runs in turn (the operands of | have no fixed order); the
    // results are then ORed together, so any failure shows.
    hr = videoSource->SetStartStop(start, stop);
    hr |= videoSrc->SetMediaTimes(start, stop);
    hr |= videoSrc->SetMediaName(name.Get());
    hr |= videoSrc->SetStretchMode(RESIZEF_STRETCH);
    if (FAILED(hr)) {
        FailStart(hr, "The video source could not be loaded");
        return E_FAIL;
    }

    hr = audioSource.As(IID_IAMTimelineSrc, audioSrc);
    if (FAILED(hr)) return FailStart(hr, "The audio source could not be loaded");
    hr = audioSource->SetStartStop(start, stop);
    hr |= audioSrc->SetMediaTimes(start, stop);
    hr |= audioSrc->SetMediaName(name.Get());
    if (FAILED(hr)) {
        FailStart(hr, "The audio source could not be loaded");
        return E_FAIL;
    }

    ComPtr<IAMTimelineTrack> videoTrackItf, audioTrackItf;
    hr = videoTrack.As(IID_IAMTimelineTrack, videoTrackItf);
    if (SUCCEEDED(hr)) hr = videoTrackItf->SrcAdd(videoSource.Get());
    if (FAILED(hr)) return FailStart(hr, "The DirectX video component could not be instanciated");
    hr = audioTrack.As(IID_IAMTimelineTrack, audioTrackItf);
    if (SUCCEEDED(hr)) hr = audioTrackItf->SrcAdd(audioSource.Get());
    if (FAILED(hr)) return FailStart(hr, "The DirectX audio component could not be instanciated");

    m_timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK | SFN_VALIDATEF_POPUP | SFN_VALIDATEF_REPLACE, nullptr, 0);
    return S_OK;
}

HRESULT ConversionEngine::ConnectRenderEngine() {
    HRESULT hr = m_factory->CreateRenderEngine(m_renderEngine.Put());
    if (FAILED(hr) || !m_renderEngine) return FailStart(FAILED(hr) ? hr : E_POINTER, kComponentFailed);
    m_renderEngine->SetTimelineObject(m_timeline.Get());

    DeleteFileA(com::ToAnsi(m_outputFile).c_str());
    m_outputTouched = true;

    const HRESULT connect = m_renderEngine->ConnectFrontEnd();
    m_renderEngine->GetFilterGraph(m_graph.Put());
    // The render engine hands out no graph when the source cannot be read;
    // without one there is nothing to attach a back end to.
    if (!m_graph) {
        const HRESULT hr = FAILED(connect) ? connect : E_FAIL;
        return FailStart(hr, SourceFailureText(hr));
    }
    return S_OK;
}

}  // namespace convctl
