# MinGW-w64 build: the DLL, its tests under Wine, the test bench.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Full static linking: otherwise the programs import the MinGW runtime DLLs
# and Wine cannot start them.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The floors' Windows libraries (the floors themselves are in CMakeLists.txt).
target_link_libraries(veltra_capture PUBLIC user32)
target_sources(veltra_com PRIVATE ${VELTRA_COM_HOST_WIN_SOURCES})
target_link_libraries(veltra_com PUBLIC ole32 oleaut32 uuid advapi32 user32)
# Two units: what programs other than the library take of the face (the
# host's interfaces, the COM owners, the registry table), and the add-in
# object with its server, which they must not link a copy of.
set_target_properties(veltra_com PROPERTIES UNITY_BUILD_MODE GROUP)
set_source_files_properties(${VELTRA_COM_SOURCES} ${VELTRA_COM_HOST_WIN_SOURCES} PROPERTIES UNITY_GROUP shared)
set_source_files_properties(${VELTRA_COM_WIN_SOURCES} PROPERTIES UNITY_GROUP addin)

# The version resources (file properties on Windows) read src/core/common/Version.h.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/src -I${CMAKE_SOURCE_DIR}/packaging")

add_library(VeltraScanner SHARED src/com/server/DllMain.cpp src/com/server/VeltraScanner.def src/com/server/VeltraScanner.rc)
set_target_properties(VeltraScanner PROPERTIES PREFIX "" OUTPUT_NAME VeltraScanner)
target_link_libraries(VeltraScanner PRIVATE veltra_com)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # stdcall exports named plainly in the .def file
  target_link_options(VeltraScanner PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
endif()

# The Native API library: the same driver for the platform's other add-in
# technology, with the C entry functions named plainly in its .def file.
add_library(VeltraScannerNative SHARED src/native/server/NativeEntry.cpp src/native/server/VeltraScannerNative.def
            src/native/server/VeltraScannerNative.rc)
set_target_properties(VeltraScannerNative PROPERTIES PREFIX "" OUTPUT_NAME VeltraScannerNative)
target_link_libraries(VeltraScannerNative PRIVATE veltra_native_face)

include(cmake/GTest.cmake)
include(GoogleTest)

# Every test program runs under Wine in the build tree's own prefix.
set(VELTRA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${VELTRA_WINEPREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${VELTRA_WINE})
set(VELTRA_WINE_ENV WINEPREFIX=${VELTRA_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)

# One Wine session for the suite (tests/wine/wine_session.sh): the prefix, a
# persistent server and a desktop that stays up (KeepDesktop).
set(VELTRA_WINE_SESSION sh ${CMAKE_SOURCE_DIR}/tests/wine/wine_session.sh)
add_executable(KeepDesktop tests/wine/KeepDesktop.cpp)
target_link_options(KeepDesktop PRIVATE -municode)
add_test(NAME wine_start COMMAND ${VELTRA_WINE_SESSION} start ${VELTRA_WINEPREFIX} ${VELTRA_WINE}
         $<TARGET_FILE:KeepDesktop>)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
add_test(NAME wine_stop COMMAND ${VELTRA_WINE_SESSION} stop ${VELTRA_WINEPREFIX})
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

add_executable(logic_tests ${VELTRA_LOGIC_TESTS} ${VELTRA_OWNER_TESTS})
target_link_libraries(logic_tests PRIVATE veltra_native_face veltra_com veltra_bench_logic gtest_main)

# The substitute host: what a host of the platform does with the component
# (its connection object, creating and calling it, registering the library,
# its message loop and a window keys are posted to), for the COM tests, the
# test bench and the perf program.
add_library(veltra_substitute_host STATIC tools/host/com/HostConnection.cpp tools/host/com/HostedComponent.cpp
            tools/host/com/ComDriverFace.cpp tools/host/com/ServerRegistration.cpp tools/host/com/HostWindow.cpp)
target_include_directories(veltra_substitute_host PUBLIC tools)
target_link_libraries(veltra_substitute_host PUBLIC veltra_com veltra_host_common)

# The Native API substitute host. Its own tests run in the native tree; here
# the Native API tests of wine_tests and the bench stand on it.
add_library(veltra_native_host STATIC ${VELTRA_NATIVE_HOST_SOURCES})
target_include_directories(veltra_native_host PUBLIC tools)
target_link_libraries(veltra_native_host PUBLIC veltra_com veltra_host_common)

add_executable(wine_tests ${VELTRA_WINE_TESTS} ${VELTRA_FACE_TESTS})
target_include_directories(wine_tests PRIVATE tests/wine tests/faces)
target_link_libraries(wine_tests PRIVATE veltra_substitute_host veltra_native_host gtest)
# The Native API library lies beside the test program.
target_compile_definitions(wine_tests PRIVATE VELTRA_NATIVE_LIBRARY="VeltraScannerNative.dll")
add_dependencies(wine_tests VeltraScannerNative)
# The test programs and GoogleTest need no optimisation (the DLL and the code
# under test keep the build's own): it would make them compile 1.5 times as
# long. The headers every test file starts with are parsed once per program.
foreach(t logic_tests wine_tests gtest gtest_main)
  target_compile_options(${t} PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-O0>)
endforeach()
target_precompile_headers(logic_tests PRIVATE <gtest/gtest.h>)
target_precompile_headers(wine_tests PRIVATE <windows.h> <gtest/gtest.h>)
add_dependencies(wine_tests VeltraScanner)

# The logic tests run test by test in the native trees; here they check the
# MinGW build of the same code, all in one Wine process (a Wine start costs
# more than most of them). The COM tests each get a process of their own: a
# freshly loaded DLL.
add_test(NAME logic_tests COMMAND logic_tests)
set_tests_properties(logic_tests PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}" TIMEOUT 120)
gtest_add_tests(TARGET wine_tests SOURCES ${VELTRA_WINE_TESTS} TEST_LIST wine_tests_list)
# The behaviour tables of both faces in one Wine process: each face's library
# is loaded once for all of them, and the one table that needs settings no
# test has touched comes first.
add_test(NAME behaviour COMMAND wine_tests --gtest_filter=Faces/Behaviour.*)
list(APPEND wine_tests_list behaviour)
set_tests_properties(${wine_tests_list} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}" TIMEOUT 60)

# The serial tests need a virtual serial line: socat joins two pseudo-terminals,
# one mapped to a COM port of the prefix, the other fed by the tests.
set(VELTRA_SERIAL_DIR ${CMAKE_BINARY_DIR}/serial)
set(VELTRA_SERIAL_PORT COM21)
set(VELTRA_REPLUG_PORT COM22)
set(VELTRA_SERIAL_FIXTURE sh ${CMAKE_SOURCE_DIR}/tests/wine/serial_fixture.sh)
add_test(NAME serial_start COMMAND ${VELTRA_SERIAL_FIXTURE} start ${VELTRA_SERIAL_DIR} ${VELTRA_SERIAL_PORT}
         ${VELTRA_REPLUG_PORT})
set_tests_properties(serial_start PROPERTIES FIXTURES_SETUP serial FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}"
                     TIMEOUT 30)
add_test(NAME serial_stop COMMAND ${VELTRA_SERIAL_FIXTURE} stop ${VELTRA_SERIAL_DIR} ${VELTRA_SERIAL_PORT}
         ${VELTRA_REPLUG_PORT})
set_tests_properties(serial_stop PROPERTIES FIXTURES_CLEANUP serial ENVIRONMENT "${VELTRA_WINE_ENV}" TIMEOUT 30)
set(serial_tests ${wine_tests_list})
list(FILTER serial_tests INCLUDE REGEX "^(Serial|Replug|behaviour)")
# One line for all of them: they must not run at the same time (ctest -j).
set_tests_properties(${serial_tests} PROPERTIES FIXTURES_REQUIRED "wine;serial" RESOURCE_LOCK serial_line ENVIRONMENT
    "${VELTRA_WINE_ENV};VELTRA_SERIAL_PORT=${VELTRA_SERIAL_PORT};VELTRA_SERIAL_FEED=${VELTRA_SERIAL_DIR}/feed;\
VELTRA_REPLUG_PORT=${VELTRA_REPLUG_PORT};VELTRA_REPLUG_DIR=${VELTRA_SERIAL_DIR}")
# The line that is unplugged and plugged in again is a second one: those tests
# run beside the others.
set(replug_tests ${serial_tests})
list(FILTER replug_tests INCLUDE REGEX "^Replug")
set_tests_properties(${replug_tests} PROPERTIES RESOURCE_LOCK replug_line)

add_executable(VeltraBench tools/bench/VeltraBench.cpp ${VELTRA_BENCH_SOURCES} ${VELTRA_BENCH_WIN_SOURCES})
target_include_directories(VeltraBench PRIVATE tools)
# A console program with a wide entry point.
target_link_options(VeltraBench PRIVATE -municode)
target_link_libraries(VeltraBench PRIVATE veltra_substitute_host veltra_native_host veltra_bench_logic version)

# The performance benchmark (./run bench); not a test.
add_executable(VeltraPerf bench/VeltraPerf.cpp bench/Perf.cpp bench/PerfKeyboardLatency.cpp bench/PerfSerialLatency.cpp
               bench/PerfHookCost.cpp bench/PerfIdleCost.cpp bench/PerfBurst.cpp)
# One unit: every file parses <windows.h>.
set_target_properties(VeltraPerf PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
target_link_libraries(VeltraPerf PRIVATE veltra_substitute_host)
add_dependencies(VeltraPerf VeltraScanner)

# Keyboard capture end to end through the X keyboard path (Xvfb, a window of
# the bench, keys typed with xdotool), in a prefix of its own whose desktop
# runs on that X server; skipped without Xvfb or xdotool.
add_test(NAME x_keyboard COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/x_keyboard_test.sh
         ${CMAKE_BINARY_DIR}/bin ${VELTRA_WINE} ${CMAKE_BINARY_DIR}/wineprefix-x)
set_tests_properties(x_keyboard PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}"
                     SKIP_RETURN_CODE 77 TIMEOUT 120)

# The test bench's command line (exit statuses, help, registration, --json) in
# a prefix of its own, with a virtual serial line on COM27 of that prefix.
# Its --native checks run in the 64-bit tree only: a 32-bit Wine start costs
# seconds where 32-bit programs run through an emulator.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bench_cli_native native)
endif()
add_test(NAME bench_cli COMMAND sh ${CMAKE_SOURCE_DIR}/tools/bench/bench_cli_test.sh ${CMAKE_BINARY_DIR}/bin ${VELTRA_WINE}
         ${CMAKE_BINARY_DIR}/bench_cli ${bench_cli_native})
set_tests_properties(bench_cli PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}" TIMEOUT 120)

# Each MinGW translation unit spends most of its time parsing <windows.h> and
# the standard headers, so these targets compile as one unit each (a fresh
# win64 tree: 141 s -> 77 s at one job). clang-tidy (./run lint) still checks
# file by file: for a file the compile commands do not list, it takes the
# command of its target's unit.
set_target_properties(${VELTRA_FLOORS} veltra_substitute_host veltra_native_host veltra_bench_logic VeltraBench
                      PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
