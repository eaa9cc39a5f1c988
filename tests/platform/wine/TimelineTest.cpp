// The timeline and its nodes reached through the registry, as the control
// builds them and as the editing interfaces promise: a node of every type
// and the interfaces each answers, times on sources and on containers,
// tracks, sources and groups put in, found in order and taken out, group
// types and names, and nodes that outlive their timeline or their parent.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <cmath>

#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "platform/include/EditingServices.h"
#include "tests/platform/wine/EditingTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;
using pt::NewTimeline;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

ComPtr<IAMTimelineObj> NewNode(IAMTimeline* timeline, TIMELINE_MAJOR_TYPE type) {
    ComPtr<IAMTimelineObj> node;
    CHECK_HR(timeline->CreateEmptyNode(node.Put(), type));
    return node;
}

template <class I>
ComPtr<I> Query(const ComPtr<IAMTimelineObj>& node, REFIID iid) {
    ComPtr<I> out;
    CHECK_HR(node.As(iid, out));
    return out;
}

ComPtr<IAMTimelineObj> Source(IAMTimeline* timeline, REFERENCE_TIME start, REFERENCE_TIME stop) {
    ComPtr<IAMTimelineObj> source = NewNode(timeline, TIMELINE_MAJOR_TYPE_SOURCE);
    CHECK_HR(source->SetStartStop(start, stop));
    return source;
}

// A group in the timeline holding a track holding a source, each with a probe.
void AddProbedGroup(IAMTimeline* timeline, int& gone, ComPtr<IAMTimelineObj>& group, ComPtr<IAMTimelineObj>& track,
                    ComPtr<IAMTimelineObj>& source) {
    group = NewNode(timeline, TIMELINE_MAJOR_TYPE_GROUP);
    track = NewNode(timeline, TIMELINE_MAJOR_TYPE_TRACK);
    source = Source(timeline, 0, kSecond);
    for (IAMTimelineObj* n : {group.Get(), track.Get(), source.Get()}) pt::HangProbe(n, gone);
    CHECK_HR(Query<IAMTimelineComp>(group, IID_IAMTimelineComp)->VTrackInsBefore(track.Get(), -1));
    CHECK_HR(Query<IAMTimelineTrack>(track, IID_IAMTimelineTrack)->SrcAdd(source.Get()));
    CHECK_HR(timeline->AddGroup(group.Get()));
}

bool Answers(IAMTimelineObj* node, REFIID iid) {
    IUnknown* out = reinterpret_cast<IUnknown*>(0x1);
    const HRESULT hr = node->QueryInterface(iid, reinterpret_cast<void**>(&out));
    if (FAILED(hr)) {
        CHECK(out == nullptr);
        return false;
    }
    out->Release();
    return true;
}

}  // namespace

