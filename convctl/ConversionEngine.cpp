#include "convctl/ConversionEngine.h"

#include <ocidl.h>

#include <malloc.h>

#include "convctl/Trace.h"
#include "framework/com/Bstr.h"
#include "framework/com/FileIdentity.h"
#include "framework/com/Module.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

namespace {

const WCHAR kNotifyClass[] = L"TromvexNotifyWindow";

constexpr double kReferenceTimeToSeconds = 1e-7;

std::u16string FullPath(const std::u16string& path) {
    WCHAR buf[MAX_PATH * 4] = {};
    const DWORD n = GetFullPathNameW(com::W(path), MAX_PATH * 4, buf, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? com::U16(buf, n) : path;
}

// One file under any spelling: by what the paths open when the file
// exists (links, prefixes, short names, drive letters), else by the text,
// which Windows compares without regard to case.
bool SameFile(const std::u16string& a, const std::u16string& b) {
    if (a.empty() || b.empty()) return false;
    return com::SameExistingFile(a, b) || lstrcmpiW(com::W(FullPath(a)), com::W(FullPath(b))) == 0;
}

}  // namespace

ConversionEngine::ConversionEngine(EngineHost& host) : m_host(host), m_factory(&MediaObjectFactory::System()) {}

ConversionEngine::~ConversionEngine() {
    // No stop and no events here: the control is going away.
    ReleaseGraph();
    m_profileList.clear();
    DestroyNotifyWindow();
}

// ---- Notification window ----------------------------------------------------------

HRESULT ConversionEngine::CreateNotifyWindow() {
    DestroyNotifyWindow();
    WNDCLASSEXW wc{sizeof wc};
    if (!GetClassInfoExW(com::Module::Instance(), kNotifyClass, &wc)) {
        wc = WNDCLASSEXW{sizeof wc};
        wc.lpfnWndProc = &ConversionEngine::NotifyWindowProc;
        wc.hInstance = com::Module::Instance();
        wc.lpszClassName = kNotifyClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return HRESULT_FROM_WIN32(GetLastError());
    }
    m_notifyWnd = CreateWindowExW(0, kNotifyClass, L"NotifyWnd", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                  com::Module::Instance(), this);
    return m_notifyWnd ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void ConversionEngine::DestroyNotifyWindow() {
    if (m_notifyWnd) {
        const HWND hwnd = m_notifyWnd;
        m_notifyWnd = nullptr;
        DestroyWindow(hwnd);
    }
}

LRESULT CALLBACK ConversionEngine::NotifyWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* engine = reinterpret_cast<ConversionEngine*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (engine && msg < 0xC000) {
        try {
            engine->OnNotify(msg, wParam, lParam);
        } catch (...) {
            // Nothing may escape into the window manager.
        }
    }
    if (msg == WM_ERASEBKGND) return 0;
    if (msg == kGraphNotifyMessage || msg == kEncoderStateMessage) return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ConversionEngine::OnNotify(UINT msg, WPARAM wParam, LPARAM) {
    if (msg == kGraphNotifyMessage) {
        DrainGraphEvents();
    } else if (msg == kEncoderStateMessage && wParam == kEncoderStateCode) {
        OnEncoderStateNotice();
    }
}

void ConversionEngine::DrainGraphEvents() {
    while (m_mediaEvent) {
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        if (FAILED(m_mediaEvent->GetEvent(&code, &param1, &param2, 0))) return;
        HRESULT failure = S_OK;
        std::u16string detail;
        const bool fatal = code == EC_ERRORABORT || code == EC_ERRORABORTEX || code == EC_STREAM_ERROR_STOPPED ||
                           code == EC_FILE_CLOSED;
        if (fatal) {
            failure = code == EC_FILE_CLOSED ? HRESULT_FROM_WIN32(ERROR_FILE_INVALID)
                                             : static_cast<HRESULT>(param1);
            if (SUCCEEDED(failure)) failure = E_FAIL;
            if (code == EC_ERRORABORTEX && param2) detail = com::U16FromBstr(reinterpret_cast<BSTR>(param2));
        }
        m_mediaEvent->FreeEventParams(code, param1, param2);
        if (code == EC_COMPLETE && !DeliveredSomething()) {
            // The writers finish an empty file as readily as a full one; a
            // file without a picture (or, from a source without video,
            // without sound) is no conversion.
            Teardown();
            RemovePartialOutput();
            ReportError(VFW_E_INVALID_FILE_FORMAT, m_sourceHasVideo
                                                       ? "The source file holds no video frames that could be converted"
                                                       : "The source file holds no sound that could be converted");
            return;
        }
        if (code == EC_COMPLETE || code == EC_USERABORT) {
            Teardown();
            return;
        }
        if (fatal) {
            // A graph that stopped on an error never completes by itself.
            Teardown();
            RemovePartialOutput();
            std::string text = "The conversion stopped because of an error in the filter graph";
            if (!detail.empty()) text += ": " + core::Utf16ToUtf8(detail);
            ReportError(failure, text.c_str());
            return;
        }
    }
}

// ---- Lifecycle ------------------------------------------------------------------------

HRESULT ConversionEngine::FailStart(HRESULT hr, const char* text) {
    Teardown();
    RemovePartialOutput();
    ReportError(hr, text);
    return hr;
}

void ConversionEngine::RemovePartialOutput() {
    // Only a file this start deleted and began anew: never an older file
    // the start did not reach, and never the source.
    if (!m_outputTouched) return;
    m_outputTouched = false;
    if (SameFile(m_inputFile, m_outputFile)) return;
    DeleteFileW(com::W(m_outputFile));
}

bool ConversionEngine::DeliveredSomething() const {
    // The front end's group pins know how far they delivered; a render
    // engine whose pins cannot tell is taken at its word.
    LONGLONG delivered[2] = {-1, -1};
    for (LONG group = 0; group < 2 && m_renderEngine; ++group) {
        ComPtr<IPin> pin;
        ComPtr<IMediaSeeking> seeking;
        LONGLONG position = 0;
        if (SUCCEEDED(m_renderEngine->GetGroupOutputPin(group, pin.Put())) && pin &&
            SUCCEEDED(pin.As(IID_IMediaSeeking, seeking)) && SUCCEEDED(seeking->GetCurrentPosition(&position)))
            delivered[group] = position;
    }
    if (m_sourceHasVideo) return delivered[0] != 0;
    return delivered[1] != 0;
}

HRESULT ConversionEngine::Start(HWND containerWindow) {
    m_outputTouched = false;
    HRESULT hr = CreateNotifyWindow();
    if (FAILED(hr)) return FailStart(hr, "The DirectX component could not be instanciated");
    // The start deletes an existing output file: never when it is the source.
    if (SameFile(m_inputFile, m_outputFile))
        return FailStart(E_INVALIDARG, "The output file is the input file; choose another output file");

    SourceFacts source;
    ProbeSource(source);
    Trace("start mark: source probed\n");

    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                          m_builder.PutVoid());
    if (FAILED(hr)) return FailStart(hr, "The DirectX component could not be instanciated");
    hr = CreateTimeline();
    if (FAILED(hr)) return hr;

    ApplyFormatPreset();
    hr = BuildVideoGroup(source.width, source.height, source.frameRate);
    if (FAILED(hr)) return hr;
    hr = BuildAudioGroup();
    if (FAILED(hr)) return hr;
    hr = BuildTracksAndSources();
    if (FAILED(hr)) return hr;
    hr = ConnectRenderEngine();
    if (FAILED(hr)) return hr;
    Trace("start mark: render engine connected\n");

    m_builder->SetFiltergraph(m_graph.Get());

    if (m_outputFormat == 0) hr = AttachAviBackEnd();
    else if (m_outputFormat == 1) hr = AttachWmvBackEnd();
    else hr = AttachMpegBackEnd();
    if (FAILED(hr)) {
        // Back ends tear down and report their own failures; one that did
        // not must not leave the host waiting.
        if (m_graph) return FailStart(hr, "The output could not be prepared");
        return hr;
    }

    m_graph.As(IID_IMediaEventEx, m_mediaEvent);
    m_graph.As(IID_IMediaControl, m_mediaControl);
    m_graph.As(IID_IVideoWindow, m_videoWindow);
    if (m_mux) m_mux.As(IID_IMediaSeeking, m_writerSeeking);
    else if (m_mpegEncoder && !m_writerSeeking) m_mpegEncoder.As(IID_IMediaSeeking, m_writerSeeking);
    if (m_mediaEvent) m_mediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(m_notifyWnd), kGraphNotifyMessage, 0);
    m_graph.As(IID_IMediaSeeking, m_graphSeeking);

