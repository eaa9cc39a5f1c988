// Move-only owners for what Win32, GDI, the shell and COM hand out to be
// freed: kernel handles, GDI objects, device contexts and their selections,
// task-memory blocks (shell item lists among them), CAUUID arrays and COM
// initialisation. Each frees on every path out of its scope, so that no
// error path needs a release of its own. Bstr and Variant (Bstr.h), COM
// interfaces (ComPtr.h) and AM_MEDIA_TYPE (MediaType.h) have theirs.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <shtypes.h>

namespace com {

// A file, event, process, thread or token handle, closed with CloseHandle.
// Both null and INVALID_HANDLE_VALUE mean "none", as the calls that open
// them fail with one or the other.
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : m_h(handle) {}
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& o) noexcept : m_h(o.Detach()) {}
    KernelHandle& operator=(KernelHandle&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }
    ~KernelHandle() { Reset(); }

    void Reset(HANDLE handle = nullptr) {
        if (Valid() && m_h != handle) CloseHandle(m_h);
        m_h = handle;
    }
    // Closes what is held and returns the slot for an out-parameter.
    HANDLE* Put() {
        Reset();
        return &m_h;
    }
    HANDLE Get() const { return m_h; }
    HANDLE Detach() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    bool Valid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

private:
    HANDLE m_h = nullptr;
};

// A pen, brush, font, bitmap, palette or region, deleted with DeleteObject.
template <class H>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H handle) : m_h(handle) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : m_h(o.Detach()) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }
    ~GdiObject() { Reset(); }

    void Reset(H handle = nullptr) {
        if (m_h && m_h != handle) DeleteObject(m_h);
        m_h = handle;
    }
    H Get() const { return m_h; }
    H Detach() {
        H h = m_h;
        m_h = nullptr;
        return h;
    }
    explicit operator bool() const { return m_h != nullptr; }

private:
    H m_h = nullptr;
};

using GdiPen = GdiObject<HPEN>;
using GdiBrush = GdiObject<HBRUSH>;
using GdiFont = GdiObject<HFONT>;
using GdiBitmap = GdiObject<HBITMAP>;
using GdiPalette = GdiObject<HPALETTE>;
using GdiRegion = GdiObject<HRGN>;

// A memory DC (CreateCompatibleDC), deleted with DeleteDC.
class MemoryDc {
public:
    explicit MemoryDc(HDC like = nullptr) : m_dc(CreateCompatibleDC(like)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        if (m_dc) DeleteDC(m_dc);
    }
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HDC m_dc;
};

// A window's DC, or the screen's for a null window (GetDC), released with
// ReleaseDC. Whole: the DC of the whole window, frame included (GetWindowDC).
class WindowDc {
public:
    enum Area { Client, Whole };
    explicit WindowDc(HWND window, Area area = Client)
        : m_window(window), m_dc(area == Whole ? GetWindowDC(window) : GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (m_dc) ReleaseDC(m_window, m_dc);
    }
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects a GDI object into a DC for a scope and selects back the one it
// replaced. A null DC or object selects nothing.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(dc && object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (m_old && m_old != HGDI_ERROR) SelectObject(m_dc, m_old);
    }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// COM on this thread for a scope; uninitialises only what it initialised.
class ComInit {
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) : m_hr(CoInitializeEx(nullptr, model)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ~ComInit() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

// A block of COM task memory (CoTaskMemAlloc), freed with CoTaskMemFree:
// strings and arrays that COM methods hand out, shell item lists.
template <class T>
class TaskMem {
public:
    TaskMem() = default;
    explicit TaskMem(T* p) : m_p(p) {}
    TaskMem(const TaskMem&) = delete;
    TaskMem& operator=(const TaskMem&) = delete;
    TaskMem(TaskMem&& o) noexcept : m_p(o.Detach()) {}
    TaskMem& operator=(TaskMem&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }
    ~TaskMem() { Reset(); }

    void Reset(T* p = nullptr) {
        if (m_p && m_p != p) CoTaskMemFree(m_p);
        m_p = p;
    }
    // Frees what is held and returns the slot for an out-parameter.
    T** Put() {
        Reset();
        return &m_p;
    }
    T* Get() const { return m_p; }
    T* Detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// A shell item list; the shell allocates them with the task allocator.
using Pidl = TaskMem<ITEMIDLIST>;

// A CAUUID filled by ISpecifyPropertyPages::GetPages; frees its array.
class CaUuid {
public:
    CaUuid() = default;
    CaUuid(const CaUuid&) = delete;
    CaUuid& operator=(const CaUuid&) = delete;
    ~CaUuid() { CoTaskMemFree(m_value.pElems); }

    CAUUID* Put() {
        CoTaskMemFree(m_value.pElems);
        m_value = CAUUID{};
        return &m_value;
    }
    const CAUUID& Get() const { return m_value; }

private:
    CAUUID m_value{};
};

}  // namespace com
