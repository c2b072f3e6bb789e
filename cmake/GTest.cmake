# GoogleTest: the system package natively; compiled from Debian's source in
# /usr/src/googletest for Windows.
if(WIN32)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_library(Lm::GTest ALIAS gtest)
  add_library(Lm::GTestMain ALIAS gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(Lm::GTest ALIAS GTest::gtest)
  add_library(Lm::GTestMain ALIAS GTest::gtest_main)
endif()
