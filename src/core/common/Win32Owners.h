// RAII owners of Win32 resources, and a scope guard for roll-backs. Glue.
// Each owner is move-only; put() frees what it holds before handing out its
// address, reset() keeps the thread's last-error code, and the result of a
// close function is ignored.
#pragma once

#include <windows.h>

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

// Runs a roll-back when the scope is left, unless dismissed first:
//     auto undo = OnScopeExit([&] { port.Close(); });
//     ... steps that may throw ...
//     undo.Dismiss();
template <class Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) noexcept : action_(std::move(action)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (active_) action_();
    }
    void Dismiss() noexcept { active_ = false; }

private:
    Action action_;
    bool active_ = true;
};

template <class Action>
ScopeExit<Action> OnScopeExit(Action action) noexcept {
    return ScopeExit<Action>(std::move(action));
}

}  // namespace veltra
