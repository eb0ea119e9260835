// The host thread's side of keyboard capture: its message loop, and a window
// that keys are posted to as a keyboard-wedge scanner types them. Shared by
// the COM tests, the behaviour tables and the perf program. Windows only.
#pragma once

#include <windows.h>

#include <functional>

namespace veltra::substitute {

// The host's loop: retrieves, translates and dispatches until the queue is
// empty. PM_NOYIELD: otherwise Wine gives up the processor at every look,
// which only makes measured times noisy.
void PumpMessages();

// A message-only window of the calling thread (it needs no display). Keys
// posted to it pass the driver's hook when the loop retrieves them; the
// observer, if any, sees every message the window receives.
class KeyTarget {
public:
    using Observer = std::function<void(UINT message, WPARAM wParam)>;

    explicit KeyTarget(Observer observer = nullptr);
    ~KeyTarget();
    KeyTarget(const KeyTarget&) = delete;
    KeyTarget& operator=(const KeyTarget&) = delete;

    // False when the window could not be made.
    bool Ready() const { return hwnd_ != nullptr; }
    HWND hwnd() const { return hwnd_; }

    // Posts a WM_KEYDOWN or WM_KEYUP of `vk` as the system builds it; the
    // loop has not seen it yet.
    bool PostKey(UINT message, UINT vk);
    // The key down and up, each pumped: a character that TranslateMessage
    // posts would otherwise queue up behind the next key.
    void Press(UINT vk);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Observer observer_;
    HWND hwnd_ = nullptr;
};

}  // namespace veltra::substitute
