// RAII owners of Win32 and COM resources. Glue only.
// Each owner is move-only; put() frees what it holds before handing out its
// address, reset() keeps the thread's last-error code, and the result of a
// close function is ignored.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace veltra {

template <class T, class Traits>
class Unique {
public:
    Unique() noexcept = default;
    explicit Unique(T value) noexcept : value_(value) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return !Traits::is_empty(value_); }
    [[nodiscard]] T release() noexcept { return std::exchange(value_, Traits::empty()); }
    void reset(T value = Traits::empty()) noexcept {
        const T old = std::exchange(value_, value);
        if (!Traits::is_empty(old)) {
            const DWORD lastError = ::GetLastError();
            Traits::close(old);
            ::SetLastError(lastError);
        }
    }
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::empty();
};

struct HandleTraits {
    static HANDLE empty() noexcept { return nullptr; }
    // CreateFileW answers INVALID_HANDLE_VALUE, most other calls null.
    static bool is_empty(HANDLE h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = Unique<HANDLE, HandleTraits>;

struct HookTraits {
    static HHOOK empty() noexcept { return nullptr; }
    static bool is_empty(HHOOK h) noexcept { return h == nullptr; }
    static void close(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
};
using UniqueHook = Unique<HHOOK, HookTraits>;

struct HkeyTraits {
    static HKEY empty() noexcept { return nullptr; }
    static bool is_empty(HKEY h) noexcept { return h == nullptr; }
    static void close(HKEY h) noexcept { ::RegCloseKey(h); }
};
using UniqueHkey = Unique<HKEY, HkeyTraits>;

struct BstrTraits {
    static BSTR empty() noexcept { return nullptr; }
    static bool is_empty(BSTR b) noexcept { return b == nullptr; }
    static void close(BSTR b) noexcept { ::SysFreeString(b); }
};
using UniqueBstr = Unique<BSTR, BstrTraits>;

// Allocates a BSTR copy of a UTF-16 text; throws std::bad_alloc when out of memory.
UniqueBstr MakeBstr(const std::u16string& text);
// A null BSTR reads as the empty text.
std::u16string FromBstr(BSTR text);

// A VARIANT that clears itself.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }
    // Hands the value over to a caller's slot, which must be empty or cleared.
    void release_to(VARIANT* out) noexcept {
        *out = v_;
        ::VariantInit(&v_);
    }
    VARTYPE type() const noexcept { return V_VT(&v_); }

    void set_text(const std::u16string& text);
    void set_i4(long value) noexcept;
    void set_bool(bool value) noexcept;

private:
    VARIANT v_{};
};

// A COM interface pointer that releases itself.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

}  // namespace veltra