WT_TEST(Timeline, NodesOfEveryTypeAnswerTheirOwnInterfaces) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    struct Row {
        TIMELINE_MAJOR_TYPE type;
        bool group, comp, track, src;
    };
    const Row rows[] = {
        {TIMELINE_MAJOR_TYPE_GROUP, true, true, false, false},
        {TIMELINE_MAJOR_TYPE_COMPOSITE, false, true, false, false},
        {TIMELINE_MAJOR_TYPE_TRACK, false, false, true, false},
        {TIMELINE_MAJOR_TYPE_SOURCE, false, false, false, true},
    };
    LONG lastId = 0;
    for (const Row& row : rows) {
        ComPtr<IAMTimelineObj> node = NewNode(timeline.Get(), row.type);
        REQUIRE(node);
        TIMELINE_MAJOR_TYPE type{};
        CHECK_HR(node->GetTimelineType(&type));
        CHECK_EQ(type, row.type);
        CHECK_EQ(Answers(node.Get(), IID_IAMTimelineGroup), row.group);
        CHECK_EQ(Answers(node.Get(), IID_IAMTimelineComp), row.comp);
        CHECK_EQ(Answers(node.Get(), IID_IAMTimelineTrack), row.track);
        CHECK_EQ(Answers(node.Get(), IID_IAMTimelineSrc), row.src);
        CHECK(Answers(node.Get(), IID_IUnknown));
        // A node keeps its type.
        CHECK_HR(node->SetTimelineType(row.type));
        CHECK(FAILED(node->SetTimelineType(row.type == TIMELINE_MAJOR_TYPE_SOURCE ? TIMELINE_MAJOR_TYPE_TRACK
                                                                                  : TIMELINE_MAJOR_TYPE_SOURCE)));
        CHECK_HR(node->GetTimelineType(&type));
        CHECK_EQ(type, row.type);
        // Every node knows its timeline, without a reference, and has an
        // identifier of its own.
        IAMTimeline* owner = nullptr;
        CHECK_HR(node->GetTimelineNoRef(&owner));
        CHECK(owner == timeline.Get());
        LONG id = 0;
        CHECK_HR(node->GetGenID(&id));
        CHECK(id != lastId);
        lastId = id;
    }
    // Kinds not offered and numbers that name no kind are refused, and the
    // out-parameter is cleared.
    for (int bad : {0, 3, 5, 64, 256, -1}) {
        IAMTimelineObj* node = reinterpret_cast<IAMTimelineObj*>(0x1);
        CHECK_HR_EQ(timeline->CreateEmptyNode(&node, static_cast<TIMELINE_MAJOR_TYPE>(bad)), E_INVALIDARG);
        CHECK(node == nullptr);
    }
    for (TIMELINE_MAJOR_TYPE notOffered : {TIMELINE_MAJOR_TYPE_TRANSITION, TIMELINE_MAJOR_TYPE_EFFECT}) {
        IAMTimelineObj* node = reinterpret_cast<IAMTimelineObj*>(0x1);
        CHECK(FAILED(timeline->CreateEmptyNode(&node, notOffered)));
        CHECK(node == nullptr);
    }
    CHECK_HR_EQ(timeline->CreateEmptyNode(nullptr, TIMELINE_MAJOR_TYPE_SOURCE), E_POINTER);
}

