# Builds for Windows with Debian's MinGW-w64 cross compiler: a native x86-64
# program against the MinGW-w64 headers and the Microsoft C runtime. Also
# used for libjpeg, so that both are made by the same compiler.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVRO_MINGW_TRIPLET x86_64-w64-mingw32)
# The win32 thread model: the program starts no threads, and its runtime
# needs no winpthread.
set(CMAKE_C_COMPILER   ${TAVRO_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TAVRO_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER  ${TAVRO_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
