# Linux: the portable core and its unit tests.
option(DUOMIRA_SANITIZE "Build the unit tests with AddressSanitizer and UBSan" OFF)
if(DUOMIRA_SANITIZE)
  target_compile_options(duomira_core PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
  target_link_options(duomira_core PUBLIC -fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
file(GLOB DUOMIRA_UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(duomira_unit_tests ${DUOMIRA_UNIT_TESTS})
target_include_directories(duomira_unit_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(duomira_unit_tests PRIVATE duomira_core GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(duomira_unit_tests DISCOVERY_TIMEOUT 60)
