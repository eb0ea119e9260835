# Source lists. Logic files include no Windows header and build everywhere;
# glue files talk to Win32/COM and build only for Windows.

set(VELTRA_LOGIC_SOURCES
  src/addin/Messages.cpp
  src/addin/Text.cpp
  src/addin/Names.cpp
  src/addin/Settings.cpp
  src/addin/SettingsDocument.cpp
  src/capture/KeyFramer.cpp
  src/server/Registration.cpp
  src/server/HostError.cpp
  src/capture/CodeQueues.cpp
  src/capture/SerialDecode.cpp
  src/capture/WorkerThread.cpp
  src/capture/CommThread.cpp
  src/capture/DispatchThread.cpp
)

set(VELTRA_GLUE_SOURCES
  src/addin/AddInObj.cpp
  src/addin/Variants.cpp
  src/capture/Connection.cpp
  src/capture/uComPort.cpp
  src/server/Server.cpp
)

# Glue shared by the library, its tests and the test bench.
set(VELTRA_WIN_COMMON_SOURCES
  src/host/AddInLib.cpp
  src/server/Owners.cpp
)

# Tests of the logic: built natively and for Windows (run under Wine).
set(VELTRA_LOGIC_TESTS
  tests/addin/MessagesTest.cpp
  tests/addin/NamesTest.cpp
  tests/addin/TextTest.cpp
  tests/server/RegistrationTest.cpp
  tests/server/HostErrorTest.cpp
  tests/addin/SettingsTest.cpp
  tests/addin/SettingsDocumentTest.cpp
  tests/capture/KeyFramerTest.cpp
  tests/capture/SerialDecodeTest.cpp
  tests/capture/CommThreadTest.cpp
  tests/capture/DispatchThreadTest.cpp
)

# Tests through real COM, Windows only.
set(VELTRA_WINE_TESTS
  tests/wine/HostFixture.cpp
  tests/wine/AddInTest.cpp
  tests/wine/ServerTest.cpp
  tests/wine/KeyboardTest.cpp
  tests/wine/SerialTest.cpp
  tests/wine/ParametersTest.cpp
)

# libFuzzer targets, one source each under fuzz/ (native clang build only).
set(VELTRA_FUZZ_TARGETS
  FuzzSettings
  FuzzSerialDecode
  FuzzKeyFramer
)
