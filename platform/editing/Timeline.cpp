#include "platform/editing/Timeline.h"

#include <algorithm>

#include "framework/com/WinText.h"

namespace plat {

using com::ComPtr;

namespace {

// Asks a node for itself: the timeline works only with its own nodes.
const IID kNodeIdentity = {0x3b1e5f40, 0x6b7c, 0x4e52, {0x9a, 0x0d, 0x51, 0x4f, 0x2c, 0x77, 0x18, 0xa3}};

TimelineNode* NodeOf(IUnknown* unknown) {
    TimelineNode* node = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(kNodeIdentity, reinterpret_cast<void**>(&node)))) return nullptr;
    node->Release();  // the caller's reference keeps it alive
    return node;
}

constexpr double kUnits = 10000000.0;

REFERENCE_TIME ToUnits(REFTIME seconds) { return static_cast<REFERENCE_TIME>(seconds * kUnits + (seconds < 0 ? -0.5 : 0.5)); }

// A start and stop pair: refused when it ends before it starts or starts before 0.
HRESULT SetSpan(REFERENCE_TIME start, REFERENCE_TIME stop, REFERENCE_TIME& startField, REFERENCE_TIME& stopField) {
    if (stop < start || start < 0) return E_INVALIDARG;
    startField = start;
    stopField = stop;
    return S_OK;
}

HRESULT OutBstr(const std::u16string& s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(com::W(s), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

LONG s_nextGenId = 1;

}  // namespace

// ---- Timeline -----------------------------------------------------------------------

HRESULT Timeline::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<Timeline>(iid, out);
}

Timeline::~Timeline() {
    for (TimelineNode* node : m_nodes) node->DetachTimeline();
    for (auto& g : m_groups)
        if (TimelineNode* n = NodeOf(g.Get())) n->SetInGroupList(false);
}

void Timeline::Forget(TimelineNode* node) { m_nodes.erase(std::remove(m_nodes.begin(), m_nodes.end(), node), m_nodes.end()); }

STDMETHODIMP Timeline::CreateEmptyNode(IAMTimelineObj** obj, TIMELINE_MAJOR_TYPE type) {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    switch (type) {
    case TIMELINE_MAJOR_TYPE_COMPOSITE:
    case TIMELINE_MAJOR_TYPE_TRACK:
    case TIMELINE_MAJOR_TYPE_SOURCE:
    case TIMELINE_MAJOR_TYPE_GROUP: break;
    case TIMELINE_MAJOR_TYPE_TRANSITION:
    case TIMELINE_MAJOR_TYPE_EFFECT: return E_NOTIMPL;
    default: return E_INVALIDARG;
    }
    return com::ComGuard([&] {
        ComPtr<TimelineNode> node = com::MakeObject<TimelineNode>(this, type);
        m_nodes.push_back(node.Get());
        *obj = node.Detach();
        return S_OK;
    });
}

STDMETHODIMP Timeline::AddGroup(IAMTimelineObj* group) {
    return com::ComGuard([&]() -> HRESULT {
        TimelineNode* node = NodeOf(group);
        if (!node || node->Type() != TIMELINE_MAJOR_TYPE_GROUP) return E_INVALIDARG;
        if (node->InGroupList()) return E_INVALIDARG;
        m_groups.push_back(ComPtr<IAMTimelineObj>(group));
        node->SetInGroupList(true);
        return S_OK;
    });
}

STDMETHODIMP Timeline::RemGroupFromList(IAMTimelineObj* group) {
    for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
        if (it->Get() != group) continue;
        if (TimelineNode* node = NodeOf(group)) node->SetInGroupList(false);
        m_groups.erase(it);
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP Timeline::GetGroup(IAMTimelineObj** group, LONG index) {
    if (!group) return E_POINTER;
    *group = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_groups.size()) return E_INVALIDARG;
    return m_groups[static_cast<size_t>(index)].CopyTo(group);
}

STDMETHODIMP Timeline::GetGroupCount(LONG* count) {
    return com::GetValue(count, static_cast<LONG>(m_groups.size()));
}

STDMETHODIMP Timeline::ClearAllGroups() {
    while (!m_groups.empty()) RemGroupFromList(m_groups.back().Get());
    return S_OK;
}

