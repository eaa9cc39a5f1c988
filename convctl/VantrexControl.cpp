#include "convctl/VantrexControl.h"

#include "convctl/resource.h"
#include "framework/com/Bstr.h"
#include "framework/com/Enumerators.h"
#include "framework/com/Module.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::AllocBstr;
using com::ComGuard;
using com::EventArg;
using com::U16FromBstr;

namespace {

// Event DISPIDs of _IVantrexObjEvents.
enum : DISPID {
    kDispAboutToRun = 2,
    kDispAVICodecListed = 3,
    kDispComplete = 4,
    kDispError = 5,
    kDispWMVProfileListed = 6,
    kDispStateChange = 7,
    kDispWMVCodecListed = 8,
};

// A get with a null out-pointer does nothing; the copy is the caller's.
HRESULT GetString(const std::u16string& value, BSTR* out) {
    if (out) *out = AllocBstr(value);
    return S_OK;
}

template <class T>
HRESULT GetValue(T value, T* out) {
    if (out) *out = value;
    return S_OK;
}

// Only -1 counts as true.
bool FromVariantBool(VARIANT_BOOL v) { return v == VARIANT_TRUE; }
VARIANT_BOOL ToVariantBool(bool v) { return v ? VARIANT_TRUE : VARIANT_FALSE; }

// Members always return S_OK; failures travel only as events. An exception
// must not cross back into the caller, so each body runs guarded.
template <class F>
HRESULT Member(F&& body) {
    ComGuard([&]() -> HRESULT {
        body();
        return S_OK;
    });
    return S_OK;
}

}  // namespace

com::TypeLibHolder& ControlTypeLib() {
    static com::TypeLibHolder holder(LIBID_VANTREXLib, 1, 0, 0x0409);
    return holder;
}

HRESULT VantrexControl::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<VantrexControl>(iid, out);
}

VantrexControl::VantrexControl()
    : m_events(*this, DIID__IVantrexObjEvents), m_engine(std::make_unique<ConversionEngine>(*this)) {
    m_icon = LoadIconW(com::Module::Instance(), MAKEINTRESOURCEW(IDI_VANTREX));
    m_pen = CreatePen(PS_SOLID, 0, RGB(0x80, 0x80, 0x80));
}

VantrexControl::~VantrexControl() {
    m_engine.reset();
    if (m_pen) DeleteObject(m_pen);
}

HRESULT STDMETHODCALLTYPE VantrexControl::ResumeConversion() {
    return Member([&] { m_engine->RunGraph(); });
}

HRESULT STDMETHODCALLTYPE VantrexControl::PauseConversion() {
    return Member([&] { m_engine->PauseGraph(); });
}

// ---- IVantrexObj -------------------------------------------------------------

