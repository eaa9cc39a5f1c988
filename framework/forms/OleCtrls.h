// The OLE control container: a control created by class identifier,
// activated in place inside a window of its own, called through its
// interfaces, its events routed to InvokeEvent.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include "framework/com/ComPtr.h"
#include "framework/forms/Controls.h"

namespace forms {

// An OLE or COM failure with its HRESULT.
class EOleSysError : public Exception {
public:
    EOleSysError(HRESULT code, const std::string& what);
    HRESULT ErrorCode() const { return m_code; }

private:
    HRESULT m_code;
};

class TOleControl : public TWinControl {
public:
    FORMS_CLASS(TOleControl)
    // eventsIid: the control's outgoing dispinterface (IID_NULL for none).
    TOleControl(TComponent* owner, const CLSID& clsid, const IID& eventsIid);
    ~TOleControl() override;

    // The control's IUnknown; the control is created with the window.
    IUnknown* OleObject();
    template <class T>
    com::ComPtr<T> Interface(REFIID iid) {
        com::ComPtr<T> p;
        if (IUnknown* u = OleObject()) u->QueryInterface(iid, p.PutVoid());
        return p;
    }
    bool InPlaceActive() const { return static_cast<bool>(m_inPlace); }

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(TMessage& message) override;
    // One event: its dispatch identifier and arguments (in DISPPARAMS
    // order, the last parameter first). Exceptions go to the application.
    virtual void InvokeEvent(DISPID id, DISPPARAMS* params) {}

private:
    class Site;
    class EventSink;
    void CreateControl();
    void DestroyControl();

    CLSID m_clsid;
    IID m_eventsIid;
    com::ComPtr<IOleObject> m_object;
    com::ComPtr<IOleInPlaceObject> m_inPlace;
    com::ComPtr<IConnectionPoint> m_connection;
    com::ComPtr<Site> m_site;
    com::ComPtr<EventSink> m_sink;
    DWORD m_cookie = 0;
};

}  // namespace forms
