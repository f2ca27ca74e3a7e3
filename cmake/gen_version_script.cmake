# Turns the module-definition file DEF, and EXTRA when given (the names beyond
# it), into a GNU ld version script: the names under EXPORTS become global,
# everything else local.
include(${CMAKE_CURRENT_LIST_DIR}/read_def.cmake)
kro_read_def_entries(entries ${DEF} ${EXTRA})
set(body "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "[ \t]+DATA$" "" name "${entry}")
  string(APPEND body "    ${name};\n")
endforeach()
kro_write_if_changed("${OUT}" "{\n  global:\n${body}  local:\n    *;\n};\n")
