# Source lists. The floors, lowest first: core/common (text, messages, owners),
# core/settings, core/capture, core/driver (the commands); then two faces, each
# on the core alone: the COM face, com/addin (the add-in object) and com/server
# (entry points, class factory, registration); and the Native API face,
# native/addin and native/server. A file includes only its own floor and the
# ones below.
#
# Logic files include no Windows header and build everywhere; glue files talk
# to Win32/COM and build only for Windows; POSIX files are their Linux
# counterparts and build only in the native trees.

# One library per floor, each linked to the floor below it alone (core/common
# at the bottom): veltra_common, veltra_settings, veltra_capture,
# veltra_driver, then the faces side by side, veltra_com (com/host, com/addin,
# com/server but the entry points) and veltra_native_face (native/addin). A
# floor's plain files build everywhere; its _WIN sources are added on Windows,
# its _POSIX ones in the native trees. The entry points (com/server/DllMain.cpp,
# native/server/NativeEntry.cpp) are the libraries' own.
set(VELTRA_COMMON_SOURCES
  src/core/common/Messages.cpp
  src/core/common/Text.cpp
  src/core/common/HostError.cpp
)
set(VELTRA_COMMON_WIN_SOURCES
  src/core/common/DebugOutput.cpp
  src/core/common/SystemText.cpp
)

set(VELTRA_SETTINGS_SOURCES
  src/core/settings/Names.cpp
  src/core/settings/Settings.cpp
  src/core/settings/SettingsDocument.cpp
)

set(VELTRA_CAPTURE_SOURCES
  src/core/capture/KeyFramer.cpp
  src/core/capture/CodeQueues.cpp
  src/core/capture/SerialDecode.cpp
  src/core/capture/WorkerThread.cpp
  src/core/capture/SerialReader.cpp
  src/core/capture/DispatchThread.cpp
  src/core/capture/Connection.cpp
)
set(VELTRA_CAPTURE_WIN_SOURCES
  src/core/capture/Win32KeyboardHook.cpp
  src/core/capture/Win32SerialPort.cpp
  src/core/capture/ProcessConnection.cpp
)
# The serial port over termios, the scanner's input device read through
# libevdev with its key decoding, and the process's connection joined up from
# them.
set(VELTRA_CAPTURE_POSIX_SOURCES
  src/core/capture/InputKeyDecoder.cpp
  src/core/capture/EvdevKeyboard.cpp
  src/core/capture/PosixSerialPort.cpp
  src/core/capture/PosixLineSpeed.cpp
  src/core/capture/ProcessConnection.cpp
)

set(VELTRA_DRIVER_SOURCES
  src/core/driver/ScannerDriver.cpp
)

# The COM face: the table of registry entries is plain and its tests run
# natively too; the rest is Windows glue. The host's interfaces, the COM owners
# and the table are what the substitute host, the bench and the tests take of
# it: on Windows they compile as a unit of their own, so that a program that
# needs only them links no copy of the add-in object.
set(VELTRA_COM_SOURCES
  src/com/server/Registration.cpp
)
set(VELTRA_COM_HOST_WIN_SOURCES
  src/com/host/AddInLib.cpp
  src/com/addin/ComOwners.cpp
)
set(VELTRA_COM_WIN_SOURCES
  src/com/addin/AddInObj.cpp
  src/com/addin/ComErrors.cpp
  src/com/addin/Variants.cpp
  src/com/server/ClassFactory.cpp
  src/com/server/SelfRegistration.cpp
)

# The Native API face: no Windows header, built for every target.
set(VELTRA_NATIVE_FACE_SOURCES
  src/native/addin/NativeValues.cpp
  src/native/addin/NativeAddIn.cpp
)

# The test bench's plain logic (the GS1 reader, tools/gs1): built for every target,
# for the bench and the logic tests.
set(VELTRA_BENCH_LOGIC_SOURCES
  tools/gs1/Gs1.cpp
  tools/gs1/Gs1Table.cpp
)

