# Cross-compiling the Windows (x86-64) programs with mingw-w64 on Linux:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
# The POSIX-threads flavour of the compilers is used (std::thread, std::atomic_ref); everything is
# linked statically, so the programs need no compiler run-time DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32 CACHE STRING "Target triple of the mingw-w64 compilers")

find_program(MINGW_CXX NAMES ${MINGW_TRIPLE}-g++-posix ${MINGW_TRIPLE}-g++ REQUIRED)
find_program(MINGW_CC NAMES ${MINGW_TRIPLE}-gcc-posix ${MINGW_TRIPLE}-gcc)
find_program(MINGW_WINDRES NAMES ${MINGW_TRIPLE}-windres)
set(CMAKE_CXX_COMPILER ${MINGW_CXX})
if(MINGW_CC)
  set(CMAKE_C_COMPILER ${MINGW_CC})
endif()
if(MINGW_WINDRES)
  set(CMAKE_RC_COMPILER ${MINGW_WINDRES})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
