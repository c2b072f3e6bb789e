# lm_add_test(NAME SOURCES...): one test program per class or feature, linked
# with GoogleTest and the shared test helpers. Each program is registered with
# ctest once (a Wine start costs about half a second), not once per case.
function(lm_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE lm_test_support)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "LM_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    TIMEOUT 600)
endfunction()
