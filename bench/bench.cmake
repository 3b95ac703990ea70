# The benchmark: Win32 programs built like the test programs but left out of
# the default build, and a target that runs them under Wine. Nothing here is
# a CTest test, so no ctest run ever starts the benchmark.
#
#   cmake --build <build dir> --target bench     (build and run, about 5 minutes)
#
# The programs land in <build dir>/bench, which is also the benchmark's own
# Wine state directory (bench/run.sh).
set(DUOMIRA_BENCH_OUTPUT ${CMAKE_BINARY_DIR}/bench)
set(DUOMIRA_BENCH_PROGRAMS)
foreach(name bench_driver bench_tool baseline_launcher baseline_window)
  add_executable(${name} EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/bench/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${DUOMIRA_WIN_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${DUOMIRA_BENCH_OUTPUT})
  list(APPEND DUOMIRA_BENCH_PROGRAMS ${name})
endforeach()
# The driver is a console program; the others are GUI programs, as Duomira.exe is.
target_link_options(bench_driver PRIVATE -municode ${DUOMIRA_STATIC_LINK})
target_link_libraries(bench_driver PRIVATE psapi)
foreach(name bench_tool baseline_launcher baseline_window)
  target_link_options(${name} PRIVATE -municode -mwindows ${DUOMIRA_STATIC_LINK})
endforeach()

add_custom_target(bench
  COMMAND bash ${PROJECT_SOURCE_DIR}/bench/run.sh ${CMAKE_BINARY_DIR}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  USES_TERMINAL
  COMMENT "Benchmark of Duomira.exe under Wine (bench/run.sh)")
add_dependencies(bench Duomira ${DUOMIRA_BENCH_PROGRAMS})
