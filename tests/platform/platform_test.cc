// The port's contracts as platform.h states them, with the same expectations
// for both ports wherever the contract gives the Windows meaning.
#include "platform/platform.h"
#include "file/read_whole_file.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "platform/testing/port_testing.h"
#include "tests/support/test_support.h"

namespace {

using lmtest::TempDir;
using lmtest::WriteFile;

const uint32_t kDirectoryBits = 0x4000;
const uint32_t kRegularBits = 0x8000;
const uint32_t kOwnerWrite = 0x80;

bool IsPosix() { return platform::ThisSystem() == platform::System::kPosix; }

platform::StatInfo StatOf(const std::string& path) {
  platform::StatInfo info = {};
  EXPECT_EQ(0, platform::Stat(path.c_str(), &info)) << path;
  return info;
}

bool StatFails(const std::string& path) {
  platform::StatInfo info;
  return platform::Stat(path.c_str(), &info) != 0;
}

TEST(PlatformTest, NativePathTurnsOnlyBackslashesIntoSlashesOnPosix) {
  const std::string path("C:\\dir/a b\\\xE9t\xE9:x\\", 17);
  std::string expected = IsPosix() ? std::string("C:/dir/a b/\xE9t\xE9:x/", 17) : path;
  EXPECT_EQ(expected, platform::NativePath(path.c_str()));
  EXPECT_EQ("", platform::NativePath(nullptr));
}

TEST(PlatformTest, StatRefusesATrailingSeparatorBelowARoot) {
  TempDir dir;
  std::string file = dir.Join("f.txt");
  ASSERT_TRUE(WriteFile(file, "12345"));
  EXPECT_EQ(kDirectoryBits, StatOf(dir.path()).mode & 0xF000);
  platform::StatInfo info = StatOf(file);
  EXPECT_EQ(kRegularBits, info.mode & 0xF000);
  EXPECT_EQ(5u, info.size);
  EXPECT_TRUE(StatFails(dir.path() + "\\"));
  EXPECT_TRUE(StatFails(file + "\\"));
  EXPECT_TRUE(StatFails(""));
  EXPECT_TRUE(StatFails(dir.Join("missing")));
  const std::string& base = dir.path();
  if (base.size() > 2 && base[1] == ':') {
    EXPECT_FALSE(StatFails(base.substr(0, 2) + "\\"));  // the drive's root
  }
}

TEST(PlatformTest, WriteAccessFollowsTheOwnerWriteBitOfFilesOnly) {
  TempDir dir;
  std::string file = dir.Join("locked.txt");
  ASSERT_TRUE(WriteFile(file, "x"));
  EXPECT_EQ(0, platform::Access(file.c_str(), 2));
  ASSERT_EQ(0, platform::Chmod(file.c_str(), 0444));
  EXPECT_EQ(0u, StatOf(file).mode & kOwnerWrite);
  EXPECT_EQ(-1, platform::Access(file.c_str(), 2));  // also for root on POSIX
  EXPECT_EQ(0, platform::Access(file.c_str(), 4));
  EXPECT_EQ(0, platform::Access(file.c_str(), 0));
  EXPECT_EQ(0, platform::Access(dir.path().c_str(), 2));
  std::string sub = dir.Join("sub");
  ASSERT_EQ(0, platform::MakeDirectory(sub.c_str()));
  ASSERT_EQ(0, platform::Chmod(sub.c_str(), 0555));
  EXPECT_EQ(0, platform::Access(sub.c_str(), 2));
  platform::Chmod(sub.c_str(), 0777);
  EXPECT_EQ(-1, platform::Access(dir.Join("missing").c_str(), 0));
  ASSERT_EQ(0, platform::Chmod(file.c_str(), 0666));
  EXPECT_EQ(kOwnerWrite, StatOf(file).mode & kOwnerWrite);
  EXPECT_EQ(0, platform::Access(file.c_str(), 2));
}

TEST(PlatformTest, CreateNewFileNeverTruncates) {
  TempDir dir;
  std::string path = dir.Join("new.txt");
  ASSERT_EQ(platform::CreateResult::kCreated, platform::CreateNewFile(path.c_str()));
  EXPECT_EQ(0x180u, StatOf(path).mode & 0x180);  // owner read and write
  ASSERT_TRUE(WriteFile(path, "keep"));
  EXPECT_EQ(platform::CreateResult::kExists, platform::CreateNewFile(path.c_str()));
  EXPECT_EQ("keep", ReadWholeFile(path));
  EXPECT_EQ(platform::CreateResult::kFailed, platform::CreateNewFile(dir.Join("missing\\new.txt").c_str()));
}

TEST(PlatformTest, RemovalsAndMovesRefuseWhatTheyDoNotName) {
  TempDir dir;
  std::string sub = dir.Join("sub"), file = dir.Join("sub\\a.txt"), other = dir.Join("b.txt");
  ASSERT_EQ(0, platform::MakeDirectory(sub.c_str()));
  EXPECT_EQ(-1, platform::MakeDirectory(sub.c_str()));
  ASSERT_TRUE(WriteFile(file, "a"));
  ASSERT_TRUE(WriteFile(other, "b"));
  EXPECT_EQ(-1, platform::RemoveFile(sub.c_str()));
  EXPECT_EQ(-1, platform::RemoveEmptyDirectory(sub.c_str()));
  EXPECT_EQ(nullptr, platform::OpenFile(sub.c_str(), "rb"));
  EXPECT_TRUE(lmtest::IsDirectoryPath(sub));

  EXPECT_EQ(-1, platform::Rename(other.c_str(), file.c_str()));
  EXPECT_EQ("a", ReadWholeFile(file));
  EXPECT_EQ("b", ReadWholeFile(other));
  std::string empty = dir.Join("empty");
  ASSERT_EQ(0, platform::MakeDirectory(empty.c_str()));
  EXPECT_EQ(-1, platform::Rename(sub.c_str(), empty.c_str()));  // not even onto an empty directory
  EXPECT_EQ("a", ReadWholeFile(file));
  EXPECT_EQ(0, platform::Rename(other.c_str(), dir.Join("c.txt").c_str()));
  EXPECT_EQ("b", ReadWholeFile(dir.Join("c.txt")));
  EXPECT_FALSE(lmtest::PathExists(other));

  EXPECT_EQ(0, platform::RemoveFile(file.c_str()));
  EXPECT_EQ(-1, platform::RemoveFile(file.c_str()));
  EXPECT_EQ(0, platform::RemoveEmptyDirectory(sub.c_str()));
  EXPECT_FALSE(lmtest::PathExists(sub));
}

TEST(PlatformTest, ForEachEntryListsOneLevelWithoutDotEntries) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.Join("a.txt"), ""));
  ASSERT_TRUE(WriteFile(dir.Join(".hidden"), ""));
  ASSERT_EQ(0, platform::MakeDirectory(dir.Join("sub").c_str()));
  ASSERT_TRUE(WriteFile(dir.Join("sub\\inner.txt"), ""));
  EXPECT_EQ((std::vector<std::string>{".hidden", "a.txt", "sub"}), lmtest::ListNames(dir.path()));
  int visits = 0;
  auto count = [&visits](const char*) { ++visits; };
  EXPECT_FALSE(platform::ForEachEntry(dir.Join("missing").c_str(), count));
  EXPECT_FALSE(platform::ForEachEntry(dir.Join("a.txt").c_str(), count));
  EXPECT_EQ(0, visits);
}

