# Cross-build for 64-bit Windows with mingw-w64 (Debian g++-mingw-w64-x86-64).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The -posix compilers carry winpthreads, which std::thread and std::mutex need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOVRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOVRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's runtime statically, so the .exe runs under Wine (or on a bare
# Windows machine) without copying libstdc++, libgcc and libwinpthread DLLs next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test executables run under Wine; test discovery waits until ctest runs, so building
# needs no Wine prefix.
find_program(TOVRA_WINE NAMES wine wine64)
if(TOVRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRA_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# GoogleTest has no mingw package: build it from Debian's sources right after project().
set(CMAKE_PROJECT_tovra_rf_tool_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/mingw-googletest.cmake)
