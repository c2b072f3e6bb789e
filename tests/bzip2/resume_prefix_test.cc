// ResumePrefix: libbz2, fed the prefix and the original bytes from any
// block on, decodes the rest of the stream and accepts its combined CRC.
#include "resume_prefix.h"

#include <string>
#include <vector>

#include "bzip2_buffer.h"
#include "bzip2_format.h"
#include "bzip2_test_corpus.h"
#include "gtest/gtest.h"
#include "magic_scanner.h"
#include "stream_decoder.h"

namespace {

// Resumes at the first block of each of the eight bit alignments.
TEST(ResumePrefixTest, ResumesAtBlocksOfEveryAlignment) {
  std::string data = bzip2test::Text(6000000, 21);
  std::string stream = Bzip2CompressBuffer(data, 1);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  std::string padded = stream + std::string(8, '\0');
  std::vector<bzip2::MagicScanner::Hit> hits;
  bzip2::MagicScanner::Scan(reinterpret_cast<const uint8_t*>(padded.data()), 0, stream.size(), &hits);
  uint32_t combined = 0;
  bool alignments[8] = {};
  size_t blocks = 0;
  for (const bzip2::MagicScanner::Hit& hit : hits) {
    if (hit.end) break;
    ++blocks;
    int alignment = static_cast<int>(hit.bit & 7);
    uint32_t crc = static_cast<uint32_t>(bzip2::ReadBits(bytes, hit.bit + 48, 32));
    if (alignments[alignment]) {
      combined = bzip2::CombineCrc(combined, crc);
      continue;
    }
    alignments[alignment] = true;
    std::vector<uint8_t> input;
    size_t leadIn = 0;
    ASSERT_TRUE(bzip2::ResumePrefix::Build(1, combined, alignment, bytes[hit.bit / 8], &input, &leadIn));
    size_t from = static_cast<size_t>(hit.bit / 8) + (alignment != 0 ? 1 : 0);
    input.insert(input.end(), bytes + from, bytes + stream.size());
    bzip2::StreamDecoder decoder(input, nullptr, leadIn, 0);
    std::string out;
    char buffer[65536];
    int n;
    while ((n = decoder.Read(buffer, sizeof(buffer))) > 0) out.append(buffer, static_cast<size_t>(n));
    ASSERT_EQ(0, n) << "block at bit " << hit.bit << ": " << Bzip2FailureText(decoder.failure());
    ASSERT_FALSE(out.empty());
    ASSERT_EQ(0, data.compare(data.size() - out.size(), out.size(), out)) << "block at bit " << hit.bit;
    combined = bzip2::CombineCrc(combined, crc);
  }
  EXPECT_GE(blocks, 50u);
  for (int a = 0; a < 8; ++a) EXPECT_TRUE(alignments[a]) << "no block at alignment " << a;
}

TEST(ResumePrefixTest, AWrongCombinedCrcIsCaught) {
  std::string data = bzip2test::Text(300000, 22);
  std::string stream = Bzip2CompressBuffer(data, 1);
  std::string padded = stream + std::string(8, '\0');
  std::vector<bzip2::MagicScanner::Hit> hits;
  bzip2::MagicScanner::Scan(reinterpret_cast<const uint8_t*>(padded.data()), 0, stream.size(), &hits);
  ASSERT_GE(hits.size(), 3u);
  uint64_t bit = hits[1].bit;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  std::vector<uint8_t> input;
  size_t leadIn = 0;
  ASSERT_TRUE(bzip2::ResumePrefix::Build(1, 0x12345678u, static_cast<int>(bit & 7), bytes[bit / 8], &input, &leadIn));
  size_t from = static_cast<size_t>(bit / 8) + ((bit & 7) != 0 ? 1 : 0);
  input.insert(input.end(), bytes + from, bytes + stream.size());
  bzip2::StreamDecoder decoder(input, nullptr, leadIn, 0);
  char buffer[65536];
  int n;
  while ((n = decoder.Read(buffer, sizeof(buffer))) > 0) {
  }
  EXPECT_EQ(-1, n);
  EXPECT_EQ(Bzip2Failure::kCorrupt, decoder.failure());
}

}  // namespace
