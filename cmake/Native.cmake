# Linux build of the logic: unit tests, sanitizers, fuzzing.
if(VELTRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VELTRA_TSAN)
  add_compile_options(-fsanitize=thread -g -O1)
  add_link_options(-fsanitize=thread)
endif()

include(cmake/GTest.cmake)
find_package(Threads REQUIRED)
include(GoogleTest)

add_executable(logic_tests ${VELTRA_LOGIC_TESTS})
target_link_libraries(logic_tests PRIVATE veltra_logic gtest_main Threads::Threads)
gtest_discover_tests(logic_tests)

if(VELTRA_FUZZ)
  include(cmake/Fuzz.cmake OPTIONAL)
endif()
