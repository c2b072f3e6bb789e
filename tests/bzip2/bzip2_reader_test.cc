// Bzip2Reader against libbz2's own sequential reading: for every stream,
// every worker count gives the same bytes, or the same failure after no
// more than the sequential path delivered.
#include "bzip2/bzip2_reader.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <bzlib.h>
#include "bzip2/allocator_cache.h"
#include "bzip2/bzip2_buffer.h"
#include "bzip2/bzip2_failure.h"
#include "bzip2/magic_scanner.h"
#include "gtest/gtest.h"
#include "platform/platform.h"
#include "tests/bzip2/bzip2_test_corpus.h"
#include "tests/support/test_support.h"
#include "util/byte_source.h"

namespace {

using bzip2test::Corpus;

struct Decoded {
  int result = 1;
  Result failure;
  std::string bytes;
  bzip2::ParallelStats stats;
};

bool IsPrefix(const std::string& part, const std::string& whole) {
  return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

size_t CommonPrefix(const std::string& a, const std::string& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

// Block starts of a stream, from its magics.
std::vector<uint64_t> BlockStarts(const std::string& stream) {
  std::vector<bzip2::MagicScanner::Hit> hits;
  std::string padded = stream + std::string(8, '\0');
  bzip2::MagicScanner::Scan(reinterpret_cast<const uint8_t*>(padded.data()), 0, stream.size(), &hits);
  std::vector<uint64_t> starts;
  for (const bzip2::MagicScanner::Hit& hit : hits) {
    if (!hit.end) starts.push_back(hit.bit);
  }
  return starts;
}

class Bzip2ReaderTest : public ::testing::Test {
 protected:
  // Writes `bytes` to a fresh file; returns its native path.
  std::string Put(const std::string& bytes) {
    std::string path = dir_.Join("s" + std::to_string(files_++) + ".bz2");
    EXPECT_TRUE(lmtest::WriteFile(path, bytes));
    return platform::NativePath(path.c_str());
  }

  // Decodes with the fixture's options_ and `workers`.
  Decoded Decode(const std::string& path, int64_t length, int workers, int64_t offset = 0, int chunk = 100000) {
    Decoded out;
    Bzip2Reader reader;
    util::FileRange file;
    Bzip2ReaderOptions options = options_;
    options.workers = workers;
    if (!file.Open(path.c_str(), offset, length) || !reader.Open(&file, options)) {
      out.result = -1;
      out.failure = Bzip2Result(Bzip2Failure::kIo);
      return out;
    }
    std::vector<char> buffer(static_cast<size_t>(chunk));
    int n;
    while ((n = reader.Read(buffer.data(), chunk)) > 0) out.bytes.append(buffer.data(), static_cast<size_t>(n));
    out.result = n;
    out.failure = reader.result();
    EXPECT_EQ(n, reader.Read(buffer.data(), chunk)) << "the end is not sticky";
    out.stats = reader.stats();
    return out;
  }

  // Decodes the file `stream` was written to and expects `data` back.
  Decoded ExpectData(const std::string& path, const std::string& stream, const std::string& data, int workers,
                     int chunk, const std::string& what) {
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers, 0, chunk);
    EXPECT_EQ(0, decoded.result) << what;
    EXPECT_TRUE(decoded.bytes == data) << what;
    return decoded;
  }

  // libbz2's BZ2_bzread over the whole file: the bytes, and whether it
  // reached the end of a stream.
  static bool ReadWithBzread(const std::string& path, std::string* bytes) {
    BZFILE* file = BZ2_bzopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    int n;
    while ((n = BZ2_bzread(file, buffer, sizeof(buffer))) > 0) bytes->append(buffer, static_cast<size_t>(n));
    BZ2_bzclose(file);
    return n == 0;
  }

  // The worker counts against the sequential path for one stream; returns
  // the sequential result.
  Decoded ExpectSameAsSequential(const std::string& stream, const std::string& original, const std::string& what,
                                 const std::vector<int>& workers) {
    std::string path = Put(stream);
    int64_t length = static_cast<int64_t>(stream.size());
    Decoded sequential = Decode(path, length, 1);
    for (int n : workers) {
      std::string where = what + ", " + std::to_string(n) + " workers";
      Decoded parallel = Decode(path, length, n);
      EXPECT_EQ(sequential.result, parallel.result) << where;
      EXPECT_EQ(sequential.failure, parallel.failure) << where;
      if (sequential.result == 0) {
        EXPECT_TRUE(parallel.bytes == sequential.bytes) << where;
      } else {
        // The same decoded bytes as far as both go (how far libbz2 gets
        // into a damaged block before it notices depends on buffer sizes).
        size_t both = std::min(parallel.bytes.size(), sequential.bytes.size());
        EXPECT_EQ(both, CommonPrefix(parallel.bytes, sequential.bytes)) << where;
        // Damaged blocks are held back, unless they decode to more than the
        // ring holds (then they go out as the sequential path sends them).
        if (!IsPrefix(parallel.bytes, original)) {
          EXPECT_GT(parallel.stats.unchecked, 0u) << where;
        }
      }
    }
    return sequential;
  }

  lmtest::TempDir dir_;
  int files_ = 0;
  Bzip2ReaderOptions options_;
};

TEST_F(Bzip2ReaderTest, EveryLevelAndKindOfDataDecodesAlikeWithAnyWorkerCount) {
  for (int level = 1; level <= 9; ++level) {
    for (const bzip2test::Sample& sample : Corpus(level)) {
      std::string what = sample.name + " at level " + std::to_string(level);
      std::string stream = Bzip2CompressBuffer(sample.data, level);
      std::string path = Put(stream);
      std::string viaBzread;
      ASSERT_TRUE(ReadWithBzread(path, &viaBzread)) << what;
      ASSERT_TRUE(viaBzread == sample.data) << what;
      for (int workers : {1, 2, 3, 4, 8}) {
        Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers);
        ASSERT_EQ(0, decoded.result) << what << ", " << workers << " workers: " << decoded.failure.message();
        ASSERT_TRUE(decoded.bytes == viaBzread) << what << ", " << workers << " workers";
        EXPECT_FALSE(decoded.stats.resumed) << what << ", " << workers << " workers";
        // Blocks of ordinary data fit the ring: none goes out unchecked.
        if (sample.name == "text" || sample.name == "random") {
          EXPECT_EQ(0u, decoded.stats.unchecked) << what;
        }
      }
    }
  }
}

// Arrays handed from stream to stream (and level to level, whose sizes
// differ) must never carry one stream's state into the next.
TEST_F(Bzip2ReaderTest, SharedLibraryArraysDecodeAlike) {
  bzip2::SparePool spares(3);
  options_.spares = &spares;
  for (int level : {9, 1, 9}) {
    for (const bzip2test::Sample& sample : Corpus(level)) {
      std::string stream = Bzip2CompressBuffer(sample.data, level);
      std::string path = Put(stream);
      for (int workers : {1, 2}) {
        Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers);
        ASSERT_EQ(0, decoded.result) << sample.name << " at level " << level << ", " << workers << " workers";
        ASSERT_TRUE(decoded.bytes == sample.data) << sample.name << " at level " << level;
      }
    }
  }
}

