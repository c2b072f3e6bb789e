# lm_add_test(NAME SOURCES...): one test program per class or feature, linked
# with GoogleTest and the shared test helpers. Each program is registered with
# ctest once (a Wine start costs about half a second), not once per case.
function(lm_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE lm_test_support)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set(environment
    "LM_LMPACK=$<TARGET_FILE:lmpack>"
    "LM_LAUNCHER=$<TARGET_FILE:lmsetup>"
    "LM_PROBE=$<TARGET_FILE:lm_probe>"
    "LM_OOM_LAUNCHER=$<TARGET_FILE:lm_oom_launcher>"
    "LM_OOM_LMPACK=$<TARGET_FILE:lm_oom_lmpack>")
  if(WIN32)
    list(APPEND environment "LM_WINEPREFIX=${CMAKE_BINARY_DIR}/.wine"
         "LM_WINEARCH=${LM_WINE_ARCH}")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 900)
endfunction()
