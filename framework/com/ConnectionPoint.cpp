#include "framework/com/ConnectionPoint.h"

#include "framework/com/Enumerators.h"
#include "framework/com/WinText.h"

namespace com {

ConnectionPoint::~ConnectionPoint() {
    for (auto*& sink : m_sinks) {
        IUnknown* p = sink;
        sink = nullptr;
        if (p) p->Release();
    }
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = &m_container;
    m_container.AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    IUnknown* held = nullptr;
    if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&held))) || !held)
        return CONNECT_E_CANNOTCONNECT;
    return ComGuard([&]() -> HRESULT {
        for (size_t i = 0; i < m_sinks.size(); ++i) {
            if (!m_sinks[i]) {
                m_sinks[i] = held;
                *cookie = static_cast<DWORD>(i + 1);
                return S_OK;
            }
        }
        try {
            m_sinks.push_back(held);
        } catch (...) {
            held->Release();
            throw;
        }
        *cookie = static_cast<DWORD>(m_sinks.size());
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    IUnknown* p = m_sinks[cookie - 1];
    m_sinks[cookie - 1] = nullptr;  // before Release: the sink may call back
    p->Release();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ComGuard([&]() -> HRESULT {
        std::vector<CONNECTDATA> items;
        for (size_t i = 0; i < m_sinks.size(); ++i)
            if (m_sinks[i]) items.push_back(CONNECTDATA{m_sinks[i], static_cast<DWORD>(i + 1)});
        return CreateAndQuery<ConnectionEnum>(IID_IEnumConnections, reinterpret_cast<void**>(out),
                                              std::move(items));
    });
}

void ConnectionPoint::Fire(DISPID id, const std::vector<EventArg>& args) {
    const size_t count = m_sinks.size();
    std::vector<VARIANT> argv(args.size());
    for (size_t i = 0; i < count && i < m_sinks.size(); ++i) {
        IUnknown* sink = m_sinks[i];
        if (!sink) continue;
        sink->AddRef();
        // Dispatch wants the last parameter first.
        for (size_t k = 0; k < args.size(); ++k) {
            VARIANT& v = argv[args.size() - 1 - k];
            VariantInit(&v);
            if (args[k].isText) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = SysAllocStringLen(W(args[k].text), static_cast<UINT>(args[k].text.size()));
            } else {
                V_VT(&v) = VT_I4;
                V_I4(&v) = args[k].i4;
            }
        }
        DISPPARAMS params{argv.empty() ? nullptr : argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
        VARIANT result;
        VariantInit(&result);
        try {
            static_cast<IDispatch*>(sink)->Invoke(id, IID_NULL, 0x0400, DISPATCH_METHOD, &params, &result,
                                                  nullptr, nullptr);
        } catch (...) {
            // A sink's failure stays with the sink.
        }
        VariantClear(&result);
        for (auto& v : argv) VariantClear(&v);
        sink->Release();
    }
}

}  // namespace com
