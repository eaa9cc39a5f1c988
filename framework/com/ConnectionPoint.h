// One outgoing dispatch interface of a connectable object. The point lives
// inside its container and shares the container's reference count.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

namespace com {

// One event argument: a 32-bit integer (VT_I4) or a text (VT_BSTR).
struct EventArg {
    static EventArg Int(LONG v) {
        EventArg a;
        a.isText = false;
        a.i4 = v;
        return a;
    }
    static EventArg Text(std::u16string t) {
        EventArg a;
        a.isText = true;
        a.text = std::move(t);
        return a;
    }
    bool isText = false;
    LONG i4 = 0;
    std::u16string text;
};

class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, REFIID iid) : m_container(container), m_iid(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return m_container.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_container.Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    REFIID Iid() const { return m_iid; }

    // Calls Invoke(id, DISPATCH_METHOD) on every connected sink, in slot
    // order, with fresh copies of the arguments (given in parameter order)
    // for each sink. Sinks connected during the firing are not called; a
    // sink that fails does not stop the others.
    void Fire(DISPID id, const std::vector<EventArg>& args);

private:
    IConnectionPointContainer& m_container;
    IID m_iid;
    // Cookie = slot index + 1. A disconnected slot stays as null and is
    // reused by the next Advise.
    std::vector<IUnknown*> m_sinks;
};

}  // namespace com
