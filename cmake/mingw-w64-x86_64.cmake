# Cross-compiles for 64-bit Windows with MinGW-w64 (the posix thread model of Debian's
# g++-mingw-w64-x86-64-posix).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PFE_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${PFE_MINGW_PREFIX}-g++-posix)
find_program(CMAKE_RC_COMPILER NAMES ${PFE_MINGW_PREFIX}-windres)
set(PFE_WINDRES ${CMAKE_RC_COMPILER})
find_program(PFE_DLLTOOL NAMES ${PFE_MINGW_PREFIX}-dlltool)
find_program(PFE_OBJDUMP NAMES ${PFE_MINGW_PREFIX}-objdump)
if(NOT CMAKE_CXX_COMPILER OR NOT PFE_DLLTOOL OR NOT PFE_OBJDUMP OR NOT CMAKE_RC_COMPILER)
  message(FATAL_ERROR
    "The MinGW-w64 cross toolchain is missing: install the Debian package "
    "g++-mingw-w64-x86-64-posix (tools/setup.sh g++-mingw-w64-x86-64-posix).")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${PFE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
