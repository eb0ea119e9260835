#include "host/com/HostWindow.h"

#include <utility>

namespace veltra::substitute {

namespace {

// Without an observer the window's procedure is the system's own, as the
// perf program's floors want it: nothing of ours runs per message.
const wchar_t kPlainClass[] = L"VeltraHostKeyTarget";
const wchar_t kObservedClass[] = L"VeltraHostObservedKeyTarget";

}  // namespace

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

KeyTarget::KeyTarget(Observer observer) : observer_(std::move(observer)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = observer_ ? &Procedure : &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = observer_ ? kObservedClass : kPlainClass;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    PumpMessages();
}

KeyTarget::~KeyTarget() {
    if (hwnd_) ::DestroyWindow(hwnd_);
    PumpMessages();
}

bool KeyTarget::PostKey(UINT message, UINT vk) {
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM lParam = message == WM_KEYDOWN ? 1 | scan : 1 | scan | static_cast<LPARAM>(0xC0000000);
    return ::PostMessageW(hwnd_, message, vk, lParam) != FALSE;
}

void KeyTarget::Press(UINT vk) {
    PostKey(WM_KEYDOWN, vk);
    PumpMessages();
    PostKey(WM_KEYUP, vk);
    PumpMessages();
}

LRESULT CALLBACK KeyTarget::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<KeyTarget*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<KeyTarget*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->observer_) self->observer_(message, wParam);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace veltra::substitute
