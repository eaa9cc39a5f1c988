#include "framework/forms/OleCtrls.h"

#include <olectl.h>

#include <cstdio>

#include "framework/com/ComObject.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"

namespace forms {
namespace {

std::string HresultText(HRESULT hr, const std::string& what) {
    WCHAR buffer[512] = {};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(hr), 0, buffer, 512, nullptr);
    std::string text = n ? TextToUtf8(Trim(com::U16(buffer))) : std::string();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    if (text.empty()) text = std::string("OLE error ") + code;
    else text += std::string(" (") + code + ")";
    return what + ": " + text;
}

}  // namespace

EOleSysError::EOleSysError(HRESULT code, const std::string& what) : Exception(HresultText(code, what)), m_code(code) {}

namespace {

// IDispatch reached by dispatch identifier only, without type information.
class NoTypeInfoDispatch : public IDispatch {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

}  // namespace

// The container side the control talks to. It outlives neither the
// control component (which clears m_owner) nor its last reference.
class TOleControl::Site final : public com::ComObjectRoot,
                                public IOleClientSite,
                                public IOleInPlaceSite,
                                public IOleInPlaceFrame,
                                public IOleControlSite,
                                public NoTypeInfoDispatch {
public:
    explicit Site(TOleControl* owner) : m_owner(owner) {}
    void Detach() { m_owner = nullptr; }

    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IOleClientSite)
        COM_QI(IOleClientSite)
        COM_QI_AS(IOleWindow, IOleInPlaceSite)
        COM_QI(IOleInPlaceSite)
        COM_QI_AS(IOleInPlaceUIWindow, IOleInPlaceFrame)
        COM_QI(IOleInPlaceFrame)
        COM_QI(IOleControlSite)
        COM_QI(IDispatch)
    COM_END_QI()

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = m_owner ? m_owner->m_handle : nullptr;
        return *hwnd ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return m_owner ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !position || !clip || !info) return E_POINTER;
        *frame = this;
        AddRef();
        *doc = nullptr;
        const HWND hwnd = m_owner ? m_owner->m_handle : nullptr;
        RECT r{};
        if (hwnd) GetClientRect(hwnd, &r);
        *position = r;
        *clip = r;
        info->fMDIApp = FALSE;
        info->hwndFrame = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return S_OK; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT border) override {
        if (!border) return E_POINTER;
        SetRectEmpty(border);
        return INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** disp) override {
        if (disp) *disp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch::Invoke: the ambient properties. The program runs the
    // control in user mode; everything else takes the control's own default.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case DISPID_AMBIENT_USERMODE:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = VARIANT_TRUE;
            return S_OK;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = VARIANT_FALSE;
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    ~Site() override = default;
    TOleControl* m_owner;
};

class TOleControl::EventSink final : public com::ComObjectRoot, public NoTypeInfoDispatch {
public:
    EventSink(TOleControl* owner, const IID& iid) : m_owner(owner), m_iid(iid) {}
    void Detach() { m_owner = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, m_iid))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (!m_owner) return S_OK;
        DISPPARAMS empty{};
        try {
            m_owner->InvokeEvent(id, params ? params : &empty);
        } catch (...) {
            HandleCallbackException();
        }
        return S_OK;
    }

private:
    ~EventSink() override = default;
    TOleControl* m_owner;
    IID m_iid;
};

TOleControl::TOleControl(TComponent* owner, const CLSID& clsid, const IID& eventsIid)
    : TWinControl(owner), m_clsid(clsid), m_eventsIid(eventsIid) {
    m_width = 100;
    m_height = 100;
}

TOleControl::~TOleControl() {
    DestroyControl();
    DestroyHandle();
}

void TOleControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= WS_CLIPCHILDREN;
}

void TOleControl::InitializeWnd() { CreateControl(); }

IUnknown* TOleControl::OleObject() {
    HandleNeeded();
    return m_object.Get();
}

void TOleControl::CreateControl() {
    if (m_object) return;
    HRESULT hr = CoCreateInstance(m_clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, m_object.PutVoid());
    if (FAILED(hr)) {
        m_object = nullptr;
        throw EOleSysError(hr, std::string("Cannot create the control of ") + ClassName());
    }
    try {
        m_site = com::MakeObject<Site>(this);
        hr = m_object->SetClientSite(m_site.Get());
        if (FAILED(hr)) throw EOleSysError(hr, "The control refused its site");
        com::ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(m_object->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) persist->InitNew();
        if (!IsEqualIID(m_eventsIid, IID_NULL)) {
            com::ComPtr<IConnectionPointContainer> container;
            if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
                SUCCEEDED(container->FindConnectionPoint(m_eventsIid, m_connection.Put()))) {
                m_sink = com::MakeObject<EventSink>(this, m_eventsIid);
                if (FAILED(m_connection->Advise(static_cast<IDispatch*>(m_sink.Get()), &m_cookie))) m_cookie = 0;
            }
        }
        RECT r{0, 0, m_width, m_height};
        GetClientRect(m_handle, &r);
        SIZEL extent{};
        {
            const com::WindowDc screen(nullptr);
            extent = SIZEL{MulDiv(r.right, 2540, GetDeviceCaps(screen.Get(), LOGPIXELSX)),
                           MulDiv(r.bottom, 2540, GetDeviceCaps(screen.Get(), LOGPIXELSY))};
        }
        m_object->SetExtent(DVASPECT_CONTENT, &extent);
        hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site.Get(), 0, m_handle, &r);
        if (FAILED(hr)) throw EOleSysError(hr, "The control could not be activated in place");
        m_object->QueryInterface(IID_IOleInPlaceObject, m_inPlace.PutVoid());
    } catch (...) {
        DestroyControl();
        throw;
    }
}

void TOleControl::DestroyControl() {
    if (m_connection && m_cookie) m_connection->Unadvise(m_cookie);
    m_cookie = 0;
    m_connection = nullptr;
    if (m_inPlace) m_inPlace->InPlaceDeactivate();
    m_inPlace = nullptr;
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object = nullptr;
    }
    // The control may keep a reference past Close: cut the way back to us.
    if (m_sink) m_sink->Detach();
    m_sink = nullptr;
    if (m_site) m_site->Detach();
    m_site = nullptr;
}

void TOleControl::WndProc(TMessage& m) {
    if (m.Msg == WM_SIZE && m_inPlace) {
        TWinControl::WndProc(m);
        RECT r;
        GetClientRect(m_handle, &r);
        m_inPlace->SetObjectRects(&r, &r);
        return;
    }
    if (m.Msg == WM_DESTROY) DestroyControl();
    TWinControl::WndProc(m);
}

}  // namespace forms
