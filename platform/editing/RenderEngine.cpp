#include "platform/editing/RenderEngine.h"

#include <algorithm>
#include <cstdlib>

#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
#include "platform/core/Demuxer.h"
#include "platform/dshow/MediaResult.h"
#include "platform/dshow/Win32Files.h"
#include "platform/filters/TimelineSource.h"

namespace plat {

using com::ComPtr;

namespace {

constexpr REFERENCE_TIME kUnitsPerMicro = 10;

// The group's first track's first source, or null for an empty group.
ComPtr<IAMTimelineObj> FirstSource(IAMTimelineObj* group) {
    ComPtr<IAMTimelineComp> comp;
    ComPtr<IAMTimelineObj> track, source;
    if (FAILED(ComPtr<IAMTimelineObj>(group).As(IID_IAMTimelineComp, comp))) return source;
    LONG tracks = 0;
    comp->VTrackGetCount(&tracks);
    for (LONG i = 0; i < tracks && !source; ++i) {
        ComPtr<IAMTimelineTrack> t;
        if (SUCCEEDED(comp->GetVTrack(track.Put(), i)) && SUCCEEDED(track.As(IID_IAMTimelineTrack, t)))
            t->GetNextSrcEx(nullptr, source.Put());
    }
    return source;
}

HRESULT DescribeGroup(IAMTimelineObj* groupObj, SourceGroup& g) {
    ComPtr<IAMTimelineGroup> group;
    HRESULT hr = ComPtr<IAMTimelineObj>(groupObj).As(IID_IAMTimelineGroup, group);
    if (FAILED(hr)) return hr;
    dshow::MediaType type;
    hr = group->GetMediaType(type.Put());
    if (FAILED(hr)) return hr;

    if (IsEqualGUID(type.Get().majortype, MEDIATYPE_Video)) {
        const auto* vih = type.Format<VIDEOINFOHEADER>();
        if (!IsEqualGUID(type.Get().formattype, FORMAT_VideoInfo) || !vih) return VFW_E_INVALIDMEDIATYPE;
        if (!IsEqualGUID(type.Get().subtype, MEDIASUBTYPE_RGB32) && vih->bmiHeader.biBitCount != 32)
            return VFW_E_TYPE_NOT_ACCEPTED;
        g.video = true;
        g.videoTarget.width = vih->bmiHeader.biWidth;
        g.videoTarget.height = std::abs(vih->bmiHeader.biHeight);
        double fps = 0;
        group->GetOutputFPS(&fps);
        g.videoTarget.rate = media::RateOfFps(fps);
        if (g.videoTarget.width <= 0 || g.videoTarget.height <= 0 || g.videoTarget.rate.num <= 0)
            return VFW_E_INVALIDMEDIATYPE;
    } else if (IsEqualGUID(type.Get().majortype, MEDIATYPE_Audio)) {
        g.video = false;
        // A group naming only "audio" gets CD-style sound.
        const auto* wfx = type.Format<WAVEFORMATEX>();
        if (wfx && wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->nSamplesPerSec && wfx->nChannels) {
            g.audioTarget.sampleRate = static_cast<int>(wfx->nSamplesPerSec);
            g.audioTarget.channels = std::min<int>(wfx->nChannels, 8);
        }
    } else {
        return VFW_E_INVALIDMEDIATYPE;
    }
    return S_OK;
}

}  // namespace

HRESULT RenderEngine::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<RenderEngine>(iid, out);
}

RenderEngine::~RenderEngine() = default;

STDMETHODIMP RenderEngine::SetTimelineObject(IAMTimeline* timeline) {
    if (!timeline) return E_POINTER;
    if (m_source) return E_MUST_INIT_RENDERER;  // scrap the graph first
    m_timeline = ComPtr<IAMTimeline>(timeline);
    return S_OK;
}

STDMETHODIMP RenderEngine::GetTimelineObject(IAMTimeline** timeline) {
    if (!timeline) return E_POINTER;
    return m_timeline.CopyTo(timeline);
}

STDMETHODIMP RenderEngine::SetFilterGraph(IGraphBuilder* graph) {
    if (m_source) return E_UNEXPECTED;
    m_graph = ComPtr<IGraphBuilder>(graph);
    m_graphGiven = graph != nullptr;
    return S_OK;
}

STDMETHODIMP RenderEngine::GetFilterGraph(IGraphBuilder** graph) {
    if (!graph) return E_POINTER;
    *graph = nullptr;
    if (FAILED(m_frontEndResult)) return m_frontEndResult;
    if (!m_graph) return E_RENDER_ENGINE_IS_BROKEN;
    return m_graph.CopyTo(graph);
}