WT_TEST(Timeline, TimesOfSourcesAndContainers) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> source = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_SOURCE);
    REQUIRE(source);
    REFERENCE_TIME start = -7, stop = -7;
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, 0LL);
    CHECK_EQ(stop, 0LL);

    CHECK_HR(source->SetStartStop(2 * kSecond, 5 * kSecond));
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, 2 * kSecond);
    CHECK_EQ(stop, 5 * kSecond);
    // Seconds in, seconds out, and the same time in units.
    CHECK_HR(source->SetStartStop2(0.5, 1.25));
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, 5000000LL);
    CHECK_EQ(stop, 12500000LL);
    REFTIME s = -1, e = -1;
    CHECK_HR(source->GetStartStop2(&s, &e));
    CHECK_EQ(s, 0.5);
    CHECK_EQ(e, 1.25);
    // A stop before the start, or a start before zero, is refused and the
    // times stay as they were. A source of no length is allowed.
    CHECK_HR_EQ(source->SetStartStop(3 * kSecond, 2 * kSecond), E_INVALIDARG);
    CHECK_HR_EQ(source->SetStartStop2(3.0, 2.0), E_INVALIDARG);
    CHECK_HR_EQ(source->SetStartStop(-5 * kSecond, 2 * kSecond), E_INVALIDARG);
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, 5000000LL);
    CHECK_EQ(stop, 12500000LL);
    CHECK_HR(source->SetStartStop(kSecond, kSecond));
    CHECK_HR_EQ(source->GetStartStop(nullptr, &stop), E_POINTER);
    CHECK_HR_EQ(source->GetStartStop2(&s, nullptr), E_POINTER);

    // Media times stand apart from the timeline times.
    ComPtr<IAMTimelineSrc> src = Query<IAMTimelineSrc>(source, IID_IAMTimelineSrc);
    REQUIRE(src);
    CHECK_HR(src->SetMediaTimes(10 * kSecond, 11 * kSecond));
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, kSecond);
    CHECK_EQ(stop, kSecond);
    REFERENCE_TIME ms = 0, me = 0;
    CHECK_HR(src->GetMediaTimes(&ms, &me));
    CHECK_EQ(ms, 10 * kSecond);
    CHECK_EQ(me, 11 * kSecond);
    CHECK_HR(src->SetMediaTimes2(0.25, 0.75));
    CHECK_HR(src->GetMediaTimes2(&s, &e));
    CHECK_EQ(s, 0.25);
    CHECK_EQ(e, 0.75);
    CHECK_HR_EQ(src->SetMediaTimes(2 * kSecond, kSecond), E_INVALIDARG);
    CHECK_HR_EQ(src->SetMediaTimes(-kSecond, kSecond), E_INVALIDARG);
    CHECK_HR(src->GetMediaTimes(&ms, &me));
    CHECK_EQ(ms, 2500000LL);
    CHECK_EQ(me, 7500000LL);
    // The stop time moves alone, never before the start.
    CHECK_HR(source->SetStartStop(kSecond, 2 * kSecond));
    CHECK_HR(src->ModifyStopTime(4 * kSecond));
    CHECK_HR_EQ(src->ModifyStopTime(0), E_INVALIDARG);
    CHECK_HR(source->GetStartStop(&start, &stop));
    CHECK_EQ(start, kSecond);
    CHECK_EQ(stop, 4 * kSecond);
    CHECK_HR_EQ(src->SetMediaLength(-1), E_INVALIDARG);
    CHECK_HR(src->SetMediaLength2(2.5));
    REFERENCE_TIME length = 0;
    CHECK_HR(src->GetMediaLength(&length));
    CHECK_EQ(length, 25000000LL);

    // Tracks, groups and the timeline span what they hold, from zero,
    // whatever is set on them.
    ComPtr<IAMTimelineObj> group = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineObj> track = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineTrack> t = Query<IAMTimelineTrack>(track, IID_IAMTimelineTrack);
    REQUIRE(t);
    CHECK_HR(t->SrcAdd(Source(timeline.Get(), 2 * kSecond, 3 * kSecond).Get()));
    CHECK_HR(t->SrcAdd(Source(timeline.Get(), 0, kSecond).Get()));
    CHECK_HR(Query<IAMTimelineComp>(group, IID_IAMTimelineComp)->VTrackInsBefore(track.Get(), -1));
    CHECK_HR(timeline->AddGroup(group.Get()));
    group->SetStartStop(5 * kSecond, 9 * kSecond);
    for (IAMTimelineObj* container : {track.Get(), group.Get()}) {
        CHECK_HR(container->GetStartStop(&start, &stop));
        CHECK_EQ(start, 0LL);
        CHECK_EQ(stop, 3 * kSecond);
    }
    REFERENCE_TIME duration = 0;
    CHECK_HR(timeline->GetDuration(&duration));
    CHECK_EQ(duration, 3 * kSecond);
    double seconds = 0;
    CHECK_HR(timeline->GetDuration2(&seconds));
    CHECK_EQ(seconds, 3.0);
}

