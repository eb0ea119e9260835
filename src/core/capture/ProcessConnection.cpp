#include "core/capture/ProcessConnection.h"

#include "core/capture/Win32KeyboardHook.h"
#include "core/capture/Win32SerialPort.h"

namespace veltra {

namespace {

struct Win32Connection {
    Win32KeyboardHook hook;
    Win32SerialPort port;
    Connection connection{g_Settings, hook, port, &IsKeyOfCurrentLayout};
};

// A plain pointer: no destructor runs at the end of the process.
Win32Connection* g_Instance = nullptr;

}  // namespace

bool StartProcessConnection() noexcept {
    try {
        if (!g_Instance) g_Instance = new Win32Connection;
    } catch (...) {
        return false;
    }
    return true;
}

Connection& ProcessConnection() noexcept { return g_Instance->connection; }

void EndProcessConnection() noexcept {
    delete g_Instance;
    g_Instance = nullptr;
}

}  // namespace veltra