STDMETHODIMP Timeline::GetInsertMode(LONG* mode) {
    return com::GetValue(mode, m_insertMode);
}

STDMETHODIMP Timeline::SetInsertMode(LONG mode) { return com::SetValue(m_insertMode, mode); }

STDMETHODIMP Timeline::EnableTransitions(BOOL enabled) { return com::SetValue(m_transitions, enabled); }

STDMETHODIMP Timeline::TransitionsEnabled(BOOL* enabled) {
    return com::GetValue(enabled, m_transitions);
}

STDMETHODIMP Timeline::EnableEffects(BOOL enabled) { return com::SetValue(m_effects, enabled); }

STDMETHODIMP Timeline::EffectsEnabled(BOOL* enabled) {
    return com::GetValue(enabled, m_effects);
}

STDMETHODIMP Timeline::SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) { return S_OK; }

STDMETHODIMP Timeline::GetDuration(REFERENCE_TIME* duration) {
    if (!duration) return E_POINTER;
    *duration = 0;
    for (auto& g : m_groups) {
        REFERENCE_TIME start = 0, stop = 0;
        if (SUCCEEDED(g->GetStartStop(&start, &stop))) *duration = std::max(*duration, stop);
    }
    return S_OK;
}

STDMETHODIMP Timeline::GetDuration2(double* duration) {
    if (!duration) return E_POINTER;
    REFERENCE_TIME d = 0;
    GetDuration(&d);
    *duration = static_cast<double>(d) / kUnits;
    return S_OK;
}

STDMETHODIMP Timeline::SetDefaultFPS(double fps) {
    return com::SetValue(m_defaultFps, fps, fps > 0);
}

STDMETHODIMP Timeline::GetDefaultFPS(double* fps) {
    return com::GetValue(fps, m_defaultFps);
}

STDMETHODIMP Timeline::IsDirty(BOOL* dirty) {
    if (!dirty) return E_POINTER;
    *dirty = FALSE;
    return S_FALSE;
}

STDMETHODIMP Timeline::GetCountOfType(LONG group, LONG* value, LONG* withComps, TIMELINE_MAJOR_TYPE type) {
    if (group < 0 || static_cast<size_t>(group) >= m_groups.size()) return E_INVALIDARG;
    ComPtr<IAMTimelineComp> comp;
    HRESULT hr = m_groups[static_cast<size_t>(group)].As(IID_IAMTimelineComp, comp);
    return SUCCEEDED(hr) ? comp->GetCountOfType(value, withComps, type) : hr;
}

// Names are used as given: the render engine reports a source it cannot
// open when it builds the graph. Nothing here asks the user.
STDMETHODIMP Timeline::ValidateSourceNames(LONG, IMediaLocator*, LONG_PTR) { return S_OK; }

// ---- TimelineNode -------------------------------------------------------------------

TimelineNode::TimelineNode(Timeline* timeline, TIMELINE_MAJOR_TYPE type)
    : m_timeline(timeline), m_type(type), m_genId(s_nextGenId++) {}

TimelineNode::~TimelineNode() {
    for (auto& child : m_children)
        if (TimelineNode* n = NodeOf(child.Get())) n->SetParent(nullptr);
    if (m_timeline) m_timeline->Forget(this);
}

STDMETHODIMP TimelineNode::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, kNodeIdentity)) *out = this;
    else if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAMTimelineObj)) *out = static_cast<IAMTimelineObj*>(this);
    else if (IsEqualIID(iid, IID_IAMTimelineGroup) && IsGroup()) *out = static_cast<IAMTimelineGroup*>(this);
    else if (IsEqualIID(iid, IID_IAMTimelineComp) && IsComp()) *out = static_cast<IAMTimelineComp*>(this);
    else if (IsEqualIID(iid, IID_IAMTimelineTrack) && IsTrack()) *out = static_cast<IAMTimelineTrack*>(this);
    else if (IsEqualIID(iid, IID_IAMTimelineSrc) && IsSource()) *out = static_cast<IAMTimelineSrc*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

const TimelineNode* TimelineNode::GroupNode() const {
    const TimelineNode* n = this;
    while (n && !n->IsGroup()) n = n->m_parent;
    return n;
}

