#include "tests/wine/harness/TestContainer.h"

namespace wt {
namespace {

const WCHAR kContainerClass[] = L"WtTestContainer";

void RegisterContainerClass() {
    WNDCLASSEXW wc{sizeof wc};
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kContainerClass, &wc)) return;
    wc = WNDCLASSEXW{sizeof wc};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
}

}  // namespace

TestContainer::TestContainer(int width, int height) {
    RegisterContainerClass();
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    m_hwnd = CreateWindowExW(0, kContainerClass, L"Test container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                             r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
    if (m_hwnd) ShowWindow(m_hwnd, SW_SHOWNA);
}

TestContainer::~TestContainer() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

HRESULT TestContainer::Host(IUnknown* control, const RECT& position) {
    if (!m_hwnd) return E_FAIL;
    m_position = position;
    HRESULT hr = control->QueryInterface(IID_IOleObject, m_object.PutVoid());
    if (FAILED(hr)) return hr;
    hr = m_object->SetClientSite(this);
    if (FAILED(hr)) return hr;
    com::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, persist.PutVoid()))) persist->InitNew();
    RECT r = position;
    return m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_hwnd, &r);
}

HRESULT TestContainer::Move(const RECT& position) {
    m_position = position;
    if (!m_object) return E_UNEXPECTED;
    com::ComPtr<IOleInPlaceObject> inPlace;
    const HRESULT hr = m_object->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid());
    if (FAILED(hr)) return hr;
    RECT clip;
    GetClientRect(m_hwnd, &clip);
    return inPlace->SetObjectRects(&m_position, &clip);
}

void TestContainer::Close() {
    if (!m_object) return;
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
    m_object = nullptr;
}

STDMETHODIMP TestContainer::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestContainer::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestContainer::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = m_hwnd;
    return S_OK;
}

STDMETHODIMP TestContainer::OnInPlaceActivate() {
    ++m_activations;
    return S_OK;
}

STDMETHODIMP TestContainer::OnInPlaceDeactivate() {
    ++m_deactivations;
    return S_OK;
}

STDMETHODIMP TestContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !doc || !position || !clip || !info) return E_POINTER;
    *frame = this;
    AddRef();
    *doc = nullptr;
    *position = m_position;
    GetClientRect(m_hwnd, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = m_hwnd;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP TestContainer::OnPosRectChange(LPCRECT position) {
    if (!position) return E_POINTER;
    return Move(*position);
}

STDMETHODIMP TestContainer::GetBorder(LPRECT border) {
    if (!border) return E_POINTER;
    GetClientRect(m_hwnd, border);
    return S_OK;
}

}  // namespace wt