STDMETHODIMP VantrexControl::get_InputFile(BSTR* pVal) {
    return Member([&] { GetString(m_engine->InputFile(), pVal); });
}
STDMETHODIMP VantrexControl::put_InputFile(BSTR newVal) {
    return Member([&] { m_engine->SetInputFile(U16FromBstr(newVal)); });
}
STDMETHODIMP VantrexControl::get_OutputFile(BSTR* pVal) {
    return Member([&] { GetString(m_engine->OutputFile(), pVal); });
}
STDMETHODIMP VantrexControl::put_OutputFile(BSTR newVal) {
    return Member([&] { m_engine->SetOutputFile(U16FromBstr(newVal)); });
}
STDMETHODIMP VantrexControl::get_OutputWidth(LONG* pVal) { return GetValue(m_engine->OutputWidth(), pVal); }
STDMETHODIMP VantrexControl::put_OutputWidth(LONG newVal) {
    m_engine->SetOutputWidth(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputHeight(LONG* pVal) { return GetValue(m_engine->OutputHeight(), pVal); }
STDMETHODIMP VantrexControl::put_OutputHeight(LONG newVal) {
    m_engine->SetOutputHeight(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputFramerate(double* pVal) {
    return GetValue(static_cast<double>(m_engine->OutputFrameRate()), pVal);
}
STDMETHODIMP VantrexControl::put_OutputFramerate(double newVal) {
    m_engine->SetOutputFrameRate(static_cast<float>(newVal));
    return S_OK;
}
STDMETHODIMP VantrexControl::get_TempFolder(BSTR* pVal) {
    return Member([&] { GetString(m_tempFolder, pVal); });
}
STDMETHODIMP VantrexControl::put_TempFolder(BSTR newVal) {
    return Member([&] { m_tempFolder = U16FromBstr(newVal); });
}

STDMETHODIMP VantrexControl::StartConversion() {
    return Member([&] {
        HWND container = nullptr;
        if (IOleInPlaceSite* site = InPlaceSite()) site->GetWindow(&container);
        m_engine->Start(container);
        m_engine->PlacePreview(PositionRect());
    });
}

STDMETHODIMP VantrexControl::StopConversion() {
    return Member([&] { m_engine->Teardown(); });
}

STDMETHODIMP VantrexControl::ListAVICodecs(EnumMediaType type) {
    return Member([&] { m_engine->ListAviCodecs(static_cast<LONG>(type)); });
}

STDMETHODIMP VantrexControl::DoesCodecHaveAboutBox(BSTR CodecGuid, VARIANT_BOOL* pResult) {
    return Member([&] {
        const bool has = m_engine->CodecHasAboutBox(U16FromBstr(CodecGuid));
        if (pResult) *pResult = ToVariantBool(has);
    });
}
STDMETHODIMP VantrexControl::DoesCodecHaveConfigBox(BSTR CodecGuid, VARIANT_BOOL* pResult) {
    return Member([&] {
        const bool has = m_engine->CodecHasConfigBox(U16FromBstr(CodecGuid));
        if (pResult) *pResult = ToVariantBool(has);
    });
}
// The window handle travels as a 32-bit value; Win32 handles fit in 32 bits.
STDMETHODIMP VantrexControl::ShowAviCodecAboutBox(LONG HwndParent, BSTR CodecGuid) {
    return Member([&] {
        m_engine->ShowCodecAboutBox(reinterpret_cast<HWND>(static_cast<LONG_PTR>(HwndParent)),
                                    U16FromBstr(CodecGuid));
    });
}
STDMETHODIMP VantrexControl::ShowAviCodecConfigBox(LONG HwndParent, BSTR CodecGuid) {
    return Member([&] {
        m_engine->ShowCodecConfigBox(reinterpret_cast<HWND>(static_cast<LONG_PTR>(HwndParent)),
                                     U16FromBstr(CodecGuid));
    });
}

STDMETHODIMP VantrexControl::get_VideoCodec(BSTR* pVal) {
    return Member([&] { GetString(m_engine->VideoCodec(), pVal); });
}
STDMETHODIMP VantrexControl::put_VideoCodec(BSTR newVal) {
    return Member([&] { m_engine->SetVideoCodec(U16FromBstr(newVal)); });
}
STDMETHODIMP VantrexControl::get_AudioCodec(BSTR* pVal) {
    return Member([&] { GetString(m_engine->AudioCodec(), pVal); });
}
STDMETHODIMP VantrexControl::put_AudioCodec(BSTR newVal) {
    return Member([&] { m_engine->SetAudioCodec(U16FromBstr(newVal)); });
}
STDMETHODIMP VantrexControl::get_Duration(double* pVal) {
    return Member([&] { GetValue(m_engine->GetDuration(), pVal); });
}
STDMETHODIMP VantrexControl::get_Progress(double* pVal) {
    return Member([&] { GetValue(m_engine->GetProgress(), pVal); });
}
STDMETHODIMP VantrexControl::ListWMVProfiles() {
    return Member([&] { m_engine->ListWmvProfiles(); });
}
STDMETHODIMP VantrexControl::get_ProfileDescription(LONG Index, BSTR* pVal) {
    return Member([&] { GetString(m_engine->ProfileDescription(Index), pVal); });
}
STDMETHODIMP VantrexControl::get_OutputFormat(EnumMediaOutputFormat* pVal) {
    return GetValue(static_cast<EnumMediaOutputFormat>(m_engine->OutputFormat()), pVal);
}
STDMETHODIMP VantrexControl::put_OutputFormat(EnumMediaOutputFormat newVal) {
    m_engine->SetOutputFormat(static_cast<LONG>(newVal));
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputWMVProfile(LONG* pVal) { return GetValue(m_engine->WmvProfile(), pVal); }
STDMETHODIMP VantrexControl::put_OutputWMVProfile(LONG newVal) {
    m_engine->SetWmvProfile(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_EncodeFPS(LONG* pVal) {
    return Member([&] { GetValue(m_engine->EncodeFps(), pVal); });
}
STDMETHODIMP VantrexControl::get_OutputAudioBitrate(LONG* pVal) {
    return GetValue(m_engine->AudioBitRate(), pVal);
}
STDMETHODIMP VantrexControl::put_OutputAudioBitrate(LONG newVal) {
    m_engine->SetAudioBitRate(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputVideoBitrate(LONG* pVal) {
    return GetValue(m_engine->VideoBitRate(), pVal);
}
STDMETHODIMP VantrexControl::put_OutputVideoBitrate(LONG newVal) {
    m_engine->SetVideoBitRate(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputUseVBR(VARIANT_BOOL* pVal) {
    return GetValue(ToVariantBool(m_engine->UseVbr()), pVal);
}
STDMETHODIMP VantrexControl::put_OutputUseVBR(VARIANT_BOOL newVal) {
    m_engine->SetUseVbr(FromVariantBool(newVal));
    return S_OK;
}
STDMETHODIMP VantrexControl::get_OutputQuality(LONG* pVal) { return GetValue(m_engine->Quality(), pVal); }
STDMETHODIMP VantrexControl::put_OutputQuality(LONG newVal) {
    m_engine->SetQuality(newVal);
    return S_OK;
}
STDMETHODIMP VantrexControl::get_ConvertPreview(VARIANT_BOOL* pVal) {
    return GetValue(ToVariantBool(m_engine->Preview()), pVal);
}
STDMETHODIMP VantrexControl::put_ConvertPreview(VARIANT_BOOL newVal) {
    m_engine->SetPreview(FromVariantBool(newVal));
    return S_OK;
}
STDMETHODIMP VantrexControl::ListWMVCodecs(LONG CodecType) {
    return Member([&] { m_engine->ListWmvCodecs(CodecType); });
}

STDMETHODIMP VantrexControl::GetFileInfo(BSTR Filename, double* pFramerate, double* pDuration,
                                         VARIANT_BOOL* pVideoStreamAvailable,
                                         VARIANT_BOOL* pAudioStreamAvailable, LONG* pWidth, LONG* pHeight,
                                         LONG* pBitrate, BSTR* pPosterFramePath) {
    return Member([&] {
        ConversionEngine::FileInfoRequest request;
        request.frameRate = pFramerate;
        request.duration = pDuration;
        request.hasVideo = pVideoStreamAvailable;
        request.hasAudio = pAudioStreamAvailable;
        request.width = pWidth;
        request.height = pHeight;
        request.bitRate = pBitrate;
        request.posterPath = pPosterFramePath;
        m_engine->GetFileInfo(U16FromBstr(Filename), request);
    });
}

STDMETHODIMP VantrexControl::get_Priority(EnumProcessPriority* pVal) {
    return GetValue(static_cast<EnumProcessPriority>(m_priority), pVal);
}

STDMETHODIMP VantrexControl::put_Priority(EnumProcessPriority newVal) {
    DWORD priorityClass = NORMAL_PRIORITY_CLASS;
    if (newVal == priorityHIGH) priorityClass = HIGH_PRIORITY_CLASS;
    else if (newVal == priorityIDLE) priorityClass = IDLE_PRIORITY_CLASS;
    if (HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, GetCurrentProcessId())) {
        SetPriorityClass(process, priorityClass);
        CloseHandle(process);
    }
    m_priority = static_cast<LONG>(newVal);
    return S_OK;
}

// ---- IConnectionPointContainer / IProvideClassInfo2 ----------------------------

STDMETHODIMP VantrexControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ComGuard([&] {
        return com::CreateAndQuery<com::ConnectionPointEnum>(
            IID_IEnumConnectionPoints, reinterpret_cast<void**>(out),
            std::vector<IConnectionPoint*>{static_cast<IConnectionPoint*>(&m_events)});
    });
}

STDMETHODIMP VantrexControl::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, m_events.Iid())) return CONNECT_E_NOCONNECTION;
    *out = &m_events;
    m_events.AddRef();
    return S_OK;
}

STDMETHODIMP VantrexControl::GetClassInfo(ITypeInfo** out) {
    return ControlTypeLib().GetTypeInfo(CLSID_Vantrex, out);
}

STDMETHODIMP VantrexControl::GetGUID(DWORD kind, GUID* out) {
    if (!out) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *out = DIID__IVantrexObjEvents;
    return S_OK;
}

// ---- Events ---------------------------------------------------------------------

void VantrexControl::Fire_AboutToRun() { m_events.Fire(kDispAboutToRun, {}); }

void VantrexControl::Fire_AVICodecListed(const std::u16string& codecName, const std::u16string& codecGuid,
                                         LONG codecType) {
    m_events.Fire(kDispAVICodecListed,
                  {EventArg::Text(codecName), EventArg::Text(codecGuid), EventArg::Int(codecType)});
}

void VantrexControl::Fire_Complete() { m_events.Fire(kDispComplete, {}); }

void VantrexControl::Fire_Error(LONG error, const std::u16string& errorMessage) {
    m_events.Fire(kDispError, {EventArg::Int(error), EventArg::Text(errorMessage)});
}

void VantrexControl::Fire_WMVProfileListed(LONG index, const std::u16string& profileName,
                                           const std::u16string& profileDescription) {
    m_events.Fire(kDispWMVProfileListed,
                  {EventArg::Int(index), EventArg::Text(profileName), EventArg::Text(profileDescription)});
}

void VantrexControl::Fire_StateChange(LONG unused, const std::u16string& stateDescription) {
    m_events.Fire(kDispStateChange, {EventArg::Int(unused), EventArg::Text(stateDescription)});
}

void VantrexControl::Fire_WMVCodecListed(LONG codecType, const std::u16string& codecName,
                                         const std::u16string& codecIdentifier) {
    m_events.Fire(kDispWMVCodecListed,
                  {EventArg::Int(codecType), EventArg::Text(codecName), EventArg::Text(codecIdentifier)});
}

// ---- Drawing ------------------------------------------------------------------------

void VantrexControl::OnDraw(HDC dc, const RECT& bounds) {
    const HGDIOBJ oldPen = SelectObject(dc, m_pen);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

void VantrexControl::OnObjectRectsChanged(const RECT& position) { m_engine->PlacePreview(position); }

}  // namespace convctl
