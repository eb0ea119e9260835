// RAII owners of COM resources: texts (BSTR), variants and interface
// pointers. Glue of the COM face.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "core/common/Win32Owners.h"

namespace veltra {

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
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&v_);
            v_ = other.v_;
            ::VariantInit(&other.v_);
        }
        return *this;
    }
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
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
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
