# libFuzzer targets over the logic (clang only). The logic library gets the
# coverage instrumentation and the sanitizers; each target adds the fuzzer
# runtime and its own main.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VELTRA_FUZZ needs clang++ for libFuzzer")
endif()

set(VELTRA_FUZZ_SECONDS 10 CACHE STRING "Seconds each fuzz target runs as a test")

# -O1 after the Debug flags: instrumented code at -O0 runs several times slower.
set(veltra_fuzz_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1)
foreach(lib ${VELTRA_FLOORS})
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link ${veltra_fuzz_flags})
  target_link_options(${lib} INTERFACE -fsanitize=address,undefined)
endforeach()

math(EXPR fuzz_limit "${VELTRA_FUZZ_SECONDS} * 2 + 60")
foreach(t ${VELTRA_FUZZ_TARGETS})
  add_executable(${t} fuzz/${t}.cpp)
  target_compile_options(${t} PRIVATE -fsanitize=fuzzer ${veltra_fuzz_flags})
  target_link_options(${t} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${t} PRIVATE veltra_native_face)

  # The corpus grows across runs, short and long alike; crash inputs land
  # beside it.
  set(corpus ${CMAKE_BINARY_DIR}/corpus/${t})
  set(artifacts ${CMAKE_BINARY_DIR}/artifacts/${t})
  file(MAKE_DIRECTORY ${corpus} ${artifacts})
  add_test(NAME fuzz_${t}
           COMMAND ${t} -max_total_time=${VELTRA_FUZZ_SECONDS} -print_final_stats=1
                   -artifact_prefix=${artifacts}/ ${corpus})
  # libFuzzer stops on its own after the given time; the limit catches a
  # target that hangs.
  set_tests_properties(fuzz_${t} PROPERTIES TIMEOUT ${fuzz_limit})
endforeach()
