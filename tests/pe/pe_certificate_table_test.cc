#include "pe/pe_certificate_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/fake_pe_image.h"
#include "tests/support/test_support.h"

namespace {

using lmtest::FakePeImage;
using lmtest::PutU16;
using lmtest::PutU32;
using pe::PeCertificateTable;
using Status = PeCertificateTable::Status;

// Looks at `file` in memory, failing the test when a read leaves the file or
// asks for more than a field.
PeCertificateTable Find(const std::string& file, bool readsFail = false) {
  return PeCertificateTable::Find(
      [&](int64_t offset, void* buffer, int size) {
        EXPECT_TRUE(offset >= 0 && size > 0 && size <= 4 && offset + size <= static_cast<int64_t>(file.size()))
            << offset << "+" << size;
        if (readsFail || offset < 0 || offset + size > static_cast<int64_t>(file.size())) return false;
        memcpy(buffer, file.data() + offset, static_cast<size_t>(size));
        return true;
      },
      static_cast<int64_t>(file.size()));
}

// The image, something behind it (a payload, say), and a signature.
std::string Signed(const FakePeImage& image, size_t behind = 100) {
  return image.Sign(image.bytes() + std::string(behind, 'p'));
}

class PeCertificateTableTest : public ::testing::TestWithParam<bool> {
 protected:
  PeCertificateTableTest() : image_(GetParam()) {}

  void ExpectDamaged(const std::string& file, const std::string& reason) {
    PeCertificateTable table = Find(file);
    EXPECT_EQ(Status::kDamaged, table.status()) << reason;
    EXPECT_NE(std::string::npos, std::string(table.problem()).find(reason)) << table.problem();
    EXPECT_EQ(0, table.offset());
  }