WT_TEST(Timeline, TracksInPriorityOrder) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> group = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineComp> comp = Query<IAMTimelineComp>(group, IID_IAMTimelineComp);
    REQUIRE(comp);
    ComPtr<IAMTimelineObj> t1 = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineObj> t2 = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineObj> t3 = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    CHECK_HR(comp->VTrackInsBefore(t1.Get(), -1));
    CHECK_HR(comp->VTrackInsBefore(t2.Get(), -1));
    CHECK_HR(comp->VTrackInsBefore(t3.Get(), 0));
    LONG count = 0;
    CHECK_HR(comp->VTrackGetCount(&count));
    CHECK_EQ(count, 3);
    const IAMTimelineObj* order[] = {t3.Get(), t1.Get(), t2.Get()};
    for (LONG i = 0; i < 3; ++i) {
        ComPtr<IAMTimelineObj> at;
        CHECK_HR(comp->GetVTrack(at.Put(), i));
        CHECK(at.Get() == order[i]);
    }
    IAMTimelineObj* none = reinterpret_cast<IAMTimelineObj*>(0x1);
    CHECK_HR_EQ(comp->GetVTrack(&none, 3), E_INVALIDARG);
    CHECK(none == nullptr);
    CHECK_HR_EQ(comp->GetVTrack(&none, -1), E_INVALIDARG);
    ComPtr<IAMTimelineObj> next;
    CHECK_HR(comp->GetNextVTrack(t3.Get(), next.Put()));
    CHECK(next.Get() == t1.Get());
    CHECK_HR_EQ(comp->GetNextVTrack(t2.Get(), next.Put()), S_FALSE);
    CHECK(!next);

    // Depth below the group, and the group each one belongs to.
    LONG depth = -1;
    CHECK_HR(t1->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 1);
    CHECK_HR(group->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 0);
    ComPtr<IAMTimelineGroup> owner;
    CHECK_HR(t1->GetGroupIBelongTo(owner.Put()));
    CHECK(static_cast<IUnknown*>(owner.Get()) != nullptr);
    ComPtr<IAMTimelineGroup> direct = Query<IAMTimelineGroup>(group, IID_IAMTimelineGroup);
    CHECK(owner.Get() == direct.Get());

    // What may not go in is refused and nothing changes: a track already
    // placed, a source, a group, the composite itself.
    CHECK_HR_EQ(comp->VTrackInsBefore(t1.Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(comp->VTrackInsBefore(NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_SOURCE).Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(comp->VTrackInsBefore(NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP).Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(comp->VTrackInsBefore(group.Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(comp->VTrackInsBefore(nullptr, -1), E_INVALIDARG);
    CHECK_HR(comp->VTrackGetCount(&count));
    CHECK_EQ(count, 3);

    // A composite can hold a composite, but never one that holds it: that
    // would be a loop no walk through the tree comes out of.
    ComPtr<IAMTimelineObj> outer = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE);
    ComPtr<IAMTimelineObj> inner = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE);
    ComPtr<IAMTimelineObj> innermost = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE);
    ComPtr<IAMTimelineComp> outerComp = Query<IAMTimelineComp>(outer, IID_IAMTimelineComp);
    ComPtr<IAMTimelineComp> innerComp = Query<IAMTimelineComp>(inner, IID_IAMTimelineComp);
    ComPtr<IAMTimelineComp> innermostComp = Query<IAMTimelineComp>(innermost, IID_IAMTimelineComp);
    REQUIRE(outerComp && innerComp && innermostComp);
    CHECK_HR(outerComp->VTrackInsBefore(inner.Get(), -1));
    CHECK_HR(innerComp->VTrackInsBefore(innermost.Get(), -1));
    CHECK_HR_EQ(innerComp->VTrackInsBefore(outer.Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(innermostComp->VTrackInsBefore(outer.Get(), -1), E_INVALIDARG);
    CHECK_HR_EQ(outerComp->VTrackInsBefore(outer.Get(), -1), E_INVALIDARG);
    CHECK_HR(innermost->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 2);
    REFERENCE_TIME start = 0, stop = 0;
    CHECK_HR(outer->GetStartStop(&start, &stop));

    // A track taken out leaves the others in order and can go in again.
    CHECK_HR(t1->Remove());
    CHECK_HR(comp->VTrackGetCount(&count));
    CHECK_EQ(count, 2);
    CHECK_HR_EQ(t1->GetGroupIBelongTo(owner.Put()), S_FALSE);
    CHECK(!owner);
    CHECK_HR(comp->GetNextVTrack(t3.Get(), next.Put()));
    CHECK(next.Get() == t2.Get());
    CHECK_HR_EQ(comp->GetNextVTrack(t1.Get(), next.Put()), E_INVALIDARG);
    CHECK_HR(comp->VTrackInsBefore(t1.Get(), 1));
    CHECK_HR(comp->GetVTrack(next.Put(), 1));
    CHECK(next.Get() == t1.Get());
}

WT_TEST(Timeline, SourcesOnATrack) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> track = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineTrack> t = Query<IAMTimelineTrack>(track, IID_IAMTimelineTrack);
    REQUIRE(t);
    LONG blank = -1, count = -1;
    CHECK_HR(t->AreYouBlank(&blank));
    CHECK_EQ(blank, 1);
    ComPtr<IAMTimelineObj> next;
    CHECK_HR_EQ(t->GetNextSrcEx(nullptr, next.Put()), S_FALSE);
    CHECK(!next);
    REFERENCE_TIME at = 0;
    CHECK_HR_EQ(t->GetNextSrc(next.Put(), &at), S_FALSE);
    CHECK(!next);

    // Added out of order, found in time order.
    ComPtr<IAMTimelineObj> late = Source(timeline.Get(), 2 * kSecond, 3 * kSecond);
    ComPtr<IAMTimelineObj> early = Source(timeline.Get(), 0, kSecond);
    CHECK_HR(t->SrcAdd(late.Get()));
    CHECK_HR(t->SrcAdd(early.Get()));
    CHECK_HR(t->GetSourcesCount(&count));
    CHECK_EQ(count, 2);
    CHECK_HR(t->AreYouBlank(&blank));
    CHECK_EQ(blank, 0);
    CHECK_HR(t->GetNextSrcEx(nullptr, next.Put()));
    CHECK(next.Get() == early.Get());
    CHECK_HR(t->GetNextSrcEx(early.Get(), next.Put()));
    CHECK(next.Get() == late.Get());
    CHECK_HR_EQ(t->GetNextSrcEx(late.Get(), next.Put()), S_FALSE);
    CHECK(!next);

    // Walking by time: each answer moves the time to the source's stop.
    at = 0;
    CHECK_HR(t->GetNextSrc(next.Put(), &at));
    CHECK(next.Get() == early.Get());
    CHECK_EQ(at, kSecond);
    CHECK_HR(t->GetNextSrc(next.Put(), &at));
    CHECK(next.Get() == late.Get());
    CHECK_EQ(at, 3 * kSecond);
    CHECK_HR_EQ(t->GetNextSrc(next.Put(), &at), S_FALSE);
    CHECK(!next);
    // A time inside a source finds that source; a time in a gap, the next.
    at = kSecond / 2;
    CHECK_HR(t->GetNextSrc(next.Put(), &at));
    CHECK(next.Get() == early.Get());
    CHECK_EQ(at, kSecond);
    at = 2 * kSecond + 1;
    CHECK_HR(t->GetNextSrc(next.Put(), &at));
    CHECK(next.Get() == late.Get());
    at = kSecond + kSecond / 2;
    CHECK_HR(t->GetNextSrc(next.Put(), &at));
    CHECK(next.Get() == late.Get());
    REFTIME seconds = 2.5;
    CHECK_HR(t->GetNextSrc2(next.Put(), &seconds));
    CHECK(next.Get() == late.Get());
    CHECK_EQ(seconds, 3.0);
    CHECK_HR_EQ(t->GetNextSrc(nullptr, &at), E_POINTER);
    CHECK_HR_EQ(t->GetNextSrc(next.Put(), nullptr), E_POINTER);

    // A source sits on one track only; a track takes sources only.
    ComPtr<IAMTimelineObj> other = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK);
    ComPtr<IAMTimelineTrack> o = Query<IAMTimelineTrack>(other, IID_IAMTimelineTrack);
    REQUIRE(o);
    CHECK_HR_EQ(t->SrcAdd(early.Get()), E_INVALIDARG);
    CHECK_HR_EQ(o->SrcAdd(early.Get()), E_INVALIDARG);
    CHECK_HR_EQ(t->SrcAdd(other.Get()), E_INVALIDARG);
    CHECK_HR_EQ(t->SrcAdd(nullptr), E_INVALIDARG);
    CHECK_HR(t->GetSourcesCount(&count));
    CHECK_EQ(count, 2);

    // Taken out, a source can move to another track.
    LONG depth = -1;
    CHECK_HR(early->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 1);
    CHECK_HR(early->Remove());
    CHECK_HR(early->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 0);
    CHECK_HR(t->GetSourcesCount(&count));
    CHECK_EQ(count, 1);
    CHECK_HR(t->GetNextSrcEx(nullptr, next.Put()));
    CHECK(next.Get() == late.Get());
    CHECK_HR(o->SrcAdd(early.Get()));
    CHECK_HR(o->GetSourcesCount(&count));
    CHECK_EQ(count, 1);

    // Counting through a group: sources in every track.
    ComPtr<IAMTimelineObj> group = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineComp> comp = Query<IAMTimelineComp>(group, IID_IAMTimelineComp);
    REQUIRE(comp);
    CHECK_HR(comp->VTrackInsBefore(track.Get(), -1));
    CHECK_HR(comp->VTrackInsBefore(other.Get(), -1));
    CHECK_HR(timeline->AddGroup(group.Get()));
    LONG sources = 0, withComps = 0;
    CHECK_HR(timeline->GetCountOfType(0, &sources, &withComps, TIMELINE_MAJOR_TYPE_SOURCE));
    CHECK_EQ(sources, 2);
    CHECK_HR(comp->GetCountOfType(&sources, &withComps, TIMELINE_MAJOR_TYPE_TRACK));
    CHECK_EQ(sources, 2);
    CHECK_HR_EQ(timeline->GetCountOfType(1, &sources, &withComps, TIMELINE_MAJOR_TYPE_SOURCE), E_INVALIDARG);
    CHECK_HR(early->GetEmbedDepth(&depth));
    CHECK_EQ(depth, 2);
}

WT_TEST(Timeline, GroupsInAndOut) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> video = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineObj> audio = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineGroup> vg = Query<IAMTimelineGroup>(video, IID_IAMTimelineGroup);
    ComPtr<IAMTimelineGroup> ag = Query<IAMTimelineGroup>(audio, IID_IAMTimelineGroup);
    REQUIRE(vg && ag);
    LONG count = -1, priority = -1;
    CHECK_HR(timeline->GetGroupCount(&count));
    CHECK_EQ(count, 0);
    CHECK(FAILED(vg->GetPriority(&priority)));

    CHECK_HR(timeline->AddGroup(video.Get()));
    CHECK_HR(timeline->AddGroup(audio.Get()));
    CHECK_HR_EQ(timeline->AddGroup(video.Get()), E_INVALIDARG);
    CHECK_HR_EQ(timeline->AddGroup(NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_TRACK).Get()), E_INVALIDARG);
    CHECK_HR_EQ(timeline->AddGroup(NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE).Get()), E_INVALIDARG);
    CHECK(FAILED(timeline->AddGroup(nullptr)));
    CHECK_HR(timeline->GetGroupCount(&count));
    CHECK_EQ(count, 2);
    ComPtr<IAMTimelineObj> got;
    CHECK_HR(timeline->GetGroup(got.Put(), 0));
    CHECK(got.Get() == video.Get());
    CHECK_HR(timeline->GetGroup(got.Put(), 1));
    CHECK(got.Get() == audio.Get());
    IAMTimelineObj* none = reinterpret_cast<IAMTimelineObj*>(0x1);
    CHECK_HR_EQ(timeline->GetGroup(&none, 2), E_INVALIDARG);
    CHECK(none == nullptr);
    CHECK_HR_EQ(timeline->GetGroup(nullptr, 0), E_POINTER);
    CHECK_HR(vg->GetPriority(&priority));
    CHECK_EQ(priority, 0);
    CHECK_HR(ag->GetPriority(&priority));
    CHECK_EQ(priority, 1);
    ComPtr<IAMTimeline> owner;
    CHECK_HR(vg->GetTimeline(owner.Put()));
    CHECK(owner.Get() == timeline.Get());

    // Out of the list: the rest move up; a second removal is refused.
    CHECK_HR(timeline->RemGroupFromList(video.Get()));
    CHECK_HR_EQ(timeline->RemGroupFromList(video.Get()), E_INVALIDARG);
    CHECK_HR(timeline->GetGroupCount(&count));
    CHECK_EQ(count, 1);
    CHECK_HR(ag->GetPriority(&priority));
    CHECK_EQ(priority, 0);
    CHECK(FAILED(vg->GetPriority(&priority)));
    CHECK_HR(audio->Remove());
    CHECK_HR(timeline->GetGroupCount(&count));
    CHECK_EQ(count, 0);
    CHECK_HR(audio->Remove());

    // Back in, then all cleared; the caller's groups live on and can be
    // added again.
    CHECK_HR(timeline->AddGroup(audio.Get()));
    CHECK_HR(timeline->AddGroup(video.Get()));
    CHECK_HR(vg->GetPriority(&priority));
    CHECK_EQ(priority, 1);
    CHECK_HR(timeline->ClearAllGroups());
    CHECK_HR(timeline->GetGroupCount(&count));
    CHECK_EQ(count, 0);
    CHECK_HR(timeline->ClearAllGroups());
    CHECK_HR(timeline->AddGroup(video.Get()));
    CHECK_HR(vg->GetPriority(&priority));
    CHECK_EQ(priority, 0);
}