void TimelineNode::RemoveChild(TimelineNode* child) {
    for (auto it = m_children.begin(); it != m_children.end(); ++it) {
        if (NodeOf(it->Get()) == child) {
            child->SetParent(nullptr);
            m_children.erase(it);
            return;
        }
    }
}

// IAMTimelineObj ---------------------------------------------------------------------

STDMETHODIMP TimelineNode::GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (!start || !stop) return E_POINTER;
    if (IsSource()) {
        *start = m_start;
        *stop = m_stop;
        return S_OK;
    }
    // Containers span their contents.
    *start = 0;
    *stop = 0;
    for (auto& child : m_children) {
        REFERENCE_TIME a = 0, b = 0;
        if (SUCCEEDED(child->GetStartStop(&a, &b))) *stop = std::max(*stop, b);
    }
    return S_OK;
}

STDMETHODIMP TimelineNode::GetStartStop2(REFTIME* start, REFTIME* stop) {
    if (!start || !stop) return E_POINTER;
    REFERENCE_TIME a = 0, b = 0;
    const HRESULT hr = GetStartStop(&a, &b);
    *start = static_cast<double>(a) / kUnits;
    *stop = static_cast<double>(b) / kUnits;
    return hr;
}

STDMETHODIMP TimelineNode::SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop) {
    return SetSpan(start, stop, m_start, m_stop);
}

STDMETHODIMP TimelineNode::SetStartStop2(REFTIME start, REFTIME stop) { return SetStartStop(ToUnits(start), ToUnits(stop)); }

STDMETHODIMP TimelineNode::GetSubObject(IUnknown** obj) {
    if (!obj) return E_POINTER;
    return m_subObject.CopyTo(obj);
}

STDMETHODIMP TimelineNode::SetSubObject(IUnknown* obj) {
    m_subObject = ComPtr<IUnknown>(obj);
    return S_OK;
}

STDMETHODIMP TimelineNode::SetSubObjectGUID(GUID guid) { return com::SetValue(m_subObjectGuid, guid); }

STDMETHODIMP TimelineNode::GetSubObjectGUID(GUID* guid) {
    return com::GetValue(guid, m_subObjectGuid);
}

STDMETHODIMP TimelineNode::GetSubObjectLoaded(BOOL* loaded) {
    return com::GetValue(loaded, m_subObject ? TRUE : FALSE);
}

STDMETHODIMP TimelineNode::GetTimelineType(TIMELINE_MAJOR_TYPE* type) {
    return com::GetValue(type, m_type);
}

STDMETHODIMP TimelineNode::SetTimelineType(TIMELINE_MAJOR_TYPE type) { return type == m_type ? S_OK : E_NOTIMPL; }

STDMETHODIMP TimelineNode::GetUserID(LONG* id) {
    return com::GetValue(id, m_userId);
}

STDMETHODIMP TimelineNode::SetUserID(LONG id) { return com::SetValue(m_userId, id); }

STDMETHODIMP TimelineNode::GetGenID(LONG* id) {
    return com::GetValue(id, m_genId);
}

STDMETHODIMP TimelineNode::GetUserName(BSTR* name) { return OutBstr(m_userName, name); }

STDMETHODIMP TimelineNode::SetUserName(BSTR name) {
    return com::ComGuard([&] { return com::SetValue(m_userName, com::U16FromBstr(name)); });
}

STDMETHODIMP TimelineNode::GetMuted(BOOL* muted) {
    return com::GetValue(muted, m_muted);
}

STDMETHODIMP TimelineNode::SetMuted(BOOL muted) { return com::SetValue(m_muted, muted); }

STDMETHODIMP TimelineNode::GetLocked(BOOL* locked) {
    return com::GetValue(locked, m_locked);
}

STDMETHODIMP TimelineNode::SetLocked(BOOL locked) { return com::SetValue(m_locked, locked); }

STDMETHODIMP TimelineNode::Remove() {
    if (m_parent) {
        ComPtr<IAMTimelineObj> keep(static_cast<IAMTimelineObj*>(this));
        m_parent->RemoveChild(this);
        return S_OK;
    }
    if (m_inGroupList && m_timeline) return m_timeline->RemGroupFromList(this);
    return S_OK;
}