    if (m_videoWindow) {
        m_videoWindow->put_Owner(reinterpret_cast<OAHWND>(containerWindow));
        m_videoWindow->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    }

    m_host.Fire_AboutToRun();

    Trace("start mark: graph built\n");
    hr = m_mediaControl ? m_mediaControl->Run() : E_NOINTERFACE;
    if (FAILED(hr))
        return FailStart(hr, "The conversion could not be started. Please check that the compression filters are "
                             "working properly");
    Trace("start mark: graph running\n");
    return S_OK;
}

void ConversionEngine::ReleaseGraph() {
    m_writerSeeking = nullptr;
    m_graphSeeking = nullptr;
    m_mediaControl = nullptr;
    m_mpegEncoder = nullptr;
    m_mux = nullptr;
    m_videoCodecFilter = nullptr;
    m_audioCodecFilter = nullptr;
    m_videoGrabber = nullptr;
    m_audioGrabber = nullptr;
    m_renderEngine = nullptr;
    m_timeline = nullptr;
    m_videoGroup = nullptr;
    m_audioGroup = nullptr;
    m_mpegConfig = nullptr;
    m_smartTee = nullptr;
    m_videoRenderer = nullptr;
    m_videoWindow = nullptr;
    m_mediaEvent = nullptr;
    m_graph = nullptr;
    m_builder = nullptr;
}

