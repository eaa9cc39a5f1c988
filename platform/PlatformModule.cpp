// Entry points of the media platform library: the stand-ins for the
// DirectShow, editing-services and Windows Media pieces that Wine lacks.
// Each stand-in is a COM class listed in the two tables below.
#include <windows.h>
#include <dshow.h>
#include <olectl.h>

#include "framework/com/ClassFactory.h"
#include "framework/com/ComPtr.h"
#include "framework/com/Module.h"
#include "framework/com/Owners.h"
#include "framework/com/Registrar.h"
#include "framework/com/WinText.h"
#include "platform/ClassIds.h"
#include "platform/asf/AsfWriter.h"
#include "platform/core/CodecCatalog.h"
#include "platform/editing/MediaDet.h"
#include "platform/editing/RenderEngine.h"
#include "platform/editing/Timeline.h"
#include "platform/filters/AudioCompressor.h"
#include "platform/filters/AviMux.h"
#include "platform/filters/CaptureGraphBuilder.h"
#include "platform/filters/CompressorPage.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/VideoCompressor.h"
#include "platform/mpeg/MpegEncoderFilter.h"

#include <vector>

namespace {

// Classes this library serves (DllGetClassObject) ...
const com::ClassEntry kClasses[] = {
    {&CLSID_AMTimeline, &plat::Timeline::CreateInstance},
    {&CLSID_RenderEngine, &plat::RenderEngine::CreateInstance},
    {&CLSID_CaptureGraphBuilder2, &plat::CaptureGraphBuilder::CreateInstance},
    {&CLSID_AviDest, &plat::AviMux::CreateInstance},
    {&CLSID_FileWriter, &plat::FileWriter::CreateInstance},
    {&CLSID_MediaDet, &plat::MediaDet::CreateInstance},
    {&CLSID_WMAsfWriter, &asfw::AsfWriter::CreateInstance},
    {&CLSID_MpegEncoderMux, &mpegenc::MpegEncoderFilter::CreateInstance},
    {&plat::CLSID_VideoCompressorPage, &plat::CompressorPage::CreateVideo},
    {&plat::CLSID_AudioCompressorPage, &plat::CompressorPage::CreateAudio},
    {&plat::CLSID_CompressorAboutPage, &plat::CompressorPage::CreateAbout},
    {&plat::kVideoCompressorClsids[0], &plat::VideoCompressor::CreateInstance<0>},
    {&plat::kVideoCompressorClsids[1], &plat::VideoCompressor::CreateInstance<1>},
    {&plat::kVideoCompressorClsids[2], &plat::VideoCompressor::CreateInstance<2>},
    {&plat::kVideoCompressorClsids[3], &plat::VideoCompressor::CreateInstance<3>},
    {&plat::kVideoCompressorClsids[4], &plat::VideoCompressor::CreateInstance<4>},
    {&plat::kVideoCompressorClsids[5], &plat::VideoCompressor::CreateInstance<5>},
    {&plat::kVideoCompressorClsids[6], &plat::VideoCompressor::CreateInstance<6>},
    {&plat::kAudioCompressorClsids[0], &plat::AudioCompressor::CreateInstance<0>},
    {&plat::kAudioCompressorClsids[1], &plat::AudioCompressor::CreateInstance<1>},
    {&plat::kAudioCompressorClsids[2], &plat::AudioCompressor::CreateInstance<2>},
    {&plat::kAudioCompressorClsids[3], &plat::AudioCompressor::CreateInstance<3>},
    {&plat::kAudioCompressorClsids[4], &plat::AudioCompressor::CreateInstance<4>},
    {&plat::kAudioCompressorClsids[5], &plat::AudioCompressor::CreateInstance<5>},
};
static_assert(plat::kVideoCompressorCount == 7 && plat::kAudioCompressorCount == 6,
              "one class entry per compressor");

// ... and writes to the registry, over Wine's entries for the same
// classes. The compressors follow, named from the catalogue.
const com::InprocServerEntry kSystemServers[] = {
    {&CLSID_AMTimeline, "Timeline", "Both"},
    {&CLSID_RenderEngine, "Render Engine", "Both"},
    {&CLSID_CaptureGraphBuilder2, "Capture Graph Builder 2", "Both"},
    {&CLSID_AviDest, "AVI Mux", "Both"},
    {&CLSID_FileWriter, "File Writer", "Both"},
    {&CLSID_MediaDet, "MediaDet", "Both"},
    {&CLSID_WMAsfWriter, "ASF Writer", "Both"},
    {&CLSID_MpegEncoderMux, "MPEG Encoder and Multiplexer", "Both"},
    {&plat::CLSID_VideoCompressorPage, "Video Compressor Settings Page", "Both"},
    {&plat::CLSID_AudioCompressorPage, "Audio Compressor Settings Page", "Both"},
    {&plat::CLSID_CompressorAboutPage, "Compressor About Page", "Both"},
};

std::vector<com::InprocServerEntry> Servers() {
    std::vector<com::InprocServerEntry> all(std::begin(kSystemServers), std::end(kSystemServers));
    for (size_t i = 0; i < plat::kVideoCompressorCount; ++i)
        all.push_back({&plat::kVideoCompressorClsids[i], media::VideoCodecs()[i].friendlyName, "Both"});
    for (size_t i = 0; i < plat::kAudioCompressorCount; ++i)
        all.push_back({&plat::kAudioCompressorClsids[i], media::AudioCodecs()[i].friendlyName, "Both"});
    return all;
}

// The compressors in the system's compressor categories, where the device
// enumerator lists them; never picked by intelligent connect.
HRESULT RegisterCompressors(bool install) {
    const com::ComInit init;
    com::ComPtr<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  mapper.PutVoid());
    auto each = [&](const CLSID& category, const CLSID& clsid, const char* key, const char* name, const GUID& major,
                    const GUID& inSub) {
        if (FAILED(hr)) return;
        const std::u16string instance = com::U16(key);
        if (!install) {
            mapper->UnregisterFilter(&category, com::W(instance), clsid);
            return;
        }
        REGPINTYPES inType = {&major, &inSub};
        REGPINTYPES outType = {&major, &GUID_NULL};
        REGFILTERPINS2 pins[2] = {};
        pins[0].nMediaTypes = 1;
        pins[0].lpMediaType = &inType;
        pins[1].dwFlags = REG_PINFLAG_B_OUTPUT;
        pins[1].nMediaTypes = 1;
        pins[1].lpMediaType = &outType;
        REGFILTER2 rf{};
        rf.dwVersion = 2;
        rf.dwMerit = MERIT_DO_NOT_USE;
        rf.cPins2 = 2;
        rf.rgPins2 = pins;
        hr = mapper->RegisterFilter(clsid, com::W(com::U16(name)), nullptr, &category, com::W(instance), &rf);
    };
    for (size_t i = 0; i < plat::kVideoCompressorCount; ++i)
        each(CLSID_VideoCompressorCategory, plat::kVideoCompressorClsids[i], media::VideoCodecs()[i].key,
             media::VideoCodecs()[i].friendlyName, MEDIATYPE_Video, MEDIASUBTYPE_RGB32);
    for (size_t i = 0; i < plat::kAudioCompressorCount; ++i)
        each(CLSID_AudioCompressorCategory, plat::kAudioCompressorClsids[i], media::AudioCodecs()[i].key,
             media::AudioCodecs()[i].friendlyName, MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    return install ? hr : S_OK;
}

// The files by which programs tell that the Windows Media runtime is
// installed (they look for them in the system folder before they offer WMV
// work). This library is that runtime here: registering it puts them in
// place, as copies of this library's own module file, and unregistering
// takes away the copies it made (never a file of another maker).
const char16_t* const kRuntimeFiles[] = {u"wmvdmoe2.dll", u"wmidx.dll"};

bool SameBytes(const std::u16string& a, const std::u16string& b) {
    auto read = [](const std::u16string& path, std::string& out) {
        const com::KernelHandle h(
            CreateFileW(com::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!h) return false;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(h.Get(), &size) || size.QuadPart >= (64 << 20)) return false;
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        return out.empty() ||
               (ReadFile(h.Get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
    };
    std::string x, y;
    return read(a, x) && read(b, y) && x == y;
}

HRESULT InstallRuntimeFiles(bool install) {
    WCHAR folder[MAX_PATH] = {};
    if (!GetSystemDirectoryW(folder, MAX_PATH)) return HRESULT_FROM_WIN32(GetLastError());
    const std::u16string own = com::Module::Path();
    HRESULT result = S_OK;
    for (const char16_t* name : kRuntimeFiles) {
        const std::u16string target = com::U16(folder) + u"\\" + name;
        const bool present = GetFileAttributesW(com::W(target)) != INVALID_FILE_ATTRIBUTES;
        if (install && !present && !CopyFileW(com::W(own), com::W(target), TRUE))
            result = HRESULT_FROM_WIN32(GetLastError());
        if (!install && present && SameBytes(own, target)) DeleteFileW(com::W(target));
    }
    return install ? result : S_OK;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        com::Module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
        com::Module::PinInProcess();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return com::GetClassObjectFromTable(kClasses, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return com::CanUnloadNow(); }

STDAPI DllRegisterServer() {
    return com::ComGuard([&]() -> HRESULT {
        const std::vector<com::InprocServerEntry> servers = Servers();
        HRESULT hr = com::RegisterInprocServers(com::Module::Instance(), servers.data(), servers.size(), true);
        if (SUCCEEDED(hr)) hr = RegisterCompressors(true);
        return FAILED(hr) ? hr : InstallRuntimeFiles(true);
    });
}

STDAPI DllUnregisterServer() {
    return com::ComGuard([&]() -> HRESULT {
        InstallRuntimeFiles(false);
        RegisterCompressors(false);
        const std::vector<com::InprocServerEntry> servers = Servers();
        return com::RegisterInprocServers(com::Module::Instance(), servers.data(), servers.size(), false);
    });
}
