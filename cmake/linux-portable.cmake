# Toolchain of the Linux trees as released (linux-release, linux-i386): clang
# with LLVM's C++ runtime (libc++, libc++abi, libunwind; Debian's static
# builds) linked into every library and program, so that they need no C++
# runtime of the system's and, with cmake/Glibc217.cpp, no C library newer
# than glibc 2.17. GCC's own static runtime would not do: its unwinder calls
# _dl_find_object (glibc 2.35) and its std::random_device arc4random (2.36),
# which have no older versions to bind to.
#   VELTRA_LIBCXX_DIR: the folder of the three static archives (the x86_64
#   ones of the libc++-14-dev, libc++abi-14-dev and libunwind-14-dev packages
#   unless a toolchain file for another architecture says otherwise).
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
if(NOT VELTRA_LIBCXX_DIR)
  set(VELTRA_LIBCXX_DIR /usr/lib/llvm-14/lib)
endif()
set(VELTRA_PORTABLE_RUNTIME ON)
# VELTRA_ARCH_FLAGS: what a toolchain file for another architecture adds.
set(CMAKE_C_FLAGS_INIT "${VELTRA_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VELTRA_ARCH_FLAGS} -stdlib=libc++")
# The runtime after every object (the standard libraries come last on the
# link line); libgcc only for its arithmetic helpers, statically (libunwind
# before it answers every unwinding call). libpthread and libdl are named
# although glibc 2.34 and later keep their functions in libc: on older systems
# the older versions bound to live there.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VELTRA_ARCH_FLAGS} -nostdlib++ -static-libgcc")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VELTRA_ARCH_FLAGS} -nostdlib++ -static-libgcc")
set(CMAKE_CXX_STANDARD_LIBRARIES
    "${VELTRA_LIBCXX_DIR}/libc++.a ${VELTRA_LIBCXX_DIR}/libc++abi.a ${VELTRA_LIBCXX_DIR}/libunwind.a -Wl,--push-state,--no-as-needed -l:libpthread.so.0 -l:libdl.so.2 -Wl,--pop-state")