void ConversionEngine::Teardown() {
    if (m_mediaControl) m_mediaControl->Stop();
    if (m_mediaEvent) {
        m_mediaEvent->SetNotifyWindow(0, kGraphNotifyMessage, 0);
        m_mediaEvent->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
        m_mediaEvent = nullptr;
    }
    if (m_renderEngine) m_renderEngine->ScrapIt();
    ReleaseGraph();
    // The run's many threads took memory from many allocator arenas; what
    // they freed stays with those arenas, resident, and the next run's
    // threads often draw on others. Giving the free pages back keeps a host
    // that converts one file after another from growing as fast.
    malloc_trim(0);
    DestroyNotifyWindow();
    m_host.Fire_Complete();
}

void ConversionEngine::PlacePreview(const RECT& position) {
    if (!m_videoWindow) return;
    m_videoWindow->SetWindowPosition(position.left, position.top, position.right - position.left,
                                     position.bottom - position.top);
}

double ConversionEngine::GetProgress() const {
    if (!m_writerSeeking) return 0.0;
    LONGLONG position = 0;
    m_writerSeeking->GetCurrentPosition(&position);
    if (position == 0 && m_graphSeeking) m_graphSeeking->GetCurrentPosition(&position);
    return static_cast<double>(position) * kReferenceTimeToSeconds;
}

double ConversionEngine::GetDuration() const {
    if (!m_writerSeeking) return 0.0;
    LONGLONG duration = 0;
    m_writerSeeking->GetDuration(&duration);
    double seconds = static_cast<double>(duration) * kReferenceTimeToSeconds;
    if (duration == 0) {
        if (m_graphSeeking) {
            m_graphSeeking->GetDuration(&duration);
            seconds = static_cast<double>(duration) * kReferenceTimeToSeconds;
        } else {
            seconds = m_sourceDuration;
        }
    }
    if (seconds == 0.0) seconds = m_sourceDuration;
    return seconds;
}

HRESULT ConversionEngine::PauseGraph() { return m_mediaControl ? m_mediaControl->Pause() : E_POINTER; }

HRESULT ConversionEngine::RunGraph() { return m_mediaControl ? m_mediaControl->Run() : E_POINTER; }

void ConversionEngine::ReportError(HRESULT hr, const char* text) {
    Trace("Error Thrown, hr=%u", static_cast<unsigned>(hr));
    m_host.Fire_Error(static_cast<LONG>(hr), com::FromAnsi(text ? text : ""));
}

}  // namespace convctl