STDMETHODIMP TimelineNode::GetTimelineNoRef(IAMTimeline** timeline) {
    if (!timeline) return E_POINTER;
    *timeline = m_timeline;
    return m_timeline ? S_OK : HRESULT(E_NO_TIMELINE);
}

STDMETHODIMP TimelineNode::GetGroupIBelongTo(IAMTimelineGroup** group) {
    if (!group) return E_POINTER;
    *group = nullptr;
    const TimelineNode* g = GroupNode();
    if (!g) return S_FALSE;
    *group = const_cast<IAMTimelineGroup*>(static_cast<const IAMTimelineGroup*>(g));
    (*group)->AddRef();
    return S_OK;
}

STDMETHODIMP TimelineNode::GetEmbedDepth(LONG* depth) {
    if (!depth) return E_POINTER;
    *depth = 0;
    for (const TimelineNode* n = m_parent; n; n = n->m_parent) ++*depth;
    return S_OK;
}

// IAMTimelineGroup -------------------------------------------------------------------

STDMETHODIMP TimelineNode::SetTimeline(IAMTimeline*) { return E_NOTIMPL; }

STDMETHODIMP TimelineNode::GetTimeline(IAMTimeline** timeline) {
    if (!timeline) return E_POINTER;
    *timeline = m_timeline;
    if (!m_timeline) return E_NO_TIMELINE;
    m_timeline->AddRef();
    return S_OK;
}

STDMETHODIMP TimelineNode::GetPriority(LONG* priority) {
    if (!priority) return E_POINTER;
    *priority = -1;
    if (!m_timeline) return E_NO_TIMELINE;
    LONG count = 0;
    m_timeline->GetGroupCount(&count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IAMTimelineObj> g;
        if (SUCCEEDED(m_timeline->GetGroup(g.Put(), i)) && NodeOf(g.Get()) == this) *priority = i;
    }
    return *priority >= 0 ? S_OK : HRESULT(E_NOTINTREE);
}

STDMETHODIMP TimelineNode::GetMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    return m_mediaType.CopyTo(mt);
}

STDMETHODIMP TimelineNode::SetMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Video) && !IsEqualGUID(mt->majortype, MEDIATYPE_Audio))
        return E_INVALIDARG;
    m_mediaType = dshow::MediaType(*mt);
    return S_OK;
}

STDMETHODIMP TimelineNode::SetOutputFPS(double fps) {
    return com::SetValue(m_outputFps, fps, fps > 0);
}

STDMETHODIMP TimelineNode::GetOutputFPS(double* fps) {
    return com::GetValue(fps, m_outputFps);
}

STDMETHODIMP TimelineNode::SetGroupName(BSTR name) {
    return com::ComGuard([&] { return com::SetValue(m_groupName, com::U16FromBstr(name)); });
}

STDMETHODIMP TimelineNode::GetGroupName(BSTR* name) { return OutBstr(m_groupName, name); }

STDMETHODIMP TimelineNode::SetPreviewMode(BOOL preview) { return com::SetValue(m_preview, preview); }

STDMETHODIMP TimelineNode::GetPreviewMode(BOOL* preview) {
    return com::GetValue(preview, m_preview);
}

STDMETHODIMP TimelineNode::SetMediaTypeForVB(LONG type) {
    AM_MEDIA_TYPE mt{};
    if (type == 1) {
        mt.majortype = MEDIATYPE_Audio;
        return SetMediaType(&mt);
    }
    if (type != 0) return E_INVALIDARG;
    dshow::MediaType video = com::Rgb32VideoType(320, 240);
    return SetMediaType(&video.Edit());
}

STDMETHODIMP TimelineNode::GetOutputBuffering(int* buffer) {
    return com::GetValue(buffer, m_buffering);
}

STDMETHODIMP TimelineNode::SetOutputBuffering(int buffer) {
    return com::SetValue(m_buffering, buffer, buffer >= 2);
}

STDMETHODIMP TimelineNode::IsSmartRecompressFormatSet(BOOL* set) {
    return com::GetValue(set, FALSE);
}

STDMETHODIMP TimelineNode::IsRecompressFormatDirty(BOOL* dirty) {
    return com::GetValue(dirty, FALSE);
}

// IAMTimelineComp --------------------------------------------------------------------

