// The control's type library as hosts see it: names, DISPIDs, kinds, help
// strings and order of every member, the events, the enumerations and the
// class.
#include <windows.h>
#include <ole2.h>

#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/Bstr.h"
#include "framework/com/ComPtr.h"
#include "tests/wine/harness/WineTest.h"

using com::Bstr;
using com::ComPtr;

namespace {

struct Member {
    DISPID id;
    INVOKEKIND kind;
    const char16_t* name;
    SHORT params;  // including [out, retval]
};

constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;
constexpr INVOKEKIND kCall = INVOKE_FUNC;

const Member kMembers[] = {
    {1, kGet, u"InputFile", 1}, {1, kPut, u"InputFile", 1},
    {2, kGet, u"OutputFile", 1}, {2, kPut, u"OutputFile", 1},
    {3, kGet, u"OutputWidth", 1}, {3, kPut, u"OutputWidth", 1},
    {4, kGet, u"OutputHeight", 1}, {4, kPut, u"OutputHeight", 1},
    {5, kGet, u"OutputFramerate", 1}, {5, kPut, u"OutputFramerate", 1},
    {7, kGet, u"TempFolder", 1}, {7, kPut, u"TempFolder", 1},
    {8, kCall, u"StartConversion", 0},
    {9, kCall, u"StopConversion", 0},
    {10, kCall, u"ListAVICodecs", 1},
    {11, kCall, u"DoesCodecHaveAboutBox", 2},
    {12, kCall, u"DoesCodecHaveConfigBox", 2},
    {13, kCall, u"ShowAviCodecAboutBox", 2},
    {14, kCall, u"ShowAviCodecConfigBox", 2},
    {15, kGet, u"VideoCodec", 1}, {15, kPut, u"VideoCodec", 1},
    {16, kGet, u"AudioCodec", 1}, {16, kPut, u"AudioCodec", 1},
    {17, kGet, u"Duration", 1},
    {18, kGet, u"Progress", 1},
    {19, kCall, u"ListWMVProfiles", 0},
    {20, kGet, u"ProfileDescription", 2},
    {21, kGet, u"OutputFormat", 1}, {21, kPut, u"OutputFormat", 1},
    {22, kGet, u"OutputWMVProfile", 1}, {22, kPut, u"OutputWMVProfile", 1},
    {23, kGet, u"EncodeFPS", 1},
    {25, kGet, u"OutputAudioBitrate", 1}, {25, kPut, u"OutputAudioBitrate", 1},
    {26, kGet, u"OutputVideoBitrate", 1}, {26, kPut, u"OutputVideoBitrate", 1},
    {27, kGet, u"OutputUseVBR", 1}, {27, kPut, u"OutputUseVBR", 1},
    {28, kGet, u"OutputQuality", 1}, {28, kPut, u"OutputQuality", 1},
    {29, kGet, u"ConvertPreview", 1}, {29, kPut, u"ConvertPreview", 1},
    {31, kCall, u"ListWMVCodecs", 1},
    {32, kCall, u"GetFileInfo", 9},
    {33, kGet, u"Priority", 1}, {33, kPut, u"Priority", 1},
};

struct EventMember {
    DISPID id;
    const char16_t* name;
    std::vector<std::u16string> params;
    std::vector<VARTYPE> types;
};

ComPtr<ITypeLib> LoadLib() {
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadRegTypeLib(LIBID_VANTREXLib, 1, 0, 0x0409, lib.Put());
    CHECK_HR(hr);
    return lib;
}

std::u16string Doc(ITypeInfo* info, MEMBERID id, std::u16string* help) {
    Bstr name, doc;
    info->GetDocumentation(id, name.Put(), doc.Put(), nullptr, nullptr);
    if (help) *help = doc.Text();
    return name.Text();
}

std::vector<std::u16string> Names(ITypeInfo* info, MEMBERID id) {
    BSTR names[16] = {};
    UINT count = 0;
    info->GetNames(id, names, 16, &count);
    std::vector<std::u16string> out;
    for (UINT i = 0; i < count; ++i) {
        out.push_back(com::U16FromBstr(names[i]));
        SysFreeString(names[i]);
    }
    return out;
}

}  // namespace

WT_TEST(TypeLib, LibraryAttributes) {
    ComPtr<ITypeLib> lib = LoadLib();
    REQUIRE(lib);
    Bstr name, help;
    CHECK_HR(lib->GetDocumentation(-1, name.Put(), help.Put(), nullptr, nullptr));
    CHECK_EQ(name.Text(), std::u16string(u"VANTREXLib"));
    CHECK_EQ(help.Text(), std::u16string(u"Tromvex"));
}

