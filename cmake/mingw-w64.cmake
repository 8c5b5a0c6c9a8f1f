# Cross-compiles for 64-bit Windows with the MinGW-w64 compiler whose threads
# follow the POSIX model (it has std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZUL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZUL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZUL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZUL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZUL_MINGW_PREFIX})
# Programs come from the build machine; libraries, headers and packages from
# the target only. CLI11 (header-only) comes through cmake/mingw.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw CACHE PATH "CLI11 for the cross build")
# A program that runs without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
