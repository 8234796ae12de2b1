# The Windows dependency kit that tools/windows-sdk.sh builds: FFmpeg, LAME
# and libjpeg-turbo through their pkg-config files, Qt through
# find_package, the host's Qt of the same version running moc, rcc and uic.
#
# TARQUEL_WINDOWS_SDK (a cache variable or the environment) names the kit's
# folder. Left empty, the kit the script builds for this architecture is
# used once it is complete; with no kit the build sees only the compiler's
# own libraries, which is enough for the Qt-free core.
set(TARQUEL_WINDOWS_SDK "$ENV{TARQUEL_WINDOWS_SDK}" CACHE PATH
  "The Windows dependency kit of tools/windows-sdk.sh; empty: the script's kit for this architecture")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARQUEL_WINDOWS_SDK)

set(_tarquel_kit "${TARQUEL_WINDOWS_SDK}")
if(NOT _tarquel_kit)
  string(REGEX REPLACE "-.*" "" _tarquel_kit_arch "${TARQUEL_MINGW_TRIPLE}")
  execute_process(
    COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/../tools/windows-sdk.sh" --print-prefix ${_tarquel_kit_arch}
    OUTPUT_VARIABLE _tarquel_kit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT EXISTS "${_tarquel_kit}/.complete")
    set(_tarquel_kit "")
  endif()
elseif(NOT EXISTS "${_tarquel_kit}/.complete")
  message(FATAL_ERROR "TARQUEL_WINDOWS_SDK=${_tarquel_kit} is no complete kit: build it with "
    "tools/windows-sdk.sh")
endif()

if(_tarquel_kit)
  if(NOT _tarquel_kit_reported)
    message(STATUS "Windows dependency kit: ${_tarquel_kit}")
    set(_tarquel_kit_reported ON)
  endif()
  list(APPEND CMAKE_FIND_ROOT_PATH "${_tarquel_kit}")
  list(APPEND CMAKE_PREFIX_PATH "${_tarquel_kit}")
  # The kit's pkg-config files alone: none of the host's.
  set(ENV{PKG_CONFIG_LIBDIR} "${_tarquel_kit}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  # Qt's tools that run at build time come from the host's Qt.
  set(QT_HOST_PATH /usr)
  file(GLOB _tarquel_host_qt_info LIST_DIRECTORIES true /usr/lib/*/cmake/Qt6HostInfo)
  if(_tarquel_host_qt_info)
    list(GET _tarquel_host_qt_info 0 _tarquel_host_qt_info)
    get_filename_component(QT_HOST_PATH_CMAKE_DIR "${_tarquel_host_qt_info}" DIRECTORY)
  endif()
  set(TARQUEL_WINDOWS_SDK_DIR "${_tarquel_kit}")
endif()

# A kit in another folder (a new version of the script builds a new one):
# what pkg-config and find_package found in the old kit is looked up again.
if(DEFINED CACHE{TARQUEL_WINDOWS_SDK_IN_USE}
   AND NOT "$CACHE{TARQUEL_WINDOWS_SDK_IN_USE}" STREQUAL "${_tarquel_kit}")
  get_cmake_property(_tarquel_cached CACHE_VARIABLES)
  foreach(_tarquel_var IN LISTS _tarquel_cached)
    if(_tarquel_var MATCHES "^(__pkg_config_checked_|pkgcfg_lib_)|^Qt6[A-Za-z]*_DIR$")
      unset(${_tarquel_var} CACHE)
    endif()
  endforeach()
endif()
set(TARQUEL_WINDOWS_SDK_IN_USE "${_tarquel_kit}" CACHE INTERNAL "The kit the cache's look-ups were made in")
