#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "bzip2/bzip2_buffer.h"
#include "platform/platform.h"
#include "platform/testing/port_testing.h"

namespace lmtest {

void ExpectWaitsUntilReleased(const std::function<void()>& take, const std::function<void()>& release, int waitMs) {
  std::atomic<bool> took{false};
  platform::Thread waiter;
  ASSERT_TRUE(waiter.Start([&] {
    take();
    took = true;
  }));
  platform::SleepMs(waitMs);
  EXPECT_FALSE(took);
  release();
  waiter.Join();
  EXPECT_TRUE(took);
}

bool PathExists(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type != platform::EntryType::kMissing;
}

bool IsDirectoryPath(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type == platform::EntryType::kDirectory;
}

std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  platform::ForEachEntry(directory.c_str(), [&names](const char* name) { names.emplace_back(name); });
  std::sort(names.begin(), names.end());
  return names;
}

bool MakeDirectory(const std::string& path) { return platform::MakeDirectory(path.c_str()) == 0; }

std::string RandomBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace lmtest

namespace lmtest {

bool OnWindows() { return platform::ThisSystem() == platform::System::kWindows; }

std::string HostPath(const std::string& path) {
  if (!OnWindows() || path.empty() || path[0] != '/') return path;
  std::string converted = "Z:" + path;
  for (char& c : converted) {
    if (c == '/') c = '\\';
  }
  return converted;
}

std::string BuildPath(const char* variable) {
  const char* value = getenv(variable);
  if (value == nullptr || *value == '\0') throw std::runtime_error(std::string("the build did not set ") + variable);
  return HostPath(value);
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs) {
  return port_testing::RunProgram(program, arguments, currentDirectory, timeoutMs);
}

std::string Compress(const std::string& data, int level) { return Bzip2CompressBuffer(data, level); }

PayloadBytes& PayloadBytes::Int(uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(value >> (8 * i)));
  return *this;
}

PayloadBytes& PayloadBytes::Text(const std::string& text) {
  bytes_ += text;
  bytes_.push_back('\0');
  return *this;
}

PayloadBytes& PayloadBytes::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

std::string BuildSetup(const std::string& stub, const std::string& launchName, const std::vector<TestEntry>& entries) {
  PayloadBytes payload;
  payload.Text(launchName).Int(static_cast<uint32_t>(entries.size()));
  std::string data;
  for (const TestEntry& e : entries) {
    payload.Text(e.path).Int(e.kind).Int(static_cast<uint32_t>(e.contents.size()));
    data += e.contents;
  }
  std::string compressed = Compress(data);
  payload.Int(static_cast<uint32_t>(compressed.size())).Raw(compressed).Int(static_cast<uint32_t>(stub.size()));
  return stub + payload.bytes();
}

}  // namespace lmtest
