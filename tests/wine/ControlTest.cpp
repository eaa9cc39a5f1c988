// The control through COM: creation, late-bound properties and their
// defaults, member results, persistence, in-place activation and drawing,
// reference counts.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <cmath>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;

namespace {

ComPtr<IVantrexObj> CreateControl() {
    ComPtr<IVantrexObj> control;
    CHECK_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj, control.PutVoid()));
    return control;
}

VARIANT Str(const char16_t* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(com::W(s));
    return v;
}
VARIANT I4(LONG n) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}
VARIANT R8(double d) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}
VARIANT Bool(VARIANT_BOOL b) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = b;
    return v;
}

// Compares a property's value as dispatch returns it.
std::string Text(const VARIANT& v) {
    switch (V_VT(&v)) {
    case VT_BSTR: return "s:" + wt::Utf8(com::U16FromBstr(V_BSTR(&v)));
    case VT_I4: return "i:" + std::to_string(V_I4(&v));
    case VT_R8: return "d:" + wt::ToText(V_R8(&v));
    case VT_BOOL: return "b:" + std::to_string(V_BOOL(&v));
    default: return "vt:" + std::to_string(V_VT(&v));
    }
}

struct PropertyCase {
    const char16_t* name;
    DISPID id;
    VARIANT defaultValue;
    VARIANT putValue;
    VARIANT readBack;
};

}  // namespace

WT_TEST(Control, CreatedByClassAndByProgId) {
    ComPtr<IVantrexObj> byClass = CreateControl();
    CHECK(byClass);
    CLSID clsid{};
    CHECK_HR(CLSIDFromProgID(L"Vantrex.VantrexObj", &clsid));
    ComPtr<IDispatch> byProgId;
    CHECK_HR(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, byProgId.PutVoid()));
    CHECK(byProgId);
}

WT_TEST(Control, LateBoundPropertiesHaveDefaultsAndRoundTrip) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    const float storedRate = 23.976f;  // kept as a 32-bit float
    std::vector<PropertyCase> cases = {
        {u"InputFile", 1, Str(u""), Str(u"C:\\clips\\été.avi"), Str(u"C:\\clips\\été.avi")},
        {u"OutputFile", 2, Str(u""), Str(u"D:\\out.avi"), Str(u"D:\\out.avi")},
        {u"OutputWidth", 3, I4(0), I4(640), I4(640)},
        {u"OutputHeight", 4, I4(0), I4(480), I4(480)},
        {u"OutputFramerate", 5, R8(0), R8(23.976), R8(static_cast<double>(storedRate))},
        {u"TempFolder", 7, Str(u""), Str(u"C:\\temp"), Str(u"C:\\temp")},
        {u"VideoCodec", 15, Str(u""), Str(u"@device:cm:x"), Str(u"@device:cm:x")},
        {u"AudioCodec", 16, Str(u""), Str(u"1,{00000161-0000-0010-8000-00AA00389B71}"),
         Str(u"1,{00000161-0000-0010-8000-00AA00389B71}")},
        {u"OutputFormat", 21, I4(0), I4(8), I4(8)},
        {u"OutputWMVProfile", 22, I4(0), I4(-5), I4(-5)},
        {u"OutputAudioBitrate", 25, I4(0), I4(224), I4(224)},
        {u"OutputVideoBitrate", 26, I4(0), I4(2500), I4(2500)},
        {u"OutputUseVBR", 27, Bool(VARIANT_TRUE), Bool(VARIANT_FALSE), Bool(VARIANT_FALSE)},
        {u"OutputQuality", 28, I4(90), I4(55), I4(55)},
        {u"ConvertPreview", 29, Bool(VARIANT_TRUE), Bool(VARIANT_FALSE), Bool(VARIANT_FALSE)},
        {u"Priority", 33, I4(2), I4(2), I4(2)},
    };
    for (auto& c : cases) {
        HRESULT hr = S_OK;
        const DISPID id = wt::DispIdOf(control.Get(), c.name, &hr);
        CHECK_HR(hr);
        CHECK_EQ(id, c.id);
        VARIANT got;
        VariantInit(&got);
        CHECK_HR(wt::DispGet(control.Get(), c.id, &got));
        CHECK_EQ(Text(got) + " " + wt::Utf8(c.name), Text(c.defaultValue) + " " + wt::Utf8(c.name));
        VariantClear(&got);
        CHECK_HR(wt::DispPut(control.Get(), c.id, c.putValue));
        CHECK_HR(wt::DispGet(control.Get(), c.id, &got));
        CHECK_EQ(Text(got) + " " + wt::Utf8(c.name), Text(c.readBack) + " " + wt::Utf8(c.name));
        VariantClear(&got);
        VariantClear(&c.defaultValue);
        VariantClear(&c.putValue);
        VariantClear(&c.readBack);
    }
}

