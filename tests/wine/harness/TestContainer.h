// A minimal OLE control container for tests: a top-level window with one
// site that activates a control in place, as the program's own container
// does.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include "framework/com/ComObject.h"
#include "framework/com/ComPtr.h"

namespace wt {

class TestContainer final : public com::ComObjectRoot,
                            public IOleClientSite,
                            public IOleInPlaceSite,
                            public IOleInPlaceFrame {
public:
    // Creates the container window (client area width x height).
    TestContainer(int width, int height);

    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IOleClientSite)
        COM_QI(IOleClientSite)
        COM_QI_AS(IOleWindow, IOleInPlaceSite)
        COM_QI(IOleInPlaceSite)
        COM_QI_AS(IOleInPlaceUIWindow, IOleInPlaceFrame)
        COM_QI(IOleInPlaceFrame)
    COM_END_QI()

    HWND Window() const { return m_hwnd; }
    const RECT& Position() const { return m_position; }
    int InPlaceActivations() const { return m_activations; }
    int InPlaceDeactivations() const { return m_deactivations; }

    // Sets the client site, initialises the control's state and activates
    // it in place at the given rectangle of the container window.
    HRESULT Host(IUnknown* control, const RECT& position);
    // Moves or resizes the control, as a container does after a layout.
    HRESULT Move(const RECT& position);
    // Deactivates and closes the control and drops the site.
    void Close();

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* hwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return S_OK; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override;

    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT border) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~TestContainer() override;

    HWND m_hwnd = nullptr;
    RECT m_position{};
    com::ComPtr<IOleObject> m_object;
    int m_activations = 0;
    int m_deactivations = 0;
};

}  // namespace wt
