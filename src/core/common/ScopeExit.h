// A roll-back that runs when a scope is left, unless dismissed first. Plain
// standard C++.
#pragma once

#include <utility>

namespace veltra {

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