STDMETHODIMP TimelineNode::VTrackInsBefore(IAMTimelineObj* track, LONG priority) {
    return com::ComGuard([&]() -> HRESULT {
        TimelineNode* node = NodeOf(track);
        if (!node || node == this) return E_INVALIDARG;
        if (node->Type() != TIMELINE_MAJOR_TYPE_TRACK && node->Type() != TIMELINE_MAJOR_TYPE_COMPOSITE)
            return E_INVALIDARG;
        if (node->Parent()) return E_INVALIDARG;
        // Never a composite that holds this one: the tree would become a loop.
        for (const TimelineNode* n = m_parent; n; n = n->m_parent)
            if (n == node) return E_INVALIDARG;
        const auto at = priority < 0 || static_cast<size_t>(priority) >= m_children.size()
                            ? m_children.end()
                            : m_children.begin() + priority;
        m_children.insert(at, ComPtr<IAMTimelineObj>(track));
        node->SetParent(this);
        return S_OK;
    });
}

STDMETHODIMP TimelineNode::VTrackGetCount(LONG* count) {
    return com::GetValue(count, static_cast<LONG>(m_children.size()));
}

STDMETHODIMP TimelineNode::GetVTrack(IAMTimelineObj** track, LONG which) {
    if (!track) return E_POINTER;
    *track = nullptr;
    if (which < 0 || static_cast<size_t>(which) >= m_children.size()) return E_INVALIDARG;
    return m_children[static_cast<size_t>(which)].CopyTo(track);
}

STDMETHODIMP TimelineNode::GetCountOfType(LONG* value, LONG* withComps, TIMELINE_MAJOR_TYPE type) {
    if (!value || !withComps) return E_POINTER;
    *value = 0;
    *withComps = 0;
    for (auto& child : m_children) {
        TimelineNode* n = NodeOf(child.Get());
        if (!n) continue;
        if (n->Type() == type) ++*value;
        if (n->IsComp() || n->IsTrack()) {
            LONG v = 0, w = 0;
            n->GetCountOfType(&v, &w, type);
            *value += v;
        }
    }
    *withComps = *value;
    return S_OK;
}

STDMETHODIMP TimelineNode::GetNextVTrack(IAMTimelineObj* track, IAMTimelineObj** next) {
    if (!next) return E_POINTER;
    *next = nullptr;
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i].Get() == track)
            return i + 1 < m_children.size() ? m_children[i + 1].CopyTo(next) : HRESULT(S_FALSE);
    return E_INVALIDARG;
}

// IAMTimelineTrack -------------------------------------------------------------------

STDMETHODIMP TimelineNode::SrcAdd(IAMTimelineObj* source) {
    return com::ComGuard([&]() -> HRESULT {
        TimelineNode* node = NodeOf(source);
        if (!node || node->Type() != TIMELINE_MAJOR_TYPE_SOURCE || node->Parent()) return E_INVALIDARG;
        // Kept in time order.
        auto at = m_children.begin();
        while (at != m_children.end()) {
            REFERENCE_TIME a = 0, b = 0;
            (*at)->GetStartStop(&a, &b);
            if (a > node->m_start) break;
            ++at;
        }
        m_children.insert(at, ComPtr<IAMTimelineObj>(source));
        node->SetParent(this);
        return S_OK;
    });
}

STDMETHODIMP TimelineNode::GetNextSrc(IAMTimelineObj** source, REFERENCE_TIME* inOut) {
    if (!source || !inOut) return E_POINTER;
    *source = nullptr;
    for (auto& child : m_children) {
        REFERENCE_TIME a = 0, b = 0;
        child->GetStartStop(&a, &b);
        // The source playing at that time, or else the next to start.
        if (a >= *inOut || b > *inOut) {
            *inOut = b;
            return child.CopyTo(source);
        }
    }
    return S_FALSE;
}

STDMETHODIMP TimelineNode::GetNextSrc2(IAMTimelineObj** source, REFTIME* inOut) {
    if (!inOut) return E_POINTER;
    REFERENCE_TIME t = ToUnits(*inOut);
    const HRESULT hr = GetNextSrc(source, &t);
    *inOut = static_cast<double>(t) / kUnits;
    return hr;
}