TEST_F(Bzip2ReaderTest, RunsAcrossBlockEndsDecodeAlike) {
  for (int offset : {-2, 0, 1, 3, 4, 5, 6}) {
    for (size_t run : {3u, 4u, 5u, 255u, 256u, 259u, 260u, 1000u}) {
      std::string data = bzip2test::RunAtBlockEnd(1, offset, run, static_cast<unsigned>(offset + 7));
      std::string stream = Bzip2CompressBuffer(data, 1);
      std::string what = "run of " + std::to_string(run) + " at " + std::to_string(offset);
      Decoded decoded = Decode(Put(stream), static_cast<int64_t>(stream.size()), 3);
      ASSERT_EQ(0, decoded.result) << what;
      ASSERT_TRUE(decoded.bytes == data) << what;
      ASSERT_EQ(2, decoded.stats.blocks) << what;
    }
  }
}

TEST_F(Bzip2ReaderTest, FalseCandidatesAreMergedWithTheBlockBefore) {
  std::vector<std::pair<std::string, int>> samples = {
      {bzip2test::Text(800000, 11), 1}, {bzip2test::NoRepeats(500000, 12), 2}, {bzip2test::Mixed(1000000, 13), 1}};
  for (const auto& sample : samples) {
    std::string stream = Bzip2CompressBuffer(sample.first, sample.second);
    ASSERT_GE(BlockStarts(stream).size(), 3u);
    std::vector<uint64_t> extra;
    for (uint64_t bit = 40; bit < stream.size() * 8; bit += 7919) extra.push_back(bit);
    // Inside and just after the block headers too.
    for (uint64_t start : BlockStarts(stream)) {
      for (uint64_t delta : {1, 10, 47, 48, 80, 81}) extra.push_back(start + delta);
    }
    options_.extraCandidates = extra;
    std::string path = Put(stream);
    for (int workers : {2, 4}) {
      Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers);
      ASSERT_EQ(0, decoded.result) << decoded.failure.message();
      ASSERT_TRUE(decoded.bytes == sample.first);
      EXPECT_GT(decoded.stats.merges, static_cast<int>(extra.size()) / 2);
      EXPECT_FALSE(decoded.stats.resumed);
    }
  }
}