WT_TEST(Control, ReadOnlyPropertiesRefuseAPut) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    for (DISPID id : {17, 18, 23}) {
        VARIANT got;
        VariantInit(&got);
        CHECK_HR(wt::DispGet(control.Get(), id, &got));
        CHECK(V_VT(&got) == VT_R8 || V_VT(&got) == VT_I4);
        CHECK(Text(got) == "d:0" || Text(got) == "i:0");
        VariantClear(&got);
        VARIANT value = I4(5);
        CHECK(FAILED(wt::DispPut(control.Get(), id, value)));
    }
    VARIANT index = I4(0), text;
    VariantInit(&text);
    CHECK_HR(wt::DispGet(control.Get(), 20, &text, {index}));
    CHECK_EQ(Text(text), std::string("s:Custom Settings"));
    VariantClear(&text);
    VARIANT value = Str(u"x");
    CHECK(FAILED(wt::DispPut(control.Get(), 20, value)));
    VariantClear(&value);
}

WT_TEST(Control, VariantBoolStoresTrueOnlyForMinusOne) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    VARIANT_BOOL b = 7;
    CHECK_HR(control->put_OutputUseVBR(1));
    CHECK_HR(control->get_OutputUseVBR(&b));
    CHECK_EQ(b, VARIANT_FALSE);
    CHECK_HR(control->put_OutputUseVBR(VARIANT_TRUE));
    CHECK_HR(control->get_OutputUseVBR(&b));
    CHECK_EQ(b, VARIANT_TRUE);
    CHECK_HR(control->put_ConvertPreview(2));
    CHECK_HR(control->get_ConvertPreview(&b));
    CHECK_EQ(b, VARIANT_FALSE);
}

WT_TEST(Control, ProfileDescriptionOutsideTheList) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    for (LONG index : {0, -1, 1, 1000}) {
        Bstr text;
        CHECK_HR(control->get_ProfileDescription(index, text.Put()));
        CHECK(text.Get() != nullptr);
        CHECK_EQ(text.Text(), std::u16string(index == 0 ? u"Custom Settings" : u""));
    }
}

WT_TEST(Control, MembersReturnSOkWhateverHappens) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    // Null out-pointers, empty and odd inputs.
    CHECK_HR(control->get_InputFile(nullptr));
    CHECK_HR(control->put_InputFile(nullptr));
    CHECK_HR(control->get_ProfileDescription(3, nullptr));
    CHECK_HR(control->DoesCodecHaveAboutBox(nullptr, nullptr));
    CHECK_HR(control->ShowAviCodecConfigBox(0, nullptr));
    CHECK_HR(control->ListAVICodecs(static_cast<EnumMediaType>(7)));
    CHECK_HR(control->ListWMVProfiles());
    CHECK_HR(control->ListWMVCodecs(2));
    CHECK_HR(control->StopConversion());
    CHECK_HR(control->StartConversion());  // not in place: fails through events only

    double rate = 9, duration = 9;
    VARIANT_BOOL video = 9, audio = 9;
    LONG width = 9, height = 9, bitRate = 9;
    Bstr poster;
    CHECK_HR(control->GetFileInfo(nullptr, &rate, &duration, &video, &audio, &width, &height, &bitRate,
                                  poster.Put()));
    CHECK_EQ(rate, 0.0);
    CHECK_EQ(duration, 0.0);
    CHECK_EQ(video, VARIANT_FALSE);
    CHECK_EQ(audio, VARIANT_FALSE);
    CHECK_EQ(width, 0);
    CHECK_EQ(height, 0);
    CHECK_EQ(bitRate, 0);  // cleared with the others, never left stale
    CHECK_HR(control->GetFileInfo(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));

    double progress = 9;
    CHECK_HR(control->get_Progress(&progress));
    CHECK_EQ(progress, 0.0);
    CHECK_HR(control->get_Duration(&duration));
    CHECK_EQ(duration, 0.0);
    LONG fps = 9;
    CHECK_HR(control->get_EncodeFPS(&fps));
    CHECK_EQ(fps, 0);
}

