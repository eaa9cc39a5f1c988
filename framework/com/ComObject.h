// Base pieces for the project's COM classes: the module lock count, the
// reference count and a QueryInterface table written with macros, in the
// manner of
//
//   class Foo final : public ComObjectRoot, public IFoo, public IBar {
//   public:
//       COM_BEGIN_QI()
//           COM_QI_AS(IUnknown, IFoo)
//           COM_QI(IFoo)
//           COM_QI(IBar)
//       COM_END_QI()
//   private:
//       ~Foo() override = default;
//   };
//
// Objects start with a count of 1 held by their creator: make them with
// MakeObject, which hands that reference to a ComPtr at once.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <utility>

#include "framework/com/ComPtr.h"

namespace com {

// Count of live objects and server locks, for DllCanUnloadNow.
class ModuleLock {
public:
    static void Add() { s_count.fetch_add(1, std::memory_order_relaxed); }
    static void Remove() { s_count.fetch_sub(1, std::memory_order_relaxed); }
    static long Count() { return s_count.load(std::memory_order_relaxed); }

private:
    static inline std::atomic<long> s_count{0};
};

class ComObjectRoot {
public:
    ComObjectRoot(const ComObjectRoot&) = delete;
    ComObjectRoot& operator=(const ComObjectRoot&) = delete;

protected:
    ComObjectRoot() { ModuleLock::Add(); }
    virtual ~ComObjectRoot() { ModuleLock::Remove(); }

    ULONG InternalAddRef() { return m_refCount.fetch_add(1) + 1; }
    ULONG InternalRelease() {
        const ULONG n = m_refCount.fetch_sub(1) - 1;
        if (n == 0) delete this;
        return n;
    }

private:
    std::atomic<ULONG> m_refCount{1};
};

// Runs a COM method body so that no C++ exception crosses into the caller,
// which under Wine would end the process.
template <class F>
HRESULT ComGuard(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// A simple property getter's answer: E_POINTER for a null slot, else the
// value stored and S_OK.
template <class T, class V>
HRESULT GetValue(T* out, const V& value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

// A simple property setter's answer: E_INVALIDARG for a value refused,
// else the value stored and S_OK.
template <class T, class V>
HRESULT SetValue(T& member, const V& value, bool valid = true) {
    if (!valid) return E_INVALIDARG;
    member = value;
    return S_OK;
}

// Creates an object with its creation reference already held, so that
// work after the construction may fail or throw without leaking it. May
// throw std::bad_alloc: call it inside ComGuard at a COM boundary.
template <class T, class... Args>
ComPtr<T> MakeObject(Args&&... args) {
    return ComPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

// Creates an object and queries it; the creation reference is dropped, so
// a failed query frees the object again.
template <class T, class... Args>
HRESULT CreateAndQuery(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ComGuard([&]() -> HRESULT {
        return MakeObject<T>(std::forward<Args>(args)...)->QueryInterface(iid, out);
    });
}

}  // namespace com

#define COM_BEGIN_QI()                                                        \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {           \
        if (!ppv) return E_POINTER;                                           \
        *ppv = nullptr;

#define COM_QI(Itf)                                                           \
        if (IsEqualIID(riid, IID_##Itf)) *ppv = static_cast<Itf*>(this); else

#define COM_QI_IID(iid, Itf)                                                  \
        if (IsEqualIID(riid, iid)) *ppv = static_cast<Itf*>(this); else

#define COM_QI_AS(Itf, Via)                                                   \
        if (IsEqualIID(riid, IID_##Itf))                                      \
            *ppv = static_cast<Itf*>(static_cast<Via*>(this)); else

#define COM_END_QI()                                                          \
        return E_NOINTERFACE;                                                 \
        static_cast<IUnknown*>(*ppv)->AddRef();                               \
        return S_OK;                                                          \
    }                                                                         \
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }       \
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }
