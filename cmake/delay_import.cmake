# Delay-import libraries for system DLLs: a program linked against one binds
# the DLL at the first call into it instead of at start. Duomira.exe uses them
# for the window system, so a second start, which reads the registry and starts
# a process, never loads it (under Wine that alone takes about 40 ms).
#
#   duomira_delay_import_libraries(<out var> <dll name>...)
#
# sets <out var> to the libraries to link, built from mingw-w64's own import
# libraries (every function they export, no data) with dlltool.
#
# Mind: the binding stub that dlltool (binutils 2.40) makes saves the integer
# argument registers only, not XMM0-3. A delay-loaded function that takes a
# float or double argument would get garbage on its first call; call such a
# function only through an ordinary import.
function(duomira_delay_import_libraries out_var)
  set(libraries)
  foreach(dll IN LISTS ARGN)
    find_library(DUOMIRA_IMPORT_LIB_${dll} NAMES lib${dll}.a REQUIRED)
    set(output ${CMAKE_BINARY_DIR}/delay_import/lib${dll}_delay.a)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
              -DIMPORT_LIB=${DUOMIRA_IMPORT_LIB_${dll}} -DDLL=${dll}.dll -DOUTPUT=${output}
              -P ${PROJECT_SOURCE_DIR}/cmake/make_delay_import.cmake
      DEPENDS ${DUOMIRA_IMPORT_LIB_${dll}} ${PROJECT_SOURCE_DIR}/cmake/make_delay_import.cmake
      COMMENT "Delay-import library for ${dll}.dll"
      VERBATIM)
    add_custom_target(delay_import_${dll} DEPENDS ${output})
    add_library(delay_import::${dll} STATIC IMPORTED GLOBAL)
    set_target_properties(delay_import::${dll} PROPERTIES IMPORTED_LOCATION ${output})
    add_dependencies(delay_import::${dll} delay_import_${dll})
    list(APPEND libraries delay_import::${dll})
  endforeach()
  # The helper that binds a delay-loaded function at its first call.
  list(APPEND libraries delayimp)
  set(${out_var} ${libraries} PARENT_SCOPE)
endfunction()
