# The release packages, built by `cmake --build <dir> --target package`:
#   Duomira-1.00-win64.zip        Duomira.exe, the two scripts that add and
#                                 remove the Explorer menu entry, and the
#                                 Japanese guide, in one folder "Duomira";
#   Duomira-1.00-setup-x64.exe    the per-user setup program (NSIS), with the
#                                 winget and Scoop manifests next to it.

set(DUOMIRA_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(DUOMIRA_MENU_SCRIPTS menu_register.cmd menu_remove.cmd)
set(DUOMIRA_GUIDE "はじめにお読みください.txt")

# The scripts find Duomira.exe next to themselves, so the build folder gets
# copies too: the Wine tests run them there.
foreach(script ${DUOMIRA_MENU_SCRIPTS})
  configure_file(${DUOMIRA_DIST_DIR}/${script} ${CMAKE_BINARY_DIR}/${script} COPYONLY)
endforeach()

install(TARGETS Duomira RUNTIME DESTINATION Duomira COMPONENT duomira)
foreach(file ${DUOMIRA_MENU_SCRIPTS} ${DUOMIRA_GUIDE})
  install(FILES ${DUOMIRA_DIST_DIR}/${file} DESTINATION Duomira COMPONENT duomira)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Duomira)
set(CPACK_PACKAGE_VENDOR Duomira)
set(CPACK_PACKAGE_VERSION 1.00)
set(CPACK_PACKAGE_FILE_NAME Duomira-1.00-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Duomira")
# The folder "Duomira" is the archive's only top-level entry.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENTS_ALL duomira)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_STRIP_FILES OFF)
# cpack converts file names through the locale's character set while it writes
# the zip; the guide's Japanese name needs UTF-8 there (it fails in the C
# locale), and the zip then stores the name as UTF-8 with the UTF-8 flag.
# The setup program and the manifests: cmake/package_installer.cmake, run by
# cpack after the zip. DUOMIRA_RELEASE_URL is where the release step puts both
# files; the manifests name them there.
find_program(DUOMIRA_MAKENSIS makensis)
if(NOT DUOMIRA_MAKENSIS)
  message(WARNING "makensis not found: the package target fails until nsis is installed")
endif()
set(DUOMIRA_RELEASE_URL "https://example.invalid/duomira/1.00" CACHE STRING
    "Address the release files are published under, written into the manifests")
set(CPACK_DUOMIRA_SETUP_NAME Duomira-1.00-setup-x64.exe)
set(CPACK_DUOMIRA_MAKENSIS ${DUOMIRA_MAKENSIS})
set(CPACK_DUOMIRA_EXE ${CMAKE_BINARY_DIR}/Duomira.exe)
set(CPACK_DUOMIRA_DIST ${DUOMIRA_DIST_DIR})
set(CPACK_DUOMIRA_ICON ${PROJECT_SOURCE_DIR}/res/duomira.ico)
set(CPACK_DUOMIRA_RELEASE_URL ${DUOMIRA_RELEASE_URL})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_installer.cmake)
set(DUOMIRA_CPACK_LOCALE_FILE ${CMAKE_BINARY_DIR}/CPackLocale.cmake)
file(WRITE ${DUOMIRA_CPACK_LOCALE_FILE} "set(ENV{LC_ALL} C.UTF-8)\n")
set(CPACK_PROJECT_CONFIG_FILE ${DUOMIRA_CPACK_LOCALE_FILE})
include(CPack)

# Checks the package: its exact list of files, the UTF-8 name flag of the
# Japanese file name, the files byte for byte against the build and dist/.
find_program(DUOMIRA_PYTHON3 python3)
if(DUOMIRA_PYTHON3)
  set(package_test_dir ${CMAKE_BINARY_DIR}/package-test)
  add_test(NAME package_build
           COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   -B ${package_test_dir})
  add_test(NAME package_contents
           COMMAND ${DUOMIRA_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/package/check_package.py
                   --zip ${package_test_dir}/Duomira-1.00-win64.zip
                   --exe $<TARGET_FILE:Duomira> --dist ${DUOMIRA_DIST_DIR})
  set_tests_properties(package_build PROPERTIES FIXTURES_SETUP package TIMEOUT 120)
  set_tests_properties(package_contents PROPERTIES FIXTURES_REQUIRED package TIMEOUT 60)
  add_test(NAME package_manifests
           COMMAND ${DUOMIRA_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/package/check_manifests.py
                   --dist ${DUOMIRA_DIST_DIR} --built ${package_test_dir})
  set_tests_properties(package_manifests PROPERTIES FIXTURES_REQUIRED package TIMEOUT 60)
else()
  message(STATUS "python3 not found: the package check is left out")
endif()

# The setup program under Wine (tests/wine/test_install.cpp): silent install,
# a pair, upgrade, uninstall, in the Wine tests' prefix.
if(TARGET duomira_driver AND DUOMIRA_PYTHON3)
  add_test(NAME package_install COMMAND ${DUOMIRA_WINE_RUNNER} run install)
  set_tests_properties(package_install PROPERTIES FIXTURES_REQUIRED "wine;package" FIXTURES_SETUP installed
                       TIMEOUT 600 RUN_SERIAL TRUE)
  # Neither the setup program nor the uninstaller it wrote (the test keeps a
  # copy) needs a DLL beyond the system's.
  add_test(NAME package_installer_imports
           COMMAND ${DUOMIRA_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/package/check_package.py
                   --installer ${package_test_dir}/${CPACK_DUOMIRA_SETUP_NAME}
                   --installer ${CMAKE_BINARY_DIR}/wine-artifacts/uninstall.exe)
  set_tests_properties(package_installer_imports PROPERTIES FIXTURES_REQUIRED "package;installed" TIMEOUT 60)
endif()
