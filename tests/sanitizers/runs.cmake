# The robustness runs (included at the end of tests/CMakeLists.txt):
# - the soak on a screen exactly its window's size (160 x 120, as
#   tests/test_soak.cpp asks), so that every fullscreen request succeeds;
# - the whole demo (demo-capture over the full timeline) and the soak again,
#   built with ASan + UBSan and GL error checks in ../build-asan (only those
#   two programs), with zero reports.
# In a sanitizer build the whole suite runs with the sanitizers' settings
# (env.cmake), the soak among it.

if(NOT XVFB_RUN)
  return()
endif()
set(SOAK_SCREEN "-screen 0 160x120x24")

add_test(NAME Soak.TogglesOnAFittingScreen
  COMMAND ${XVFB_RUN} -a -s ${SOAK_SCREEN} $<TARGET_FILE:test_soak>
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(Soak.TogglesOnAFittingScreen PROPERTIES
  ENVIRONMENT "${DEMO_TEST_ENV}" TIMEOUT 300
  FAIL_REGULAR_EXPRESSION "${SANITIZER_REPORTS};needs a screen of exactly")

if(DEMO_SANITIZE)
  return()
endif()

set(ASAN_BUILD_DIR ${PROJECT_SOURCE_DIR}/build-asan)
include(ProcessorCount)
ProcessorCount(jobs)
if(jobs EQUAL 0)
  set(jobs 2)
endif()
add_test(NAME Sanitizers.Build
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DBINARY=${ASAN_BUILD_DIR} -DJOBS=${jobs}
          -DCC=${CMAKE_C_COMPILER} -DCXX=${CMAKE_CXX_COMPILER}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/sanitizers/build.cmake)
set_tests_properties(Sanitizers.Build PROPERTIES TIMEOUT 1200 FIXTURES_SETUP asan_build)

add_test(NAME Sanitizers.WholeDemo
  COMMAND ${XVFB_RUN} -a ${ASAN_BUILD_DIR}/tools/capture/demo-capture --size 160x120
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
add_test(NAME Sanitizers.Soak
  COMMAND ${XVFB_RUN} -a -s ${SOAK_SCREEN} ${ASAN_BUILD_DIR}/tests/test_soak
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(Sanitizers.WholeDemo Sanitizers.Soak PROPERTIES
  ENVIRONMENT "${DEMO_TEST_ENV};${SANITIZER_ENV}" TIMEOUT 600
  FIXTURES_REQUIRED asan_build
  FAIL_REGULAR_EXPRESSION "${SANITIZER_REPORTS}")
set_tests_properties(Sanitizers.Soak PROPERTIES
  FAIL_REGULAR_EXPRESSION "${SANITIZER_REPORTS};needs a screen of exactly")
