# GoogleTest for the Windows trees and the Linux release trees: Debian's
# sources, built with the compiler and C++ runtime of the tree (the other
# native trees link Debian's prebuilt library).
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
