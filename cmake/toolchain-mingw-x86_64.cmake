# Cross build for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64-posix; `./build.sh windows` does this):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
# The Brinecore DLL, brinecore-dump and the receiving station with
# kelvane-decode; the station's threads need the compilers with POSIX
# threads. The tests run the programs under wine64 when it is installed.
set(KELVANE_MINGW x86_64-w64-mingw32)
set(KELVANE_MINGW_THREADS posix)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(KELVANE_WINE64 NAMES wine64 PATHS /usr/lib/wine)
if(KELVANE_WINE64)
    # A prefix of the build's own, never the user's; the first run creates it.
    set(CMAKE_CROSSCOMPILING_EMULATOR
        env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all ${KELVANE_WINE64})
endif()
