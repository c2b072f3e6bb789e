// Bzip2Reader on good and damaged streams, and Bzip2Writer against
// libbz2's own one-call encoder (the module's tests may use libbz2 directly
// as the reference).
#include "bzip2_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bzip2_buffer.h"
#include "bzlib.h"
#include "bzip2_writer.h"
#include "platform.h"
#include "test_support.h"

namespace {

// Texts with long runs (crossing block ends at level 1), text-like data and
// random bytes.
std::vector<std::string> Corpus() {
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i * 7919 % 1000) + " of some text\n";
  return {"", "a", std::string(250000, 'x') + lmtest::RandomBytes(1000, 1) + std::string(99999, 'y'), text,
          lmtest::RandomBytes(250000, 2)};
}

class Bzip2ReaderTest : public ::testing::Test {
 protected:
  // Decodes `stream` (written into a file behind `prefix` bytes and before
  // `suffix`) with `workers`; the bytes, and whether it ended cleanly.
  bool Decode(const std::string& stream, int workers, std::string* out, Bzip2Failure* failure = nullptr,
              const std::string& prefix = "pre", const std::string& suffix = "post") {
    std::string path = dir_.Join("stream.bin");
    EXPECT_TRUE(lmtest::WriteFile(path, prefix + stream + suffix));
    Bzip2Reader reader;
    out->clear();
    if (!reader.Open(platform::NativePath(path.c_str()).c_str(), static_cast<int64_t>(prefix.size()),
                     static_cast<int64_t>(stream.size()), workers)) {
      return false;
    }
    std::vector<char> buffer(10240);
    int n;
    while ((n = reader.Read(buffer.data(), static_cast<int>(buffer.size()))) > 0) out->append(buffer.data(), n);
    if (failure != nullptr) *failure = reader.failure();
    EXPECT_EQ(n, reader.Read(buffer.data(), 1)) << "the end is not sticky";
    return n == 0;
  }

  lmtest::TempDir dir_;
};

TEST_F(Bzip2ReaderTest, DecodesWhatLibbz2WroteAtEveryLevel) {
  for (const std::string& data : Corpus()) {
    for (int level : {1, 5, 9}) {
      std::string stream = Bzip2CompressBuffer(data, level);
      for (int workers : {1, 2, 4}) {
        std::string out;
        EXPECT_TRUE(Decode(stream, workers, &out)) << level << " " << workers;
        EXPECT_TRUE(out == data) << "level " << level << ", " << data.size() << " bytes";
      }
    }
  }
}

TEST_F(Bzip2ReaderTest, RefusesTruncatedCorruptAndTrailingData) {
  std::string data = Corpus()[2];
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::string out;
  Bzip2Failure failure;
  for (size_t cut = 0; cut < stream.size(); cut += 1 + stream.size() / 300) {
    EXPECT_FALSE(Decode(stream.substr(0, cut), 1, &out, &failure)) << cut;
    EXPECT_EQ(0u, data.compare(0, out.size(), out)) << "a prefix of the data, and nothing else";
  }
  for (int flip = 0; flip < 200; ++flip) {
    std::string damaged = stream;
    size_t at = 4 + (static_cast<size_t>(flip) * 2654435761u) % (damaged.size() - 4);
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (flip % 8)));
    EXPECT_FALSE(Decode(damaged, 1, &out)) << at;
  }
  EXPECT_FALSE(Decode(stream + "x", 1, &out, &failure));
  EXPECT_EQ(Bzip2Failure::kTrailingData, failure);
  EXPECT_FALSE(Decode(stream + stream, 1, &out, &failure));  // only one stream
  EXPECT_EQ(Bzip2Failure::kTrailingData, failure);
}

TEST_F(Bzip2ReaderTest, WriterGivesLibbz2sBytesForEveryJobCount) {
  for (const std::string& data : Corpus()) {
    for (int level : {1, 9}) {
      std::vector<char> reference(data.size() + data.size() / 100 + 1024);
      unsigned length = static_cast<unsigned>(reference.size());
      ASSERT_EQ(BZ_OK, BZ2_bzBuffToBuffCompress(reference.data(), &length, const_cast<char*>(data.data()),
                                                 static_cast<unsigned>(data.size()), level, 0, 30));
      for (int jobs : {1, 2, 8}) {
        std::string out;
        Bzip2Writer writer(level, jobs, [&out](const char* bytes, size_t size) {
          out.append(bytes, size);
          return true;
        });
        // Fed in uneven pieces, as lmpack feeds files.
        for (size_t at = 0; at < data.size(); at += 77777) ASSERT_TRUE(writer.Write(data.data() + at, std::min<size_t>(77777, data.size() - at)));
        ASSERT_TRUE(writer.Finish());
        EXPECT_EQ(out.size(), writer.written());
        EXPECT_TRUE(out == std::string(reference.data(), length)) << level << " " << jobs;
      }
    }
  }
}

TEST_F(Bzip2ReaderTest, WriterStopsWhenTheSinkRefuses) {
  Bzip2Writer writer(1, 1, [](const char*, size_t) { return false; });
  std::string data = lmtest::RandomBytes(300000, 4);
  bool ok = writer.Write(data.data(), data.size()) && writer.Finish();
  EXPECT_FALSE(ok);
  EXPECT_TRUE(writer.sinkFailed());
}

}  // namespace