WT_TEST(TypeLib, DualInterfaceMembersInOrder) {
    ComPtr<ITypeLib> lib = LoadLib();
    REQUIRE(lib);
    // The library hands out the dispatch view of a dual interface; the
    // vtable view is its implemented type -1.
    ComPtr<ITypeInfo> dispatchView;
    REQUIRE_HR(lib->GetTypeInfoOfGuid(IID_IVantrexObj, dispatchView.Put()));
    HREFTYPE vtableRef = 0;
    REQUIRE_HR(dispatchView->GetRefTypeOfImplType(-1, &vtableRef));
    ComPtr<ITypeInfo> info;
    REQUIRE_HR(dispatchView->GetRefTypeInfo(vtableRef, info.Put()));
    TYPEATTR* attr = nullptr;
    REQUIRE_HR(info->GetTypeAttr(&attr));
    CHECK_EQ(attr->typekind, TKIND_INTERFACE);
    CHECK((attr->wTypeFlags & TYPEFLAG_FDUAL) != 0);
    CHECK((attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0);
    CHECK_EQ(attr->cFuncs, static_cast<WORD>(sizeof kMembers / sizeof kMembers[0]));
    const WORD funcs = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    std::u16string help;
    CHECK_EQ(Doc(info.Get(), MEMBERID_NIL, &help), std::u16string(u"IVantrexObj"));
    CHECK_EQ(help, std::u16string(u"IVantrexObj Interface"));

    for (WORD i = 0; i < funcs && i < sizeof kMembers / sizeof kMembers[0]; ++i) {
        const Member& m = kMembers[i];
        FUNCDESC* fd = nullptr;
        REQUIRE_HR(info->GetFuncDesc(i, &fd));
        CHECK_EQ(fd->memid, m.id);
        CHECK_EQ(fd->invkind, m.kind);
        CHECK_EQ(fd->cParams, m.params);
        // Seven IUnknown/IDispatch slots come first.
        CHECK_EQ(fd->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
        const MEMBERID id = fd->memid;
        const INVOKEKIND kind = fd->invkind;
        info->ReleaseFuncDesc(fd);

        std::u16string memberHelp;
        CHECK_EQ(Doc(info.Get(), id, &memberHelp), std::u16string(m.name));
        const std::u16string expectedHelp =
            std::u16string(kind == kCall ? u"method " : u"property ") + m.name;
        CHECK_EQ(memberHelp, expectedHelp);
    }
}

WT_TEST(TypeLib, EventInterface) {
    ComPtr<ITypeLib> lib = LoadLib();
    REQUIRE(lib);
    ComPtr<ITypeInfo> info;
    REQUIRE_HR(lib->GetTypeInfoOfGuid(DIID__IVantrexObjEvents, info.Put()));
    TYPEATTR* attr = nullptr;
    REQUIRE_HR(info->GetTypeAttr(&attr));
    CHECK_EQ(attr->typekind, TKIND_DISPATCH);
    const WORD funcs = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    std::u16string help;
    Doc(info.Get(), MEMBERID_NIL, &help);
    CHECK_EQ(help, std::u16string(u"_IVantrexObjEvents Interface"));

    const EventMember events[] = {
        {2, u"AboutToRun", {}, {}},
        {3, u"AVICodecListed", {u"CodecName", u"CodecGuid", u"CodecType"}, {VT_BSTR, VT_BSTR, VT_USERDEFINED}},
        {4, u"Complete", {}, {}},
        {5, u"Error", {u"Error", u"ErrorMessage"}, {VT_I4, VT_BSTR}},
        {6, u"WMVProfileListed", {u"Index", u"ProfileName", u"ProfileDescription"}, {VT_INT, VT_BSTR, VT_BSTR}},
        {7, u"StateChange", {u"Unused", u"StateDescription"}, {VT_I4, VT_BSTR}},
        {8, u"WMVCodecListed", {u"CodecType", u"CodecName", u"CodecIdentifier"}, {VT_I4, VT_BSTR, VT_BSTR}},
    };
    CHECK_EQ(funcs, static_cast<WORD>(sizeof events / sizeof events[0]));
    for (WORD i = 0; i < funcs && i < sizeof events / sizeof events[0]; ++i) {
        FUNCDESC* fd = nullptr;
        REQUIRE_HR(info->GetFuncDesc(i, &fd));
        CHECK_EQ(fd->memid, events[i].id);
        CHECK_EQ(fd->funckind, FUNC_DISPATCH);
        CHECK_EQ(fd->cParams, static_cast<SHORT>(events[i].params.size()));
        for (SHORT p = 0; p < fd->cParams && p < static_cast<SHORT>(events[i].types.size()); ++p)
            CHECK_EQ(fd->lprgelemdescParam[p].tdesc.vt, events[i].types[static_cast<size_t>(p)]);
        const MEMBERID id = fd->memid;
        info->ReleaseFuncDesc(fd);
        std::u16string eventHelp;
        CHECK_EQ(Doc(info.Get(), id, &eventHelp), std::u16string(events[i].name));
        CHECK_EQ(eventHelp, std::u16string(u"method ") + events[i].name);
        std::vector<std::u16string> names = Names(info.Get(), id);
        if (!names.empty()) names.erase(names.begin());
        CHECK(names == events[i].params);
    }
}

WT_TEST(TypeLib, EnumerationsHaveTheirValues) {
    ComPtr<ITypeLib> lib = LoadLib();
    REQUIRE(lib);
    struct Enum {
        const char16_t* name;
        std::vector<std::pair<std::u16string, LONG>> values;
    };
    const Enum enums[] = {
        {u"EnumMediaType", {{u"mediaVideo", 0}, {u"mediaAudio", 1}}},
        {u"EnumProcessPriority", {{u"priorityHIGH", 0}, {u"priorityIDLE", 1}, {u"priorityNORMAL", 2}}},
        {u"EnumMediaOutputFormat",
         {{u"mediaAVI", 0}, {u"mediaWMV", 1}, {u"mediaMPG1", 2}, {u"mediaMPG2", 3}, {u"mediaVCD_PAL", 4},
          {u"mediaVCD_NTSC", 5}, {u"mediaSVCD_PAL", 6}, {u"mediaSVCD_NTSC", 7}, {u"mediaDVD_PAL", 8},
          {u"mediaDVD_NTSC", 9}}},
    };
    for (const auto& e : enums) {
        std::u16string name = e.name;
        ComPtr<ITypeInfo> info;
        MEMBERID memid = 0;
        USHORT found = 1;
        CHECK_HR(lib->FindName(com::W(name.data()), 0, info.Put(), &memid, &found));
        REQUIRE(found == 1 && info);
        TYPEATTR* attr = nullptr;
        REQUIRE_HR(info->GetTypeAttr(&attr));
        CHECK_EQ(attr->typekind, TKIND_ENUM);
        CHECK_EQ(attr->cVars, static_cast<WORD>(e.values.size()));
        CHECK_EQ(attr->guid, GUID_NULL);
        const WORD vars = attr->cVars;
        info->ReleaseTypeAttr(attr);
        for (WORD i = 0; i < vars && i < e.values.size(); ++i) {
            VARDESC* vd = nullptr;
            REQUIRE_HR(info->GetVarDesc(i, &vd));
            CHECK_EQ(V_VT(vd->lpvarValue), VT_I4);
            CHECK_EQ(V_I4(vd->lpvarValue), e.values[i].second);
            const MEMBERID id = vd->memid;
            info->ReleaseVarDesc(vd);
            CHECK_EQ(Doc(info.Get(), id, nullptr), e.values[i].first);
        }
    }
}

WT_TEST(TypeLib, ClassNamesItsInterfaces) {
    ComPtr<ITypeLib> lib = LoadLib();
    REQUIRE(lib);
    ComPtr<ITypeInfo> info;
    REQUIRE_HR(lib->GetTypeInfoOfGuid(CLSID_Vantrex, info.Put()));
    TYPEATTR* attr = nullptr;
    REQUIRE_HR(info->GetTypeAttr(&attr));
    CHECK_EQ(attr->typekind, TKIND_COCLASS);
    CHECK((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0);
    CHECK_EQ(attr->cImplTypes, 2);
    info->ReleaseTypeAttr(attr);
    std::u16string help;
    CHECK_EQ(Doc(info.Get(), MEMBERID_NIL, &help), std::u16string(u"Vantrex"));
    CHECK_EQ(help, std::u16string(u"Tromvex Class"));

    const struct {
        GUID iid;
        INT flags;
    } impls[] = {{IID_IVantrexObj, IMPLTYPEFLAG_FDEFAULT},
                 {DIID__IVantrexObjEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    for (UINT i = 0; i < 2; ++i) {
        INT flags = 0;
        CHECK_HR(info->GetImplTypeFlags(i, &flags));
        CHECK_EQ(flags, impls[i].flags);
        HREFTYPE ref = 0;
        CHECK_HR(info->GetRefTypeOfImplType(i, &ref));
        ComPtr<ITypeInfo> implInfo;
        REQUIRE_HR(info->GetRefTypeInfo(ref, implInfo.Put()));
        TYPEATTR* ia = nullptr;
        REQUIRE_HR(implInfo->GetTypeAttr(&ia));
        CHECK_EQ(ia->guid, impls[i].iid);
        implInfo->ReleaseTypeAttr(ia);
    }
}
