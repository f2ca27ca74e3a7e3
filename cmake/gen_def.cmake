# Joins the module-definition file DEF and EXTRA (the names beyond it) into
# one module-definition file OUT for the Windows linker and dlltool.
include(${CMAKE_CURRENT_LIST_DIR}/read_def.cmake)
kro_read_def_entries(entries ${DEF} ${EXTRA})
set(body "")
foreach(entry IN LISTS entries)
  string(APPEND body "    ${entry}\n")
endforeach()
kro_write_if_changed("${OUT}" "LIBRARY ${LIBRARY}\nEXPORTS\n${body}")
