# qm_add_test(NAME SOURCES file... LIBS lib... [QT])
# One test executable, run by ctest as one test. QT tests get the offscreen
# platform and the directory for pictures the tests save.
set(QM_TEST_ARTEFACTS ${CMAKE_BINARY_DIR}/test-artefacts)
# The leak checker's record of dynamically loaded thread-local storage goes
# wrong on this C library once a plugin with such storage (the JPEG reader)
# has been loaded: its scan then crashes at exit. Without that record it
# still finds every leak in the heap.
set(QM_ASAN_OPTIONS "detect_leaks=1:intercept_tls_get_addr=0")
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QM_TEST_ARTEFACTS=${QM_TEST_ARTEFACTS};QM_SOURCE_DIR=${PROJECT_SOURCE_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ASAN_OPTIONS=${QM_ASAN_OPTIONS}"
    TIMEOUT 600)
endfunction()
