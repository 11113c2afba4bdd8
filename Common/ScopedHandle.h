// Owned Windows handles and locks. Every kind of handle has one move-only owner type, so that no error path
// releases anything by hand. Resetting keeps GetLastError() as the failing call left it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace kx {

template <typename T, T Invalid, typename Closer>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : m_value(value) {}
    ~unique_any() { reset(); }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return m_value; }
    bool valid() const { return m_value != Invalid; }
    explicit operator bool() const { return valid(); }

    // For out-parameters of creating calls: releases what is held and hands out the slot.
    T* put() { reset(); return &m_value; }

    [[nodiscard]] T release() { T v = m_value; m_value = Invalid; return v; }

    void reset(T value = Invalid) {
        if (m_value != Invalid) {
            DWORD saved = GetLastError();
            Closer()(m_value);
            SetLastError(saved);
        }
        m_value = value;
    }

private:
    T m_value = Invalid;
};

struct CloseHandleFn { void operator()(HANDLE h) const { CloseHandle(h); } };
struct FindCloseFn { void operator()(HANDLE h) const { FindClose(h); } };
struct RegCloseKeyFn { void operator()(HKEY h) const { RegCloseKey(h); } };
struct FreeLibraryFn { void operator()(HMODULE h) const { FreeLibrary(h); } };

// Invalid value NULL: events, threads, processes, jobs.
using unique_handle = unique_any<HANDLE, nullptr, CloseHandleFn>;
using unique_hkey = unique_any<HKEY, nullptr, RegCloseKeyFn>;
using unique_hmodule = unique_any<HMODULE, nullptr, FreeLibraryFn>;

// GDI objects a window creates for itself (fonts), the bitmaps an icon is read into, and memory DCs.
struct DeleteObjectFn { void operator()(HGDIOBJ h) const { DeleteObject(h); } };
using unique_hfont = unique_any<HFONT, nullptr, DeleteObjectFn>;
using unique_hbitmap = unique_any<HBITMAP, nullptr, DeleteObjectFn>;
struct DeleteDCFn { void operator()(HDC h) const { DeleteDC(h); } };
using unique_hdc = unique_any<HDC, nullptr, DeleteDCFn>;

// INVALID_HANDLE_VALUE is not a constant expression, so files and find handles get their own small types.
template <typename Closer>
class unique_invalid_handle {
public:
    unique_invalid_handle() = default;
    explicit unique_invalid_handle(HANDLE h) : m_h(h) {}
    ~unique_invalid_handle() { reset(); }
    unique_invalid_handle(const unique_invalid_handle&) = delete;
    unique_invalid_handle& operator=(const unique_invalid_handle&) = delete;
    unique_invalid_handle(unique_invalid_handle&& o) noexcept : m_h(o.release()) {}
    unique_invalid_handle& operator=(unique_invalid_handle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }
    [[nodiscard]] HANDLE release() { HANDLE h = m_h; m_h = INVALID_HANDLE_VALUE; return h; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (m_h != INVALID_HANDLE_VALUE) {
            DWORD saved = GetLastError();
            Closer()(m_h);
            SetLastError(saved);
        }
        m_h = h;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

using unique_hfile = unique_invalid_handle<CloseHandleFn>;
using unique_hfind = unique_invalid_handle<FindCloseFn>;

// Owns a critical section: initialised by the constructor, deleted by the destructor. Neither takes it, so an
// owner whose lock a terminated thread still holds can be destroyed.
class critical_section {
public:
    critical_section() { InitializeCriticalSection(&m_cs); }
    ~critical_section() { DeleteCriticalSection(&m_cs); }
    critical_section(const critical_section&) = delete;
    critical_section& operator=(const critical_section&) = delete;
    CRITICAL_SECTION& get() { return m_cs; }

private:
    CRITICAL_SECTION m_cs;
};

// Holds a critical section from construction to destruction.
class CritSecLock {
public:
    explicit CritSecLock(CRITICAL_SECTION& cs) : m_cs(&cs) { EnterCriticalSection(m_cs); }
    explicit CritSecLock(critical_section& cs) : CritSecLock(cs.get()) {}
    ~CritSecLock() { unlock(); }
    CritSecLock(const CritSecLock&) = delete;
    CritSecLock& operator=(const CritSecLock&) = delete;
    void unlock() {
        if (m_cs) {
            LeaveCriticalSection(m_cs);
            m_cs = nullptr;
        }
    }

private:
    CRITICAL_SECTION* m_cs;
};

// Owns one reference of a COM interface.
template <typename T>
class com_ptr {
public:
    com_ptr() = default;
    ~com_ptr() { reset(); }
    com_ptr(const com_ptr& o) : m_p(o.m_p) {
        if (m_p) m_p->AddRef();
    }
    com_ptr& operator=(const com_ptr& o) {
        if (this != &o) {
            if (o.m_p) o.m_p->AddRef();
            reset(o.m_p);
        }
        return *this;
    }
    com_ptr(com_ptr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    com_ptr& operator=(com_ptr&& o) noexcept {
        if (this != &o) reset(o.detach());
        return *this;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() { reset(); return &m_p; }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    // Takes over a reference the caller owns.
    void reset(T* p = nullptr) {
        T* old = m_p;
        m_p = p;
        if (old) old->Release();
    }
    [[nodiscard]] T* detach() { T* p = m_p; m_p = nullptr; return p; }

private:
    T* m_p = nullptr;
};

// Owns a BSTR.
struct SysFreeStringFn { void operator()(BSTR b) const { SysFreeString(b); } };
using unique_bstr = unique_any<BSTR, nullptr, SysFreeStringFn>;
// A BSTR copy of the text (embedded NULs kept); invalid when it cannot be allocated.
inline unique_bstr MakeBstr(const std::wstring& s) {
    return unique_bstr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())));
}

// What a window makes for itself besides fonts: pop-up menus, accelerator tables, icons.
struct DestroyMenuFn { void operator()(HMENU h) const { DestroyMenu(h); } };
using unique_hmenu = unique_any<HMENU, nullptr, DestroyMenuFn>;
struct DestroyAcceleratorTableFn { void operator()(HACCEL h) const { DestroyAcceleratorTable(h); } };
using unique_haccel = unique_any<HACCEL, nullptr, DestroyAcceleratorTableFn>;
struct DestroyIconFn { void operator()(HICON h) const { DestroyIcon(h); } };
using unique_hicon = unique_any<HICON, nullptr, DestroyIconFn>;

}  // namespace kx
