# tarquel_add_version_block(TARGET FILE_VERSION 2.0.0.0 LANGUAGE 0409 CODEPAGE 04E4)
# gives an executable its version block, which GetAppVersion reads back.
function(tarquel_add_version_block target)
  cmake_parse_arguments(ARG "" "FILE_VERSION;LANGUAGE;CODEPAGE" "" ${ARGN})
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.c")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND tarquel_make_version_block "${out}" ${ARG_FILE_VERSION} ${ARG_LANGUAGE} ${ARG_CODEPAGE}
    DEPENDS tarquel_make_version_block
    COMMENT "Version block ${ARG_FILE_VERSION} for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()
