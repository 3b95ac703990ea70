# cmake -DNM=.. -DDLLTOOL=.. -DIMPORT_LIB=libX.a -DDLL=X.dll -DOUTPUT=libX_delay.a -P make_delay_import.cmake
# Lists the functions of an import library in a module definition file and
# has dlltool make a delay-import library of them. A function has a code thunk
# (T) beside its __imp_ pointer; an export of data has only the pointer, and is
# left out: through a delay-load stub it would read code, not the data.
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
string(REGEX MATCHALL "[0-9a-fA-F]+ T [A-Za-z0-9_@?$]+" thunks "${symbols}")
set(names)
foreach(line IN LISTS thunks)
  string(REGEX REPLACE ".* T " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no functions found in ${IMPORT_LIB}")
endif()
list(JOIN names "\n" exports)
get_filename_component(directory ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${directory})
set(definition ${OUTPUT}.def)
file(WRITE ${definition} "LIBRARY ${DLL}\nEXPORTS\n${exports}\n")
execute_process(COMMAND ${DLLTOOL} --def ${definition} --dllname ${DLL} --output-delaylib ${OUTPUT}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} failed for ${DLL}")
endif()