TEST_F(Bzip2ReaderTest, FalseCandidatesInBlocksOfLongRuns) {
  std::string data = std::string(12000000, 'r') + bzip2test::Text(200000, 14);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::vector<uint64_t> extra;
  for (uint64_t start : BlockStarts(stream)) extra.push_back(start + 200);
  options_.extraCandidates = extra;
  std::string path = Put(stream);
  // With small rings the workers wait on blocks behind the merged head,
  // which must still find a thread.
  for (size_t ring : {0, 16384}) {
    options_.ringBytes = ring;
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), 3);
    ASSERT_EQ(0, decoded.result) << ring;
    EXPECT_TRUE(decoded.bytes == data) << ring;
    EXPECT_GE(decoded.stats.merges, 3) << ring;
  }
}

// A false candidate in the first block makes a merged head after the
// blocks behind it were handed to every worker, which then wait with their
// small rings full: the merged head must still find a thread.
TEST_F(Bzip2ReaderTest, AMergedHeadFindsAThreadWhenEveryWorkerWaits) {
  std::string data = bzip2test::Text(1500000, 15);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::vector<uint64_t> starts = BlockStarts(stream);
  ASSERT_GE(starts.size(), 8u);
  options_.extraCandidates = {starts[0] + 200};
  options_.ringBytes = 4096;
  std::string path = Put(stream);
  for (int workers : {2, 3}) {
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers);
    ASSERT_EQ(0, decoded.result) << workers;
    EXPECT_TRUE(decoded.bytes == data) << workers;
    EXPECT_EQ(1, decoded.stats.merges) << workers;
  }
}

// Text compresses to several blocks per read piece; only workers + 1 of
// them may be decoding (each into a ring of its own) at any time.
TEST_F(Bzip2ReaderTest, OnlyAFewBlocksAreDecodedAhead) {
  std::string data = bzip2test::Text(3000000, 11);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::string path = Put(stream);
  for (int workers : {1, 2, 4}) {
    Decoded decoded = ExpectData(path, stream, data, workers, 4096, std::to_string(workers) + " workers");
    EXPECT_LE(decoded.stats.mostAhead, workers == 1 ? 0 : workers + 1) << workers << " workers";
    if (workers > 1) {
      EXPECT_GE(decoded.stats.mostAhead, 2) << workers << " workers";
    }
  }
}

