# GoogleTest: the system package natively; compiled from Debian's source in
# /usr/src/googletest for Windows.
if(WIN32)
  # The win32 thread model's libstdc++ has no std::mutex, on which
  # GoogleTest 1.12 builds its Notification: the one in
  # tests/support/gtest_notification.h, on the port's types, takes its
  # place, in GoogleTest and in every test alike.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  target_compile_options(gtest PUBLIC "SHELL:-include ${PROJECT_SOURCE_DIR}/tests/support/gtest_notification.h")
  target_link_libraries(gtest PUBLIC lm_platform)
  add_library(Lm::GTest ALIAS gtest)
  add_library(Lm::GTestMain ALIAS gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(Lm::GTest ALIAS GTest::gtest)
  add_library(Lm::GTestMain ALIAS GTest::gtest_main)
endif()
