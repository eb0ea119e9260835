# The Linux trees as released (toolchain cmake/linux-portable.cmake): the
# Native API library, and the programs built beside it, call no C library
# function newer than glibc 2.17. Each name below is wrapped at the link
# (-Wl,--wrap): every call to it, the static C++ runtime's too, goes to its
# __wrap_ function in cmake/Glibc217.cpp, which binds it to its older
# version or does without it. tools/dev/check_linux_symbols.sh checks the result.
set(VELTRA_GLIBC217_WRAPPED
  pthread_create pthread_detach pthread_join pthread_once pthread_key_create pthread_getspecific
  pthread_setspecific pthread_mutex_trylock pthread_mutexattr_init pthread_mutexattr_destroy
  pthread_mutexattr_settype pthread_rwlock_rdlock pthread_rwlock_wrlock pthread_rwlock_unlock dladdr
  pthread_cond_clockwait __cxa_thread_atexit_impl fcntl)
list(TRANSFORM VELTRA_GLIBC217_WRAPPED PREPEND "-Wl,--wrap=" OUTPUT_VARIABLE veltra_glibc217_wraps)

add_library(veltra_glibc217 OBJECT cmake/Glibc217.cpp)
add_library(veltra_glibc217_programs OBJECT cmake/Glibc217Programs.cpp)

# veltra_glibc217(target...): the bindings into each target that exists.
function(veltra_glibc217)
  foreach(t ${ARGN})
    if(TARGET ${t})
      target_sources(${t} PRIVATE $<TARGET_OBJECTS:veltra_glibc217>)
      target_link_options(${t} PRIVATE ${veltra_glibc217_wraps})
    endif()
  endforeach()
endfunction()
veltra_glibc217(VeltraScannerNative logic_tests VeltraBench vm_input_tests)

# The programs' own calls beyond the library's (their start, libdl, openpty,
# stat), so that they run on an older system too (./run compat).
set(VELTRA_GLIBC217_PROGRAM_WRAPPED __libc_start_main dlopen dlsym dlclose dlerror pthread_key_delete openpty stat)
list(TRANSFORM VELTRA_GLIBC217_PROGRAM_WRAPPED PREPEND "-Wl,--wrap=" OUTPUT_VARIABLE veltra_glibc217_program_wraps)
foreach(t logic_tests VeltraBench vm_input_tests)
  if(TARGET ${t})
    target_sources(${t} PRIVATE $<TARGET_OBJECTS:veltra_glibc217_programs>)
    target_link_options(${t} PRIVATE ${veltra_glibc217_program_wraps})
    # libutil by its file name: from glibc 2.34 on only the file itself is there.
    target_link_options(${t} PRIVATE -Wl,--push-state,--no-as-needed -l:libutil.so.1 -Wl,--pop-state)
  endif()
endforeach()

# The logic tests add the tests of the stand-ins, as the C++ runtime uses
# them. The test files define helpers of the same names: file by file, as in
# the other native trees. The tests' own code and GoogleTest are not what
# ships: without optimisation the tree builds in ~37 s of one processor
# instead of ~48 (./run test builds the linux-i386 tree); the product's code
# in the test program stays as released.
if(TARGET logic_tests)
  target_sources(logic_tests PRIVATE tests/native/Glibc217Test.cpp)
  set_target_properties(logic_tests PROPERTIES UNITY_BUILD OFF)
  foreach(t logic_tests gtest gtest_main)
    target_compile_options(${t} PRIVATE -O0)
  endforeach()
endif()
