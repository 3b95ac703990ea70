# mingw-w64: Duomira.exe, one statically linked Unicode GUI program, and the
# Win32 programs that test it under Wine.
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
set(DUOMIRA_STATIC_LINK -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
set(DUOMIRA_WIN_LIBS user32 gdi32 advapi32 shell32 comdlg32 comctl32 kernel32)

# The window system is delay-loaded: a second start reads the registry, starts
# the tool and ends without ever loading it. So is shell32, which only the
# waiting window needs, for what is dropped onto it.
include(cmake/delay_import.cmake)
duomira_delay_import_libraries(DUOMIRA_DELAYED_LIBS user32 gdi32 comdlg32 shell32)

add_executable(Duomira WIN32 ${DUOMIRA_WIN_SOURCES} ${PROJECT_SOURCE_DIR}/res/duomira.rc)
# The resource compiler's output depends on the files the script includes.
set_source_files_properties(${PROJECT_SOURCE_DIR}/res/duomira.rc PROPERTIES OBJECT_DEPENDS
  "${PROJECT_SOURCE_DIR}/res/duomira.manifest;${PROJECT_SOURCE_DIR}/res/duomira.ico;${PROJECT_SOURCE_DIR}/res/path_dialog.ico;${PROJECT_SOURCE_DIR}/res/resource.h")
target_link_libraries(Duomira PRIVATE duomira_core ${DUOMIRA_DELAYED_LIBS} advapi32 kernel32)
target_link_options(Duomira PRIVATE -municode -mwindows ${DUOMIRA_STATIC_LINK})
set_target_properties(Duomira PROPERTIES OUTPUT_NAME Duomira)

# Test programs: every tests/wine/fake_*.cpp is a small stand-in program of its
# own; all other .cpp files there make up the test driver.
file(GLOB DUOMIRA_WINE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/*.cpp)
set(DUOMIRA_DRIVER_SOURCES ${DUOMIRA_WINE_SOURCES})
list(FILTER DUOMIRA_DRIVER_SOURCES EXCLUDE REGEX "/fake_[^/]*\\.cpp$")
set(DUOMIRA_FAKE_SOURCES ${DUOMIRA_WINE_SOURCES})
list(FILTER DUOMIRA_FAKE_SOURCES INCLUDE REGEX "/fake_[^/]*\\.cpp$")

set(DUOMIRA_TEST_PROGRAMS)
foreach(fake_source ${DUOMIRA_FAKE_SOURCES})
  get_filename_component(fake_name ${fake_source} NAME_WE)
  add_executable(${fake_name} ${fake_source})
  target_include_directories(${fake_name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_options(${fake_name} PRIVATE -municode ${DUOMIRA_STATIC_LINK})
  target_link_libraries(${fake_name} PRIVATE ${DUOMIRA_WIN_LIBS})
  list(APPEND DUOMIRA_TEST_PROGRAMS ${fake_name})
endforeach()

if(DUOMIRA_DRIVER_SOURCES)
  # GoogleTest for the driver, built with this toolchain from Debian's sources
  # (package googletest); its own code compiles without our warnings.
  set(DUOMIRA_GTEST_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest's sources")
  if(NOT EXISTS ${DUOMIRA_GTEST_DIR}/src/gtest-all.cc)
    message(FATAL_ERROR "no GoogleTest sources in ${DUOMIRA_GTEST_DIR}: install googletest "
                        "(scripts/install-deps.sh)")
  endif()
  add_library(duomira_gtest STATIC ${DUOMIRA_GTEST_DIR}/src/gtest-all.cc)
  target_include_directories(duomira_gtest PUBLIC ${DUOMIRA_GTEST_DIR}/include)
  target_include_directories(duomira_gtest PRIVATE ${DUOMIRA_GTEST_DIR})
  target_compile_options(duomira_gtest PRIVATE -w)

  add_executable(duomira_driver ${DUOMIRA_DRIVER_SOURCES})
  target_include_directories(duomira_driver PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests
                                                  ${PROJECT_SOURCE_DIR}/tests/wine)
  target_link_options(duomira_driver PRIVATE -municode ${DUOMIRA_STATIC_LINK})
  target_link_libraries(duomira_driver PRIVATE duomira_core duomira_gtest ${DUOMIRA_WIN_LIBS} psapi ole32
                                                uuid)
  add_dependencies(duomira_driver Duomira ${DUOMIRA_TEST_PROGRAMS})

  # One Xvfb display and one fresh Wine prefix serve the whole run (a fixture);
  # every tests/wine/test_NAME.cpp is one test group, run as its own CTest test
  # (test_install.cpp, which needs the package, is registered by package.cmake).
  set(DUOMIRA_WINE_RUNNER bash ${PROJECT_SOURCE_DIR}/tests/wine/run_wine_tests.sh ${CMAKE_BINARY_DIR})
  add_test(NAME wine_setup COMMAND ${DUOMIRA_WINE_RUNNER} setup)
  add_test(NAME wine_cleanup COMMAND ${DUOMIRA_WINE_RUNNER} cleanup)
  set_tests_properties(wine_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  set_tests_properties(wine_cleanup PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
  foreach(driver_source ${DUOMIRA_DRIVER_SOURCES})
    get_filename_component(driver_file ${driver_source} NAME_WE)
    if(driver_file MATCHES "^test_(.+)$" AND NOT driver_file STREQUAL "test_install")
      set(group ${CMAKE_MATCH_1})
      add_test(NAME wine_${group} COMMAND ${DUOMIRA_WINE_RUNNER} run ${group})
      set_tests_properties(wine_${group} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600 RUN_SERIAL TRUE)
    endif()
  endforeach()

  # The FC script on other code pages than the Japanese one: one focused test
  # per locale (Western 1252/OEM 437, Simplified Chinese 936, and a
  # Unicode-only locale, for which Wine takes UTF-8, 65001, as its code pages).
  foreach(locale en_US.UTF-8 zh_CN.UTF-8 hi_IN.UTF-8)
    add_test(NAME wine_fc_${locale} COMMAND ${DUOMIRA_WINE_RUNNER} run fc)
    set_tests_properties(wine_fc_${locale} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RUN_SERIAL TRUE
                         ENVIRONMENT "DUOMIRA_WINE_LOCALE=${locale};DUOMIRA_WINE_TEST=script_in_code_page_of_system")
  endforeach()

  # The demo set-up of scripts/run.sh, with a stand-in for meld.
  add_test(NAME wine_demo
           COMMAND ${DUOMIRA_WINE_RUNNER} script ${PROJECT_SOURCE_DIR}/tests/wine/check_demo.sh)
  set_tests_properties(wine_demo PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RUN_SERIAL TRUE)
endif()

include(cmake/package.cmake)
include(bench/bench.cmake)
