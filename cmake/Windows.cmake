# MinGW-w64 build: the DLL, its tests under Wine, the test bench.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Full static linking: otherwise the programs import the MinGW runtime DLLs
# and Wine cannot start them.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(veltra_win_common STATIC ${VELTRA_WIN_COMMON_SOURCES})
target_link_libraries(veltra_win_common PUBLIC veltra_logic ole32 oleaut32 uuid advapi32 user32)

add_library(veltra_glue STATIC ${VELTRA_GLUE_SOURCES})
target_link_libraries(veltra_glue PUBLIC veltra_win_common)

add_library(VeltraScanner SHARED src/server/DllMain.cpp src/server/VeltraScanner.def)
set_target_properties(VeltraScanner PROPERTIES PREFIX "" OUTPUT_NAME VeltraScanner)
target_link_libraries(VeltraScanner PRIVATE veltra_glue)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # stdcall exports named plainly in the .def file
  target_link_options(VeltraScanner PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
endif()

include(cmake/GTest.cmake)
include(GoogleTest)

# Every test program runs under Wine in the build tree's own prefix.
set(VELTRA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${VELTRA_WINEPREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${VELTRA_WINE})
set(VELTRA_WINE_ENV WINEPREFIX=${VELTRA_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)

# A persistent wineserver: without it each test waits ~2.5 s for Wine's
# background processes to let go of its output.
add_test(NAME wine_start COMMAND sh -c "wineserver -k >/dev/null 2>&1; mkdir -p \"$WINEPREFIX\"; wineserver -p >/dev/null 2>&1 </dev/null && ${VELTRA_WINE} cmd /c exit >/dev/null 2>&1 </dev/null; true")
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${VELTRA_WINE_ENV}")
add_test(NAME wine_stop COMMAND sh -c "wineserver -k; true")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${VELTRA_WINE_ENV}")

add_executable(logic_tests ${VELTRA_LOGIC_TESTS})
target_link_libraries(logic_tests PRIVATE veltra_logic gtest_main)

add_executable(wine_tests ${VELTRA_WINE_TESTS})
target_include_directories(wine_tests PRIVATE tests/wine)
target_link_libraries(wine_tests PRIVATE veltra_win_common gtest)
add_dependencies(wine_tests VeltraScanner)

foreach(t logic_tests wine_tests)
  gtest_add_tests(TARGET ${t} TEST_LIST ${t}_list)
  set_tests_properties(${${t}_list} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${VELTRA_WINE_ENV}" TIMEOUT 120)
endforeach()

add_executable(VeltraBench tools/VeltraBench.cpp tools/BenchKeyboard.cpp)
target_include_directories(VeltraBench PRIVATE tools)
# A console program with a wide entry point.
target_link_options(VeltraBench PRIVATE -municode)
target_link_libraries(VeltraBench PRIVATE veltra_win_common)
