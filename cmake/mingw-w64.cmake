# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DBRUSK_HOST_EMBED=/path/to/brusk-embed
# scripts/build-windows does both steps.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRUSK_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: std::thread needs it with this compiler.
set(CMAKE_C_COMPILER ${BRUSK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRUSK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRUSK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRUSK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtimes (libgcc, libstdc++, winpthread) go into the executable, so that it
# needs only the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