# The test bench: tools/bench/VeltraBench.cpp (its main) and its files for every
# target (commands, output, reports, scanning, ports, the driver through
# either face), and the Windows-only ones (the COM face, registration, the
# keyboard-mode window, the version resource).
set(VELTRA_BENCH_SOURCES
  tools/bench/BenchCommandLine.cpp
  tools/bench/BenchOutput.cpp
  tools/bench/BenchDriver.cpp
  tools/bench/BenchNativeDriver.cpp
  tools/bench/BenchReports.cpp
  tools/bench/BenchPorts.cpp
  tools/bench/BenchScan.cpp
  tools/bench/BenchGs1.cpp
)
set(VELTRA_BENCH_WIN_SOURCES
  tools/bench/BenchComDriver.cpp
  tools/bench/BenchRegistration.cpp
  tools/bench/BenchKeyboard.cpp
  tools/bench/VeltraBench.rc
)

# What both substitute hosts share: one event type and recorder for what a
# component posts, and the driver held through either face (DriverFace).
# Built for every target.
set(VELTRA_HOST_COMMON_SOURCES
  tools/host/HostEvents.cpp
  tools/host/DriverFace.cpp
)

# The substitute host of the Native API: what the platform does with an
# add-in library (loading it, its memory manager, its connection object,
# creating and calling its objects), for the Native API tests and the test
# bench. Built for every target.
set(VELTRA_NATIVE_HOST_SOURCES
  tools/host/native/Values.cpp
  tools/host/native/MemoryManager.cpp
  tools/host/native/Connection.cpp
  tools/host/native/NativeLibrary.cpp
  tools/host/native/Component.cpp
  tools/host/native/NativeDriverFace.cpp
)

# Tests of the logic: built natively and for Windows (run under Wine).
set(VELTRA_LOGIC_TESTS
  tests/common/MessagesTest.cpp
  tests/common/TextTest.cpp
  tests/common/HostErrorTest.cpp
  tests/settings/NamesTest.cpp
  tests/settings/SettingsTest.cpp
  tests/settings/SettingsDocumentTest.cpp
  tests/capture/KeyFramerTest.cpp
  tests/capture/SerialDecodeTest.cpp
  tests/capture/SerialReaderTest.cpp
  tests/capture/DispatchThreadTest.cpp
  tests/capture/ConnectionTest.cpp
  tests/com/RegistrationTest.cpp
  tests/native/NativeValuesTest.cpp
  tests/tools/Gs1Test.cpp
)

# The GS1 reader against libzint as its judge: native trees only, so that
# the Windows build does not need libzint.
set(VELTRA_GS1_JUDGE_TESTS
  tests/tools/Gs1JudgeTest.cpp
)

# Tests of the Win32 and COM owners, Windows only (in the logic tests' program).
set(VELTRA_OWNER_TESTS
  tests/com/OwnersTest.cpp
)

# The Native API host's own tests, against a library made for them.
set(VELTRA_NATIVE_HOST_TESTS
  tests/native/NativeHostTest.cpp
)
set(VELTRA_FAKE_COMPONENT_SOURCES
  tests/native/FakeComponent.cpp
)

# The bench's driver through the Native API host, against that library
# (native trees).
set(VELTRA_BENCH_TESTS
  tests/tools/BenchDriverTest.cpp
)

# Tests of the POSIX capture floor over pseudo-terminals, native trees only.
set(VELTRA_POSIX_TESTS
  tests/capture/InputKeyDecoderTest.cpp
  tests/capture/PosixSerialPortTest.cpp
)

# Keyboard mode of the Native API library against a uinput keyboard, inside
# the test VM (tests/vm/run.sh), and the behaviour tables' keyboard rows there.
set(VELTRA_VM_TESTS
  tests/vm/InputDeviceTest.cpp
  tests/faces/FaceUnderTest.cpp
  tests/faces/BehaviourTest.cpp
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

# The behaviour tables that every face of the driver must answer alike: the
# Native API face natively, both faces under Wine.
set(VELTRA_FACE_TESTS
  tests/faces/FaceUnderTest.cpp
  tests/faces/BehaviourTest.cpp
)

# libFuzzer targets, one source each under fuzz/ (native clang build only).
set(VELTRA_FUZZ_TARGETS
  FuzzSettings
  FuzzSerialDecode
  FuzzKeyFramer
)
