# Cross-builds for 32-bit Windows with Debian's mingw-w64 (the posix thread
# model: the win32 one has no std::thread). The C and C++ runtimes are linked
# statically, so the programs start under Wine or on Windows without the
# compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TARQUEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TARQUEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARQUEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARQUEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARQUEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# winpthread and libssp as well: std::thread of the posix model is built on
# the one, the stack protector's checks live in the other. Libraries (the
# companion DLLs, loaded as modules) likewise need no DLL of the compiler's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs are run (and their tests listed) under Wine where it is
# installed.
find_program(TARQUEL_WINE NAMES wine PATHS /usr/lib/wine)
if(TARQUEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARQUEL_WINE})
endif()

# The Windows dependency kit, where there is one.
include(${CMAKE_CURRENT_LIST_DIR}/windows-sdk.cmake)
