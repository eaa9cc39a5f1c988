// Helpers for the winelib tests: message pumping with time bounds, registry
// reads, reference counts and a recording event sink.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/com/ComObject.h"

namespace wt {

// Pumps this thread's messages for the given time.
void PumpMessages(DWORD milliseconds);
// Pumps messages until done() is true or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches every message already posted to this thread: posts a marker
// behind them and pumps until it comes back. What an event handler fires
// from those messages has then fired, so no fixed wait is needed to see it.
void PumpPosted();

ULONG RefCountOf(IUnknown* unknown);

bool RegKeyExists(HKEY root, const std::u16string& path);
// The value's text, or nullopt-like: *found false when it is missing.
std::u16string RegReadString(HKEY root, const std::u16string& path, const std::u16string& value,
                             bool* found = nullptr);

// One event as a sink received it: DISPID and arguments in parameter
// order, texts as UTF-8 and integers as decimal.
struct EventCall {
    std::string sink;
    DISPID id;
    std::vector<std::string> args;
};

// An IDispatch sink for one dispinterface that appends every call to a log
// (which several sinks may share) and then runs an optional hook.
class EventSink final : public com::ComObjectRoot, public IDispatch {
public:
    using Hook = std::function<void(EventSink& sink, DISPID id, DISPPARAMS* params)>;

    EventSink(REFIID eventIid, std::string name, std::vector<EventCall>* log)
        : m_iid(eventIid), m_name(std::move(name)), m_log(log) {}

    void SetHook(Hook hook) { m_hook = std::move(hook); }
    const std::string& Name() const { return m_name; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

private:
    ~EventSink() override = default;
    IID m_iid;
    std::string m_name;
    std::vector<EventCall>* m_log;
    Hook m_hook;
};

// Connects a sink to a connectable object; returns the cookie (0 on failure).
DWORD Connect(IUnknown* source, REFIID eventIid, IUnknown* sink);
HRESULT Disconnect(IUnknown* source, REFIID eventIid, DWORD cookie);

// Late-bound calls through IDispatch.
HRESULT DispGet(IDispatch* disp, DISPID id, VARIANT* result, const std::vector<VARIANT>& args = {});
HRESULT DispPut(IDispatch* disp, DISPID id, const VARIANT& value);
HRESULT DispCall(IDispatch* disp, DISPID id, const std::vector<VARIANT>& args = {}, VARIANT* result = nullptr);
DISPID DispIdOf(IDispatch* disp, const std::u16string& name, HRESULT* hr = nullptr);

}  // namespace wt
