// The file name behind IFileSinkFilter, for the filters that write files:
// the checks of SetFileName and the caller's copy of GetCurFile. The
// filter holds its state lock around both.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstring>
#include <string>

#include "framework/com/ComObject.h"
#include "framework/com/WinText.h"

namespace dshow {

class FileSinkName {
public:
    // A name can be set only while the filter is stopped.
    HRESULT Set(LPCOLESTR name, FILTER_STATE state) {
        if (!name) return E_POINTER;
        if (!*name) return E_INVALIDARG;
        if (state != State_Stopped) return VFW_E_WRONG_STATE;
        return com::ComGuard([&] {
            m_name = com::U16(name);
            return S_OK;
        });
    }
    // A CoTaskMemAlloc'd copy; E_FAIL when no name was set.
    HRESULT CopyTo(LPOLESTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (m_name.empty()) return E_FAIL;
        const size_t bytes = (m_name.size() + 1) * sizeof(WCHAR);
        *out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!*out) return E_OUTOFMEMORY;
        std::memcpy(*out, m_name.c_str(), bytes);
        return S_OK;
    }
    const std::u16string& Get() const { return m_name; }
    bool Empty() const { return m_name.empty(); }

private:
    std::u16string m_name;
};

}  // namespace dshow
