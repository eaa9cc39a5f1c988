// Move-only owners for BSTR and VARIANT.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "framework/com/WinText.h"

namespace com {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::u16string& text)
        : m_s(SysAllocStringLen(W(text), static_cast<UINT>(text.size()))) {}
    explicit Bstr(const WCHAR* text) : m_s(text ? SysAllocString(text) : nullptr) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : m_s(o.m_s) { o.m_s = nullptr; }
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            Reset();
            m_s = o.m_s;
            o.m_s = nullptr;
        }
        return *this;
    }
    ~Bstr() { Reset(); }

    static Bstr Adopt(BSTR s) {
        Bstr b;
        b.m_s = s;
        return b;
    }

    void Reset() {
        if (m_s) SysFreeString(m_s);
        m_s = nullptr;
    }
    BSTR* Put() {
        Reset();
        return &m_s;
    }
    BSTR Get() const { return m_s; }
    BSTR Detach() {
        BSTR s = m_s;
        m_s = nullptr;
        return s;
    }
    std::u16string Text() const { return U16FromBstr(m_s); }
    bool Empty() const { return SysStringLen(m_s) == 0; }

private:
    BSTR m_s = nullptr;
};

// Fresh BSTR copy of a text for an out-parameter; the caller frees it.
inline BSTR AllocBstr(const std::u16string& text) {
    return SysAllocStringLen(W(text), static_cast<UINT>(text.size()));
}

class Variant {
public:
    Variant() { VariantInit(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&m_v); }

    VARIANT* Ptr() { return &m_v; }
    VARIANT& Get() { return m_v; }
    const VARIANT& Get() const { return m_v; }
    void Clear() { VariantClear(&m_v); }

private:
    VARIANT m_v;
};

}  // namespace com