WT_TEST(Timeline, GroupTypesRatesAndNames) {
    ComPtr<IAMTimeline> timeline = NewTimeline();
    REQUIRE(timeline);
    ComPtr<IAMTimelineObj> group = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_GROUP);
    ComPtr<IAMTimelineGroup> g = Query<IAMTimelineGroup>(group, IID_IAMTimelineGroup);
    REQUIRE(g);

    // The group keeps its own copy of the type, format block and all; each
    // answer is a new copy the caller frees.
    {
        com::MediaType given = com::Rgb32VideoType(176, 144);
        CHECK_HR(g->SetMediaType(&given.Edit()));
        reinterpret_cast<VIDEOINFOHEADER*>(given.Edit().pbFormat)->bmiHeader.biWidth = 1;
    }
    com::MediaType first, second;
    CHECK_HR(g->GetMediaType(first.Put()));
    CHECK_HR(g->GetMediaType(second.Put()));
    CHECK_EQ(first.Get().majortype, MEDIATYPE_Video);
    CHECK_EQ(first.Get().subtype, MEDIASUBTYPE_RGB32);
    REQUIRE(first.Format<VIDEOINFOHEADER>() && second.Format<VIDEOINFOHEADER>());
    CHECK(first.Get().pbFormat != second.Get().pbFormat);
    CHECK_EQ(first.Format<VIDEOINFOHEADER>()->bmiHeader.biWidth, 176);
    CHECK_EQ(first.Format<VIDEOINFOHEADER>()->bmiHeader.biHeight, 144);
    // Types that are neither pictures nor sound are refused; the old type stays.
    AM_MEDIA_TYPE text{};
    text.majortype = MEDIATYPE_Text;
    CHECK_HR_EQ(g->SetMediaType(&text), E_INVALIDARG);
    CHECK_HR_EQ(g->SetMediaType(nullptr), E_POINTER);
    CHECK_HR_EQ(g->GetMediaType(nullptr), E_POINTER);
    CHECK_HR(g->GetMediaType(first.Put()));
    CHECK_EQ(first.Get().majortype, MEDIATYPE_Video);
    // Sound named by its major type alone.
    AM_MEDIA_TYPE sound{};
    sound.majortype = MEDIATYPE_Audio;
    CHECK_HR(g->SetMediaType(&sound));
    CHECK_HR(g->GetMediaType(first.Put()));
    CHECK_EQ(first.Get().majortype, MEDIATYPE_Audio);
    CHECK_EQ(first.Get().cbFormat, 0UL);

    // The output rate: positive rates only.
    double fps = 0;
    CHECK_HR(g->SetOutputFPS(29.97));
    for (double bad : {0.0, -25.0, std::nan("")}) CHECK_HR_EQ(g->SetOutputFPS(bad), E_INVALIDARG);
    CHECK_HR(g->GetOutputFPS(&fps));
    CHECK_EQ(fps, 29.97);
    CHECK_HR_EQ(g->GetOutputFPS(nullptr), E_POINTER);

    BOOL preview = -1;
    CHECK_HR(g->SetPreviewMode(FALSE));
    CHECK_HR(g->GetPreviewMode(&preview));
    CHECK_EQ(preview, FALSE);
    CHECK_HR(g->SetPreviewMode(TRUE));
    CHECK_HR(g->GetPreviewMode(&preview));
    CHECK_EQ(preview, TRUE);

    Bstr name;
    CHECK_HR(g->GetGroupName(name.Put()));
    CHECK(name.Text().empty());
    CHECK_HR(g->SetGroupName(Bstr(u"Bild \u00e4").Get()));
    CHECK_HR(g->GetGroupName(name.Put()));
    CHECK_EQ(name.Text(), std::u16string(u"Bild \u00e4"));
    CHECK_HR_EQ(g->GetGroupName(nullptr), E_POINTER);

    // A source's file name, kept as given; none clears it.
    ComPtr<IAMTimelineObj> source = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_SOURCE);
    ComPtr<IAMTimelineSrc> src = Query<IAMTimelineSrc>(source, IID_IAMTimelineSrc);
    REQUIRE(src);
    const std::u16string path = u"Z:\\clips\\mit Leerzeichen \u00fc.avi";
    CHECK_HR(src->SetMediaName(Bstr(path).Get()));
    CHECK_HR(src->GetMediaName(name.Put()));
    CHECK_EQ(name.Text(), path);
    CHECK_HR(src->SetMediaName(nullptr));
    CHECK_HR(src->GetMediaName(name.Put()));
    CHECK(name.Text().empty());
    CHECK_HR_EQ(src->GetMediaName(nullptr), E_POINTER);
    // Pictures are stretched; no other way is offered.
    CHECK_HR(src->SetStretchMode(RESIZEF_STRETCH));
    CHECK(FAILED(src->SetStretchMode(RESIZEF_CROP)));
    CHECK(FAILED(src->SetStretchMode(77)));
    int mode = -1;
    CHECK_HR(src->GetStretchMode(&mode));
    CHECK_EQ(mode, static_cast<int>(RESIZEF_STRETCH));
}

