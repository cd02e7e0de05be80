# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686):
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# The Brinecore DLL and brinecore-dump only. Nothing here runs 32-bit Windows
# programs, so the tests only inspect what was built.
set(KELVANE_MINGW i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The burst demodulator's vector code passes vectors between its own
# functions; without SSE in the 32-bit ABI GCC notes that such calls differ
# from other compilers'. Nothing outside the program calls them.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
