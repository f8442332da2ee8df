# Cross-building the Windows programs on Debian with mingw-w64:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The -posix compilers are the ones whose libstdc++ has std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARNOX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARNOX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNOX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_ASM_COMPILER ${VARNOX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_RC_COMPILER ${VARNOX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs must run on a bare Windows PC: no MinGW runtime DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 7 API level (CancelIoEx); windows.h without its min/max macros.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DNOMINMAX -DWIN32_LEAN_AND_MEAN")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DNOMINMAX -DWIN32_LEAN_AND_MEAN")