WT_TEST(Control, PrioritySetsTheProcessClass) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    EnumProcessPriority p = priorityHIGH;
    CHECK_HR(control->get_Priority(&p));
    CHECK_EQ(p, priorityNORMAL);

    const struct {
        LONG value;
        DWORD expectedClass;
    } cases[] = {{1, IDLE_PRIORITY_CLASS}, {2, NORMAL_PRIORITY_CLASS}, {0, HIGH_PRIORITY_CLASS},
                 {5, NORMAL_PRIORITY_CLASS}};
    for (const auto& c : cases) {
        CHECK_HR(control->put_Priority(static_cast<EnumProcessPriority>(c.value)));
        CHECK_EQ(GetPriorityClass(GetCurrentProcess()), c.expectedClass);
        CHECK_HR(control->get_Priority(&p));
        CHECK_EQ(static_cast<LONG>(p), c.value);
    }
    CHECK_HR(control->put_Priority(priorityNORMAL));
}

WT_TEST(Control, PersistedStreamIsTwelveBytesWithAVersionRule) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    ComPtr<IPersistStreamInit> persist;
    REQUIRE_HR(control->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()));
    CLSID clsid{};
    CHECK_HR(persist->GetClassID(&clsid));
    CHECK_EQ(clsid, CLSID_Vantrex);
    CHECK_HR(persist->InitNew());
    ULARGE_INTEGER max{};
    CHECK_HR(persist->GetSizeMax(&max));
    CHECK_EQ(max.QuadPart, 12u);

    auto saveToBytes = [&]() {
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
        CHECK_HR(persist->Save(stream.Get(), TRUE));
        STATSTG st{};
        stream->Stat(&st, STATFLAG_NONAME);
        std::vector<DWORD> words(static_cast<size_t>(st.cbSize.QuadPart / 4));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        stream->Read(words.data(), static_cast<ULONG>(words.size() * 4), &read);
        CHECK_EQ(st.cbSize.QuadPart, 12u);
        return words;
    };
    auto loadWords = [&](std::vector<DWORD> words) {
        ComPtr<IStream> stream;
        CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
        stream->Write(words.data(), static_cast<ULONG>(words.size() * 4), nullptr);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        return persist->Load(stream.Get());
    };

    CHECK(saveToBytes() == (std::vector<DWORD>{0x0300, 5080, 5080}));
    CHECK_HR(loadWords({0x0300, 1234, 5678}));
    CHECK(saveToBytes() == (std::vector<DWORD>{0x0300, 1234, 5678}));
    CHECK_HR_EQ(loadWords({0x0301, 1, 2}), E_FAIL);
    CHECK(saveToBytes() == (std::vector<DWORD>{0x0300, 1234, 5678}));  // a refused load changes nothing
    CHECK_HR(loadWords({0x0200, 10, 20}));
    CHECK(saveToBytes() == (std::vector<DWORD>{0x0300, 10, 20}));
    CHECK(FAILED(loadWords({0x0300, 7})));  // truncated
    CHECK(saveToBytes() == (std::vector<DWORD>{0x0300, 10, 20}));

    ComPtr<IOleObject> ole;
    REQUIRE_HR(control->QueryInterface(IID_IOleObject, ole.PutVoid()));
    SIZEL extent{};
    CHECK_HR(ole->GetExtent(DVASPECT_CONTENT, &extent));
    CHECK_EQ(extent.cx, 10);
    CHECK_EQ(extent.cy, 20);
}

WT_TEST(Control, OleStatusAndClassInformation) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    ComPtr<IOleObject> ole;
    REQUIRE_HR(control->QueryInterface(IID_IOleObject, ole.PutVoid()));
    DWORD status = 0;
    CHECK_HR(ole->GetMiscStatus(DVASPECT_CONTENT, &status));
    CHECK_EQ(status, 131473u);
    CHECK_EQ(status, static_cast<DWORD>(OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                        OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST));

    ComPtr<IProvideClassInfo2> classInfo;
    REQUIRE_HR(control->QueryInterface(IID_IProvideClassInfo2, classInfo.PutVoid()));
    GUID events{};
    CHECK_HR(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    CHECK_EQ(events, DIID__IVantrexObjEvents);
    ComPtr<ITypeInfo> info;
    CHECK_HR(classInfo->GetClassInfo(info.Put()));
    REQUIRE(info);
    TYPEATTR* attr = nullptr;
    REQUIRE_HR(info->GetTypeAttr(&attr));
    CHECK_EQ(attr->guid, CLSID_Vantrex);
    info->ReleaseTypeAttr(attr);

    ComPtr<IConnectionPointContainer> cpc;
    REQUIRE_HR(control->QueryInterface(IID_IConnectionPointContainer, cpc.PutVoid()));
    ComPtr<IEnumConnectionPoints> points;
    REQUIRE_HR(cpc->EnumConnectionPoints(points.Put()));
    IConnectionPoint* point[2] = {};
    ULONG fetched = 0;
    CHECK_HR_EQ(points->Next(2, point, &fetched), S_FALSE);
    CHECK_EQ(fetched, 1u);
    if (point[0]) {
        IID iid{};
        CHECK_HR(point[0]->GetConnectionInterface(&iid));
        CHECK_EQ(iid, DIID__IVantrexObjEvents);
        point[0]->Release();
    }
    ComPtr<IConnectionPoint> none;
    CHECK_HR_EQ(cpc->FindConnectionPoint(IID_IDispatch, none.Put()), CONNECT_E_NOCONNECTION);
}

