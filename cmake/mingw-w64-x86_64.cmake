# Cross-compiles for 64-bit Windows with the mingw-w64 GCC (posix threads):
#
#   cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=path/to/moltrix/cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH=<the Windows prefix: SFML and its dependencies, the Moltrix package>
#
# Programs link statically (libstdc++, libgcc and winpthreads included), so they need no
# DLL beside them. Libraries and packages are looked for only in the mingw-w64 system
# folder and the prefixes given, never among the host's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MOLTRIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MOLTRIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MOLTRIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MOLTRIX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MOLTRIX_MINGW_TRIPLE})
# The prefixes given are Windows folders too: search them as they are.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config, which some find modules ask first, must not answer with the host's libraries.
set(ENV{PKG_CONFIG_LIBDIR} "")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
