# The Windows program folder, a zip of it and its installer.
#
# The program folder in the build tree gets the DLLs and Qt plugins it
# needs as it is built, so that it runs where it is. The windows_package
# target stages a clean copy (no log or settings of a test run), zips it
# and, where Debian's nsis is installed, builds the installer:
#   cmake --build build-windows-x64 --target windows_package
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(windows_flavour win64)
else()
  set(windows_flavour win32)
endif()

# Qt's folders (QT6_INSTALL_PREFIX and the rest) in this scope.
find_package(Qt6 REQUIRED COMPONENTS Core)

# Where the DLLs come from: the kit's Qt and libraries, then the compiler's
# own runtime (a Qt built with it may link it as DLLs).
set(dll_dirs "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
if(TARQUEL_WINDOWS_SDK_DIR)
  list(APPEND dll_dirs "${TARQUEL_WINDOWS_SDK_DIR}/bin")
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE runtime_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${runtime_dll}")
  get_filename_component(runtime_dir "${runtime_dll}" DIRECTORY)
  list(APPEND dll_dirs "${runtime_dir}")
endif()
list(APPEND dll_dirs "/usr/${TARQUEL_MINGW_TRIPLE}/lib")
find_program(TARQUEL_OBJDUMP NAMES ${TARQUEL_MINGW_TRIPLE}-objdump objdump REQUIRED)
find_program(TARQUEL_STRIP NAMES ${TARQUEL_MINGW_TRIPLE}-strip REQUIRED)
set(qt_plugin_dir "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")
set(stage_script "${PROJECT_SOURCE_DIR}/cmake/TarquelWindowsStage.cmake")

set(program_targets tarquel_exe evc_exe revc_exe tarquel_preview_exe res_dll form_dll)
add_custom_target(windows_runtime ALL
  COMMAND ${CMAKE_COMMAND} "-DPROGRAM_DIR=${TARQUEL_PROGRAM_DIR}" "-DSTAGE_DIR=${TARQUEL_PROGRAM_DIR}"
          "-DDLL_DIRS=${dll_dirs}" "-DQT_PLUGIN_DIR=${qt_plugin_dir}" "-DOBJDUMP=${TARQUEL_OBJDUMP}"
          -P "${stage_script}"
  DEPENDS ${program_targets} "${stage_script}"
  COMMENT "Adding the DLLs and plugins the program folder needs" VERBATIM)

set(package_root "${PROJECT_BINARY_DIR}/windows-package")
set(stage_dir "${package_root}/Tarquel")
set(zip_file "${PROJECT_BINARY_DIR}/Tarquel-${PROJECT_VERSION}-${windows_flavour}.zip")
set(TARQUEL_INSTALLER_FILE "${PROJECT_BINARY_DIR}/Tarquel-${PROJECT_VERSION}-${windows_flavour}-setup.exe")
set(TARQUEL_INSTALL_LIST "${package_root}/install.nsh")
set(TARQUEL_UNINSTALL_LIST "${package_root}/uninstall.nsh")
configure_file("${PROJECT_SOURCE_DIR}/Code/companions/installer/Tarquel.nsi.in" "${package_root}/Tarquel.nsi" @ONLY)

set(package_commands
  COMMAND ${CMAKE_COMMAND} "-DPROGRAM_DIR=${TARQUEL_PROGRAM_DIR}" "-DSTAGE_DIR=${stage_dir}"
          "-DDLL_DIRS=${dll_dirs}" "-DQT_PLUGIN_DIR=${qt_plugin_dir}" "-DOBJDUMP=${TARQUEL_OBJDUMP}"
          "-DLIST_DIR=${package_root}" "-DSTRIP=${TARQUEL_STRIP}" -P "${stage_script}"
  COMMAND ${CMAKE_COMMAND} -E rm -f "${zip_file}"
  COMMAND ${CMAKE_COMMAND} -E chdir "${package_root}" ${CMAKE_COMMAND} -E tar cf "${zip_file}" --format=zip Tarquel)
find_program(TARQUEL_MAKENSIS makensis)
if(TARQUEL_MAKENSIS)
  list(APPEND package_commands COMMAND "${TARQUEL_MAKENSIS}" -V2 "${package_root}/Tarquel.nsi")
else()
  message(STATUS "No makensis (Debian's nsis): windows_package makes the zip alone")
endif()
add_custom_target(windows_package ${package_commands}
  DEPENDS windows_runtime
  COMMENT "The Windows program folder, its zip and its installer" VERBATIM)