TEST(PlatformTest, GetLongPathNeedsAnExistingPath) {
  TempDir dir;
  std::string longPath;
  EXPECT_FALSE(platform::GetLongPath(dir.Join("missing").c_str(), &longPath));
  EXPECT_FALSE(platform::GetLongPath(dir.Join("missing\\deeper").c_str(), &longPath));
  std::string file = dir.Join("a long file name.text");
  ASSERT_TRUE(WriteFile(file, "x"));
  ASSERT_TRUE(platform::GetLongPath(file.c_str(), &longPath));
  EXPECT_EQ("x", ReadWholeFile(longPath));
  std::string again;
  ASSERT_TRUE(platform::GetLongPath(longPath.c_str(), &again));
  EXPECT_EQ(longPath, again);
}

TEST(PlatformTest, SetModifiedTimeSetsTheTimeOfWritableFilesOnly) {
  TempDir dir;
  std::string file = dir.Join("t.txt");
  ASSERT_TRUE(WriteFile(file, "x"));
  const int64_t kJuly2017 = 1500000000;
  EXPECT_EQ(platform::SetTimeResult::kDone, platform::SetModifiedTime(file.c_str(), kJuly2017, 250));
  EXPECT_EQ(kJuly2017, StatOf(file).mtime);
  EXPECT_EQ("x", ReadWholeFile(file));
  const int64_t kBefore1601 = -11644473601LL;
  EXPECT_EQ(platform::SetTimeResult::kBadTime, platform::SetModifiedTime(file.c_str(), kBefore1601, 0));
  EXPECT_EQ(platform::SetTimeResult::kOpenFailed, platform::SetModifiedTime(dir.Join("missing").c_str(), 0, 0));
  ASSERT_EQ(0, platform::Chmod(file.c_str(), 0444));
  // Wine run as root lets a writer open a read-only file, so the Windows
  // port cannot refuse there; the POSIX port refuses also for root.
  FILE* writer = IsPosix() ? nullptr : platform::OpenFile(file.c_str(), "rb+");
  if (writer == nullptr) {
    EXPECT_EQ(platform::SetTimeResult::kOpenFailed, platform::SetModifiedTime(file.c_str(), kJuly2017 + 60, 0));
    EXPECT_EQ(kJuly2017, StatOf(file).mtime);
  } else {
    fclose(writer);
  }
  platform::Chmod(file.c_str(), 0666);
}

