# Fails when a test of the build has none of the labels a run selects by
# (unit, ui, e2e, x11): it would be left out of `make check` unseen.
# The placeholders of test executables not built yet (NAME_NOT_BUILT) are not
# counted: they fail on their own.
# Usage: cmake -DCTEST=<ctest> -DBUILD_DIR=<build folder> -P every_test_has_a_kind.cmake
execute_process(COMMAND ${CTEST} -N -LE "^(unit|ui|e2e|x11)$" -E "_NOT_BUILT$" WORKING_DIRECTORY ${BUILD_DIR}
                OUTPUT_VARIABLE listed RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "ctest could not list the tests:\n${listed}")
endif()
if(NOT listed MATCHES "Total Tests: 0\n")
  message(FATAL_ERROR "tests without a kind label (unit, ui, e2e, x11):\n${listed}")
endif()
