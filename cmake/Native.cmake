# Linux build of the logic: unit tests, sanitizers, fuzzing.
if(VELTRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELTRA_TSAN)
  add_compile_options(-fsanitize=thread -g -O1)
  add_link_options(-fsanitize=thread)
endif()

# Debian's prebuilt GoogleTest (libgtest-dev): one build for every native
# tree. It is not instrumented, which the sanitizers do not need: they check
# the code under test, and intercept the locks gtest takes.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)

if(VELTRA_FUZZ)
  # The fuzzing tree builds the fuzz targets only: the logic tests run under
  # ASan and UBSan in the native-asan tree.
  include(cmake/Fuzz.cmake)
else()
  add_executable(logic_tests ${VELTRA_LOGIC_TESTS})
  target_link_libraries(logic_tests PRIVATE veltra_native_face veltra_bench_logic GTest::gtest_main Threads::Threads)
  # gtest.h, parsed once instead of once per test file.
  target_precompile_headers(logic_tests PRIVATE <gtest/gtest.h>)
  # A limit per test, so that a hang fails in seconds instead of CTest's
  # default 1,500 s; the slowest test takes well under a second, also under TSan.
  gtest_discover_tests(logic_tests PROPERTIES TIMEOUT 30)

  # The Native API substitute host, and its tests against a library of their
  # own that the test program loads by its path.
  add_library(veltra_native_host STATIC ${VELTRA_NATIVE_HOST_SOURCES})
  target_include_directories(veltra_native_host PUBLIC tools)
  target_link_libraries(veltra_native_host PUBLIC veltra_logic ${CMAKE_DL_LIBS})
  add_library(FakeComponent SHARED ${VELTRA_FAKE_COMPONENT_SOURCES})
  set_target_properties(FakeComponent PROPERTIES PREFIX "")
  target_include_directories(FakeComponent PRIVATE src)
  target_link_libraries(FakeComponent PRIVATE Threads::Threads)
  add_executable(native_host_tests ${VELTRA_NATIVE_HOST_TESTS})
  target_compile_definitions(native_host_tests PRIVATE VELTRA_FAKE_COMPONENT="$<TARGET_FILE:FakeComponent>")
  target_link_libraries(native_host_tests PRIVATE veltra_native_host GTest::gtest_main Threads::Threads)
  add_dependencies(native_host_tests FakeComponent)
  gtest_discover_tests(native_host_tests PROPERTIES TIMEOUT 30)

  # The test bench, Native API only (--native LIB): its commands, and its
  # driver through the Native API host, in a library that its own tests share.
  add_library(veltra_bench STATIC ${VELTRA_BENCH_SOURCES})
  target_include_directories(veltra_bench PUBLIC tools)
  target_link_libraries(veltra_bench PUBLIC veltra_native_host veltra_bench_logic Threads::Threads)
  add_executable(VeltraBench tools/VeltraBench.cpp)
  target_link_libraries(VeltraBench PRIVATE veltra_bench)
  set_target_properties(veltra_bench PROPERTIES UNITY_BUILD ON)
  add_executable(bench_tests ${VELTRA_BENCH_TESTS})
  target_compile_definitions(bench_tests PRIVATE VELTRA_FAKE_COMPONENT="$<TARGET_FILE:FakeComponent>")
  target_link_libraries(bench_tests PRIVATE veltra_bench GTest::gtest_main)
  add_dependencies(bench_tests FakeComponent)
  gtest_discover_tests(bench_tests PROPERTIES TIMEOUT 30)

  # The Native API library for Linux, once the capture floor has its POSIX
  # parts. Only the five entry functions are exported (the linker script);
  # the C++ runtime is linked in, so the library loads beside whatever
  # runtime the platform's process has. The sanitizer trees keep their
  # runtime shared: the sanitizers intercept it.
  if(TARGET veltra_posix)
    set(VELTRA_NATIVE_EXPORTS ${CMAKE_SOURCE_DIR}/src/native/server/VeltraScannerNative.map)
    add_library(VeltraScannerNative SHARED src/native/server/NativeEntry.cpp)
    target_link_libraries(VeltraScannerNative PRIVATE veltra_native_face veltra_posix)
    target_link_options(VeltraScannerNative PRIVATE -Wl,--version-script=${VELTRA_NATIVE_EXPORTS} -Wl,--no-undefined)
    set_target_properties(VeltraScannerNative PROPERTIES LINK_DEPENDS ${VELTRA_NATIVE_EXPORTS})
    if(NOT VELTRA_SANITIZE AND NOT VELTRA_TSAN)
      target_link_options(VeltraScannerNative PRIVATE -static-libstdc++ -static-libgcc)
    endif()

    # The bench's command line against the library (a second at most).
    add_test(NAME bench_native COMMAND sh ${CMAKE_SOURCE_DIR}/tools/bench_native_test.sh $<TARGET_FILE:VeltraBench>
             $<TARGET_FILE:VeltraScannerNative>)
    set_tests_properties(bench_native PROPERTIES TIMEOUT 30)
  endif()
endif()
