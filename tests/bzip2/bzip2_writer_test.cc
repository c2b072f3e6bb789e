// Bzip2Writer against libbz2 on one thread: the same bytes for every level,
// kind of data and number of jobs.
#include "bzip2/bzip2_writer.h"

#include <cstdio>
#include <string>
#include <vector>

#include "bzip2/bzip2_buffer.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/bzip2/bzip2_test_corpus.h"
#include "tests/support/test_support.h"

namespace {

// Compresses `data` handed over in pieces of `piece` bytes.
std::string Encode(const std::string& data, int level, int jobs, size_t piece = 300000) {
  std::string out;
  Bzip2Writer writer(level, jobs, [&out](const char* bytes, size_t size) {
    out.append(bytes, size);
    return true;
  });
  for (size_t at = 0; at < data.size(); at += piece) {
    size_t n = data.size() - at < piece ? data.size() - at : piece;
    EXPECT_TRUE(writer.Write(data.data() + at, n));
  }
  EXPECT_TRUE(writer.Finish());
  EXPECT_EQ(out.size(), writer.written());
  return out;
}

TEST(Bzip2WriterTest, MatchesLibbz2ForEveryLevelAndKindOfData) {
  for (int level = 1; level <= 9; ++level) {
    for (const bzip2test::Sample& sample : bzip2test::Corpus(level)) {
      // Every kind at the small levels, where blocks are cheap; the mixed
      // sample and the small ones everywhere.
      bool everyKind = level <= 2 || level == 9;
      if (!everyKind && sample.data.size() > 100000 && sample.name != "mixed") continue;
      if (level == 9 && sample.name == "random") continue;  // slow to compress, like "mixed" but more
      std::string expected = Bzip2CompressBuffer(sample.data, level);
      for (int jobs : {1, 2, 8}) {
        ASSERT_TRUE(Encode(sample.data, level, jobs) == expected)
            << sample.name << " at level " << level << ", " << jobs << " jobs";
      }
    }
  }
}

TEST(Bzip2WriterTest, RunsMeetingBlockEndsMatchLibbz2) {
  for (int offset : {-2, 0, 1, 2, 3, 4, 5, 6}) {
    for (size_t run : {3u, 4u, 5u, 6u, 255u, 256u, 259u, 260u, 511u, 1000u}) {
      std::string data = bzip2test::RunAtBlockEnd(1, offset, run, static_cast<unsigned>(run));
      std::string expected = Bzip2CompressBuffer(data, 1);
      ASSERT_TRUE(Encode(data, 1, 2, 65536) == expected) << "run of " << run << " at " << offset;
    }
  }
  for (int offset : {0, 4}) {
    std::string data = bzip2test::RunAtBlockEnd(2, offset, 256, 3);
    ASSERT_TRUE(Encode(data, 2, 8, 4096) == Bzip2CompressBuffer(data, 2)) << offset;
  }
}

TEST(Bzip2WriterTest, PiecesOfAnySizeGiveTheSameStream) {
  std::string data = bzip2test::Mixed(450000, 31);
  std::string expected = Bzip2CompressBuffer(data, 1);
  for (size_t piece : {size_t{1}, size_t{999}, data.size()}) {
    EXPECT_TRUE(Encode(data, 1, 3, piece) == expected) << "pieces of " << piece;
  }
}

TEST(Bzip2WriterTest, MatchesTheBzip2Command) {
  if (lmtest::OnWindows()) GTEST_SKIP() << "no bzip2 command under Wine";
  if (system("bzip2 --help >/dev/null 2>&1") != 0) GTEST_SKIP() << "no bzip2 command";
  lmtest::TempDir dir;
  std::string input = platform::NativePath(dir.Join("input").c_str());
  std::string data = bzip2test::Mixed(700000, 32);
  ASSERT_TRUE(lmtest::WriteFile(dir.Join("input"), data));
  for (int level : {1, 3, 9}) {
    std::string command = "bzip2 -" + std::to_string(level) + " -c < '" + input + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    std::string expected;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) expected.append(buffer, n);
    ASSERT_EQ(0, pclose(pipe));
    EXPECT_TRUE(Encode(data, level, 2) == expected) << "level " << level;
  }
}

TEST(Bzip2WriterTest, EmptyInputGivesLibbz2sEmptyStream) {
  for (int jobs : {1, 2}) {
    EXPECT_EQ(Bzip2CompressBuffer("", 9), Encode("", 9, jobs));
    EXPECT_EQ(14u, Encode("", 5, jobs).size());
  }
}

TEST(Bzip2WriterTest, OutputIsHandedOverAsItIsMade) {
  std::string data = bzip2test::NoRepeats(3000000, 33);
  uint64_t beforeFinish = 0;
  std::string out;
  Bzip2Writer writer(1, 2, [&out](const char* bytes, size_t size) {
    out.append(bytes, size);
    return true;
  });
  ASSERT_TRUE(writer.Write(data.data(), data.size()));
  beforeFinish = writer.written();
  ASSERT_TRUE(writer.Finish());
  // Thirty blocks, at most three in flight: most were out before Finish.
  EXPECT_GT(beforeFinish, out.size() / 2);
  EXPECT_EQ(out.size(), writer.written());
  EXPECT_TRUE(out == Bzip2CompressBuffer(data, 1));
}

TEST(Bzip2WriterTest, ARefusingSinkFailsTheWriter) {
  std::string data = bzip2test::NoRepeats(1500000, 34);
  for (int jobs : {1, 2}) {
    size_t accepted = 0;
    Bzip2Writer writer(1, jobs, [&accepted](const char*, size_t size) {
      if (accepted > 200000) return false;
      accepted += size;
      return true;
    });
    bool ok = true;
    for (size_t at = 0; ok && at < data.size(); at += 100000) ok = writer.Write(data.data() + at, 100000);
    ok = ok && writer.Finish();
    EXPECT_FALSE(ok) << jobs << " jobs";
    EXPECT_TRUE(writer.failed());
    EXPECT_TRUE(writer.sinkFailed());
    EXPECT_EQ(accepted, writer.written());
    EXPECT_FALSE(writer.Write("x", 1));
    EXPECT_FALSE(writer.Finish());
  }
}

TEST(Bzip2WriterTest, AnUnfinishedWriterStopsCleanly) {
  std::string data = bzip2test::Text(2000000, 35);
  Bzip2Writer writer(9, 4, [](const char*, size_t) { return true; });
  EXPECT_TRUE(writer.Write(data.data(), data.size()));
  // The destructor stops the workers mid-block.
}

}  // namespace
