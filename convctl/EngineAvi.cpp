// The AVI back end: the capture graph builder's AVI multiplexer and file
// writer, with the chosen compressors (or sample grabbers passing the
// streams through), and the preview branch that any back end can use.
#include "convctl/ConversionEngine.h"

#include "convctl/FilterUtil.h"
#include "convctl/Trace.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

namespace {

int CountConnectedInputs(IBaseFilter* filter) {
    int count = 0;
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.Put())) || !pins) return 0;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        ComPtr<IPin> other;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT && SUCCEEDED(pin->ConnectedTo(other.Put())))
            ++count;
    }
    return count;
}

// Graph calls made while wiring: a call that throws counts as E_FAIL.
template <class F>
HRESULT GuardedGraphCall(F&& call, const char* traceOnThrow) {
    try {
        return call();
    } catch (...) {
        Trace("%s", traceOnThrow);
        return E_FAIL;
    }
}

// Trace lines for a graph call that throws while one stream is wired.
struct WireTraces {
    const char* connectToCodec;
    const char* render;
    const char* connectToMux;
};
const WireTraces kAudioTraces = {"m_pGraph->Connect(pAudioOutPin, pAudioCodecInPin) caused exception\n",
                                 "m_pGraph->Render(pAudioOutPin) caused exception\n",
                                 "m_pGraph->Render(pAudioCodecOutPin) caused exception\n"};
const WireTraces kVideoTraces = {"m_pGraph->Connect(pVideoOutPin, pVideoCodecInPin)caused exception\n",
                                 "m_pGraph->Render(pVideoOutPin) caused exception\n",
                                 "m_pGraph->Render(pVideoCodecOutPin) caused exception\n"};

// One stream through its codec to the multiplexer. A stream the pass-through
// grabber refuses goes to the graph's intelligent connect instead; one that
// a chosen compressor refuses is not written at all (*refused is set), since
// intelligent connect would write it uncompressed as if it were compressed.
HRESULT WireThroughCodec(IGraphBuilder* graph, IPin* out, IPin* codecIn, IPin* codecOut, IPin* muxIn,
                         const WireTraces& traces, bool chosenCodec, bool* refused) {
    // A codec without a free pin (a filter that is no compressor) gets no
    // call with a null pin.
    HRESULT hr = codecIn ? GuardedGraphCall([&] { return graph->Connect(out, codecIn); }, traces.connectToCodec)
                         : E_POINTER;
    if (FAILED(hr) && chosenCodec && codecIn) {
        *refused = true;
        return hr;
    }
    if (FAILED(hr)) return GuardedGraphCall([&] { return graph->Render(out); }, traces.render);
    if (!codecOut || !muxIn) return E_POINTER;
    return GuardedGraphCall([&] { return graph->Connect(codecOut, muxIn); }, traces.connectToMux);
}

const GUID* GrabberSubtypeForScreen(int bits) {
    switch (bits) {
    case 8: return &MEDIASUBTYPE_RGB8;
    case 16: return &MEDIASUBTYPE_RGB555;
    case 24: return &MEDIASUBTYPE_RGB24;
    case 32: return &MEDIASUBTYPE_RGB32;
    default: return nullptr;
    }
}

}  // namespace

HRESULT ConversionEngine::AttachAviBackEnd() {
    HRESULT hr = m_builder->SetOutputFileName(&MEDIASUBTYPE_Avi, com::W(m_outputFile), m_mux.Put(), nullptr);
    if (FAILED(hr) || !m_mux) return FailStart(FAILED(hr) ? hr : E_FAIL, "The output file could not be created");

    hr = BindCompressors();
    if (FAILED(hr)) return FailStart(hr, "The selected compression filters could not used");
    AddSampleGrabbers();

    ComPtr<IPin> videoPin, audioPin;
    m_renderEngine->GetGroupOutputPin(0, videoPin.Put());
    m_renderEngine->GetGroupOutputPin(1, audioPin.Put());
    if (!videoPin || !audioPin) return FailStart(E_FAIL, "The source file could not be rendered");

    if (m_preview) return BuildPreviewBranch(videoPin.Get(), audioPin.Get(), nullptr);
    m_refusedByCodec = nullptr;
    hr = RenderOutputPins(videoPin.Get(), audioPin.Get());
    if (FAILED(hr))
        return FailStart(hr, m_refusedByCodec ? m_refusedByCodec : "The streams could not be connected to the multiplexer");
    return S_OK;
}

HRESULT ConversionEngine::BindCompressors() {
    HRESULT hr = S_OK;
    // Every identifier that was given must bind; a bad one is never
    // replaced silently by an uncompressed stream.
    if (!m_videoCodec.empty()) {
        hr = BindFilterByDisplayName(m_videoCodec, m_videoCodecFilter);
        if (FAILED(hr)) return hr;
        m_graph->AddFilter(m_videoCodecFilter.Get(), com::W(m_videoCodec));
    }
    if (!m_audioCodec.empty()) {
        hr = BindFilterByDisplayName(m_audioCodec, m_audioCodecFilter);
        if (FAILED(hr)) return hr;
        m_graph->AddFilter(m_audioCodecFilter.Get(), com::W(m_audioCodec));
    }
    return S_OK;
}

