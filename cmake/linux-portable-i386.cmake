# Toolchain of the 32-bit Linux tree (linux-i386): as cmake/linux-portable.cmake,
# for i386 (the multilib C library of gcc-multilib). Debian's i386 builds of
# LLVM's C++ runtime cannot be installed beside the x86_64 ones (both own
# /usr/lib/llvm-14/lib): ./run setup unpacks them under build/runtime-i386.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(VELTRA_LIBCXX_DIR ${CMAKE_CURRENT_LIST_DIR}/../build/runtime-i386/usr/lib/llvm-14/lib)
set(VELTRA_ARCH_FLAGS -m32)
include(${CMAKE_CURRENT_LIST_DIR}/linux-portable.cmake)
