# cmake -DNM=... -DIMPORT_LIBRARY=... -DDLL=... -DDEF=... -P ImportDef.cmake
# Writes a module-definition file that names every function of an import
# library (its __imp_ symbols), for dlltool to make the delay-import form.
execute_process(COMMAND ${NM} ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" entries "${symbols}")
set(names)
foreach(entry ${entries})
  string(REPLACE " I __imp_" "" name "${entry}")
  list(APPEND names ${name})
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
if(NOT names)
  message(FATAL_ERROR "${IMPORT_LIBRARY} names no functions")
endif()
list(JOIN names "\n" lines)
get_filename_component(folder ${DEF} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${lines}\n")
