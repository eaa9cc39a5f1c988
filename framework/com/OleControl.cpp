#include "framework/com/OleControl.h"

#include "framework/com/ComObject.h"
#include "framework/com/Module.h"

namespace com {
namespace {

const WCHAR kWindowClass[] = L"TromvexControlWindow";

HRESULT RegisterWindowClass(WNDPROC proc) {
    WNDCLASSEXW wc{sizeof wc};
    if (GetClassInfoExW(Module::Instance(), kWindowClass, &wc)) return S_OK;
    wc = WNDCLASSEXW{sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = Module::Instance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

}  // namespace

OleControl::~OleControl() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

// ---- IOleObject ------------------------------------------------------------

STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site) {
    m_clientSite = ComPtr<IOleClientSite>(site);
    if (!site) m_inPlaceSite = nullptr;
    return S_OK;
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site) { return m_clientSite.CopyTo(site); }

STDMETHODIMP OleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP OleControl::Close(DWORD) {
    InPlaceDeactivate();
    if (m_oleAdvise) m_oleAdvise->SendOnClose();
    m_inPlaceSite = nullptr;
    return S_OK;
}

STDMETHODIMP OleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    if (!m_clientSite && activeSite) SetClientSite(activeSite);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(true);
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(false);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_hwnd) ShowWindow(m_hwnd, SW_HIDE);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(ControlClsid(), verbs);
}

STDMETHODIMP OleControl::Update() { return S_OK; }
STDMETHODIMP OleControl::IsUpToDate() { return S_OK; }

STDMETHODIMP OleControl::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = ControlClsid();
    return S_OK;
}

STDMETHODIMP OleControl::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    return OleRegGetUserType(ControlClsid(), form, type);
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    m_extent = *size;
    m_dirty = true;
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    if (!size) return E_POINTER;
    *size = m_extent;
    return S_OK;
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!m_oleAdvise) {
        const HRESULT hr = CreateOleAdviseHolder(m_oleAdvise.Put());
        if (FAILED(hr)) return hr;
    }
    return m_oleAdvise->Advise(sink, connection);
}

STDMETHODIMP OleControl::Unadvise(DWORD connection) {
    return m_oleAdvise ? m_oleAdvise->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return m_oleAdvise ? m_oleAdvise->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? ControlMiscStatus() : 0;
    return S_OK;
}

STDMETHODIMP OleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow / IOleInPlaceObject -----------------------------------------

STDMETHODIMP OleControl::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = m_hwnd;
    return m_hwnd ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT OleControl::InPlaceActivate(bool uiActivate) {
    if (!m_clientSite) return E_UNEXPECTED;
    if (!m_inPlaceSite) {
        const HRESULT hr = m_clientSite.As(IID_IOleInPlaceSite, m_inPlaceSite);
        if (FAILED(hr)) return hr;
    }
    // Hold the site: the container may call back into us and drop it.
    const ComPtr<IOleInPlaceSite> site = m_inPlaceSite;
    if (!m_inPlaceActive) {
        const HRESULT hr = site->CanInPlaceActivate();
        if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
        site->OnInPlaceActivate();
        m_inPlaceActive = true;
    }

    HWND parent = nullptr;
    HRESULT hr = site->GetWindow(&parent);
    if (FAILED(hr) || !parent) {
        InPlaceDeactivate();
        return FAILED(hr) ? hr : E_FAIL;
    }
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> doc;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    hr = site->GetWindowContext(frame.Put(), doc.Put(), &position, &clip, &frameInfo);
    if (FAILED(hr)) {
        InPlaceDeactivate();
        return hr;
    }

    if (!m_hwnd) {
        hr = CreateControlWindow(parent, position);
        if (FAILED(hr)) {
            InPlaceDeactivate();
            return hr;
        }
    } else {
        SetObjectRects(&position, &clip);
    }
    ShowWindow(m_hwnd, SW_SHOWNA);

    if (uiActivate && !m_uiActive) {
        m_uiActive = true;
        site->OnUIActivate();
        m_frame = frame;
        m_docWindow = doc;
        if (m_frame) {
            m_frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
            m_frame->SetBorderSpace(nullptr);
        }
        if (m_docWindow) {
            m_docWindow->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
            m_docWindow->SetBorderSpace(nullptr);
        }
    }
    return S_OK;
}

HRESULT OleControl::CreateControlWindow(HWND parent, const RECT& position) {
    const HRESULT hr = RegisterWindowClass(&OleControl::WindowProc);
    if (FAILED(hr)) return hr;
    m_position = position;
    const HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                      position.left, position.top, position.right - position.left,
                                      position.bottom - position.top, parent, nullptr,
                                      Module::Instance(), this);
    if (!hwnd) return HRESULT_FROM_WIN32(GetLastError());
    m_hwnd = hwnd;
    return S_OK;
}

