// The Vantrex ActiveX control: automation interface, events, OLE embedding.
// Nearly every member forwards to the conversion engine.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "convctl/ConversionEngine.h"
#include "convctl/EngineHost.h"
#include "convctl/Tromvex.h"
#include "framework/com/ComObject.h"
#include "framework/com/ConnectionPoint.h"
#include "framework/com/OleControl.h"
#include "framework/com/TypeLib.h"

namespace convctl {

// The control library's registered type library (LIBID, version 1.0).
com::TypeLibHolder& ControlTypeLib();

class VantrexControl final : public com::DispatchImpl<IVantrexObj>,
                             public com::ComObjectRoot,
                             public com::OleControl,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public EngineHost {
public:
    static constexpr DWORD kMiscStatus = 131473;  // 0x20191
    static constexpr LONG kDefaultPriority = 2;

    // Class operations outside the automation interface; declared first so
    // that they follow the interface's methods in the vtable.
    virtual HRESULT STDMETHODCALLTYPE ResumeConversion();
    virtual HRESULT STDMETHODCALLTYPE PauseConversion();

    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);
    VantrexControl();

    // For tests that drive the engine with their own platform objects.
    ConversionEngine& Engine() { return *m_engine; }

    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IVantrexObj)
        COM_QI_AS(IDispatch, IVantrexObj)
        COM_QI(IVantrexObj)
        COM_QI(IConnectionPointContainer)
        COM_QI_AS(IProvideClassInfo, IProvideClassInfo2)
        COM_QI(IProvideClassInfo2)
        COM_QI(IOleObject)
        COM_QI_AS(IOleWindow, IOleInPlaceObject)
        COM_QI(IOleInPlaceObject)
        COM_QI(IOleInPlaceActiveObject)
        COM_QI(IOleControl)
        COM_QI_AS(IViewObject, IViewObject2)
        COM_QI(IViewObject2)
        COM_QI_AS(IPersist, IPersistStreamInit)
        COM_QI(IPersistStreamInit)
        COM_QI(IPersistStorage)
        COM_QI(IPersistPropertyBag)
    COM_END_QI()

    // IVantrexObj
    STDMETHODIMP get_InputFile(BSTR* pVal) override;
    STDMETHODIMP put_InputFile(BSTR newVal) override;
    STDMETHODIMP get_OutputFile(BSTR* pVal) override;
    STDMETHODIMP put_OutputFile(BSTR newVal) override;
    STDMETHODIMP get_OutputWidth(LONG* pVal) override;
    STDMETHODIMP put_OutputWidth(LONG newVal) override;
    STDMETHODIMP get_OutputHeight(LONG* pVal) override;
    STDMETHODIMP put_OutputHeight(LONG newVal) override;
    STDMETHODIMP get_OutputFramerate(double* pVal) override;
    STDMETHODIMP put_OutputFramerate(double newVal) override;
    STDMETHODIMP get_TempFolder(BSTR* pVal) override;
    STDMETHODIMP put_TempFolder(BSTR newVal) override;
    STDMETHODIMP StartConversion() override;
    STDMETHODIMP StopConversion() override;
    STDMETHODIMP ListAVICodecs(EnumMediaType type) override;
    STDMETHODIMP DoesCodecHaveAboutBox(BSTR CodecGuid, VARIANT_BOOL* pResult) override;
    STDMETHODIMP DoesCodecHaveConfigBox(BSTR CodecGuid, VARIANT_BOOL* pResult) override;
    STDMETHODIMP ShowAviCodecAboutBox(LONG HwndParent, BSTR CodecGuid) override;
    STDMETHODIMP ShowAviCodecConfigBox(LONG HwndParent, BSTR CodecGuid) override;
    STDMETHODIMP get_VideoCodec(BSTR* pVal) override;
    STDMETHODIMP put_VideoCodec(BSTR newVal) override;
    STDMETHODIMP get_AudioCodec(BSTR* pVal) override;
    STDMETHODIMP put_AudioCodec(BSTR newVal) override;
    STDMETHODIMP get_Duration(double* pVal) override;
    STDMETHODIMP get_Progress(double* pVal) override;
    STDMETHODIMP ListWMVProfiles() override;
    STDMETHODIMP get_ProfileDescription(LONG Index, BSTR* pVal) override;
    STDMETHODIMP get_OutputFormat(EnumMediaOutputFormat* pVal) override;
    STDMETHODIMP put_OutputFormat(EnumMediaOutputFormat newVal) override;
    STDMETHODIMP get_OutputWMVProfile(LONG* pVal) override;
    STDMETHODIMP put_OutputWMVProfile(LONG newVal) override;
    STDMETHODIMP get_EncodeFPS(LONG* pVal) override;
    STDMETHODIMP get_OutputAudioBitrate(LONG* pVal) override;
    STDMETHODIMP put_OutputAudioBitrate(LONG newVal) override;
    STDMETHODIMP get_OutputVideoBitrate(LONG* pVal) override;
    STDMETHODIMP put_OutputVideoBitrate(LONG newVal) override;
    STDMETHODIMP get_OutputUseVBR(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_OutputUseVBR(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_OutputQuality(LONG* pVal) override;
    STDMETHODIMP put_OutputQuality(LONG newVal) override;
    STDMETHODIMP get_ConvertPreview(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ConvertPreview(VARIANT_BOOL newVal) override;
    STDMETHODIMP ListWMVCodecs(LONG CodecType) override;
    STDMETHODIMP GetFileInfo(BSTR Filename, double* pFramerate, double* pDuration,
                             VARIANT_BOOL* pVideoStreamAvailable, VARIANT_BOOL* pAudioStreamAvailable,
                             LONG* pWidth, LONG* pHeight, LONG* pBitrate, BSTR* pPosterFramePath) override;
    STDMETHODIMP get_Priority(EnumProcessPriority* pVal) override;
    STDMETHODIMP put_Priority(EnumProcessPriority newVal) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* out) override;

    // Event firing (EngineHost).
    void Fire_AboutToRun() override;
    void Fire_AVICodecListed(const std::u16string& codecName, const std::u16string& codecGuid,
                             LONG codecType) override;
    void Fire_Complete() override;
    void Fire_Error(LONG error, const std::u16string& errorMessage) override;
    void Fire_WMVProfileListed(LONG index, const std::u16string& profileName,
                               const std::u16string& profileDescription) override;
    void Fire_StateChange(LONG unused, const std::u16string& stateDescription) override;
    void Fire_WMVCodecListed(LONG codecType, const std::u16string& codecName,
                             const std::u16string& codecIdentifier) override;

protected:
    // OleControl
    REFCLSID ControlClsid() const override { return CLSID_Vantrex; }
    DWORD ControlMiscStatus() const override { return kMiscStatus; }
    void OnDraw(HDC dc, const RECT& bounds) override;
    void OnObjectRectsChanged(const RECT& position) override;

    // DispatchImpl
    com::TypeLibHolder& DispatchTypeLib() override { return ControlTypeLib(); }
    REFIID DispatchIid() const override { return IID_IVantrexObj; }

private:
    ~VantrexControl() override;

    com::ConnectionPoint m_events;
    std::unique_ptr<ConversionEngine> m_engine;
    std::u16string m_tempFolder;
    LONG m_priority = kDefaultPriority;
    HPEN m_pen = nullptr;
    HICON m_icon = nullptr;
};

}  // namespace convctl
