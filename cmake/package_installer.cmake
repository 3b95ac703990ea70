# Runs inside cpack once the zip is written (CPACK_POST_BUILD_SCRIPTS): builds
# the setup program next to it and writes the winget and Scoop manifests there
# with the release address and both SHA-256 hashes filled in.
# CPACK_DUOMIRA_* come from cmake/package.cmake through CPackConfig.cmake.

# The zip is still in cpack's staging folder here; cpack copies it to
# CPACK_PACKAGE_DIRECTORY afterwards, where these files go right away.
list(GET CPACK_PACKAGE_FILES 0 zip)
set(out_dir "${CPACK_PACKAGE_DIRECTORY}")
set(setup "${out_dir}/${CPACK_DUOMIRA_SETUP_NAME}")

if(NOT CPACK_DUOMIRA_MAKENSIS)
  message(FATAL_ERROR "makensis not found: install nsis (scripts/install-deps.sh) and configure again")
endif()
# makensis reads the file names of the guide through the locale's character set.
set(ENV{LC_ALL} C.UTF-8)
execute_process(
  COMMAND "${CPACK_DUOMIRA_MAKENSIS}" -V2 -INPUTCHARSET UTF8 -WX
          "-DEXE=${CPACK_DUOMIRA_EXE}" "-DDIST=${CPACK_DUOMIRA_DIST}"
          "-DICON=${CPACK_DUOMIRA_ICON}" "-DOUT=${setup}"
          "${CPACK_DUOMIRA_DIST}/installer/duomira.nsi"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS "${setup}")
  message(FATAL_ERROR "makensis failed (${status})")
endif()
message(STATUS "Setup program ${setup} generated.")

set(DUOMIRA_RELEASE_URL "${CPACK_DUOMIRA_RELEASE_URL}")
file(SHA256 "${setup}" DUOMIRA_SETUP_SHA256)
file(SHA256 "${zip}" DUOMIRA_ZIP_SHA256)
file(GLOB winget_manifests "${CPACK_DUOMIRA_DIST}/winget/*.yaml")
foreach(manifest ${winget_manifests})
  get_filename_component(name "${manifest}" NAME)
  configure_file("${manifest}" "${out_dir}/winget/${name}" @ONLY)
endforeach()
configure_file("${CPACK_DUOMIRA_DIST}/scoop/duomira.json" "${out_dir}/scoop/duomira.json" @ONLY)