  FakePeImage image_;
};

TEST_P(PeCertificateTableTest, FindsTheTableAtTheEndAfterAnyPadding) {
  for (size_t behind = 0; behind < 8; ++behind) {
    std::string file = Signed(image_, behind);
    size_t start = lmtest::GetU32(file, image_.securityDirectory());
    EXPECT_EQ(0u, start % 8);
    PeCertificateTable table = Find(file);
    ASSERT_EQ(Status::kFound, table.status()) << table.problem();
    EXPECT_EQ(static_cast<int64_t>(start), table.offset());
    EXPECT_STREQ("", table.problem());
  }
  // Several entries, the last one unpadded at the end of the table.
  std::string file = image_.bytes();
  std::string entries = FakePeImage::CertificateTable(3, 13);
  entries.resize(entries.size() - 3);
  PutU32(&file, image_.securityDirectory(), static_cast<uint32_t>(file.size()));
  PutU32(&file, image_.securityDirectory() + 4, static_cast<uint32_t>(entries.size()));
  EXPECT_EQ(Status::kFound, Find(file + entries).status());
}

TEST_P(PeCertificateTableTest, FilesThatNameNoTable) {
  EXPECT_EQ(Status::kNone, Find(image_.bytes() + "payload").status());  // an empty security directory
  // Fewer than five data directories: there is no security entry to read, so
  // whatever its bytes say, the file is read as unsigned.
  std::string file = Signed(image_);
  PutU32(&file, image_.directoryCountField(), 4);
  EXPECT_EQ(Status::kNone, Find(file).status());
  PutU32(&file, image_.directoryCountField(), 0);
  EXPECT_EQ(Status::kNone, Find(file).status());

  // Without "MZ" and a "PE\0\0" inside the file there is no PE image at all.
  for (const std::string& other : {std::string(), std::string("MZ"),
                                   std::string("\x7f"
                                               "ELF") +
                                       std::string(200, 1),
                                   std::string(1000, 'S')}) {
    EXPECT_EQ(Status::kNone, Find(other).status());
  }
  std::string noMz = Signed(image_);
  noMz[0] = 'X';
  EXPECT_EQ(Status::kNone, Find(noMz).status());
  std::string noSignature = Signed(image_);
  noSignature[FakePeImage::kPeHeader + 2] = 'x';
  EXPECT_EQ(Status::kNone, Find(noSignature).status());
  for (uint32_t past : {0xFFFFFFFFu, 0x80000000u, static_cast<uint32_t>(noMz.size()) - 3}) {
    std::string lost = Signed(image_);
    PutU32(&lost, FakePeImage::kNewHeaderField, past);
    EXPECT_EQ(Status::kNone, Find(lost).status()) << past;
  }
}

TEST_P(PeCertificateTableTest, TablesThatDoNotFitAreDamaged) {
  const std::string file = Signed(image_);
  const size_t directory = image_.securityDirectory();
  const uint32_t start = lmtest::GetU32(file, directory);
  const uint32_t size = lmtest::GetU32(file, directory + 4);
  auto with = [&](uint32_t newStart, uint32_t newSize) {
    std::string damaged = file;
    PutU32(&damaged, directory, newStart);
    PutU32(&damaged, directory + 4, newSize);
    return damaged;
  };
  ExpectDamaged(with(start, size + 8), "runs past the end of the file");
  ExpectDamaged(with(0xFFFFFFF8u, size), "runs past the end of the file");
  ExpectDamaged(with(start, 0xFFFFFFFFu), "runs past the end of the file");
  ExpectDamaged(with(start + 8, size - 16), "does not end at the file's end");
  ExpectDamaged(file + std::string(8, '\0'), "does not end at the file's end");  // appended to after signing
  ExpectDamaged(with(start, 0), "half empty");
  ExpectDamaged(with(0, size), "half empty");
  ExpectDamaged(with(start - 4, size + 4), "not aligned");
  // Reaching back over the data behind the image: bytes that are no entry
  // are damage; bytes that look like one are for the payload reader to judge.
  std::string reaching = with(start - 96, size + 96);
  ExpectDamaged(reaching, "a certificate entry's length");
  PutU32(&reaching, start - 96, 96);
  EXPECT_EQ(Status::kFound, Find(reaching).status());
  // Over the section data or the headers it is damage.
  ExpectDamaged(with(FakePeImage::kSize - 8, static_cast<uint32_t>(file.size()) - (FakePeImage::kSize - 8)),
                "overlaps a section's data");
  ExpectDamaged(with(0x100, static_cast<uint32_t>(file.size()) - 0x100), "overlaps the PE headers");
}

TEST_P(PeCertificateTableTest, EntriesMustFillTheTable) {
  const std::string file = Signed(image_);
  const size_t start = lmtest::GetU32(file, image_.securityDirectory());
  for (uint32_t length : {0u, 7u, 0x10000u, 0xFFFFFFFFu}) {
    std::string damaged = file;
    PutU32(&damaged, start, length);
    ExpectDamaged(damaged, "a certificate entry's length does not fit the table");
  }
  std::string many = image_.bytes();
  std::string table = FakePeImage::CertificateTable(PeCertificateTable::kMaxCertificates + 1, 0);
  PutU32(&many, image_.securityDirectory(), static_cast<uint32_t>(many.size()));
  PutU32(&many, image_.securityDirectory() + 4, static_cast<uint32_t>(table.size()));
  ExpectDamaged(many + table, "too many entries");
  table.resize(table.size() - 8);
  PutU32(&many, image_.securityDirectory() + 4, static_cast<uint32_t>(table.size()));
  EXPECT_EQ(Status::kFound, Find(many + table).status());
}

TEST_P(PeCertificateTableTest, HeadersThatDoNotFitAreDamaged) {
  std::string file = Signed(image_);
  PutU16(&file, FakePeImage::kOptionalHeader, 0x107);
  ExpectDamaged(file, "neither PE32 nor PE32+");
  file = Signed(image_);
  PutU16(&file, FakePeImage::kOptionalSizeField, 0);
  ExpectDamaged(file, "no optional header");
  PutU16(&file, FakePeImage::kOptionalSizeField, 90);
  ExpectDamaged(file, "too short for its data directories");
  PutU16(&file, FakePeImage::kOptionalSizeField, image_.securityDirectory() - FakePeImage::kOptionalHeader + 4);
  ExpectDamaged(file, "too short for the security directory");
  file = Signed(image_);
  PutU16(&file, FakePeImage::kSectionCountField, 0xFFFF);
  ExpectDamaged(file, "the section table runs past the end of the file");
  PutU16(&file, FakePeImage::kSectionCountField, 0);
  EXPECT_EQ(Status::kFound, Find(file).status());

  // Cut anywhere: no PE image until "PE\0\0" is whole, damaged from then on
  // (first the headers, then the table run past the end).
  const std::string whole = Signed(image_);
  for (size_t keep = 0; keep < whole.size(); ++keep) {
    PeCertificateTable table = Find(whole.substr(0, keep));
    EXPECT_EQ(keep < FakePeImage::kPeHeader + 4 ? Status::kNone : Status::kDamaged, table.status()) << keep;
  }
  ExpectDamaged(whole.substr(0, FakePeImage::kOptionalHeader + 10), "the optional header runs past the end");
}

TEST_P(PeCertificateTableTest, ReadFailuresAreDamage) {
  PeCertificateTable table = Find(Signed(image_), true);
  EXPECT_EQ(Status::kDamaged, table.status());
  EXPECT_NE(std::string::npos, std::string(table.problem()).find("cannot be read")) << table.problem();
}

// Random damage to the headers and the table: every read stays inside the
// file (checked by Find), and a table that is found lies behind the headers,
// aligned, within the file.
TEST_P(PeCertificateTableTest, RandomDamageNeverReadsOutsideTheFile) {
  const std::string whole = Signed(image_);
  std::string noise = lmtest::RandomBytes(4 * 3000, GetParam() ? 5 : 3);
  int found = 0, damaged = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string file = whole;
    for (int i = 0; i < 3; ++i) {
      uint32_t where = static_cast<unsigned char>(noise[4 * round + i]);
      bool inHeaders = (noise[4 * round + 3] & 1) != 0;
      size_t offset = inHeaders ? FakePeImage::kCoffHeader + (where * 2) % 0x120 : whole.size() - 1 - where % 80;
      file[offset] = noise[(4 * round + 7 * i + 1) % noise.size()];
    }
    PeCertificateTable table = Find(file);
    if (table.status() == Status::kFound) {
      ++found;
      EXPECT_EQ(0, table.offset() % 8);
      EXPECT_GE(table.offset(), static_cast<int64_t>(FakePeImage::kSize));
      EXPECT_LT(table.offset(), static_cast<int64_t>(file.size()));
    } else if (table.status() == Status::kDamaged) {
      ++damaged;
    }
  }
  EXPECT_GT(found, 0);
  EXPECT_GT(damaged, 0);
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PeCertificateTableTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Pe32Plus" : "Pe32"; });

}  // namespace
