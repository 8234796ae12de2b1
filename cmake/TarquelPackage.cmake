# The Debian package: the program folder under /opt/tarquel, the tarquel
# command, the menu entry, the icon, the AppStream metadata and the Debian
# documents. `cmake --build --preset package --target package` writes
# tarquel_<version>_amd64.deb; the portable folder build/Tarquel/ is
# untouched by all of this.
set(desktop_src "${PROJECT_SOURCE_DIR}/Code/companions/desktop")
set(package_work "${PROJECT_BINARY_DIR}/package")
set(program_dest "opt/tarquel")

install(TARGETS tarquel_exe evc_exe revc_exe tarquel_preview_exe RUNTIME DESTINATION "${program_dest}")
install(TARGETS res_dll form_dll LIBRARY DESTINATION "${program_dest}")
install(FILES "${TARQUEL_PROGRAM_DIR}/Help.html" DESTINATION "${program_dest}")
if(TARGET help_chm)
  install(FILES "${TARQUEL_PROGRAM_DIR}/Help.chm" DESTINATION "${program_dest}")
endif()

# The command on the PATH: an absolute link, as it crosses top-level folders.
file(MAKE_DIRECTORY "${package_work}")
file(CREATE_LINK "/${program_dest}/Tarquel" "${package_work}/tarquel" SYMBOLIC)
install(FILES "${package_work}/tarquel" DESTINATION "usr/bin")

install(FILES "${desktop_src}/io.github.tarquel.Tarquel.desktop" DESTINATION "usr/share/applications")
install(FILES "${desktop_src}/io.github.tarquel.Tarquel.metainfo.xml" DESTINATION "usr/share/metainfo")
foreach(size IN LISTS TARQUEL_ICON_SIZES)
  install(FILES "${TARQUEL_ICON_DIR}/tarquel-${size}.png"
          DESTINATION "usr/share/icons/hicolor/${size}x${size}/apps" RENAME "tarquel.png")
endforeach()
install(FILES "${desktop_src}/tarquel.svg" DESTINATION "usr/share/icons/hicolor/scalable/apps")

# Debian's documents: compressed reproducibly (no name or time stamp).
configure_file("${desktop_src}/changelog.in" "${package_work}/sources/changelog" @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${package_work}/changelog.gz" "${package_work}/tarquel.1.gz"
  COMMAND ${CMAKE_COMMAND} -E copy "${package_work}/sources/changelog" "${package_work}/changelog"
  COMMAND ${GZIP} -9nf "${package_work}/changelog"
  COMMAND ${CMAKE_COMMAND} -E copy "${desktop_src}/tarquel.1" "${package_work}/tarquel.1"
  COMMAND ${GZIP} -9nf "${package_work}/tarquel.1"
  DEPENDS "${package_work}/sources/changelog" "${desktop_src}/tarquel.1"
  COMMENT "Compressing the package's documents" VERBATIM)
add_custom_target(tarquel_package_documents ALL DEPENDS "${package_work}/changelog.gz" "${package_work}/tarquel.1.gz")
install(FILES "${package_work}/changelog.gz" "${desktop_src}/copyright" DESTINATION "usr/share/doc/tarquel")
install(FILES "${package_work}/tarquel.1.gz" DESTINATION "usr/share/man/man1")
install(FILES "${desktop_src}/lintian-overrides" DESTINATION "usr/share/lintian/overrides" RENAME "tarquel")

# The toolchain's own start files carry a compiler note (.comment) that the
# binaries need not: taken out of the installed copies.
find_program(OBJCOPY NAMES objcopy)
if(OBJCOPY)
  install(CODE "
    foreach(binary Tarquel evc.exe revc.exe tarquel-preview Res.dll Form.dll)
      execute_process(COMMAND \"${OBJCOPY}\" --remove-section=.comment
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${program_dest}/\${binary}\")
    endforeach()")
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarquel")
set(CPACK_PACKAGE_VENDOR "Brenmoor Software")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter for handheld game consoles and music players")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarquel converts a list of media files in one go: MPEG-4 video for a handheld\n"
  "game console, or audio only as AAC, M4A or MP3. A segment of each file can be\n"
  "cut out by start and end time, with a preview player, and quality presets or\n"
  "named profiles set the encoder options.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brenmoor Software <support@tarquel.example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarquel.example.com/")
# The runtime dependencies come from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program calls on but does not link: the desktop's opener for the
# help, the links and the output folder, and Qt's platform plugin for a
# Wayland session.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
include(CPack)