TEST(PlatformTest, EntriesAreReportedAsTheyAreOnDisk) {
  TempDir dir;
  std::string target = dir.Join("target"), file = dir.Join("target\\f.bin");
  ASSERT_EQ(0, platform::MakeDirectory(target.c_str()));
  ASSERT_TRUE(WriteFile(file, std::string(70000, 'z')));
  platform::EntryInfo info = platform::GetEntryInfo(file.c_str());
  EXPECT_EQ(platform::EntryType::kFile, info.type);
  EXPECT_EQ(70000u, info.size);
  EXPECT_EQ(platform::EntryType::kDirectory, platform::GetEntryInfo(target.c_str()).type);
  EXPECT_EQ(platform::EntryType::kMissing, platform::GetEntryInfo(dir.Join("missing").c_str()).type);

  // Wine's CreateSymbolicLinkA reports success and makes nothing: whether
  // a link was made is read from the listing, not from GetEntryInfo.
  std::string link = dir.Join("link");
  if (port_testing::CreateLink(link.c_str(), target.c_str(), true) != 0 ||
      lmtest::ListNames(dir.path()) != std::vector<std::string>{"link", "target"}) {
    GTEST_SKIP() << "links cannot be made here";
  }
  EXPECT_EQ(platform::EntryType::kLink, platform::GetEntryInfo(link.c_str()).type);
  EXPECT_EQ(kDirectoryBits, StatOf(link).mode & 0xF000);  // Stat follows it
  EXPECT_EQ(0, platform::RemoveLink(link.c_str()));
  EXPECT_EQ(platform::EntryType::kMissing, platform::GetEntryInfo(link.c_str()).type);
  EXPECT_EQ(70000u, ReadWholeFile(file).size());
}

