// The editing-services timeline (CLSID_AMTimeline) and its nodes. A node is
// one object whose interfaces follow its type: every node is an
// IAMTimelineObj; a group adds IAMTimelineGroup and IAMTimelineComp, a
// composite IAMTimelineComp, a track IAMTimelineTrack, a source
// IAMTimelineSrc. Parents hold their children; children know their parent
// without a reference. Transitions, effects, property setters and
// persistence are not offered (E_NOTIMPL).
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>
#include <vector>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"
#include "platform/dshow/MediaType.h"
#include "platform/include/EditingServices.h"

namespace plat {

class TimelineNode;

class Timeline final : public com::ComObjectRoot, public IAMTimeline {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);

    COM_BEGIN_QI()
        COM_QI(IUnknown)
        COM_QI(IAMTimeline)
    COM_END_QI()

    STDMETHODIMP CreateEmptyNode(IAMTimelineObj** obj, TIMELINE_MAJOR_TYPE type) override;
    STDMETHODIMP AddGroup(IAMTimelineObj* group) override;
    STDMETHODIMP RemGroupFromList(IAMTimelineObj* group) override;
    STDMETHODIMP GetGroup(IAMTimelineObj** group, LONG index) override;
    STDMETHODIMP GetGroupCount(LONG* count) override;
    STDMETHODIMP ClearAllGroups() override;
    STDMETHODIMP GetInsertMode(LONG* mode) override;
    STDMETHODIMP SetInsertMode(LONG mode) override;
    STDMETHODIMP EnableTransitions(BOOL enabled) override;
    STDMETHODIMP TransitionsEnabled(BOOL* enabled) override;
    STDMETHODIMP EnableEffects(BOOL enabled) override;
    STDMETHODIMP EffectsEnabled(BOOL* enabled) override;
    STDMETHODIMP SetInterestRange(REFERENCE_TIME start, REFERENCE_TIME stop) override;
    STDMETHODIMP GetDuration(REFERENCE_TIME* duration) override;
    STDMETHODIMP GetDuration2(double* duration) override;
    STDMETHODIMP SetDefaultFPS(double fps) override;
    STDMETHODIMP GetDefaultFPS(double* fps) override;
    STDMETHODIMP IsDirty(BOOL* dirty) override;
    STDMETHODIMP GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCountOfType(LONG group, LONG* value, LONG* withComps, TIMELINE_MAJOR_TYPE type) override;
    STDMETHODIMP ValidateSourceNames(LONG flags, IMediaLocator* override, LONG_PTR notifyEvent) override;
    STDMETHODIMP SetDefaultTransition(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultTransition(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultEffect(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultEffect(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultTransitionB(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultTransitionB(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultEffectB(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultEffectB(BSTR*) override { return E_NOTIMPL; }

    void Forget(TimelineNode* node);

    Timeline() = default;

private:
    ~Timeline() override;
    std::vector<com::ComPtr<IAMTimelineObj>> m_groups;
    std::vector<TimelineNode*> m_nodes;  // every node made here, to detach at the end
    LONG m_insertMode = 2;  // TIMELINE_INSERT_MODE_OVERLAY
    BOOL m_transitions = TRUE, m_effects = TRUE;
    double m_defaultFps = 15.0;
};

class TimelineNode final : public com::ComObjectRoot,
                           public IAMTimelineObj,
                           public IAMTimelineGroup,
                           public IAMTimelineComp,
                           public IAMTimelineTrack,
                           public IAMTimelineSrc {
public:
    TimelineNode(Timeline* timeline, TIMELINE_MAJOR_TYPE type);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }

    // IAMTimelineObj
    STDMETHODIMP GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    STDMETHODIMP GetStartStop2(REFTIME* start, REFTIME* stop) override;
    STDMETHODIMP FixTimes(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP FixTimes2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop) override;
    STDMETHODIMP SetStartStop2(REFTIME start, REFTIME stop) override;
    STDMETHODIMP GetPropertySetter(IPropertySetter**) override { return E_NOTIMPL; }
    STDMETHODIMP SetPropertySetter(IPropertySetter*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSubObject(IUnknown** obj) override;
    STDMETHODIMP SetSubObject(IUnknown* obj) override;
    STDMETHODIMP SetSubObjectGUID(GUID guid) override;
    STDMETHODIMP SetSubObjectGUIDB(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetSubObjectGUID(GUID* guid) override;
    STDMETHODIMP GetSubObjectGUIDB(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSubObjectLoaded(BOOL* loaded) override;
    STDMETHODIMP GetTimelineType(TIMELINE_MAJOR_TYPE* type) override;
    STDMETHODIMP SetTimelineType(TIMELINE_MAJOR_TYPE type) override;
    STDMETHODIMP GetUserID(LONG* id) override;
    STDMETHODIMP SetUserID(LONG id) override;
    STDMETHODIMP GetGenID(LONG* id) override;
    STDMETHODIMP GetUserName(BSTR* name) override;
    STDMETHODIMP SetUserName(BSTR name) override;
    STDMETHODIMP GetUserData(BYTE*, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP SetUserData(BYTE*, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetMuted(BOOL* muted) override;
    STDMETHODIMP SetMuted(BOOL muted) override;
    STDMETHODIMP GetLocked(BOOL* locked) override;
    STDMETHODIMP SetLocked(BOOL locked) override;
    STDMETHODIMP GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDirtyRange2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDirtyRange(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP SetDirtyRange2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP ClearDirty() override { return S_OK; }
    STDMETHODIMP Remove() override;
    STDMETHODIMP RemoveAll() override { return Remove(); }
    STDMETHODIMP GetTimelineNoRef(IAMTimeline** timeline) override;
    STDMETHODIMP GetGroupIBelongTo(IAMTimelineGroup** group) override;
    STDMETHODIMP GetEmbedDepth(LONG* depth) override;

    // IAMTimelineGroup
    STDMETHODIMP SetTimeline(IAMTimeline* timeline) override;
    STDMETHODIMP GetTimeline(IAMTimeline** timeline) override;
    STDMETHODIMP GetPriority(LONG* priority) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP SetOutputFPS(double fps) override;
    STDMETHODIMP GetOutputFPS(double* fps) override;
    STDMETHODIMP SetGroupName(BSTR name) override;
    STDMETHODIMP GetGroupName(BSTR* name) override;
    STDMETHODIMP SetPreviewMode(BOOL preview) override;
    STDMETHODIMP GetPreviewMode(BOOL* preview) override;
    STDMETHODIMP SetMediaTypeForVB(LONG type) override;
    STDMETHODIMP GetOutputBuffering(int* buffer) override;
    STDMETHODIMP SetOutputBuffering(int buffer) override;
    STDMETHODIMP SetSmartRecompressFormat(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSmartRecompressFormat(LONG**) override { return E_NOTIMPL; }
    STDMETHODIMP IsSmartRecompressFormatSet(BOOL* set) override;
    STDMETHODIMP IsRecompressFormatDirty(BOOL* dirty) override;
    STDMETHODIMP ClearRecompressFormatDirty() override { return S_OK; }
    STDMETHODIMP SetRecompFormatFromSource(IAMTimelineSrc*) override { return E_NOTIMPL; }

    // IAMTimelineComp
    STDMETHODIMP VTrackInsBefore(IAMTimelineObj* track, LONG priority) override;
    STDMETHODIMP VTrackSwapPriorities(LONG, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP VTrackGetCount(LONG* count) override;
    STDMETHODIMP GetVTrack(IAMTimelineObj** track, LONG which) override;
    STDMETHODIMP GetCountOfType(LONG* value, LONG* withComps, TIMELINE_MAJOR_TYPE type) override;
    STDMETHODIMP GetRecursiveLayerOfType(IAMTimelineObj**, LONG, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP GetRecursiveLayerOfTypeI(IAMTimelineObj**, LONG*, TIMELINE_MAJOR_TYPE) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextVTrack(IAMTimelineObj* track, IAMTimelineObj** next) override;

    // IAMTimelineTrack
    STDMETHODIMP SrcAdd(IAMTimelineObj* source) override;
    STDMETHODIMP GetNextSrc(IAMTimelineObj** source, REFERENCE_TIME* inOut) override;
    STDMETHODIMP GetNextSrc2(IAMTimelineObj** source, REFTIME* inOut) override;
    STDMETHODIMP MoveEverythingBy(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP MoveEverythingBy2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetSourcesCount(LONG* count) override;
    STDMETHODIMP AreYouBlank(LONG* blank) override;
    STDMETHODIMP GetSrcAtTime(IAMTimelineObj**, REFERENCE_TIME, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetSrcAtTime2(IAMTimelineObj**, REFTIME, LONG) override { return E_NOTIMPL; }
    STDMETHODIMP InsertSpace(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP InsertSpace2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP ZeroBetween(REFERENCE_TIME, REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP ZeroBetween2(REFTIME, REFTIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextSrcEx(IAMTimelineObj* last, IAMTimelineObj** next) override;

    // IAMTimelineSrc
    STDMETHODIMP GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    STDMETHODIMP GetMediaTimes2(REFTIME* start, REFTIME* stop) override;
    STDMETHODIMP ModifyStopTime(REFERENCE_TIME stop) override;
    STDMETHODIMP ModifyStopTime2(REFTIME stop) override;
    STDMETHODIMP FixMediaTimes(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP FixMediaTimes2(REFTIME*, REFTIME*) override { return E_NOTIMPL; }
    STDMETHODIMP SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop) override;
    STDMETHODIMP SetMediaTimes2(REFTIME start, REFTIME stop) override;
    STDMETHODIMP SetMediaLength(REFERENCE_TIME length) override;
    STDMETHODIMP SetMediaLength2(REFTIME length) override;
    STDMETHODIMP GetMediaLength(REFERENCE_TIME* length) override;
    STDMETHODIMP GetMediaLength2(REFTIME* length) override;
    STDMETHODIMP GetMediaName(BSTR* name) override;
    STDMETHODIMP SetMediaName(BSTR name) override;
    STDMETHODIMP SpliceWithNext(IAMTimelineObj*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStreamNumber(LONG* number) override;
    STDMETHODIMP SetStreamNumber(LONG number) override;
    STDMETHODIMP IsNormalRate(BOOL* normal) override;
    STDMETHODIMP GetDefaultFPS(double* fps) override;
    STDMETHODIMP SetDefaultFPS(double fps) override;
    STDMETHODIMP GetStretchMode(int* mode) override;
    STDMETHODIMP SetStretchMode(int mode) override;

    // For the timeline and the parents.
    TIMELINE_MAJOR_TYPE Type() const { return m_type; }
    void DetachTimeline() { m_timeline = nullptr; }
    void SetParent(TimelineNode* parent) { m_parent = parent; }
    TimelineNode* Parent() const { return m_parent; }
    bool InGroupList() const { return m_inGroupList; }
    void SetInGroupList(bool in) { m_inGroupList = in; }

private:
    ~TimelineNode() override;
    bool IsGroup() const { return m_type == TIMELINE_MAJOR_TYPE_GROUP; }
    bool IsComp() const { return IsGroup() || m_type == TIMELINE_MAJOR_TYPE_COMPOSITE; }
    bool IsTrack() const { return m_type == TIMELINE_MAJOR_TYPE_TRACK; }
    bool IsSource() const { return m_type == TIMELINE_MAJOR_TYPE_SOURCE; }
    void RemoveChild(TimelineNode* child);
    const TimelineNode* GroupNode() const;

    Timeline* m_timeline;  // not counted; cleared when the timeline goes
    TIMELINE_MAJOR_TYPE m_type;
    TimelineNode* m_parent = nullptr;
    std::vector<com::ComPtr<IAMTimelineObj>> m_children;  // tracks of a composite, sources of a track
    bool m_inGroupList = false;

    REFERENCE_TIME m_start = 0, m_stop = 0;
    com::ComPtr<IUnknown> m_subObject;
    GUID m_subObjectGuid = GUID_NULL;
    LONG m_userId = 0, m_genId;
    std::u16string m_userName;
    BOOL m_muted = FALSE, m_locked = FALSE;

    dshow::MediaType m_mediaType;  // group
    double m_outputFps = 15.0;
    std::u16string m_groupName;
    BOOL m_preview = TRUE;
    int m_buffering = 30;

    REFERENCE_TIME m_mediaStart = 0, m_mediaStop = 0, m_mediaLength = 0;  // source
    std::u16string m_mediaName;
    LONG m_streamNumber = 0;
    double m_sourceFps = 0.0;
    int m_stretchMode = 0;
};

}  // namespace plat
