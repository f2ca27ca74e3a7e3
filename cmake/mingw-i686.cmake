# Cross-builds for 32-bit Windows with Debian's MinGW-w64 (posix threads),
# tests run under Wine. KRO_WIN_DEPS names the prefix of the outside libraries
# built for Windows (scripts/windows.sh makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_DLLTOOL i686-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 ${KRO_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
if(KRO_WIN_DEPS)
  # Only the libraries built for Windows, never the host's .pc files.
  set(ENV{PKG_CONFIG_LIBDIR} ${KRO_WIN_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  list(APPEND CMAKE_PREFIX_PATH ${KRO_WIN_DEPS})
endif()
# No runtime DLLs beyond Windows' own: libgcc, libstdc++ and winpthread go
# into each module; every module shares msvcrt.dll, so FILE* crosses them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