STDMETHODIMP RenderEngine::GetGroupOutputPin(LONG group, IPin** pin) {
    if (!pin) return E_POINTER;
    *pin = nullptr;
    if (!m_sourceFilter) return E_RENDER_ENGINE_IS_BROKEN;
    if (group < 0 || static_cast<size_t>(group) >= m_sourceFilter->GroupCount()) return E_INVALIDARG;
    *pin = m_sourceFilter->Pin(static_cast<size_t>(group));
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP RenderEngine::ConnectFrontEnd() {
    if (!m_timeline) return E_NO_TIMELINE;
    // Called again, it builds the front end anew from the timeline as it is
    // now, in the same graph, and joins each new pin to what the old pin at
    // its place fed, where that still takes it.
    std::vector<ComPtr<IPin>> peers;
    m_frontEndResult = dshow::MediaGuard([&] {
        peers = TakeDownFrontEnd();
        return BuildFrontEnd();
    });
    if (FAILED(m_frontEndResult)) {
        if (m_graph && m_source) m_graph->RemoveFilter(m_source.Get());
        m_source = nullptr;
        m_sourceFilter = nullptr;
        if (!m_graphGiven) m_graph = nullptr;
        return m_frontEndResult;
    }
    bool lost = false;
    for (size_t i = 0; i < peers.size(); ++i) {
        if (!peers[i]) continue;
        lost = lost || i >= m_sourceFilter->GroupCount() ||
               FAILED(m_graph->ConnectDirect(m_sourceFilter->Pin(i), peers[i].Get(), nullptr));
    }
    return lost ? HRESULT(S_WARN_OUTPUTRESET) : S_OK;
}

std::vector<ComPtr<IPin>> RenderEngine::TakeDownFrontEnd() {
    std::vector<ComPtr<IPin>> peers;
    if (!m_source || !m_graph) return peers;
    ComPtr<IMediaControl> control;
    if (SUCCEEDED(m_graph.As(IID_IMediaControl, control))) control->Stop();
    m_source->Stop();
    for (size_t i = 0; i < m_sourceFilter->GroupCount(); ++i) {
        ComPtr<IPin> peer;
        m_sourceFilter->Pin(i)->ConnectedTo(peer.Put());
        PIN_INFO info{};
        if (peer && SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
            info.pFilter->Stop();  // see ScrapIt
            info.pFilter->Release();
        }
        peers.push_back(peer);
    }
    // Leaving the graph breaks the pins' connections.
    m_graph->RemoveFilter(m_source.Get());
    m_source = nullptr;
    m_sourceFilter = nullptr;
    return peers;
}

HRESULT RenderEngine::BuildFrontEnd() {
    LONG count = 0;
    HRESULT hr = m_timeline->GetGroupCount(&count);
    if (FAILED(hr)) return hr;
    if (count <= 0) return E_INVALIDARG;

    std::vector<SourceGroup> groups;
    std::u16string probedPath;  // the groups of one file open it once
    int64_t probedDuration = 0;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IAMTimelineObj> groupObj;
        hr = m_timeline->GetGroup(groupObj.Put(), i);
        if (FAILED(hr)) return hr;
        SourceGroup g;
        hr = DescribeGroup(groupObj.Get(), g);
        if (FAILED(hr)) return hr;

        ComPtr<IAMTimelineObj> source = FirstSource(groupObj.Get());
        ComPtr<IAMTimelineSrc> src;
        if (source && SUCCEEDED(source.As(IID_IAMTimelineSrc, src))) {
            REFERENCE_TIME start = 0, stop = 0, mstart = 0, mstop = 0;
            source->GetStartStop(&start, &stop);
            src->GetMediaTimes(&mstart, &mstop);
            com::Bstr name;
            src->GetMediaName(name.Put());
            const std::u16string path = com::U16FromBstr(name.Get());
            g.length = stop - start;
            g.range.start = mstart / kUnitsPerMicro;
            if (!path.empty()) {
                g.open = dshow::Win32Opener(path);
                // Opened here so a missing or unreadable source fails now,
                // with its reason, rather than in the running graph.
                if (path != probedPath) {
                    media::Demuxer probe(g.open());
                    probedDuration = probe.Duration();
                    probedPath = path;
                }
                if (g.length <= 0) {
                    // No length on the timeline: the whole source.
                    const int64_t d = probedDuration;
                    g.length = d > 0 ? std::max<int64_t>(0, d - g.range.start) * kUnitsPerMicro : 0;
                }
            }
            g.range.length = g.length / kUnitsPerMicro;
        }
        groups.push_back(std::move(g));
    }

    if (!m_graph) {
        hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, m_graph.PutVoid());
        if (FAILED(hr)) return hr;
    }
    TimelineSource* filter = nullptr;
    hr = TimelineSource::Create(std::move(groups), &filter);
    if (FAILED(hr)) return hr;
    m_source = ComPtr<IBaseFilter>::Adopt(filter);
    m_sourceFilter = filter;
    return m_graph->AddFilter(m_source.Get(), L"Timeline Source");
}

STDMETHODIMP RenderEngine::ScrapIt() {
    return com::ComGuard([&]() -> HRESULT {
        if (m_graph) {
            ComPtr<IMediaControl> control;
            if (SUCCEEDED(m_graph.As(IID_IMediaControl, control))) control->Stop();
            // Every filter leaves the graph, which breaks the connections and
            // the references between graph and filters.
            ComPtr<IEnumFilters> filters;
            std::vector<ComPtr<IBaseFilter>> all;
            if (SUCCEEDED(m_graph->EnumFilters(filters.Put())) && filters) {
                ComPtr<IBaseFilter> f;
                while (filters->Next(1, f.Put(), nullptr) == S_OK) all.push_back(f);
            }
            // A run that failed half-way leaves some filters paused while
            // Wine's graph reads stopped, so its Stop passes them over; their
            // pins refuse to disconnect then, and Wine's RemoveFilter retries
            // for ever.
            for (auto& f : all) f->Stop();
            for (auto& f : all) m_graph->RemoveFilter(f.Get());
        }
        m_source = nullptr;
        m_sourceFilter = nullptr;
        m_graph = nullptr;
        m_graphGiven = false;
        m_frontEndResult = S_OK;
        return S_OK;
    });
}

}  // namespace plat
