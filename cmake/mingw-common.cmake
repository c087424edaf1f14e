# What both MinGW-w64 cross toolchains share; the including file sets
# TAVREL_MINGW_TRIPLE and the processor. The win32 thread model: the program
# has one thread and needs no libwinpthread, whose kernel32 imports (vectored
# exception handlers, GetTickCount64, TryEnterCriticalSection ...) are
# missing on Windows 95 to 2003. GoogleTest brings its own Win32 mutex, so
# the tests build with the same compilers as the program they test (no
# std::thread or std::mutex there either). -static keeps libgcc and
# libstdc++ inside the executables.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TAVREL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
find_program(WINE_PROGRAM wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