WT_TEST(Timeline, NodesAreFreedWhateverGoesFirst) {
    int gone = 0;
    {
        // The timeline released while the caller still holds nodes: they
        // answer without it and are freed with their last reference.
        ComPtr<IAMTimeline> timeline = NewTimeline();
        REQUIRE(timeline);
        ComPtr<IAMTimelineObj> group, track, source;
        AddProbedGroup(timeline.Get(), gone, group, track, source);
        CHECK_EQ(timeline.Detach()->Release(), 0UL);
        IAMTimeline* owner = reinterpret_cast<IAMTimeline*>(0x1);
        CHECK_HR_EQ(source->GetTimelineNoRef(&owner), E_NO_TIMELINE);
        CHECK(owner == nullptr);
        LONG priority = 0;
        CHECK(FAILED(Query<IAMTimelineGroup>(group, IID_IAMTimelineGroup)->GetPriority(&priority)));
        CHECK_HR(group->Remove());
        ComPtr<IAMTimelineGroup> belongs;
        CHECK_HR(source->GetGroupIBelongTo(belongs.Put()));
        belongs = nullptr;
        // The group goes first; what it held lives on with the caller.
        group = nullptr;
        CHECK_EQ(gone, 1);
        LONG depth = -1;
        CHECK_HR(source->GetEmbedDepth(&depth));
        CHECK_EQ(depth, 1);
        CHECK_HR_EQ(track->GetGroupIBelongTo(belongs.Put()), S_FALSE);
        track = nullptr;
        CHECK_EQ(gone, 2);
        CHECK_HR(source->GetEmbedDepth(&depth));
        CHECK_EQ(depth, 0);
        source = nullptr;
        CHECK_EQ(gone, 3);
    }
    {
        // The caller lets go of every node first: the timeline holds the
        // tree and frees all of it with its last reference.
        gone = 0;
        ComPtr<IAMTimeline> timeline = NewTimeline();
        REQUIRE(timeline);
        for (int i = 0; i < 2; ++i) {
            ComPtr<IAMTimelineObj> group, track, source;
            AddProbedGroup(timeline.Get(), gone, group, track, source);
        }
        // A node that never went in goes with the caller's reference.
        pt::HangProbe(NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_SOURCE).Get(), gone);
        CHECK_EQ(gone, 1);
        CHECK_EQ(timeline.Detach()->Release(), 0UL);
        CHECK_EQ(gone, 7);
    }
    {
        // Two composites that would hold each other are never built, so
        // both are freed.
        gone = 0;
        ComPtr<IAMTimeline> timeline = NewTimeline();
        REQUIRE(timeline);
        ComPtr<IAMTimelineObj> a = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE);
        ComPtr<IAMTimelineObj> b = NewNode(timeline.Get(), TIMELINE_MAJOR_TYPE_COMPOSITE);
        pt::HangProbe(a.Get(), gone);
        pt::HangProbe(b.Get(), gone);
        Query<IAMTimelineComp>(a, IID_IAMTimelineComp)->VTrackInsBefore(b.Get(), -1);
        Query<IAMTimelineComp>(b, IID_IAMTimelineComp)->VTrackInsBefore(a.Get(), -1);
        a = nullptr;
        b = nullptr;
        timeline = nullptr;
        CHECK_EQ(gone, 2);
    }
}