TEST(PlatformTest, RecursiveLockIsReentrantAndExcludesOtherThreads) {
  platform::RecursiveLock lock;
  auto tryFromAnotherThread = [&lock] {
    bool entered = false;
    platform::Thread other;
    EXPECT_TRUE(other.Start([&] {
      entered = lock.TryEnter();
      if (entered) lock.Leave();
    }));
    other.Join();
    return entered;
  };
  lock.Enter();
  lock.Enter();
  ASSERT_TRUE(lock.TryEnter());
  EXPECT_FALSE(tryFromAnotherThread());
  lock.Leave();
  lock.Leave();
  EXPECT_FALSE(tryFromAnotherThread());  // still held once
  lock.Leave();
  EXPECT_TRUE(tryFromAnotherThread());

  // Enter blocks another thread until the holder leaves.
  lock.Enter();
  lmtest::ExpectWaitsUntilReleased(
      [&] {
        lock.Enter();
        lock.Leave();
      },
      [&] { lock.Leave(); }, 20);
}

// Threads that count under a Mutex lose no increment, and a value handed
// from one thread to the next through a ConditionVariable arrives in turn:
// each of kThreads threads waits for its own number, adds to the total and
// passes the turn on, round after round.
TEST(PlatformTest, MutexAndConditionVariablePassTurnsBetweenThreads) {
  const int kThreads = 4;
  const int kRounds = 500;
  platform::Mutex mutex;
  platform::ConditionVariable turnChanged;
  int turn = 0;       // guarded by mutex
  long total = 0;     // guarded by mutex
  int outOfTurn = 0;  // guarded by mutex
  platform::Thread threads[kThreads];
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_TRUE(threads[i].Start([&, i] {
      for (int round = 0; round < kRounds; ++round) {
        platform::MutexLock lock(&mutex);
        while (turn % kThreads != i) turnChanged.Wait(&lock);
        if (turn != round * kThreads + i) ++outOfTurn;
        total += turn;
        ++turn;
        lock.Unlock();
        turnChanged.NotifyAll();
      }
    }));
  }
  for (platform::Thread& thread : threads) thread.Join();
  const long last = kThreads * kRounds - 1;
  EXPECT_EQ(last * (last + 1) / 2, total);
  EXPECT_EQ(0, outOfTurn);
  EXPECT_EQ(kThreads * kRounds, turn);
}

std::string Formatted(size_t size, int* length, const char* format, ...) {
  std::vector<char> buffer(size + 1, '#');  // one guard byte past `size`
  va_list args;
  va_start(args, format);
  *length = platform::FormatText(buffer.data(), size, format, args);
  va_end(args);
  EXPECT_EQ('#', buffer[size]) << format;
  if (size == 0) return std::string();
  return std::string(buffer.data());
}

// The conversions that formats may use on both runtimes, whole and cut off
// by the buffer: the length returned is always the whole text's.
TEST(PlatformTest, FormatTextGivesTheWholeLengthAndCutsWithANul) {
  int n;
  EXPECT_EQ("20240131235905", Formatted(64, &n, "%04d%02d%02d%02d%02d%02d", 2024, 1, 31, 23, 59, 5));
  EXPECT_EQ(14, n);
  EXPECT_EQ("-7|0x00C0FFEE|c0ffee|4294967295|ab   |  -3",
            Formatted(64, &n, "%d|0x%08X|%x|%u|%-5s|%4ld", -7, 0xC0FFEEu, 0xC0FFEEu, 0xFFFFFFFFu, "ab", -3L));
  EXPECT_EQ(42, n);
  EXPECT_EQ("abc", Formatted(4, &n, "%s", "abc"));  // exactly fits
  EXPECT_EQ(3, n);
  EXPECT_EQ("ab", Formatted(3, &n, "%s", "abc"));  // one short
  EXPECT_EQ(3, n);
  EXPECT_EQ("", Formatted(1, &n, "%d", 12345));
  EXPECT_EQ(5, n);
  EXPECT_EQ("", Formatted(0, &n, "%s", "abc"));  // nothing written
  EXPECT_EQ(3, n);
  EXPECT_EQ("100%", Formatted(8, &n, "%d%%", 100));
  EXPECT_EQ(4, n);
}

TEST(PlatformTest, TickCountAdvancesAcrossASleep) {
  uint32_t start = platform::TickCount();
  platform::SleepMs(50);
  EXPECT_GE(platform::TickCount() - start, 20u);  // a lower bound only: a busy machine sleeps longer
}

