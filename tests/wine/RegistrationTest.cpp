// Registration of the control library: the keys its script writes, the
// type library, and the four entry points.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "convctl/Tromvex.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;

namespace {

const std::u16string kClsidKey = u"CLSID\\{F82FA24D-93F8-47CA-8B12-58372BF271EF}";
const std::u16string kTypeLibKey = u"TypeLib\\{519727AE-C591-4DCE-AFB0-D462D9E384D5}";

std::u16string ModulePathFromRegistry() {
    return wt::RegReadString(HKEY_CLASSES_ROOT, kClsidKey + u"\\InprocServer32", u"");
}

template <class F>
F ProcAs(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Library {
    HMODULE module = nullptr;
    HRESULT(WINAPI* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* canUnloadNow)() = nullptr;
    HRESULT(WINAPI* registerServer)() = nullptr;
    HRESULT(WINAPI* unregisterServer)() = nullptr;

    Library() {
        module = LoadLibraryW(com::W(ModulePathFromRegistry()));
        if (!module) return;
        getClassObject = ProcAs<decltype(getClassObject)>(module, "DllGetClassObject");
        canUnloadNow = ProcAs<decltype(canUnloadNow)>(module, "DllCanUnloadNow");
        registerServer = ProcAs<decltype(registerServer)>(module, "DllRegisterServer");
        unregisterServer =
            ProcAs<decltype(unregisterServer)>(module, "DllUnregisterServer");
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
    bool Ok() const { return module && getClassObject && canUnloadNow && registerServer && unregisterServer; }
};

void CheckString(const std::u16string& path, const std::u16string& value, const std::u16string& expected) {
    bool found = false;
    const std::u16string got = wt::RegReadString(HKEY_CLASSES_ROOT, path, value, &found);
    if (!found) wt::ReportFailure(__FILE__, __LINE__, "missing value " + wt::Utf8(path) + " [" + wt::Utf8(value) + "]");
    else CHECK_EQ(got, expected);
}

void CheckAllKeysRegistered() {
    const std::u16string module = ModulePathFromRegistry();
    CHECK(!module.empty());
    CHECK(module.size() > 12 && module.substr(module.size() - 12) == u"\\Tromvex.dll");

    CheckString(u"Vantrex.VantrexObj.1", u"", u"VantrexObj Class");
    CheckString(u"Vantrex.VantrexObj.1\\CLSID", u"", u"{F82FA24D-93F8-47CA-8B12-58372BF271EF}");
    CheckString(u"Vantrex.VantrexObj", u"", u"VantrexObj Class");
    CheckString(u"Vantrex.VantrexObj\\CLSID", u"", u"{F82FA24D-93F8-47CA-8B12-58372BF271EF}");
    CheckString(u"Vantrex.VantrexObj\\CurVer", u"", u"Vantrex.VantrexObj.1");
    CheckString(kClsidKey, u"", u"VantrexObj Class");
    CheckString(kClsidKey + u"\\ProgID", u"", u"Vantrex.VantrexObj.1");
    CheckString(kClsidKey + u"\\VersionIndependentProgID", u"", u"Vantrex.VantrexObj");
    CheckString(kClsidKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment");
    CheckString(kClsidKey + u"\\ToolboxBitmap32", u"", module + u", 101");
    CheckString(kClsidKey + u"\\MiscStatus", u"", u"0");
    CheckString(kClsidKey + u"\\MiscStatus\\1", u"", u"131473");
    CheckString(kClsidKey + u"\\TypeLib", u"", u"{519727AE-C591-4DCE-AFB0-D462D9E384D5}");
    CheckString(kClsidKey + u"\\Version", u"", u"1.0");
    for (const char16_t* empty : {u"\\Programmable", u"\\Control", u"\\Insertable"})
        CHECK(wt::RegKeyExists(HKEY_CLASSES_ROOT, kClsidKey + empty));
    CHECK(wt::RegKeyExists(HKEY_CLASSES_ROOT, kTypeLibKey + u"\\1.0"));
}

void CheckRegisteredLibid() {
    ComPtr<ITypeLib> lib;
    REQUIRE_HR(LoadRegTypeLib(LIBID_VANTREXLib, 1, 0, 0x0409, lib.Put()));
    TLIBATTR* attr = nullptr;
    REQUIRE_HR(lib->GetLibAttr(&attr));
    // widl has been seen writing the last byte of the LIBID wrongly.
    CHECK_EQ(attr->guid, LIBID_VANTREXLib);
    CHECK_EQ(attr->guid.Data4[7], 0xD5);
    CHECK_EQ(attr->wMajorVerNum, 1);
    CHECK_EQ(attr->wMinorVerNum, 0);
    CHECK_EQ(attr->lcid, 0x0409u);
    lib->ReleaseTLibAttr(attr);
}

}  // namespace

WT_TEST(Registration, KeysAreWrittenExactly) { CheckAllKeysRegistered(); }

WT_TEST(Registration, ProgIdsResolveToTheClass) {
    CLSID clsid{};
    CHECK_HR(CLSIDFromProgID(L"Vantrex.VantrexObj.1", &clsid));
    CHECK_EQ(clsid, CLSID_Vantrex);
    clsid = CLSID{};
    CHECK_HR(CLSIDFromProgID(L"Vantrex.VantrexObj", &clsid));
    CHECK_EQ(clsid, CLSID_Vantrex);
    LPOLESTR progId = nullptr;
    CHECK_HR(ProgIDFromCLSID(CLSID_Vantrex, &progId));
    if (progId) {
        CHECK_EQ(com::U16(progId), std::u16string(u"Vantrex.VantrexObj.1"));
        CoTaskMemFree(progId);
    }
}

WT_TEST(Registration, TypeLibraryReadsBackWithItsLibid) { CheckRegisteredLibid(); }

WT_TEST(Registration, ClassObjectOnlyForTheControlClass) {
    Library lib;
    REQUIRE(lib.Ok());
    void* out = reinterpret_cast<void*>(1);
    const CLSID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    CHECK_HR_EQ(lib.getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    CHECK(out == nullptr);

    ComPtr<IClassFactory> factory;
    REQUIRE_HR(lib.getClassObject(CLSID_Vantrex, IID_IClassFactory, factory.PutVoid()));
    CHECK_HR_EQ(lib.canUnloadNow(), S_FALSE);

    ComPtr<IUnknown> outer;
    REQUIRE_HR(CoCreateInstance(CLSID_StdFont, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, outer.PutVoid()));
    ComPtr<IUnknown> aggregated;
    CHECK_HR_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, aggregated.PutVoid()), CLASS_E_NOAGGREGATION);

    ComPtr<IUnknown> control;
    CHECK_HR(factory->CreateInstance(nullptr, IID_IUnknown, control.PutVoid()));
    CHECK_HR(factory->LockServer(TRUE));
    factory = nullptr;
    control = nullptr;
    CHECK_HR_EQ(lib.canUnloadNow(), S_FALSE);  // still locked
    ComPtr<IClassFactory> again;
    REQUIRE_HR(lib.getClassObject(CLSID_Vantrex, IID_IClassFactory, again.PutVoid()));
    CHECK_HR(again->LockServer(FALSE));
    again = nullptr;
    CHECK_HR_EQ(lib.canUnloadNow(), S_OK);
}

WT_TEST(Registration, UnregisterRemovesAllButTheClsidRoot) {
    Library lib;
    REQUIRE(lib.Ok());
    REQUIRE_HR(lib.unregisterServer());
    for (const std::u16string& gone : {std::u16string(u"Vantrex.VantrexObj.1"), std::u16string(u"Vantrex.VantrexObj"),
                                       kClsidKey, kTypeLibKey + u"\\1.0"})
        if (wt::RegKeyExists(HKEY_CLASSES_ROOT, gone))
            wt::ReportFailure(__FILE__, __LINE__, "still registered: " + wt::Utf8(gone));
    CHECK(wt::RegKeyExists(HKEY_CLASSES_ROOT, u"CLSID"));
    CLSID clsid{};
    CHECK(FAILED(CLSIDFromProgID(L"Vantrex.VantrexObj", &clsid)));
    // Unregistering twice is harmless.
    CHECK_HR(lib.unregisterServer());

    // Register again, twice: the result is the same tree.
    CHECK_HR(lib.registerServer());
    CHECK_HR(lib.registerServer());
    CheckAllKeysRegistered();
    CheckRegisteredLibid();
}

// The media platform library stands for the Windows Media runtime: its
// registration puts the runtime's two files in the system folder, and its
// removal takes away only the copies it made.
WT_TEST(Registration, ThePlatformLibraryInstallsTheRuntimeFiles) {
    const std::u16string library =
        wt::RegReadString(HKEY_CLASSES_ROOT, u"CLSID\\{78530B75-61F9-11D2-8CAD-00A024580902}\\InprocServer32", u"");
    REQUIRE(!library.empty());
    const HMODULE module = LoadLibraryW(com::W(library));
    REQUIRE(module);
    const auto registerServer = ProcAs<HRESULT(WINAPI*)()>(module, "DllRegisterServer");
    const auto unregisterServer = ProcAs<HRESULT(WINAPI*)()>(module, "DllUnregisterServer");
    REQUIRE(registerServer && unregisterServer);
    WCHAR system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::u16string wmvdmoe2 = com::U16(system) + u"\\wmvdmoe2.dll", wmidx = com::U16(system) + u"\\wmidx.dll";
    auto exists = [](const std::u16string& p) { return GetFileAttributesW(com::W(p)) != INVALID_FILE_ATTRIBUTES; };
    // The test environment registered it.
    CHECK(exists(wmvdmoe2) && exists(wmidx));

    CHECK_HR(unregisterServer());
    CHECK(!exists(wmvdmoe2) && !exists(wmidx));
    // A file of another maker stays where it is.
    const HANDLE h = CreateFileW(com::W(wmidx), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    REQUIRE(h != INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "MZ another runtime", 18, &written, nullptr);
    CloseHandle(h);
    CHECK_HR(registerServer());
    CHECK(exists(wmvdmoe2));
    CHECK_HR(unregisterServer());
    CHECK(!exists(wmvdmoe2) && exists(wmidx));
    DeleteFileW(com::W(wmidx));
    CHECK_HR(registerServer());
    CHECK(exists(wmvdmoe2) && exists(wmidx));
    FreeLibrary(module);
}
