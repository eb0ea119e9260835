// RAII owners of Win32 resources. Glue.
// Each owner is move-only; put() frees what it holds before handing out its
// address, reset() keeps the thread's last-error code, and the result of a
// close function is ignored.
#pragma once

#include <windows.h>

#include <cstdint>
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

// The single narrowing of a handle to the 32-bit device identifier the host
// sees for a connection.
inline int32_t DeviceIdOf(const void* handle) noexcept {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace veltra
