# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (GCC, posix
# threads: std::thread and std::mutex need them). scripts/windows hands it to
# CMake for the dependencies it builds and for the project itself.
#
# DEMO_WINDOWS_DEPS (a cache variable or the environment variable of the same
# name) is the prefix the dependencies were installed into: their headers,
# static libraries and pkg-config files are looked up there and in the
# compiler's own tree, never on the build machine.
#
# Everything is linked statically, the compiler's runtime (libgcc, libstdc++,
# winpthread) included: the programs then need no DLL beside them but those
# every Windows has (opengl32, glu32, user32, ...).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DEMO_WINDOWS_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${DEMO_WINDOWS_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DEMO_WINDOWS_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DEMO_WINDOWS_TRIPLET}-windres)
set(CMAKE_AR ${DEMO_WINDOWS_TRIPLET}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${DEMO_WINDOWS_TRIPLET}-ranlib CACHE FILEPATH "archive indexer")
set(CMAKE_STRIP ${DEMO_WINDOWS_TRIPLET}-strip CACHE FILEPATH "symbol stripper")

if(NOT DEMO_WINDOWS_DEPS AND DEFINED ENV{DEMO_WINDOWS_DEPS})
  set(DEMO_WINDOWS_DEPS $ENV{DEMO_WINDOWS_DEPS})
endif()
# try_compile projects are configured with this file too: hand them the prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DEMO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${DEMO_WINDOWS_TRIPLET} ${DEMO_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only .a archives: a stray import library would make a program need its DLL.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config reads only the dependencies' files, and with their private
# libraries: a static link needs everything they use.
if(DEMO_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${DEMO_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(PKG_CONFIG_ARGN --static CACHE STRING "arguments for every pkg-config call")