TEST_F(Bzip2ReaderTest, WorkersAreStartedOnlyForBlocksThereAre) {
  std::string one = Bzip2CompressBuffer(bzip2test::Text(50000, 1), 1);
  Decoded single = Decode(Put(one), static_cast<int64_t>(one.size()), 8);
  EXPECT_EQ(0, single.result);
  EXPECT_EQ(0, single.stats.threads);

  std::string three = Bzip2CompressBuffer(bzip2test::Text(250000, 2), 1);
  Decoded several = Decode(Put(three), static_cast<int64_t>(three.size()), 8);
  EXPECT_EQ(0, several.result);
  EXPECT_EQ(3, several.stats.blocks);
  EXPECT_GE(several.stats.threads, 1);
  EXPECT_LE(several.stats.threads, 3);
}

TEST_F(Bzip2ReaderTest, SmallReadsDeliverTheSameBytes) {
  std::string data = bzip2test::Mixed(700000, 9);
  std::string stream = Bzip2CompressBuffer(data, 2);
  std::string path = Put(stream);
  for (int chunk : {1, 7, 4096}) ExpectData(path, stream, data, 2, chunk, "reads of " + std::to_string(chunk));
}

TEST_F(Bzip2ReaderTest, EveryTruncationFailsAlike) {
  std::string data = bzip2test::Repetitive(220000, 3);
  std::string stream = Bzip2CompressBuffer(data, 1);
  ASSERT_LT(stream.size(), 1500u);  // a few hundred bytes per block
  ASSERT_EQ(3u, BlockStarts(stream).size());
  std::string path = Put(stream);
  for (size_t length = 0; length < stream.size(); ++length) {
    std::string what = "cut to " + std::to_string(length);
    Decoded sequential = Decode(path, static_cast<int64_t>(length), 1);
    ASSERT_EQ(-1, sequential.result) << what;
    ASSERT_EQ(Bzip2Result(Bzip2Failure::kTruncated), sequential.failure) << what;
    for (int workers : {2, length % 8 == 0 ? 4 : 2}) {
      Decoded parallel = Decode(path, static_cast<int64_t>(length), workers);
      ASSERT_EQ(-1, parallel.result) << what;
      ASSERT_EQ(Bzip2Result(Bzip2Failure::kTruncated), parallel.failure) << what << ", " << workers << " workers";
      ASSERT_TRUE(IsPrefix(parallel.bytes, data)) << what;
    }
  }
}

TEST_F(Bzip2ReaderTest, FlippedBitsFailAlike) {
  std::string data = bzip2test::Repetitive(250000, 4) + bzip2test::Text(5000, 4);
  std::string stream = Bzip2CompressBuffer(data, 1);
  uint32_t seed = 12345;
  int failures = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string damaged = stream;
    int flips = 1 + round % 3;
    for (int i = 0; i < flips; ++i) {
      seed = seed * 1103515245u + 12345u;
      size_t bit = (seed >> 4) % (damaged.size() * 8);
      damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (0x80 >> (bit % 8)));
    }
    std::string what = "round " + std::to_string(round);
    Decoded sequential = ExpectSameAsSequential(damaged, data, what, {2 + round % 3});
    if (HasFailure()) return;
    if (sequential.result != 0) ++failures;
    if (round % 4 != 0) continue;
    std::string viaBzread;
    bool bzreadOk = ReadWithBzread(Put(damaged), &viaBzread);
    // BZ2_bzread ignores what follows a stream; otherwise it agrees.
    if (sequential.failure != Bzip2Result(Bzip2Failure::kTrailingData)) {
      ASSERT_EQ(sequential.result == 0, bzreadOk) << what;
    }
  }
  EXPECT_GT(failures, 1000);
}

