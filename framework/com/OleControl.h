// The OLE control side of a windowed ActiveX control: embedding, in-place
// and UI activation inside a container's window, drawing for the container,
// and persistence of the control's extent.
//
// The derived (final) class implements IUnknown; everything here calls
// AddRef/Release/QueryInterface through it.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>

#include "framework/com/ComPtr.h"

namespace com {

class OleControl : public IOleObject,
                   public IOleInPlaceObject,
                   public IOleInPlaceActiveObject,
                   public IOleControl,
                   public IViewObject2,
                   public IPersistStreamInit,
                   public IPersistStorage,
                   public IPersistPropertyBag {
public:
    // Stream form of the persisted state: u32 version, u32 cx, u32 cy.
    static constexpr DWORD kStreamVersion = 0x0300;
    static constexpr ULONG kStreamSize = 12;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDc,
                      HDC drawDc, LPCRECTL bounds, LPCRECTL windowBounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;

    // IPersist and the three persistence interfaces
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

protected:
    OleControl() = default;
    virtual ~OleControl();

    virtual REFCLSID ControlClsid() const = 0;
    virtual DWORD ControlMiscStatus() const = 0;
    virtual void OnDraw(HDC dc, const RECT& bounds) = 0;
    // After the container moved or resized the control.
    virtual void OnObjectRectsChanged(const RECT& position) { (void)position; }

    IOleInPlaceSite* InPlaceSite() const { return m_inPlaceSite.Get(); }
    HWND ControlWindow() const { return m_hwnd; }
    const RECT& PositionRect() const { return m_position; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }

private:
    HRESULT InPlaceActivate(bool uiActivate);
    HRESULT CreateControlWindow(HWND parent, const RECT& position);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    ComPtr<IOleClientSite> m_clientSite;
    ComPtr<IOleInPlaceSite> m_inPlaceSite;
    ComPtr<IOleInPlaceFrame> m_frame;
    ComPtr<IOleInPlaceUIWindow> m_docWindow;
    ComPtr<IOleAdviseHolder> m_oleAdvise;
    ComPtr<IAdviseSink> m_viewSink;
    DWORD m_viewAspects = 0;
    DWORD m_viewAdvf = 0;
    HWND m_hwnd = nullptr;
    RECT m_position{};
    bool m_inPlaceActive = false;
    bool m_uiActive = false;
    bool m_dirty = false;
    SIZEL m_extent{5080, 5080};  // HIMETRIC, 2 by 2 inches
};

}  // namespace com
