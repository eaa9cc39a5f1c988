// Event firing: every connected sink, in slot order, with its own copies of
// the arguments; sinks that leave, fail or join during a firing.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <stdexcept>

#include "convctl/VantrexControl.h"
#include "framework/com/ComPtr.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using wt::EventCall;
using wt::EventSink;

namespace {

// The control object itself, so that every firing routine can be called.
struct DirectControl {
    convctl::VantrexControl* control = new convctl::VantrexControl();
    ~DirectControl() { CHECK_EQ(control->Release(), 0u); }
    IUnknown* Unknown() { return static_cast<IVantrexObj*>(control); }
};

ComPtr<EventSink> MakeSink(const char* name, std::vector<EventCall>* log) {
    return ComPtr<EventSink>::Adopt(new EventSink(DIID__IVantrexObjEvents, name, log));
}

std::string Describe(const EventCall& c) {
    std::string s = c.sink + ":" + std::to_string(c.id);
    for (const auto& a : c.args) s += "|" + a;
    return s;
}

std::vector<std::string> Describe(const std::vector<EventCall>& log) {
    std::vector<std::string> out;
    for (const auto& c : log) out.push_back(Describe(c));
    return out;
}

void CheckLog(const std::vector<EventCall>& log, const std::vector<std::string>& expected, int line) {
    const auto got = Describe(log);
    if (got == expected) return;
    std::string text = "event log differs:\n  got:";
    for (const auto& g : got) text += " [" + g + "]";
    text += "\n  expected:";
    for (const auto& e : expected) text += " [" + e + "]";
    wt::ReportFailure(__FILE__, line, text);
}

}  // namespace

WT_TEST(Events, EveryRoutineSendsItsDispidAndArguments) {
    DirectControl c;
    std::vector<EventCall> log;
    auto sink = MakeSink("A", &log);
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, sink.Get()) != 0);
    c.control->Fire_AboutToRun();
    c.control->Fire_AVICodecListed(u"Name é", u"@device:x", 1);
    c.control->Fire_Complete();
    c.control->Fire_Error(static_cast<LONG>(E_FAIL), u"It failed");
    c.control->Fire_WMVProfileListed(3, u"Profile", u"Description");
    c.control->Fire_StateChange(0, u"Encoding");
    c.control->Fire_WMVCodecListed(1, u"Codec", u"0,{id}");
    CheckLog(log,
             {"A:2", "A:3|Name é|@device:x|1", "A:4", "A:5|-2147467259|It failed", "A:6|3|Profile|Description",
              "A:7|0|Encoding", "A:8|1|Codec|0,{id}"},
             __LINE__);
}

WT_TEST(Events, ArgumentsTravelAsBstrAndI4InReverseOrder) {
    DirectControl c;
    bool checked = false;
    auto sink = MakeSink("A", nullptr);
    sink->SetHook([&](EventSink&, DISPID, DISPPARAMS* p) {
        REQUIRE(p && p->cArgs == 3 && p->cNamedArgs == 0);
        CHECK_EQ(V_VT(&p->rgvarg[0]), VT_I4);    // CodecType, the last parameter
        CHECK_EQ(V_VT(&p->rgvarg[1]), VT_BSTR);  // CodecGuid
        CHECK_EQ(V_VT(&p->rgvarg[2]), VT_BSTR);  // CodecName
        CHECK_EQ(V_I4(&p->rgvarg[0]), 0);
        checked = true;
    });
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, sink.Get()) != 0);
    c.control->Fire_AVICodecListed(u"n", u"g", 0);
    CHECK(checked);
}

WT_TEST(Events, TwoSinksGetEachEventInSlotOrderWithTheirOwnCopies) {
    DirectControl c;
    std::vector<EventCall> log;
    auto first = MakeSink("A", &log);
    auto second = MakeSink("B", &log);
    // The first sink scribbles over its string argument.
    first->SetHook([](EventSink&, DISPID id, DISPPARAMS* p) {
        if (id == 3 && p && p->cArgs == 3) SysReAllocString(&V_BSTR(&p->rgvarg[2]), L"changed");
    });
    CHECK_EQ(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, first.Get()), 1u);
    CHECK_EQ(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, second.Get()), 2u);
    c.control->Fire_AVICodecListed(u"original", u"id", 0);
    c.control->Fire_Complete();
    CheckLog(log, {"A:3|original|id|0", "B:3|original|id|0", "A:4", "B:4"}, __LINE__);
}

WT_TEST(Events, ASinkThatUnadvisesItselfLeavesAnEmptySlot) {
    DirectControl c;
    std::vector<EventCall> log;
    auto first = MakeSink("A", &log);
    auto second = MakeSink("B", &log);
    DWORD firstCookie = wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, first.Get());
    REQUIRE(firstCookie == 1);
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, second.Get()) == 2);
    IUnknown* source = c.Unknown();
    first->SetHook([&](EventSink&, DISPID id, DISPPARAMS*) {
        if (id == 4 && firstCookie) {
            CHECK_HR(wt::Disconnect(source, DIID__IVantrexObjEvents, firstCookie));
            firstCookie = 0;
        }
    });
    c.control->Fire_Complete();
    c.control->Fire_Complete();
    CheckLog(log, {"A:4", "B:4", "B:4"}, __LINE__);

    // The next sink takes the empty slot.
    auto third = MakeSink("C", &log);
    CHECK_EQ(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, third.Get()), 1u);
    log.clear();
    c.control->Fire_AboutToRun();
    CheckLog(log, {"C:2", "B:2"}, __LINE__);
}