// With a ring smaller than a block, ordinary blocks go out before their
// check; intact streams must still give their bytes, damaged ones the
// sequential failure.
TEST_F(Bzip2ReaderTest, BlocksLargerThanTheRingDecodeAlike) {
  options_.ringBytes = 16384;
  for (int level : {1, 9}) {
    for (const bzip2test::Sample& sample : Corpus(level)) {
      std::string what = sample.name + " at level " + std::to_string(level);
      std::string stream = Bzip2CompressBuffer(sample.data, level);
      std::string path = Put(stream);
      for (int workers : {2, 4}) {
        Decoded decoded = ExpectData(path, stream, sample.data, workers, 5000, what);
        if (decoded.stats.blocks > 1) {
          EXPECT_GT(decoded.stats.unchecked, 0u) << what;
        }
      }
    }
  }
  std::string data = bzip2test::Text(250000, 5);
  std::string stream = Bzip2CompressBuffer(data, 1);
  uint32_t seed = 777;
  for (int round = 0; round < 300; ++round) {
    std::string damaged = stream.substr(0, stream.size() - round % 5);
    seed = seed * 1103515245u + 12345u;
    size_t bit = (seed >> 4) % (damaged.size() * 8);
    damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (0x80 >> (bit % 8)));
    ExpectSameAsSequential(damaged, data, "round " + std::to_string(round), {2 + round % 3});
    if (HasFailure()) return;
  }
}

// Found by fuzzing: two copies of a block header whose block runs past the
// second copy. Cut at the copy, the first block decodes to megabytes that go
// out unchecked and differ from what the whole stream gives; the failure
// must still be the sequential decoder's.
TEST_F(Bzip2ReaderTest, AnUncheckedBlockCutShortFailsAlike) {
  static const unsigned char kStream[] = {
      0x42, 0x5a, 0x68, 0x33, 0x31, 0x41, 0x59, 0x26, 0x53, 0x59, 0xbb, 0xa1, 0x1e, 0x19, 0x00, 0x01, 0x26,
      0x48, 0x00, 0xc0, 0x00, 0x00, 0x00, 0x40, 0x08, 0x20, 0x00, 0x30, 0xcc, 0x05, 0x29, 0xa6, 0x33, 0x31,
      0x41, 0x59, 0x26, 0x53, 0x59, 0xbb, 0xa1, 0x1e, 0x19, 0x00, 0x01, 0x26, 0x48, 0x00, 0xc0, 0x00, 0x00,
      0x00, 0x40, 0x08, 0x20, 0x00, 0x30, 0xcc, 0x05, 0x29, 0xa6, 0x28, 0x8d, 0x89, 0x68, 0x33, 0x4e, 0x31,
      0x30, 0x5f, 0x5f, 0x63, 0x33, 0x39, 0x41, 0x59, 0x26, 0x53, 0x28, 0x8d, 0x89, 0x68, 0x33, 0x4e, 0x31,
      0x30, 0x5f, 0x5f, 0x63, 0x33, 0x39, 0x41, 0x59, 0x26, 0x53, 0x59, 0xbb, 0xa1, 0xc4, 0x08, 0xf0, 0x05};
  std::string stream(reinterpret_cast<const char*>(kStream), sizeof(kStream));
  std::string path = Put(stream);
  Decoded sequential = Decode(path, static_cast<int64_t>(stream.size()), 1);
  ASSERT_EQ(-1, sequential.result);
  for (int workers : {2, 4}) {
    Decoded parallel = Decode(path, static_cast<int64_t>(stream.size()), workers);
    EXPECT_EQ(-1, parallel.result) << workers << " workers";
    EXPECT_EQ(sequential.failure, parallel.failure) << workers << " workers";
    if (!IsPrefix(parallel.bytes, sequential.bytes)) {
      EXPECT_GT(parallel.stats.unchecked, 0u) << workers << " workers";
    }
  }
}

