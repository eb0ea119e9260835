// The bench's keyboard mode: a small window of the thread that connected, so
// the driver's hook sees what is typed into it. The window lists what the
// application receives (key-downs, characters, and the null messages left
// where the driver took a key or character away) and the barcode events;
// the same lines go to the bench's report for scripts (stdout, or stderr with --json).
#include <windows.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "BenchCommands.h"
#include "BenchOutput.h"
#include "core/common/Text.h"

namespace veltra::bench {
namespace {

constexpr wchar_t kClassName[] = L"VeltraBenchKeyboard";
constexpr wchar_t kTitle[] = L"VeltraBench keyboard";
constexpr UINT kEventArrived = WM_APP + 1;
constexpr size_t kMaxLines = 32;

class Screen {
public:
    // Called on the dispatch thread: only queue the line and nudge the window.
    void EventArrived(const std::u16string& line) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            pending_.push_back(line);
        }
        ::PostMessageW(hwnd, kEventArrived, 0, 0);
    }

    void TakeEvents() {
        std::vector<std::u16string> lines;
        {
            std::lock_guard<std::mutex> guard(lock_);
            lines.swap(pending_);
        }
        for (const std::u16string& line : lines) Add(line, false);
    }

    // Shows a line in the window, and prints it too unless it is printed already.
    void Add(const std::u16string& line, bool print) {
        if (print) PrintLine(line);
        lines_.push_back(line);
        while (lines_.size() > kMaxLines) lines_.pop_front();
        if (hwnd) ::InvalidateRect(hwnd, nullptr, TRUE);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        ::SelectObject(dc, ::GetStockObject(ANSI_FIXED_FONT));
        TEXTMETRICW tm;
        ::GetTextMetricsW(dc, &tm);
        int y = 4;
        for (const std::u16string& line : lines_) {
            ::TextOutW(dc, 6, y, reinterpret_cast<const wchar_t*>(line.c_str()), static_cast<int>(line.size()));
            y += tm.tmHeight;
        }
        ::EndPaint(hwnd, &ps);
    }

    HWND hwnd = nullptr;
    bool closed = false;

private:
    std::mutex lock_;
    std::vector<std::u16string> pending_;
    std::deque<std::u16string> lines_;
};

std::u16string Hex(WPARAM value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return FromUtf8(text);
}

std::u16string Shown(WPARAM ch) {
    if (ch < 0x20 || ch == 0x7F || ch > 0xFFFF) return Hex(ch);
    return Hex(ch) + u" '" + std::u16string(1, static_cast<char16_t>(ch)) + u"'";
}

LRESULT CALLBACK ScreenProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* screen = static_cast<Screen*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(screen));
    }
    auto* screen = reinterpret_cast<Screen*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!screen) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_NULL:
        // A posted message the driver's hook turned into a null message.
        if (wParam) screen->Add(u"window WM_NULL    " + Hex(wParam) + u" (taken away by the driver)", true);
        return 0;
    case WM_KEYDOWN: screen->Add(u"window WM_KEYDOWN " + Hex(wParam), true); break;
    case WM_CHAR: screen->Add(u"window WM_CHAR    " + Shown(wParam), true); return 0;
    // Keys typed with Alt held, as an Alt+keypad code is.
    case WM_SYSKEYDOWN: screen->Add(u"window WM_SYSKEYDOWN " + Hex(wParam), true); break;
    case WM_SYSCHAR: screen->Add(u"window WM_SYSCHAR " + Shown(wParam), true); return 0;
    case kEventArrived: screen->TakeEvents(); return 0;
    case WM_PAINT: screen->Paint(); return 0;
    case WM_DESTROY:
        screen->closed = true;
        screen->hwnd = nullptr;
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateScreen(Screen& screen) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ScreenProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);
    screen.hwnd = ::CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 480,
                                    nullptr, nullptr, wc.hInstance, &screen);
    return screen.hwnd;
}

// Ends the window and the event listener however the run leaves the
// keyboard mode; the listener goes first, so no event reaches a dead screen.
class ScreenScope {
public:
    ScreenScope(Driver& d, Screen& screen) : driver_(d), screen_(screen) {
        d.AlsoShowEvents([&screen](const std::u16string& line) { screen.EventArrived(line); });
    }
    ScreenScope(const ScreenScope&) = delete;
    ScreenScope& operator=(const ScreenScope&) = delete;
    ~ScreenScope() {
        driver_.AlsoShowEvents(nullptr);
        if (screen_.hwnd) ::DestroyWindow(screen_.hwnd);
    }

private:
    Driver& driver_;
    Screen& screen_;
};

}  // namespace

bool RunKeyboardWindow(Driver& d, const Limits& limits) {
    Screen screen;
    if (!CreateScreen(screen)) {
        throw BenchError{kDriverFailed, Say(u"cannot create the window: ", u"не удалось создать окно: ") +
                                            SystemMessage(HRESULT_FROM_WIN32(::GetLastError())) +
                                            Say(u"; without a display set Wine's graphics driver to null",
                                                u"; без дисплея задайте в Wine драйвер графики null")};
    }
    ScreenScope scope(d, screen);
    const size_t before = d.Events();
    // The hook is installed on this thread, the one that runs the window.
    const Driver::Result opened = d.Call(u"Open", 1);
    d.Check(opened, u"Open");
    const std::u16string device = opened.params[0];
    PrintLine(Say(u"connected, device ", u"подключено, устройство ") + device +
              Say(u"; type or scan into the window \"", u"; вводите или сканируйте в окно \"") + FromUtf16(kTitle) +
              u"\"");
    screen.Add(u"device " + device + u": scan a code into this window", false);
    ::ShowWindow(screen.hwnd, SW_SHOWNORMAL);
    ::SetForegroundWindow(screen.hwnd);
    ::UpdateWindow(screen.hwnd);

    const bool reached = WaitForLimits(d, limits, before, [&screen] { return screen.closed; });

    // Close ends the dispatch thread, so no event can arrive for the window after it.
    EndScan(d, device, before);
    return reached;
}

}  // namespace veltra::bench
