# Shared part of the mingw-w64 toolchain files; expects KORVALEX_MINGW_TRIPLE (and
# optionally KORVALEX_MINGW_ARCH_FLAGS) to be set by the file that includes it.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${KORVALEX_MINGW_TRIPLE}")

# The posix-threads flavour of the compilers: its C++ runtime has std::thread and
# std::mutex (on winpthreads, linked in statically below).
find_program(KORVALEX_MINGW_CC NAMES ${KORVALEX_MINGW_TRIPLE}-gcc-posix ${KORVALEX_MINGW_TRIPLE}-gcc REQUIRED)
find_program(KORVALEX_MINGW_CXX NAMES ${KORVALEX_MINGW_TRIPLE}-g++-posix ${KORVALEX_MINGW_TRIPLE}-g++ REQUIRED)
find_program(KORVALEX_MINGW_RC NAMES ${KORVALEX_MINGW_TRIPLE}-windres)
set(CMAKE_C_COMPILER ${KORVALEX_MINGW_CC})
set(CMAKE_CXX_COMPILER ${KORVALEX_MINGW_CXX})
if(KORVALEX_MINGW_RC)
  set(CMAKE_RC_COMPILER ${KORVALEX_MINGW_RC})
endif()
# FFTW is configured for this triple (see cmake/Fftw.cmake).
set(CMAKE_C_COMPILER_TARGET ${KORVALEX_MINGW_TRIPLE})

set(CMAKE_FIND_ROOT_PATH /usr/${KORVALEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# M_PI and friends: the mingw headers define them in strict ISO mode only on request.
set(CMAKE_C_FLAGS_INIT "${KORVALEX_MINGW_ARCH_FLAGS} -D_USE_MATH_DEFINES")
set(CMAKE_CXX_FLAGS_INIT "${KORVALEX_MINGW_ARCH_FLAGS} -D_USE_MATH_DEFINES")

# libgcc, libstdc++ and winpthreads go into every executable and DLL, so that they need
# nothing but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
