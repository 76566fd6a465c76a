# qm_add_test(NAME SOURCES file... LIBS lib... [QT])
# One test executable, run by ctest as one test. QT tests get the offscreen
# platform and the directory for pictures the tests save.
set(QM_TEST_ARTEFACTS ${CMAKE_BINARY_DIR}/test-artefacts)
file(MAKE_DIRECTORY ${QM_TEST_ARTEFACTS})

function(qm_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(NOT ARG_QT)
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QM_TEST_ARTEFACTS=${QM_TEST_ARTEFACTS};QM_SOURCE_DIR=${PROJECT_SOURCE_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ASAN_OPTIONS=detect_leaks=1"
    TIMEOUT 600)
endfunction()