void ConversionEngine::AddSampleGrabbers() {
    if (!m_videoCodecFilter &&
        SUCCEEDED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   m_videoGrabber.PutVoid()))) {
        m_graph->AddFilter(m_videoGrabber.Get(), L"Avi Video Grabber Filter");
        ComPtr<ISampleGrabber> grabber;
        const GUID* subtype = GrabberSubtypeForScreen(m_factory->ScreenBitsPerPixel());
        if (subtype && SUCCEEDED(m_videoGrabber.As(IID_ISampleGrabber, grabber))) {
            AM_MEDIA_TYPE mt{};
            mt.majortype = MEDIATYPE_Video;
            mt.subtype = *subtype;
            grabber->SetMediaType(&mt);
            m_videoCodecFilter = m_videoGrabber;
        }
    }
    if (!m_audioCodecFilter &&
        SUCCEEDED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   m_audioGrabber.PutVoid()))) {
        m_graph->AddFilter(m_audioGrabber.Get(), L"Avi Audio Grabber Filter");
        ComPtr<ISampleGrabber> grabber;
        if (SUCCEEDED(m_audioGrabber.As(IID_ISampleGrabber, grabber))) {
            AM_MEDIA_TYPE mt{};
            mt.majortype = MEDIATYPE_Audio;
            mt.subtype = MEDIASUBTYPE_PCM;
            mt.formattype = FORMAT_WaveFormatEx;
            grabber->SetMediaType(&mt);
        }
        m_audioCodecFilter = m_audioGrabber;
    }
}

HRESULT ConversionEngine::RenderOutputPins(IPin* videoOut, IPin* audioOut) {
    Trace("RenderOutputPins()\n");
    ComPtr<IPin> muxIn = FindUnconnectedPin(m_mux.Get(), PINDIR_INPUT);
    ComPtr<IPin> videoCodecIn, videoCodecOut, audioCodecIn, audioCodecOut;
    if (m_videoCodecFilter) {
        Trace("Getting pins of video codec\n");
        videoCodecIn = FindUnconnectedPin(m_videoCodecFilter.Get(), PINDIR_INPUT);
        videoCodecOut = FindUnconnectedPin(m_videoCodecFilter.Get(), PINDIR_OUTPUT);
    }
    if (m_audioCodecFilter) {
        Trace("Getting pins of audio codec\n");
        audioCodecIn = FindUnconnectedPin(m_audioCodecFilter.Get(), PINDIR_INPUT);
        audioCodecOut = FindUnconnectedPin(m_audioCodecFilter.Get(), PINDIR_OUTPUT);
    }
    const int connectedBefore = CountConnectedInputs(m_mux.Get());

    // Audio first: it becomes the file's first stream.
    bool refused = false;
    HRESULT hr = WireThroughCodec(m_graph.Get(), audioOut, audioCodecIn.Get(), audioCodecOut.Get(), muxIn.Get(),
                                  kAudioTraces, m_audioCodecFilter && m_audioCodecFilter.Get() != m_audioGrabber.Get(), &refused);
    if (refused) m_refusedByCodec = "The selected audio compressor does not accept the audio of this file";
    if (FAILED(hr)) return hr;
    // A stream the multiplexer did not receive would be missing from the file.
    if (CountConnectedInputs(m_mux.Get()) != connectedBefore + 1) return VFW_E_CANNOT_CONNECT;

    muxIn = FindUnconnectedPin(m_mux.Get(), PINDIR_INPUT);
    hr = WireThroughCodec(m_graph.Get(), videoOut, videoCodecIn.Get(), videoCodecOut.Get(), muxIn.Get(),
                          kVideoTraces, m_videoCodecFilter && m_videoCodecFilter.Get() != m_videoGrabber.Get(), &refused);
    if (refused)
        m_refusedByCodec = "The selected video compressor does not accept the video at this frame size and rate";
    if (FAILED(hr)) return hr;
    if (CountConnectedInputs(m_mux.Get()) != connectedBefore + 2) return VFW_E_CANNOT_CONNECT;
    return S_OK;
}

HRESULT ConversionEngine::BuildPreviewBranch(IPin* videoPin, IPin* audioPin, IBaseFilter* writer) {
    m_refusedByCodec = nullptr;
    const HRESULT hr = ConnectPreviewBranch(videoPin, audioPin, writer);
    // The video must never be lost quietly because the preview failed.
    if (FAILED(hr)) return FailStart(hr, m_refusedByCodec ? m_refusedByCodec : "The preview could not be built");
    return S_OK;
}

HRESULT ConversionEngine::ConnectPreviewBranch(IPin* videoPin, IPin* audioPin, IBaseFilter* writer) {
    HRESULT hr = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  m_smartTee.PutVoid());
    if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_smartTee.Get(), L"Smart Tee");
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              m_videoRenderer.PutVoid());
    if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_videoRenderer.Get(), L"Video Renderer");

    ComPtr<IPin> teeIn, capture, preview;
    if (SUCCEEDED(hr))
        hr = m_builder->FindPin(m_smartTee.Get(), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, teeIn.Put());
    if (SUCCEEDED(hr)) hr = m_graph->Connect(videoPin, teeIn.Get());
    if (SUCCEEDED(hr))
        hr = m_builder->FindPin(m_smartTee.Get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 0, capture.Put());
    if (SUCCEEDED(hr)) {
        // AVI: through the compressors to the multiplexer; otherwise to the writer.
        if (!writer) hr = RenderOutputPins(capture.Get(), audioPin);
        else hr = m_builder->RenderStream(nullptr, nullptr, capture.Get(), nullptr, writer);
    }
    if (SUCCEEDED(hr))
        hr = m_builder->FindPin(m_smartTee.Get(), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, preview.Put());
    if (SUCCEEDED(hr)) hr = m_builder->RenderStream(nullptr, nullptr, preview.Get(), nullptr, m_videoRenderer.Get());
    return hr;
}

}  // namespace convctl
