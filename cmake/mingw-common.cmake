# What both MinGW-w64 cross builds share; the toolchain files set the
# target's triplet (KELVANE_MINGW), processor and, where the build needs
# std::thread, the compilers' thread model (KELVANE_MINGW_THREADS: posix)
# first.
set(CMAKE_SYSTEM_NAME Windows)
if(KELVANE_MINGW_THREADS)
    set(CMAKE_C_COMPILER ${KELVANE_MINGW}-gcc-${KELVANE_MINGW_THREADS})
    set(CMAKE_CXX_COMPILER ${KELVANE_MINGW}-g++-${KELVANE_MINGW_THREADS})
else()
    set(CMAKE_C_COMPILER ${KELVANE_MINGW}-gcc)
    set(CMAKE_CXX_COMPILER ${KELVANE_MINGW}-g++)
endif()
set(CMAKE_RC_COMPILER ${KELVANE_MINGW}-windres)
set(CMAKE_DLLTOOL ${KELVANE_MINGW}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libgcc, libstdc++, winpthread) linked in, so that the
# DLL and the programs need nothing beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
