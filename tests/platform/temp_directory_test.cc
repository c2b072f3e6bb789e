#include "platform/temp_directory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/testing/test_env.h"
#include "tests/support/test_support.h"

namespace {

const char* const kVariables[] = {"TMP", "TEMP", "TMPDIR"};

bool IsAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

// Points the temp directory variables elsewhere and puts them back after.
class TempDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) wasSet_[i] = platform::GetEnvironmentUtf8(kVariables[i], &saved_[i]);
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) platform::SetEnvironmentUtf8(kVariables[i], wasSet_[i] ? saved_[i].c_str() : nullptr);
  }

  // TMP and TEMP on Windows, TMPDIR elsewhere.
  void PointAt(const char* utf8Path) {
    for (const char* name : kVariables) ASSERT_TRUE(platform::SetEnvironmentUtf8(name, utf8Path)) << name;
  }

  std::string Get() {
    std::string path = "x";
    if (!platform::GetAnsiTempDirectory(&path)) {
      EXPECT_EQ("", path);
      return "<failed>";
    }
    return path;
  }

 private:
  std::string saved_[3];
  bool wasSet_[3] = {};
};

TEST_F(TempDirectoryTest, PosixTakesTmpdirWithOneClosingSlash) {
  if (lmtest::OnWindows()) GTEST_SKIP() << "POSIX only";
  PointAt("/var/scratch");
  EXPECT_EQ("/var/scratch/", Get());
  PointAt("/var/scratch/");
  EXPECT_EQ("/var/scratch/", Get());
  PointAt("/tmp/Пользователь");
  EXPECT_EQ("/tmp/Пользователь/", Get());
  PointAt("");
  EXPECT_EQ("/tmp/", Get());
  PointAt(nullptr);
  EXPECT_EQ("/tmp/", Get());
}

TEST_F(TempDirectoryTest, WindowsAsciiDirectoryIsUsedAsItIs) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "Windows only";
  lmtest::TempDir scratch;
  PointAt(scratch.path().c_str());
  EXPECT_EQ(scratch.path() + "\\", Get());
}

TEST_F(TempDirectoryTest, WindowsDirectoryOutsideTheCodePageGivesItsShortForm) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "Windows only";
  lmtest::TempDir scratch;
  const std::string longForm = scratch.Join("Пользователь");
  ASSERT_TRUE(platform::MakeDirectoryUtf8(longForm));
  PointAt(longForm.c_str());
  const std::string path = Get();

  std::string ansi;
  if (platform::Utf8ToCodePage(longForm, platform::GetAnsiCodePage(), &ansi)) {
    EXPECT_EQ(ansi + "\\", path);  // a Cyrillic ANSI code page takes the name itself
  } else {
    ASSERT_NE("<failed>", path);
    EXPECT_TRUE(IsAscii(path)) << path;
    EXPECT_EQ('\\', path.back());
    EXPECT_LT(path.size(), 260u);
    EXPECT_EQ(platform::EntryType::kDirectory, platform::GetEntryInfo(path.substr(0, path.size() - 1).c_str()).type);
    // The short form names that very directory: a file made through it keeps
    // the directory from being removed under its long name.
    const std::string file = path + "probe.txt";
    ASSERT_TRUE(lmtest::WriteFile(file, "x"));
    EXPECT_FALSE(platform::RemoveDirectoryUtf8(longForm));
    EXPECT_EQ(0, platform::RemoveFile(file.c_str()));
  }
  EXPECT_TRUE(platform::RemoveDirectoryUtf8(longForm));
}

TEST_F(TempDirectoryTest, WindowsFailsWithoutAnExactForm) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "Windows only";
  lmtest::TempDir scratch;
  // A missing directory has no short form.
  const std::string missing = scratch.Join("Пользователь");
  std::string ansi;
  if (!platform::Utf8ToCodePage(missing, platform::GetAnsiCodePage(), &ansi)) {
    PointAt(missing.c_str());
    EXPECT_EQ("<failed>", Get());
  }
  // 259 bytes with the closing '\' pass, 260 do not.
  std::string longest = scratch.Join("");
  longest += std::string(258 - longest.size(), 'a');
  PointAt(longest.c_str());
  EXPECT_EQ(longest + "\\", Get());
  longest += "b";
  PointAt(longest.c_str());
  EXPECT_EQ("<failed>", Get());
}

}  // namespace