TEST(PlatformTest, CalendarTimeOnBothRuntimes) {
  struct tm fields = {};
  ASSERT_TRUE(platform::GmTime64(-1, &fields));  // before 1970, which msvcrt refuses
  EXPECT_EQ(69, fields.tm_year);
  EXPECT_EQ(11, fields.tm_mon);
  EXPECT_EQ(31, fields.tm_mday);
  EXPECT_EQ(23, fields.tm_hour);
  EXPECT_EQ(59, fields.tm_sec);
  EXPECT_EQ(364, fields.tm_yday);
  EXPECT_EQ(3, fields.tm_wday);                             // a Wednesday
  ASSERT_TRUE(platform::GmTime64(-2077660800LL, &fields));  // 1904-03-01, after a leap day
  EXPECT_EQ(4, fields.tm_year);
  EXPECT_EQ(2, fields.tm_mon);
  EXPECT_EQ(1, fields.tm_mday);
  EXPECT_EQ(60, fields.tm_yday);
  EXPECT_EQ(2, fields.tm_wday);  // a Tuesday

  struct tm local = {};
  local.tm_year = 100;
  local.tm_mday = 1;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  int64_t noon = platform::MkTime64(&local);
  ASSERT_GT(noon, 0);
  ASSERT_TRUE(platform::LocalTime64(noon, &fields));
  EXPECT_EQ(100, fields.tm_year);
  EXPECT_EQ(12, fields.tm_hour);
  struct tm outside = local;
  outside.tm_year = 1101;  // 3001
  EXPECT_EQ(-1, platform::MkTime64(&outside));
  outside = local;
  outside.tm_year = 60;
  EXPECT_EQ(-1, platform::MkTime64(&outside));
}

}  // namespace

// How a Windows command line is read: where the program name ends (quoted
// parts anywhere in it, backslashes literal), whether fixed text leaves a
// quote open, and which tails a batch file's shell would read as commands.
TEST(PlatformTest, WindowsCommandLinesAreReadAsTheCRuntimeAndCmdReadThem) {
  const struct {
    const wchar_t* line;
    const wchar_t* tail;
  } names[] = {
      {L"setup.exe /S", L"/S"},
      {L"\"C:\\pkg\\\"setup.exe /qn", L"/qn"},
      {L"C:\\\"Program Files\"\\pkg\\setup.exe /S", L"/S"},
      {L"\"C:\\dl\\setup\".exe /S", L"/S"},
      {L"\"C:\\a b\\setup.exe\"\t  /S \"x y\"", L"/S \"x y\""},
      {L"\"C:\\open quote /S", L""},
      {L"setup.exe", L""},
  };
  for (const auto& row : names) {
    EXPECT_STREQ(row.tail, platform::CommandLineTail(row.line)) << row.line;
  }
  for (const char* open : {"/DIR=\"C:\\dir\\\"", "\"a", "a \"b c", "\"\"\"x"}) {
    EXPECT_TRUE(platform::EndsInsideQuotes(open)) << open;
  }
  for (const char* closed : {"", "/S", "\"a b\" c", "/D=\"C:\\dir\\\\\"", "a\\\"b", "\"x\"\"y\""}) {
    EXPECT_FALSE(platform::EndsInsideQuotes(closed)) << closed;
  }
  for (const wchar_t* safe : {L"", L"/S /D=C:\\Program Files\\App", L"\"quoted\" tab\there", L"caf\u00E9 \u0416"}) {
    EXPECT_TRUE(platform::SafeForBatchFile(safe));
  }
  for (const wchar_t* unsafe : {L"a & b", L"a|b", L"<in", L">out", L"^", L"%PATH%", L"!PATH!", L"(x)", L"a\nb", L"a\rb",
                                L"\"x\" & \"y\"", L"a\x01", L"x\""}) {
    EXPECT_FALSE(platform::SafeForBatchFile(unsafe));
  }
}
