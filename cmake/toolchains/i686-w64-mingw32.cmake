# Cross-compiles for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/i686-w64-mingw32.cmake
set(KORVALEX_MINGW_TRIPLE i686-w64-mingw32)
# SSE2 arithmetic instead of the x87 unit: single-precision results then round exactly as
# on 64-bit Windows and Linux.
set(KORVALEX_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
