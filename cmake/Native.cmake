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
endif()
