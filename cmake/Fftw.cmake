# FFTW 3, single precision, as a static library linked into the plug-in file, so that the
# plug-in depends on no shared FFTW at run time. Provides the imported target
# Korvalex::fftw3f (static library plus include folder).
#
# Where the library comes from, first match wins:
#   1. KORVALEX_FFTW_ROOT: a folder holding include/fftw3.h and lib/libfftw3f.a;
#   2. ${CMAKE_BINARY_DIR}/third_party, built there by an earlier configure run;
#   3. native builds only: the system's libfftw3f.a, if it links into a shared object
#      (Debian's is position-independent);
#   4. otherwise scripts/build-fftw.sh builds it from Debian's source package into
#      ${CMAKE_BINARY_DIR}/third_party now, at configure time (a few minutes, once).
#      Cross builds pass the compiler's triple (KORVALEX_FFTW_HOST) as --host.

if(TARGET Korvalex::fftw3f)
  return()
endif()

set(KORVALEX_FFTW_ROOT "" CACHE PATH "Folder with include/fftw3.h and lib/libfftw3f.a (static, PIC, single precision)")

set(_kx_fftw_host_default "")
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_C_COMPILER_TARGET)
    set(_kx_fftw_host_default "${CMAKE_C_COMPILER_TARGET}")
  else()
    get_filename_component(_kx_cc_name "${CMAKE_C_COMPILER}" NAME)
    string(REGEX REPLACE "-(gcc|cc|clang)(-[0-9.]+)?(\\.exe)?$" "" _kx_fftw_host_default "${_kx_cc_name}")
  endif()
endif()
set(KORVALEX_FFTW_HOST "${_kx_fftw_host_default}" CACHE STRING "Host triple for building FFTW (empty: native)")

set(_kx_fftw_third_party "${CMAKE_BINARY_DIR}/third_party")

function(_kx_fftw_usable prefix out)
  if(EXISTS "${prefix}/include/fftw3.h" AND EXISTS "${prefix}/lib/libfftw3f.a")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(_kx_fftw_lib "")
set(_kx_fftw_inc "")

if(KORVALEX_FFTW_ROOT)
  _kx_fftw_usable("${KORVALEX_FFTW_ROOT}" _kx_ok)
  if(NOT _kx_ok)
    message(FATAL_ERROR "KORVALEX_FFTW_ROOT=${KORVALEX_FFTW_ROOT} has no include/fftw3.h and lib/libfftw3f.a")
  endif()
  set(_kx_fftw_lib "${KORVALEX_FFTW_ROOT}/lib/libfftw3f.a")
  set(_kx_fftw_inc "${KORVALEX_FFTW_ROOT}/include")
endif()

if(NOT _kx_fftw_lib)
  _kx_fftw_usable("${_kx_fftw_third_party}" _kx_ok)
  if(_kx_ok)
    set(_kx_fftw_lib "${_kx_fftw_third_party}/lib/libfftw3f.a")
    set(_kx_fftw_inc "${_kx_fftw_third_party}/include")
  endif()
endif()

if(NOT _kx_fftw_lib AND NOT CMAKE_CROSSCOMPILING AND NOT KORVALEX_FFTW_HOST)
  find_path(KORVALEX_SYSTEM_FFTW_INCLUDE_DIR fftw3.h)
  find_library(KORVALEX_SYSTEM_FFTW3F_STATIC NAMES libfftw3f.a)
  if(KORVALEX_SYSTEM_FFTW_INCLUDE_DIR AND KORVALEX_SYSTEM_FFTW3F_STATIC)
    # Position-independent? Link a probe shared object against it.
    set(_kx_probe_dir "${CMAKE_BINARY_DIR}/CMakeFiles/fftw-pic-probe")
    file(MAKE_DIRECTORY "${_kx_probe_dir}")
    file(WRITE "${_kx_probe_dir}/probe.c"
      "#include <fftw3.h>\nint korvalex_probe(void) {\n"
      "  float a[16] = {0}, b[16];\n"
      "  fftwf_plan p = fftwf_plan_r2r_1d(16, a, b, FFTW_R2HC, FFTW_ESTIMATE);\n"
      "  fftwf_execute(p); fftwf_destroy_plan(p); return 0;\n}\n")
    execute_process(
      COMMAND "${CMAKE_C_COMPILER}" -shared -fPIC -I "${KORVALEX_SYSTEM_FFTW_INCLUDE_DIR}"
              "${_kx_probe_dir}/probe.c" "${KORVALEX_SYSTEM_FFTW3F_STATIC}" -lm
              -o "${_kx_probe_dir}/probe.so"
      RESULT_VARIABLE _kx_probe_result OUTPUT_QUIET ERROR_QUIET)
    if(_kx_probe_result EQUAL 0)
      set(_kx_fftw_lib "${KORVALEX_SYSTEM_FFTW3F_STATIC}")
      set(_kx_fftw_inc "${KORVALEX_SYSTEM_FFTW_INCLUDE_DIR}")
    else()
      message(STATUS "FFTW: ${KORVALEX_SYSTEM_FFTW3F_STATIC} is not position-independent")
    endif()
  endif()
endif()

if(NOT _kx_fftw_lib)
  set(_kx_fftw_args "")
  if(KORVALEX_FFTW_HOST)
    list(APPEND _kx_fftw_args --host "${KORVALEX_FFTW_HOST}")
  endif()
  message(STATUS "FFTW: building a static library into ${_kx_fftw_third_party}")
  execute_process(
    COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/build-fftw.sh" ${_kx_fftw_args} "${_kx_fftw_third_party}"
    RESULT_VARIABLE _kx_build_result
    OUTPUT_FILE "${CMAKE_BINARY_DIR}/fftw-build.log"
    ERROR_FILE "${CMAKE_BINARY_DIR}/fftw-build.log")
  _kx_fftw_usable("${_kx_fftw_third_party}" _kx_ok)
  if(NOT _kx_build_result EQUAL 0 OR NOT _kx_ok)
    message(FATAL_ERROR "FFTW: scripts/build-fftw.sh failed; see ${CMAKE_BINARY_DIR}/fftw-build.log")
  endif()
  set(_kx_fftw_lib "${_kx_fftw_third_party}/lib/libfftw3f.a")
  set(_kx_fftw_inc "${_kx_fftw_third_party}/include")
endif()

message(STATUS "FFTW: ${_kx_fftw_lib}")
add_library(Korvalex::fftw3f STATIC IMPORTED GLOBAL)
set_target_properties(Korvalex::fftw3f PROPERTIES
  IMPORTED_LOCATION "${_kx_fftw_lib}"
  INTERFACE_INCLUDE_DIRECTORIES "${_kx_fftw_inc}")
if(NOT WIN32)
  set_property(TARGET Korvalex::fftw3f APPEND PROPERTY INTERFACE_LINK_LIBRARIES m)
endif()
# Keep FFTW's symbols out of the plug-in's exported symbol table.
if(NOT APPLE)
  set_property(TARGET Korvalex::fftw3f APPEND PROPERTY INTERFACE_LINK_OPTIONS "LINKER:--exclude-libs,libfftw3f.a")
endif()
