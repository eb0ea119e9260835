# Linux build of the logic: unit tests, sanitizers, fuzzing.
# The sanitizer trees keep line tables only (-g1): the reports still name
# files and lines, and debug information for every type and variable would
# take a third of their compile time.
if(VELTRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all -g1)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELTRA_TSAN)
  add_compile_options(-fsanitize=thread -g1 -O1)
  add_link_options(-fsanitize=thread)
endif()

# Debian's prebuilt GoogleTest (libgtest-dev): one build for every native
# tree. It is not instrumented, which the sanitizers do not need: they check
# the code under test, and intercept the locks gtest takes. The release trees
# build it from its sources with their own C++ runtime and architecture.
if(VELTRA_PORTABLE_RUNTIME)
  include(cmake/GTest.cmake)
else()
  find_package(GTest REQUIRED)
endif()
find_package(Threads REQUIRED)
include(GoogleTest)

target_link_libraries(veltra_capture PUBLIC Threads::Threads)
# libevdev reads the scanner's input device: its static archive (of the
# tree's architecture), so that the library needs no more than the C library.
find_path(VELTRA_LIBEVDEV_INCLUDE libevdev/libevdev.h PATH_SUFFIXES libevdev-1.0 REQUIRED)
find_library(VELTRA_LIBEVDEV_ARCHIVE NAMES libevdev.a REQUIRED)
target_include_directories(veltra_capture PUBLIC ${VELTRA_LIBEVDEV_INCLUDE})
# Debian compiles the archive as code of a position-independent program: its
# one reference to the C library's data, stderr, counts on a program's copy
# relocation, which a shared library cannot have. The copy linked here
# refers to a pointer of our own instead (EvdevKeyboard.cpp).
set(veltra_libevdev ${CMAKE_BINARY_DIR}/libevdev-in-library.a)
add_custom_command(OUTPUT ${veltra_libevdev}
  COMMAND ${CMAKE_OBJCOPY} --redefine-sym stderr=veltra_libevdev_stderr ${VELTRA_LIBEVDEV_ARCHIVE} ${veltra_libevdev}
  DEPENDS ${VELTRA_LIBEVDEV_ARCHIVE} VERBATIM)
add_custom_target(veltra_libevdev_archive DEPENDS ${veltra_libevdev})
add_dependencies(veltra_capture veltra_libevdev_archive)
target_link_libraries(veltra_capture PUBLIC ${veltra_libevdev})
# The kernel's termios declarations that PosixLineSpeed.cpp needs clash with
# <termios.h>: the file stays a unit of its own.
set_source_files_properties(src/core/capture/PosixLineSpeed.cpp PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)

if(VELTRA_FUZZ)
  # The fuzzing tree builds the fuzz targets only: the logic tests run under
  # ASan and UBSan in the native-asan tree.
  include(cmake/Fuzz.cmake)
