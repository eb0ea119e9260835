// Keeps a Wine prefix's desktop up for as long as it runs; the prefix's
// server ends it (wineserver -k).
//
//   KeepDesktop READY_FILE
//
// Wine ends the desktop process about a second after the last program that
// used it is gone, and the next program that needs a window starts it again
// with that program's standard handles. Under CTest the new desktop then
// holds the test's output pipe, and CTest waits for the desktop to end before
// it goes on: ~1.1 s for every COM test instead of ~0.1 s. Holding a window
// here keeps the desktop that the session started with closed handles.
// READY_FILE (a Windows path) is created once the window exists.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (window == nullptr) return 1;
    if (argc > 1) {
        HANDLE ready = ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (ready == INVALID_HANDLE_VALUE) return 2;
        ::CloseHandle(ready);
    }
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