TEST_F(Bzip2ReaderTest, DataAfterTheStreamIsRefused) {
  std::string data = bzip2test::Text(450000, 5);
  std::string stream = Bzip2CompressBuffer(data, 1);
  for (const std::string& after : {std::string("x"), std::string(1, '\0'), Bzip2CompressBuffer("more", 1)}) {
    std::string path = Put(stream + after);
    int64_t length = static_cast<int64_t>(stream.size() + after.size());
    for (int workers : {1, 2, 4}) {
      Decoded decoded = Decode(path, length, workers);
      EXPECT_EQ(-1, decoded.result);
      EXPECT_EQ(Bzip2Result(Bzip2Failure::kTrailingData), decoded.failure) << workers << " workers";
      EXPECT_TRUE(decoded.bytes == data) << "everything before the end is delivered";
    }
    // The same bytes are fine when the range stops at the stream's end.
    EXPECT_EQ(0, Decode(path, static_cast<int64_t>(stream.size()), 2).result);
  }
}

TEST_F(Bzip2ReaderTest, ReadsARangeOfALargerFile) {
  std::string data = bzip2test::Mixed(600000, 6);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::string before = lmtest::RandomBytes(12345, 1);
  std::string path = Put(before + stream + lmtest::RandomBytes(999, 2));
  for (int workers : {1, 3}) {
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers, static_cast<int64_t>(before.size()));
    EXPECT_EQ(0, decoded.result);
    EXPECT_TRUE(decoded.bytes == data);
  }
}

TEST_F(Bzip2ReaderTest, ReadsBeyondFourGigabytes) {
  std::string data = bzip2test::Text(300000, 7);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::string path = platform::NativePath(dir_.Join("sparse.bin").c_str());
  const int64_t offset = (int64_t{5} << 30) + 3;  // a sparse file: no disk space used
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file);
  bool written =
      fseeko64(file, offset, SEEK_SET) == 0 && fwrite(stream.data(), 1, stream.size(), file) == stream.size();
  fclose(file);
  if (!written) GTEST_SKIP() << "no large sparse files here";
  for (int workers : {1, 2}) {
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()), workers, offset);
    EXPECT_EQ(0, decoded.result) << decoded.failure.message();
    EXPECT_TRUE(decoded.bytes == data);
  }
}

TEST_F(Bzip2ReaderTest, UnreadableInputIsAnIoFailure) {
  Bzip2Reader reader;
  EXPECT_FALSE(reader.Open(platform::NativePath(dir_.Join("missing").c_str()).c_str(), 0, 10, 2));
  EXPECT_EQ(Bzip2Result(Bzip2Failure::kIo), reader.result());
  char buffer[16];
  EXPECT_EQ(-1, reader.Read(buffer, sizeof(buffer)));

  std::string stream = Bzip2CompressBuffer(bzip2test::Text(300000, 8), 1);
  std::string path = Put(stream);
  for (int workers : {1, 2}) {
    // The range claims more than the file holds.
    Decoded decoded = Decode(path, static_cast<int64_t>(stream.size()) + 100, workers);
    EXPECT_EQ(-1, decoded.result);
    EXPECT_EQ(Bzip2Result(Bzip2Failure::kIo), decoded.failure) << workers << " workers";
  }
}

TEST_F(Bzip2ReaderTest, ReadAfterCloseFails) {
  std::string stream = Bzip2CompressBuffer(bzip2test::Text(300000, 9), 1);
  std::string path = Put(stream);
  Bzip2Reader reader;
  ASSERT_TRUE(reader.Open(path.c_str(), 0, static_cast<int64_t>(stream.size()), 2));
  char buffer[1000];
  EXPECT_GT(reader.Read(buffer, sizeof(buffer)), 0);
  reader.Close();  // with workers still busy
  EXPECT_EQ(-1, reader.Read(buffer, sizeof(buffer)));
}

}  // namespace