WT_TEST(Control, IdentityAndReferenceCounts) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    const IID iids[] = {IID_IUnknown, IID_IDispatch, IID_IVantrexObj, IID_IConnectionPointContainer,
                        IID_IProvideClassInfo, IID_IProvideClassInfo2, IID_IOleObject, IID_IOleWindow,
                        IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject, IID_IOleControl, IID_IViewObject,
                        IID_IViewObject2, IID_IPersist, IID_IPersistStreamInit, IID_IPersistStorage,
                        IID_IPersistPropertyBag};
    ComPtr<IUnknown> identity;
    REQUIRE_HR(control->QueryInterface(IID_IUnknown, identity.PutVoid()));
    for (const IID& iid : iids) {
        ComPtr<IUnknown> p;
        CHECK_HR(control->QueryInterface(iid, p.PutVoid()));
        if (!p) continue;
        ComPtr<IUnknown> back;
        CHECK_HR(p->QueryInterface(IID_IUnknown, back.PutVoid()));
        CHECK(back.Get() == identity.Get());
    }
    ComPtr<IUnknown> missing;
    CHECK_HR_EQ(control->QueryInterface(IID_IClassFactory, missing.PutVoid()), E_NOINTERFACE);
    identity = nullptr;
    CHECK_EQ(wt::RefCountOf(control.Get()), 1u);
    CHECK_EQ(control.Detach()->Release(), 0u);
}

WT_TEST(Control, InPlaceActivationDrawsInsideTheContainer) {
    ComPtr<IVantrexObj> control = CreateControl();
    REQUIRE(control);
    wt::TestContainer* container = new wt::TestContainer(640, 480);
    REQUIRE(container->Window());
    const RECT position{20, 30, 340, 270};
    REQUIRE_HR(container->Host(control.Get(), position));
    CHECK_EQ(container->InPlaceActivations(), 1);

    ComPtr<IOleWindow> window;
    REQUIRE_HR(control->QueryInterface(IID_IOleWindow, window.PutVoid()));
    HWND hwnd = nullptr;
    CHECK_HR(window->GetWindow(&hwnd));
    REQUIRE(hwnd != nullptr);
    CHECK(GetParent(hwnd) == container->Window());
    CHECK(IsWindowVisible(hwnd));
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, container->Window(), reinterpret_cast<POINT*>(&r), 2);
    CHECK_EQ(r.left, 20);
    CHECK_EQ(r.top, 30);
    CHECK_EQ(r.right, 340);
    CHECK_EQ(r.bottom, 270);

    CHECK_HR(container->Move(RECT{50, 60, 250, 160}));
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, container->Window(), reinterpret_cast<POINT*>(&r), 2);
    CHECK_EQ(r.left, 50);
    CHECK_EQ(r.bottom, 160);

    // Black with a grey one-pixel frame, drawn for the container.
    ComPtr<IViewObject> view;
    REQUIRE_HR(control->QueryInterface(IID_IViewObject, view.PutVoid()));
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 80);
    ReleaseDC(nullptr, screen);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    const RECTL bounds{0, 0, 100, 80};
    CHECK_HR(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0));
    CHECK_EQ(GetPixel(dc, 0, 0), RGB(0x80, 0x80, 0x80));
    CHECK_EQ(GetPixel(dc, 99, 79), RGB(0x80, 0x80, 0x80));
    CHECK_EQ(GetPixel(dc, 50, 40), RGB(0, 0, 0));
    CHECK_HR_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
                DV_E_DVASPECT);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);

    view = nullptr;
    window = nullptr;
    container->Close();
    CHECK(!IsWindow(hwnd));
    CHECK_EQ(container->InPlaceDeactivations(), 1);
    container->Release();
    CHECK_EQ(control.Detach()->Release(), 0u);
}