else()

  # The logic's tests, the POSIX parts' tests, and the behaviour tables
  # against the Native API library (serial lines on pseudo-terminals): one
  # program, so that gtest.h is parsed once for all of them; under the
  # sanitizers too, the library with its threads loaded as the platform
  # loads it.
  set(logic_test_sources ${VELTRA_LOGIC_TESTS})
  if(VELTRA_TSAN)
    # ThreadSanitizer looks at what runs on several threads: the reader, the
    # dispatch thread and the connection that owns them. The single-threaded
    # logic runs under ASan and UBSan and the fuzzers.
    set(logic_test_sources tests/capture/SerialReaderTest.cpp tests/capture/DispatchThreadTest.cpp
        tests/capture/ConnectionTest.cpp)
  endif()
  # libzint, the GS1 reader's judge (Debian's libzint-dev): in the plain and
  # ASan trees; the release trees' tests run on older and 32-bit systems.
  if(NOT VELTRA_TSAN AND NOT VELTRA_PORTABLE_RUNTIME)
    list(APPEND logic_test_sources ${VELTRA_GS1_JUDGE_TESTS})
    find_library(ZINT_LIBRARY zint REQUIRED)
    set(veltra_gs1_judge ${ZINT_LIBRARY})
  endif()
  add_executable(logic_tests ${logic_test_sources} ${VELTRA_POSIX_TESTS} ${VELTRA_FACE_TESTS}
                 tests/faces/LinuxLineTest.cpp)
  # util: openpty, for the pseudo-terminals the serial port's tests read.
  # (The release trees link libutil by file name: cmake/PortableRuntime.cmake.)
  if(NOT VELTRA_PORTABLE_RUNTIME)
    set(veltra_libutil util)
  endif()
  target_link_libraries(logic_tests PRIVATE veltra_native_face veltra_com veltra_bench_logic veltra_native_host
                        GTest::gtest_main Threads::Threads ${veltra_libutil} ${veltra_gs1_judge})
  target_include_directories(logic_tests PRIVATE tests/faces)
  target_compile_definitions(logic_tests PRIVATE VELTRA_NATIVE_LIBRARY="$<TARGET_FILE:VeltraScannerNative>")
  add_dependencies(logic_tests VeltraScannerNative)
  # gtest.h, parsed once instead of once per test file.
  target_precompile_headers(logic_tests PRIVATE <gtest/gtest.h>)
  # A limit per test, so that a hang fails in seconds instead of CTest's
  # default 1,500 s; the slowest test takes well under a second, also under TSan.
  if(VELTRA_SANITIZE)
    # LeakSanitizer's reading of dynamic thread-local storage does not match
    # this C library's: after a dlopen'ed library (the Native API one) used
    # thread-local storage, its leak check at exit crashes reading a garbage
    # block. Thread-local storage is left out of the roots it scans; the
    # main thread's thread-local objects are destroyed before the check runs.
    gtest_discover_tests(logic_tests PROPERTIES TIMEOUT 30 ENVIRONMENT LSAN_OPTIONS=use_tls=0)
  elseif(VELTRA_PORTABLE_RUNTIME)
    # The release trees' tests run in three processes: where 32-bit programs
    # run through an emulator, each start costs ~0.15 s of it (a process per
    # test: ~19 s for the 32-bit tree, against ~2 s natively). The behaviour
    # tables run in the order written, as under Wine; the lost line last.
    add_test(NAME logic COMMAND logic_tests --gtest_brief=1 --gtest_filter=-Faces/*:LinuxLine.*)
    add_test(NAME behaviour COMMAND logic_tests --gtest_brief=1 --gtest_filter=Faces/Behaviour.*)
    add_test(NAME linux_line COMMAND logic_tests --gtest_brief=1 --gtest_filter=LinuxLine.*)
    set_tests_properties(logic behaviour linux_line PROPERTIES TIMEOUT 120)
  else()
    gtest_discover_tests(logic_tests PROPERTIES TIMEOUT 30)
  endif()

  # The Native API library: only its entry functions are exported, so that
  # the copy of the driver inside never binds to a host's symbols of the same
  # names.
  add_library(VeltraScannerNative SHARED src/native/server/NativeEntry.cpp)
  target_link_libraries(VeltraScannerNative PRIVATE veltra_native_face)
  # Once loaded, it stays loaded (nodelete): a host thread that met an error
  # holds the driver's thread-local text, for which the C library keeps it
  # loaded anyway, and no thread or hook of the driver can outlive its code.
  target_link_options(VeltraScannerNative PRIVATE
    -Wl,--version-script=${CMAKE_SOURCE_DIR}/src/native/server/VeltraScannerNative.map -Wl,-z,nodelete)
  set_target_properties(VeltraScannerNative PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/src/native/server/VeltraScannerNative.map)
  if(VELTRA_PORTABLE_RUNTIME)
    # The release trees link LLVM's C++ runtime into everything (the toolchain
    # file), bound to glibc 2.17's functions.
    target_link_options(VeltraScannerNative PRIVATE -Wl,--no-undefined)
  elseif(NOT VELTRA_SANITIZE AND NOT VELTRA_TSAN)
    # Nothing is left undefined, and the library carries its own C++ runtime:
    # the platform's client brings another, or none. (Under a sanitizer the
    # test program provides the sanitizer's runtime.)
    target_link_options(VeltraScannerNative PRIVATE -Wl,--no-undefined -static-libstdc++ -static-libgcc)
  endif()

  # The Native API substitute host.
  add_library(veltra_native_host STATIC ${VELTRA_NATIVE_HOST_SOURCES})
  target_include_directories(veltra_native_host PUBLIC tools)
  target_link_libraries(veltra_native_host PUBLIC veltra_common veltra_host_common ${CMAKE_DL_LIBS})
  set_target_properties(veltra_native_host PROPERTIES UNITY_BUILD ON)
endif()

# The plain tree alone: the host's own tests against a library of their own,
# and the test bench. The sanitizer trees check the product; these are tools.
# The release trees build the bench alone: the native archive's check loads
# their libraries through it.
if(NOT VELTRA_FUZZ AND NOT VELTRA_SANITIZE AND NOT VELTRA_TSAN)
  if(NOT VELTRA_PORTABLE_RUNTIME)
    add_library(FakeComponent SHARED ${VELTRA_FAKE_COMPONENT_SOURCES})
    set_target_properties(FakeComponent PROPERTIES PREFIX "")
    target_include_directories(FakeComponent PRIVATE src)
    target_link_libraries(FakeComponent PRIVATE Threads::Threads)
    add_executable(native_host_tests ${VELTRA_NATIVE_HOST_TESTS})
    target_compile_definitions(native_host_tests PRIVATE VELTRA_FAKE_COMPONENT="$<TARGET_FILE:FakeComponent>")
    target_link_libraries(native_host_tests PRIVATE veltra_native_host GTest::gtest_main Threads::Threads)
    add_dependencies(native_host_tests FakeComponent)
    gtest_discover_tests(native_host_tests PROPERTIES TIMEOUT 30)
  endif()

  # The test bench, Native API only (--native LIB): its commands, and its
  # driver through the Native API host, in a library that its own tests share.
  add_library(veltra_bench STATIC ${VELTRA_BENCH_SOURCES})
  target_include_directories(veltra_bench PUBLIC tools)
  target_link_libraries(veltra_bench PUBLIC veltra_native_host veltra_bench_logic Threads::Threads)
  add_executable(VeltraBench tools/bench/VeltraBench.cpp)
  target_link_libraries(VeltraBench PRIVATE veltra_bench)
  set_target_properties(veltra_bench PROPERTIES UNITY_BUILD ON)

  # Keyboard mode against a real input device: run inside the test VM only
  # (tests/vm/run.sh), where the kernel has uinput; not a CTest test.
  add_executable(vm_input_tests ${VELTRA_VM_TESTS})
  target_include_directories(vm_input_tests PRIVATE tests/faces)
  target_compile_definitions(vm_input_tests PRIVATE VELTRA_NATIVE_LIBRARY="$<TARGET_FILE:VeltraScannerNative>")
  target_link_libraries(vm_input_tests PRIVATE veltra_native_host veltra_settings GTest::gtest Threads::Threads ${veltra_libutil})
  add_dependencies(vm_input_tests VeltraScannerNative)

  if(NOT VELTRA_PORTABLE_RUNTIME)
    add_executable(bench_tests ${VELTRA_BENCH_TESTS})
    target_compile_definitions(bench_tests PRIVATE VELTRA_FAKE_COMPONENT="$<TARGET_FILE:FakeComponent>")
    target_link_libraries(bench_tests PRIVATE veltra_bench GTest::gtest_main)
    add_dependencies(bench_tests FakeComponent)
    gtest_discover_tests(bench_tests PROPERTIES TIMEOUT 30)

    # The checks of what a released library asks of its system, tried on
    # libraries with planted faults (two seconds).
    add_test(NAME import_checks COMMAND bash ${CMAKE_SOURCE_DIR}/tools/dev/check_imports_test.sh)
    set_tests_properties(import_checks PROPERTIES TIMEOUT 60)

    # The Linux serial figure of the performance bench (./run bench).
    add_executable(VeltraLinuxPerf bench/LinuxSerialPerf.cpp)
    target_link_libraries(VeltraLinuxPerf PRIVATE veltra_native_host Threads::Threads util)
    # The Linux keyboard figure, inside the test VM (./run bench).
    add_executable(VeltraLinuxKeyboardPerf bench/LinuxKeyboardPerf.cpp)
    target_link_libraries(VeltraLinuxKeyboardPerf PRIVATE veltra_native_host Threads::Threads)

    # The bench's command line against the library (a second at most).
    add_test(NAME bench_native COMMAND sh ${CMAKE_SOURCE_DIR}/tools/bench/bench_native_test.sh $<TARGET_FILE:VeltraBench>
             $<TARGET_FILE:VeltraScannerNative>)
    set_tests_properties(bench_native PROPERTIES TIMEOUT 30)
  endif()
endif()

if(VELTRA_PORTABLE_RUNTIME)
  include(cmake/PortableRuntime.cmake)
endif()