STDMETHODIMP TimelineNode::GetSourcesCount(LONG* count) {
    return com::GetValue(count, static_cast<LONG>(m_children.size()));
}

STDMETHODIMP TimelineNode::AreYouBlank(LONG* blank) {
    return com::GetValue(blank, m_children.empty() ? 1 : 0);
}

STDMETHODIMP TimelineNode::GetNextSrcEx(IAMTimelineObj* last, IAMTimelineObj** next) {
    if (!next) return E_POINTER;
    *next = nullptr;
    if (!last) return m_children.empty() ? S_FALSE : m_children.front().CopyTo(next);
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i].Get() == last) return i + 1 < m_children.size() ? m_children[i + 1].CopyTo(next) : HRESULT(S_FALSE);
    return E_INVALIDARG;
}

// IAMTimelineSrc ---------------------------------------------------------------------

STDMETHODIMP TimelineNode::GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (!start || !stop) return E_POINTER;
    *start = m_mediaStart;
    *stop = m_mediaStop;
    return S_OK;
}

STDMETHODIMP TimelineNode::GetMediaTimes2(REFTIME* start, REFTIME* stop) {
    if (!start || !stop) return E_POINTER;
    *start = static_cast<double>(m_mediaStart) / kUnits;
    *stop = static_cast<double>(m_mediaStop) / kUnits;
    return S_OK;
}

STDMETHODIMP TimelineNode::ModifyStopTime(REFERENCE_TIME stop) {
    return com::SetValue(m_stop, stop, stop >= m_start);
}

STDMETHODIMP TimelineNode::ModifyStopTime2(REFTIME stop) { return ModifyStopTime(ToUnits(stop)); }

STDMETHODIMP TimelineNode::SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop) {
    return SetSpan(start, stop, m_mediaStart, m_mediaStop);
}

STDMETHODIMP TimelineNode::SetMediaTimes2(REFTIME start, REFTIME stop) { return SetMediaTimes(ToUnits(start), ToUnits(stop)); }

STDMETHODIMP TimelineNode::SetMediaLength(REFERENCE_TIME length) {
    return com::SetValue(m_mediaLength, length, length >= 0);
}

STDMETHODIMP TimelineNode::SetMediaLength2(REFTIME length) { return SetMediaLength(ToUnits(length)); }

STDMETHODIMP TimelineNode::GetMediaLength(REFERENCE_TIME* length) {
    return com::GetValue(length, m_mediaLength);
}

STDMETHODIMP TimelineNode::GetMediaLength2(REFTIME* length) {
    return com::GetValue(length, static_cast<double>(m_mediaLength) / kUnits);
}

STDMETHODIMP TimelineNode::GetMediaName(BSTR* name) { return OutBstr(m_mediaName, name); }

STDMETHODIMP TimelineNode::SetMediaName(BSTR name) {
    return com::ComGuard([&] { return com::SetValue(m_mediaName, com::U16FromBstr(name)); });
}

STDMETHODIMP TimelineNode::GetStreamNumber(LONG* number) {
    return com::GetValue(number, m_streamNumber);
}

STDMETHODIMP TimelineNode::SetStreamNumber(LONG number) {
    return com::SetValue(m_streamNumber, number, number >= 0);
}

STDMETHODIMP TimelineNode::IsNormalRate(BOOL* normal) {
    return com::GetValue(normal, (m_mediaStop - m_mediaStart) == (m_stop - m_start) ? TRUE : FALSE);
}

STDMETHODIMP TimelineNode::GetDefaultFPS(double* fps) {
    return com::GetValue(fps, m_sourceFps);
}

STDMETHODIMP TimelineNode::SetDefaultFPS(double fps) {
    return com::SetValue(m_sourceFps, fps, !(fps < 0));
}

STDMETHODIMP TimelineNode::GetStretchMode(int* mode) {
    return com::GetValue(mode, m_stretchMode);
}

// Pictures are always stretched to the group's size; cropping and
// letterboxing are not offered.
STDMETHODIMP TimelineNode::SetStretchMode(int mode) {
    if (mode < RESIZEF_STRETCH || mode > RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX) return E_INVALIDARG;
    if (mode != RESIZEF_STRETCH) return E_NOTIMPL;
    m_stretchMode = mode;
    return S_OK;
}

}  // namespace plat
