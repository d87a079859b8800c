# Cross-compiles the Windows program with MinGW-w64 and runs what it builds under Wine.
# The posix thread variant of the compiler: the win32 one lacks the threading headers that
# GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in statically, so the .exe runs without any MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
