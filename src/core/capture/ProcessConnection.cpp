#include "core/capture/ProcessConnection.h"

#ifdef _WIN32
#include "core/capture/Win32KeyboardHook.h"
#include "core/capture/Win32SerialPort.h"
#else
#include "core/capture/EvdevKeyboard.h"
#include "core/capture/PosixSerialPort.h"
#endif

namespace veltra {

namespace {

#ifdef _WIN32
using PlatformHook = Win32KeyboardHook;
using PlatformPort = Win32SerialPort;
bool IsLayoutKeyHere(uint8_t byte) { return IsKeyOfCurrentLayout(byte); }
#else
using PlatformHook = EvdevKeyboard;
using PlatformPort = PosixSerialPort;
bool IsLayoutKeyHere(uint8_t byte) { return IsSevenBitCode(byte); }
#endif

struct PlatformConnection {
    PlatformHook hook;
    PlatformPort port;
    Connection connection{g_Settings, hook, port, &IsLayoutKeyHere};
};

// A plain pointer: no destructor runs at the end of the process.
PlatformConnection* g_Instance = nullptr;

}  // namespace

bool StartProcessConnection() noexcept {
    try {
        if (!g_Instance) g_Instance = new PlatformConnection;
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
