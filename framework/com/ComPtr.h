// Owning COM interface pointer. Move-only semantics are not enough for COM
// (copies are common), so copies AddRef and destruction releases.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace com {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : m_p(other.m_p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        if (this != &other) {
            T* old = m_p;
            m_p = other.m_p;
            if (m_p) m_p->AddRef();
            if (old) old->Release();
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = other.m_p;
            other.m_p = nullptr;
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.m_p = p;
        return r;
    }

    void Reset() {
        if (m_p) {
            T* old = m_p;
            m_p = nullptr;
            old->Release();
        }
    }
    T* Detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    // Releases what is held and returns the slot for an out-parameter.
    T** Put() {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Hands out a new reference, as COM getters do.
    HRESULT CopyTo(T** out) const {
        if (!out) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, out.PutVoid());
    }

private:
    T* m_p = nullptr;
};

}  // namespace com
