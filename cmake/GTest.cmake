# GoogleTest: the system package natively; compiled from Debian's source in
# /usr/src/googletest for Windows.
if(WIN32)
  # The win32 thread model's libstdc++ has no std::mutex, which GoogleTest
  # 1.12 uses whenever it counts itself thread-safe: it is built (and its
  # headers read, alike in every test) as not thread-safe. Assertions then
  # must not run on two threads at once; the tests' other threads assert
  # only while the main thread waits for them.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  target_compile_definitions(gtest PUBLIC GTEST_IS_THREADSAFE=0)
  add_library(Lm::GTest ALIAS gtest)
  add_library(Lm::GTestMain ALIAS gtest_main)
else()
  find_package(GTest REQUIRED)
  add_library(Lm::GTest ALIAS GTest::gtest)
  add_library(Lm::GTestMain ALIAS GTest::gtest_main)
endif()