LRESULT CALLBACK OleControl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<OleControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers the whole client area
    case WM_PAINT:
        if (self) {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            try {
                self->OnDraw(dc, client);
            } catch (...) {
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        if (self) self->m_hwnd = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

STDMETHODIMP OleControl::InPlaceDeactivate() {
    if (!m_inPlaceActive) return S_OK;
    UIDeactivate();
    m_inPlaceActive = false;
    if (m_hwnd) DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    if (m_inPlaceSite) {
        const ComPtr<IOleInPlaceSite> site = m_inPlaceSite;
        site->OnInPlaceDeactivate();
    }
    return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate() {
    if (!m_uiActive) return S_OK;
    m_uiActive = false;
    if (m_frame) m_frame->SetActiveObject(nullptr, nullptr);
    if (m_docWindow) m_docWindow->SetActiveObject(nullptr, nullptr);
    m_frame = nullptr;
    m_docWindow = nullptr;
    if (m_inPlaceSite) {
        const ComPtr<IOleInPlaceSite> site = m_inPlaceSite;
        site->OnUIDeactivate(FALSE);
    }
    return S_OK;
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    m_position = *position;
    if (m_hwnd)
        SetWindowPos(m_hwnd, nullptr, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
    try {
        OnObjectRectsChanged(m_position);
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP OleControl::ReactivateAndUndo() { return E_NOTIMPL; }

// ---- IOleInPlaceActiveObject / IOleControl --------------------------------

STDMETHODIMP OleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP OleControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP OleControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP OleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP OleControl::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof *info;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP OleControl::OnMnemonic(MSG*) { return S_OK; }
STDMETHODIMP OleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP OleControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IViewObject2 -----------------------------------------------------------

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc, LPCRECTL bounds,
                              LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!drawDc) return E_INVALIDARG;
    RECT r;
    if (bounds) {
        r = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (m_hwnd) {
        GetClientRect(m_hwnd, &r);
    } else {
        r = RECT{0, 0, m_position.right - m_position.left, m_position.bottom - m_position.top};
    }
    try {
        OnDraw(drawDc, r);
    } catch (...) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP OleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    m_viewAspects = aspects;
    m_viewAdvf = advf;
    m_viewSink = ComPtr<IAdviseSink>(sink);
    return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = m_viewAspects;
    if (advf) *advf = m_viewAdvf;
    if (sink) m_viewSink.CopyTo(sink);
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- Persistence ------------------------------------------------------------

STDMETHODIMP OleControl::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }

STDMETHODIMP OleControl::IsDirty() { return m_dirty ? S_OK : S_FALSE; }

STDMETHODIMP OleControl::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    DWORD data[3] = {};
    ULONG read = 0;
    HRESULT hr = stream->Read(&data[0], sizeof data[0], &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof data[0]) return E_FAIL;
    if (data[0] > kStreamVersion) return E_FAIL;
    hr = stream->Read(&data[1], sizeof data[1] * 2, &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof data[1] * 2) return E_FAIL;
    m_extent.cx = static_cast<LONG>(data[1]);
    m_extent.cy = static_cast<LONG>(data[2]);
    m_dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    const DWORD data[3] = {kStreamVersion, static_cast<DWORD>(m_extent.cx), static_cast<DWORD>(m_extent.cy)};
    ULONG written = 0;
    const HRESULT hr = stream->Write(data, sizeof data, &written);
    if (FAILED(hr)) return hr;
    if (written != sizeof data) return STG_E_MEDIUMFULL;
    if (clearDirty) m_dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = kStreamSize;
    return S_OK;
}

STDMETHODIMP OleControl::InitNew() { return S_OK; }
STDMETHODIMP OleControl::InitNew(IStorage*) { return S_OK; }

STDMETHODIMP OleControl::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr =
        storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (FAILED(hr)) return hr;
    return Load(stream.Get());
}

STDMETHODIMP OleControl::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    const HRESULT hr = storage->CreateStream(L"Contents", STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0,
                                             stream.Put());
    if (FAILED(hr)) return hr;
    return Save(stream.Get(), TRUE);
}

STDMETHODIMP OleControl::SaveCompleted(IStorage*) { return S_OK; }
STDMETHODIMP OleControl::HandsOffStorage() { return S_OK; }

STDMETHODIMP OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    LONG* const targets[2] = {&m_extent.cx, &m_extent.cy};
    const WCHAR* const names[2] = {L"_cx", L"_cy"};
    for (int i = 0; i < 2; ++i) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_UI4;
        // A missing entry keeps the current value.
        if (SUCCEEDED(bag->Read(names[i], &v, log)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_UI4)))
            *targets[i] = static_cast<LONG>(V_UI4(&v));
        VariantClear(&v);
    }
    m_dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    const LONG values[2] = {m_extent.cx, m_extent.cy};
    const WCHAR* const names[2] = {L"_cx", L"_cy"};
    for (int i = 0; i < 2; ++i) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_UI4;
        V_UI4(&v) = static_cast<ULONG>(values[i]);
        const HRESULT hr = bag->Write(names[i], &v);
        if (FAILED(hr)) return hr;
    }
    if (clearDirty) m_dirty = false;
    return S_OK;
}

}  // namespace com
