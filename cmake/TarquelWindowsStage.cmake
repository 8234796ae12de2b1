cmake_minimum_required(VERSION 3.25)
# Run by the windows_package target (cmake -P): stages the program folder
# for Windows with the DLLs and Qt plugins it needs, and writes the file
# lists the installer script includes.
#
#   -DPROGRAM_DIR=  the built program folder (Tarquel.exe, evc.exe, ...)
#   -DSTAGE_DIR=    the folder to fill; emptied first
#   -DDLL_DIRS=     folders the non-system DLLs are taken from (;-list)
#   -DQT_PLUGIN_DIR= the kit's Qt plugins folder
#   -DOBJDUMP=      the cross objdump
#   -DSTRIP=        the cross strip: the package's binaries lose their symbol
#                   tables and debug information (the build tree's keep theirs)
#   -DLIST_DIR=     where install.nsh and uninstall.nsh are written; empty:
#                   the program folder itself is completed in place (its
#                   DLLs and plugins added, nothing removed), so that it
#                   runs from the build tree
#
# A DLL found in none of DLL_DIRS is the system's own (kernel32, user32,
# ...) and is not copied.

if(LIST_DIR)
  file(REMOVE_RECURSE "${STAGE_DIR}")
endif()
file(MAKE_DIRECTORY "${STAGE_DIR}/Config")

set(program_files Tarquel.exe evc.exe revc.exe tarquel-preview.exe Res.dll Form.dll Help.html Help.chm)
set(staged)
foreach(name IN LISTS program_files)
  if(EXISTS "${PROGRAM_DIR}/${name}")
    if(LIST_DIR)
      file(COPY "${PROGRAM_DIR}/${name}" DESTINATION "${STAGE_DIR}")
    endif()
    list(APPEND staged "${name}")
  endif()
endforeach()
foreach(required Tarquel.exe evc.exe revc.exe tarquel-preview.exe Res.dll Form.dll)
  if(NOT required IN_LIST staged)
    message(FATAL_ERROR "The program folder has no ${required}")
  endif()
endforeach()

# The plugins the windows need: the Windows platform (the style, Fusion, is
# Qt Widgets' own).
set(plugins platforms/qwindows.dll)
foreach(plugin IN LISTS plugins)
  if(EXISTS "${QT_PLUGIN_DIR}/${plugin}")
    get_filename_component(folder "${plugin}" DIRECTORY)
    file(COPY "${QT_PLUGIN_DIR}/${plugin}" DESTINATION "${STAGE_DIR}/${folder}")
    list(APPEND staged "${plugin}")
  elseif(plugin STREQUAL "platforms/qwindows.dll")
    message(FATAL_ERROR "No Qt platform plugin at ${QT_PLUGIN_DIR}/${plugin}")
  endif()
endforeach()

# Every binary's imports, followed until no new DLL turns up.
set(pending ${staged})
list(FILTER pending INCLUDE REGEX "\\.(exe|dll)$")
set(seen)
while(pending)
  list(POP_FRONT pending binary)
  execute_process(COMMAND "${OBJDUMP}" -p "${STAGE_DIR}/${binary}"
    OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump could not read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" key)
    if(key IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${key}")
    foreach(dir IN LISTS DLL_DIRS)
      if(EXISTS "${dir}/${dll}")
        file(COPY "${dir}/${dll}" DESTINATION "${STAGE_DIR}")
        list(APPEND staged "${dll}")
        list(APPEND pending "${dll}")
        break()
      endif()
    endforeach()
  endforeach()
endwhile()

if(NOT LIST_DIR)
  return()
endif()

if(STRIP)
  foreach(name IN LISTS staged)
    if(name MATCHES "\\.(exe|dll)$")
      execute_process(COMMAND "${STRIP}" --strip-all "${STAGE_DIR}/${name}" RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "strip failed on ${name}")
      endif()
    endif()
  endforeach()
endif()

# The installer's lists: what it copies, and what its uninstaller removes.
list(SORT staged)
set(install_lines "SetOutPath \"$INSTDIR\"\n")
set(uninstall_lines "")
set(folders)
foreach(name IN LISTS staged)
  get_filename_component(folder "${name}" DIRECTORY)
  string(REPLACE "/" "\\" windows_name "${name}")
  string(REPLACE "/" "\\" windows_folder "${folder}")
  if(folder)
    string(APPEND install_lines "SetOutPath \"$INSTDIR\\${windows_folder}\"\n")
    list(APPEND folders "${windows_folder}")
  else()
    string(APPEND install_lines "SetOutPath \"$INSTDIR\"\n")
  endif()
  string(APPEND install_lines "File \"${STAGE_DIR}/${name}\"\n")
  string(APPEND uninstall_lines "Delete \"$INSTDIR\\${windows_name}\"\n")
endforeach()
string(APPEND install_lines "SetOutPath \"$INSTDIR\"\n")
list(REMOVE_DUPLICATES folders)
foreach(folder IN LISTS folders)
  string(APPEND uninstall_lines "RMDir \"$INSTDIR\\${folder}\"\n")
endforeach()
file(WRITE "${LIST_DIR}/install.nsh" "${install_lines}")
file(WRITE "${LIST_DIR}/uninstall.nsh" "${uninstall_lines}")
list(LENGTH staged count)
message(STATUS "Staged ${count} files in ${STAGE_DIR}")