WT_TEST(Events, SinksJoiningDuringAFiringWaitForTheNextOne) {
    DirectControl c;
    std::vector<EventCall> log;
    auto first = MakeSink("A", &log);
    auto late = MakeSink("L", &log);
    IUnknown* source = c.Unknown();
    bool joined = false;
    first->SetHook([&](EventSink&, DISPID, DISPPARAMS*) {
        if (!joined) {
            joined = true;
            CHECK(wt::Connect(source, DIID__IVantrexObjEvents, late.Get()) != 0);
        }
    });
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, first.Get()) != 0);
    c.control->Fire_Complete();
    c.control->Fire_AboutToRun();
    CheckLog(log, {"A:4", "A:2", "L:2"}, __LINE__);
}

WT_TEST(Events, AFailingSinkDoesNotStopTheOthers) {
    DirectControl c;
    std::vector<EventCall> log;
    auto thrower = MakeSink("T", &log);
    auto second = MakeSink("B", &log);
    thrower->SetHook([](EventSink&, DISPID, DISPPARAMS*) { throw std::runtime_error("sink failure"); });
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, thrower.Get()) != 0);
    REQUIRE(wt::Connect(c.Unknown(), DIID__IVantrexObjEvents, second.Get()) != 0);
    c.control->Fire_Error(5, u"x");
    CheckLog(log, {"T:5|5|x", "B:5|5|x"}, __LINE__);
}

WT_TEST(Events, NoSinkNoEventAndAllMembersWork) {
    DirectControl c;
    c.control->Fire_Complete();
    c.control->Fire_AVICodecListed(u"a", u"b", 1);
    CHECK_HR(c.control->StopConversion());
    CHECK_HR(c.control->ListAVICodecs(mediaVideo));
}

WT_TEST(Events, ConnectionPointRulesAndEnumeration) {
    DirectControl c;
    ComPtr<IConnectionPointContainer> cpc;
    REQUIRE_HR(c.Unknown()->QueryInterface(IID_IConnectionPointContainer, cpc.PutVoid()));
    ComPtr<IConnectionPoint> point;
    REQUIRE_HR(cpc->FindConnectionPoint(DIID__IVantrexObjEvents, point.Put()));
    ComPtr<IConnectionPointContainer> back;
    CHECK_HR(point->GetConnectionPointContainer(back.Put()));
    CHECK(back.Get() == cpc.Get());

    // An object that is no sink of the event interface is refused.
    ComPtr<IUnknown> notASink;
    REQUIRE_HR(CoCreateInstance(CLSID_StdFont, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, notASink.PutVoid()));
    DWORD cookie = 77;
    CHECK_HR_EQ(point->Advise(notASink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
    CHECK_EQ(cookie, 0u);
    CHECK_HR_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    CHECK_HR_EQ(point->Unadvise(5), CONNECT_E_NOCONNECTION);

    std::vector<EventCall> log;
    auto a = MakeSink("A", &log);
    auto b = MakeSink("B", &log);
    DWORD ca = 0, cb = 0;
    CHECK_HR(point->Advise(a.Get(), &ca));
    CHECK_HR(point->Advise(b.Get(), &cb));
    CHECK_HR(point->Unadvise(ca));
    CHECK_HR_EQ(point->Unadvise(ca), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnections> connections;
    REQUIRE_HR(point->EnumConnections(connections.Put()));
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    CHECK_HR_EQ(connections->Next(3, data, &fetched), S_FALSE);
    CHECK_EQ(fetched, 1u);
    CHECK_EQ(data[0].dwCookie, cb);
    if (data[0].pUnk) data[0].pUnk->Release();
    connections = nullptr;
    CHECK_HR(point->Unadvise(cb));
    point = nullptr;
    back = nullptr;
    cpc = nullptr;
    // The sinks are free again: only our references remain.
    CHECK_EQ(wt::RefCountOf(a.Get()), 1u);
    CHECK_EQ(wt::RefCountOf(b.Get()), 1u);
}

WT_TEST(Events, ThroughCom_StopAndListingFireToBothSinks) {
    ComPtr<IVantrexObj> control;
    REQUIRE_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj, control.PutVoid()));
    std::vector<EventCall> log;
    auto a = MakeSink("A", &log);
    auto b = MakeSink("B", &log);
    const DWORD ca = wt::Connect(control.Get(), DIID__IVantrexObjEvents, a.Get());
    const DWORD cb = wt::Connect(control.Get(), DIID__IVantrexObjEvents, b.Get());
    REQUIRE(ca && cb);

    // Stopping an idle control fires Complete once.
    CHECK_HR(control->StopConversion());
    CheckLog(log, {"A:4", "B:4"}, __LINE__);

    // A listing starts with its fixed entry, before the call returns.
    log.clear();
    CHECK_HR(control->ListAVICodecs(mediaAudio));
    REQUIRE(log.size() >= 2);
    CHECK_EQ(Describe(log[0]), std::string("A:3|<<< No compression >>>||1"));
    CHECK_EQ(Describe(log[1]), std::string("B:3|<<< No compression >>>||1"));

    CHECK_HR(wt::Disconnect(control.Get(), DIID__IVantrexObjEvents, ca));
    CHECK_HR(wt::Disconnect(control.Get(), DIID__IVantrexObjEvents, cb));
    // Releasing the control releases nothing of the sinks twice.
    CHECK_EQ(control.Detach()->Release(), 0u);
    CHECK_EQ(wt::RefCountOf(a.Get()), 1u);
}
