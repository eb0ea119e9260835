// The keyboard hook over SetWindowsHookExW: a message-retrieval hook on the
// host's thread that hands the framer the messages it wants and carries out
// its verdicts (nulling the message, switching the keyboard layout, queueing
// the code). Glue.
#pragma once

#include <windows.h>

#include "core/capture/KeyFramer.h"
#include "core/capture/KeyboardHook.h"
#include "core/common/Win32Owners.h"

namespace veltra {

class Win32KeyboardHook final : public KeyboardHook {
public:
    Win32KeyboardHook();
    ~Win32KeyboardHook() override { Remove(); }
    Win32KeyboardHook(const Win32KeyboardHook&) = delete;
    Win32KeyboardHook& operator=(const Win32KeyboardHook&) = delete;

    bool Install(CodeQueues& queues, const StoredSettings& settings) override;
    void Remove() noexcept override;
    int32_t DeviceId() const noexcept override { return deviceId_; }

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM removeFlag, LPARAM message) noexcept;
    void Handle(MSG& msg, const HookMessage& m);
    void ApplyLayout(LayoutAction action);

    // The hook procedure has no context argument; one hook per process.
    static Win32KeyboardHook* installed_;

    UniqueHook hook_;
    int32_t deviceId_ = 0;
    CodeQueues* queues_ = nullptr;
    const StoredSettings* settings_ = nullptr;
    // Framing state; touched only on the thread the hook is installed on. It
    // carries over from one installation to the next.
    KeyFramer framer_;
    KeyFramerConfigCache config_;
    HKL savedLayout_ = nullptr;
};

}  // namespace veltra
