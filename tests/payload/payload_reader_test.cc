#include "payload/payload_reader.h"
#include "file/read_whole_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "payload/integrity_record.h"
#include "payload/payload_codec.h"
#include "payload/payload_format.h"
#include "payload/payload_writer.h"
#include "payload/table_output.h"
#include "platform/platform.h"
#include "platform/testing/port_testing.h"
#include "tests/support/fake_pe_image.h"
#include "tests/support/payload_table_lines.h"
#include "tests/support/test_support.h"
#include "xz/crc32.h"

namespace {

using lmtest::FakePeImage;
using lmtest::PayloadBytes;
using lmtest::TempDir;

class PayloadReaderTest : public ::testing::Test {
 protected:
  // Reads the table of a file holding `bytes`.
  // Reads the table of a file holding `bytes`; *problem is the message.
  Outcome Read(const std::string& bytes, PayloadTable* table, std::string* problem) {
    std::string path = dir_.Join("setup.bin");
    EXPECT_TRUE(lmtest::WriteFile(path, bytes));
    LmFileStream own;
    EXPECT_EQ(1, own.OpenFile(path.c_str(), 0));
    Result result = PayloadReader::ReadTable(&own, table);
    EXPECT_EQ(result.ok(), result.message().empty());
    *problem = result.message();
    return result.outcome();
  }
  Outcome Read(const std::string& bytes) {
    PayloadTable table;
    std::string problem;
    return Read(bytes, &table, &problem);
  }

  // The worked example: bin\run.exe in \bin, 3 bytes.
  std::string WorkedExample(const std::string& stub, std::string* compressed) {
    std::string path = dir_.Join("example.bin");
    EXPECT_TRUE(lmtest::WriteFile(path, stub));
    *compressed = lmtest::Compress("abc");
    LmFileStream out;
    EXPECT_EQ(1, out.OpenFile(path.c_str(), 3));
    EXPECT_EQ(1, out.Seek(0, 2));
    LmList<FILENODE> entries;
    entries.AddTail(FILENODE{LmString("\\bin"), 2, 0});
    entries.AddTail(FILENODE{LmString("\\bin\\run.exe"), 1, 3});
    int lengthPosition = 0;
    EXPECT_TRUE(PayloadWriter::WriteTable(&out, LmString("bin\\run.exe"), entries, &lengthPosition));
    EXPECT_EQ(static_cast<int>(compressed->size()),
              out.Write(compressed->data(), static_cast<int>(compressed->size())));
    EXPECT_TRUE(PayloadWriter::Finish(&out, lengthPosition, static_cast<int32_t>(compressed->size()),
                                      static_cast<int32_t>(stub.size())));
    EXPECT_EQ(1, out.Close());
    return ReadWholeFile(path);
  }

  static std::string Trailer(uint32_t offset) { return PayloadBytes().Int(offset).bytes(); }

  // The worked example's table and `compressed` behind `stub` as
  // WritePayload writes them, with an integrity record.
  std::string WithRecord(const std::string& stub, const std::string& compressed) {
    std::string path = dir_.Join("recorded.bin"), dataPath = dir_.Join("data.bin");
    EXPECT_TRUE(lmtest::WriteFile(path, stub));
    EXPECT_TRUE(lmtest::WriteFile(dataPath, compressed));
    LmFileStream out, data;
    EXPECT_EQ(1, out.OpenFile(path.c_str(), 3));
    EXPECT_EQ(1, out.Seek(0, 2));
    EXPECT_EQ(1, data.OpenFile(dataPath.c_str(), 0));
    LmList<FILENODE> entries;
    entries.AddTail(FILENODE{LmString("\\bin"), 2, 0});
    entries.AddTail(FILENODE{LmString("\\bin\\run.exe"), 1, 3});
    EXPECT_TRUE(PayloadWriter::WritePayload(&out, LmString("bin\\run.exe"), entries, &data,
                                            static_cast<int32_t>(compressed.size())));
    EXPECT_EQ(1, out.Close());
    return ReadWholeFile(path);
  }

  // Reads the table of `bytes` and copies its compressed data; empty when
  // either fails. *crc (when given) is the payload's CRC-32.
  std::string Compressed(const std::string& bytes, PayloadTable* table, uint32_t* payloadCrc = nullptr) {
    std::string path = dir_.Join("setup.bin");
    EXPECT_TRUE(lmtest::WriteFile(path, bytes));
    LmFileStream own, staging;
    EXPECT_EQ(1, own.OpenFile(path.c_str(), 0));
    if (!PayloadReader::ReadTable(&own, table).ok()) return std::string();
    std::string stagingPath = dir_.Join("staging");
    EXPECT_EQ(1, staging.OpenFile(stagingPath.c_str(), 1));
    char buffer[CHUNK_SIZE];
    uint32_t crc = 0;
    if (!PayloadReader::CopyCompressed(&own, &staging, *table, buffer, &crc).ok()) return std::string();
    if (payloadCrc != nullptr) *payloadCrc = crc;
    return ReadWholeFile(stagingPath);
  }

  // A setup executable whose stub is a PE image and `extra` bytes, holding
  // two small files.
  static std::string PeSetup(const FakePeImage& image, size_t extra = 0) {
    return lmtest::BuildSetup(image.bytes() + std::string(extra, 'x'), "run.exe",
                              {{"\\run.exe", 1, "program"}, {"\\data.txt", 1, std::string(300, 'd')}});
  }

  TempDir dir_;
};

TEST_F(PayloadReaderTest, WorkedExampleRoundTrips) {
  std::string stub(1000, 'S');
  std::string compressed;
  std::string file = WorkedExample(stub, &compressed);
  ASSERT_EQ(stub.size() + 58 + compressed.size(), file.size());
  EXPECT_EQ(Trailer(static_cast<uint32_t>(stub.size())), file.substr(file.size() - 4));

  std::string path = dir_.Join("example.bin");
  LmFileStream own;
  ASSERT_EQ(1, own.OpenFile(path.c_str(), 0));
  PayloadTable table;
  Result result = PayloadReader::ReadTable(&own, &table);
  ASSERT_TRUE(result.ok()) << result.message();
  EXPECT_EQ((std::vector<std::string>{"bin\\run.exe", "\\bin 2 0", "\\bin\\run.exe 1 3"}), lmtest::TableLines(table));
  EXPECT_EQ(1000, table.payloadOffset);
  EXPECT_EQ(1054, table.dataOffset);
  EXPECT_EQ(3u, table.unpackedSize);

  LmFileStream staging;
  std::string stagingPath = dir_.Join("staging");
  ASSERT_EQ(1, staging.OpenFile(stagingPath.c_str(), 1));
  char buffer[CHUNK_SIZE];
  uint32_t crc = 0;
  EXPECT_TRUE(PayloadReader::CopyCompressed(&own, &staging, table, buffer, &crc).ok());
  EXPECT_EQ(compressed, ReadWholeFile(stagingPath));
  EXPECT_EQ(-1, own.Tell());  // both streams are closed
  EXPECT_EQ(-1, staging.Tell());
}

TEST_F(PayloadReaderTest, IntegrityRecordsRoundTripAndDamageIsToldFromAbsence) {
  const struct {
    const char* text;
    uint32_t crc;
  } known[] = {{"", 0},
               {"a", 0xE8B7BE43u},
               {"123456789", 0xCBF43926u},
               {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
  for (const auto& k : known) {
    Crc32 crc;
    crc.Update(k.text, strlen(k.text));
    EXPECT_EQ(k.crc, crc.value()) << k.text;
  }
  // Given in pieces of any length, as a copy's chunks cut it.
  const std::string random = lmtest::RandomBytes(1000, 3);
  Crc32 whole;
  whole.Update(random.data(), random.size());
  for (size_t piece = 1; piece <= 17; ++piece) {
    Crc32 crc;
    for (size_t at = 0; at < random.size(); at += piece)
      crc.Update(random.data() + at, std::min(piece, random.size() - at));
    EXPECT_EQ(whole.value(), crc.value()) << piece;
  }

  // The record's bytes as every setup written so far carries them, for a
  // known payload: the worked example's table with "abc" as its data (copied,
  // never decoded here), P = 1016. The CRC was computed apart from this code
  // (Python's zlib.crc32 of the 61 payload bytes). The writer must write
  // exactly these bytes and the reader take them for a matching record:
  // Encode and Decode changed alike would pass the round trips below.
  const std::string knownPayload = PayloadBytes()
                                       .Text("bin\\run.exe")
                                       .Int(2)
                                       .Text("\\bin")
                                       .Int(2)
                                       .Int(0)
                                       .Text("\\bin\\run.exe")
                                       .Int(1)
                                       .Int(3)
                                       .Int(3)
                                       .Raw("abc")
                                       .Int(1016)
                                       .bytes();
  const std::string knownRecord(
      "LmCrc32\x1A"
      "\x3D\x00\x00\x00"
      "\x2C\x4D\x3B\x51",
      16);
  const std::string knownSetup = std::string(1000, 'S') + knownRecord + knownPayload;
  EXPECT_EQ(knownSetup, WithRecord(std::string(1000, 'S'), "abc"));
  PayloadTable table;
  uint32_t crc = 0;
  ASSERT_EQ("abc", Compressed(knownSetup, &table, &crc));
  EXPECT_EQ(payload::IntegrityRecord::Status::kPresent, table.record.status());
  EXPECT_EQ(61u, table.record.covered());
  EXPECT_EQ(0x513B4D2Cu, table.record.crc());
  EXPECT_TRUE(table.record.Matches(table.payloadSize(), crc).ok());

  const std::string compressed = lmtest::Compress("abc");
  const std::string setup = WithRecord(std::string(1000, 'S'), compressed);
  ASSERT_EQ(compressed, Compressed(setup, &table, &crc));
  EXPECT_EQ(1016, table.payloadOffset);
  EXPECT_EQ(payload::IntegrityRecord::Status::kPresent, table.record.status());
  EXPECT_EQ(setup.size() - 1016, table.record.covered());
  EXPECT_TRUE(table.record.Matches(table.payloadSize(), crc).ok())
      << table.record.Matches(table.payloadSize(), crc).message();

  // Every bit of the record changed: the payload still reads, and the record
  // is damaged (the magic) or does not match (its fields).
  for (int bit = 0; bit < 8 * payload::IntegrityRecord::kSize; ++bit) {
    std::string flipped = setup;
    flipped[1000 + bit / 8] = static_cast<char>(flipped[1000 + bit / 8] ^ (1 << (bit % 8)));
    ASSERT_EQ(compressed, Compressed(flipped, &table, &crc)) << bit;
    EXPECT_EQ(bit < 64 ? payload::IntegrityRecord::Status::kDamaged : payload::IntegrityRecord::Status::kPresent,
              table.record.status())
        << bit;
    EXPECT_EQ(Outcome::kBadInput, table.record.Matches(table.payloadSize(), crc).outcome()) << bit;
  }
  // No record: a magic changed beyond recognition, zero padding, or fewer
  // bytes in front of P than a record takes.
  std::string hidden = setup;
  for (int i = 0; i < 8; ++i) hidden[1000 + i] = static_cast<char>(hidden[1000 + i] ^ (i % 2 == 0 ? 0x0F : 0x30));
  for (const std::string& without :
       {hidden, lmtest::BuildSetup(std::string(1000, '\0'), "run.exe", {{"\\run.exe", 1, "x"}}),
        lmtest::BuildSetup("STUB", "run.exe", {{"\\run.exe", 1, "x"}})}) {
    ASSERT_FALSE(Compressed(without, &table, &crc).empty());
    EXPECT_EQ(payload::IntegrityRecord::Status::kAbsent, table.record.status());
    EXPECT_TRUE(table.record.Matches(table.payloadSize(), crc).ok());
  }
}

TEST_F(PayloadReaderTest, PayloadIsFoundOnlyThroughTheTrailer) {
  std::string compressed;
  std::string file = WorkedExample("MZ", &compressed);
  std::string shifted = "MZ" + std::string(5000, '\xCC') + file.substr(2, file.size() - 6) + Trailer(5002);
  PayloadTable table;
  std::string problem;
  ASSERT_EQ(Outcome::kOk, Read(shifted, &table, &problem)) << problem;
  EXPECT_EQ(5002, table.payloadOffset);
  EXPECT_EQ(Outcome::kBadInput, Read(shifted.substr(0, shifted.size() - 4) + Trailer(5001)));
}

TEST_F(PayloadReaderTest, EveryTruncationFailsCleanly) {
  std::string compressed;
  const std::string stub = "STUB";
  std::string file = WorkedExample(stub, &compressed);
  // The header and table cut at every byte, the trailer put back.
  for (size_t keep = 0; keep < 58 - 4; ++keep) {
    EXPECT_EQ(Outcome::kBadInput, Read(file.substr(0, stub.size() + keep) + Trailer(4))) << keep;
  }
  // The whole file cut at every length.
  for (size_t keep = 0; keep < file.size(); ++keep) {
    EXPECT_EQ(Outcome::kBadInput, Read(file.substr(0, keep))) << keep;
  }
}

TEST_F(PayloadReaderTest, ImplausibleNumbersFailBeforeAnythingIsRead) {
  const std::string stub = "STUB";
  auto payload = [&](uint32_t count, uint32_t length, uint32_t trailer) {
    PayloadBytes p;
    p.Raw(stub).Text("run.exe").Int(count).Text("\\run.exe").Int(1).Int(1).Int(length).Raw("xx").Int(trailer);
    return p.bytes();
  };
  EXPECT_EQ(Outcome::kOk, Read(payload(1, 2, 4)));
  EXPECT_EQ(Outcome::kBadInput, Read(payload(1, 2, 5000)));         // P beyond the end
  EXPECT_EQ(Outcome::kBadInput, Read(payload(1, 2, 0x80000000u)));  // P negative
  EXPECT_EQ(Outcome::kBadInput, Read(payload(0x7FFFFFFF, 2, 4)));   // huge count
  EXPECT_EQ(Outcome::kBadInput, Read(payload(2, 2, 4)));            // one record too many
  EXPECT_EQ(Outcome::kBadInput, Read(payload(1, 0x7FFFFFFF, 4)));   // huge length
  EXPECT_EQ(Outcome::kBadInput, Read(payload(1, 0xFFFFFFFFu, 4)));  // negative length
  EXPECT_EQ(Outcome::kBadInput, Read(payload(1, 1, 4)));            // length short of the trailer

  // A negative count reads no record; the launch name then names nothing.
  PayloadTable table;
  std::string problem;
  EXPECT_EQ(Outcome::kBadInput, Read(payload(0xFFFFFFFFu, 2, 4), &table, &problem));
  EXPECT_EQ(0, table.entries.GetCount());
  EXPECT_NE(std::string::npos, problem.find("launch name")) << problem;
}

TEST_F(PayloadReaderTest, StringsAreBounded) {
  PayloadBytes noNul;
  noNul.Raw("STUB").Raw(std::string(1 << 20, 'a')).Int(4);
  EXPECT_EQ(Outcome::kBadInput, Read(noNul.bytes()));
  PayloadBytes longest;
  std::string name(259, 'n');
  longest.Raw("STUB").Text(name).Int(1).Text("\\" + name).Int(1).Int(0).Int(0).Int(4);
  EXPECT_EQ(Outcome::kBadInput, Read(longest.bytes()));  // the entry path has 260 bytes
  PayloadBytes fits;
  name.resize(258);
  fits.Raw("STUB").Text(name).Int(1).Text("\\" + name).Int(1).Int(0).Int(0).Int(4);
  EXPECT_EQ(Outcome::kOk, Read(fits.bytes()));
}

TEST_F(PayloadReaderTest, CopyEndsWhenTheDataEndsEarly) {
  std::string path = dir_.Join("short");
  ASSERT_TRUE(lmtest::WriteFile(path, std::string(30000, 'd')));
  LmFileStream own, staging;
  ASSERT_EQ(1, own.OpenFile(path.c_str(), 0));
  ASSERT_EQ(1, staging.OpenFile(dir_.Join("staging").c_str(), 1));
  PayloadTable table;
  table.compressedLength = 0x40000000;
  char buffer[CHUNK_SIZE];
  uint32_t crc = 0;
  EXPECT_EQ(Outcome::kBadInput, PayloadReader::CopyCompressed(&own, &staging, table, buffer, &crc).outcome());
  EXPECT_EQ(30000u, ReadWholeFile(dir_.Join("staging")).size());
}

// Signing pads to a multiple of 8 and appends the certificate table. Stubs of
// 8 lengths give every padding from 0 to 7. The trailer (0x400 and a little)
// ends in two zero bytes, so the longer paddings are tried too and must not
// validate.
TEST_F(PayloadReaderTest, SignedSetupsReadBeforeTheCertificateTableWithEveryPadding) {
  for (bool pe32Plus : {false, true}) {
    FakePeImage image(pe32Plus);
    std::set<size_t> paddings;
    for (size_t extra = 0; extra < 8; ++extra) {
      std::string setup = PeSetup(image, extra);
      PayloadTable plain;
      std::string expected = Compressed(setup, &plain);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(0, plain.certificateTableOffset);
      EXPECT_EQ(static_cast<int32_t>(setup.size()) - 4, plain.trailerOffset);

      std::string signedSetup = image.Sign(setup);
      const int32_t tableStart = static_cast<int32_t>(lmtest::GetU32(signedSetup, image.securityDirectory()));
      paddings.insert(tableStart - setup.size());
      PayloadTable table;
      EXPECT_EQ(expected, Compressed(signedSetup, &table)) << extra;  // nothing of the padding or the table
      EXPECT_STREQ("run.exe", table.launchName.GetText());
      EXPECT_EQ(2, table.entries.GetCount());
      EXPECT_EQ(static_cast<int32_t>(FakePeImage::kSize + extra), table.payloadOffset);
      EXPECT_EQ(plain.dataOffset, table.dataOffset);
      EXPECT_EQ(plain.compressedLength, table.compressedLength);
      EXPECT_EQ(plain.trailerOffset, table.trailerOffset);
      EXPECT_EQ(tableStart, table.certificateTableOffset);
    }
    EXPECT_EQ(8u, paddings.size());
  }
}

TEST_F(PayloadReaderTest, OnlyUpToSevenZeroBytesStandBeforeTheTable) {
  FakePeImage image(false);
  std::string setup;
  for (size_t extra = 0; setup.empty() || setup.size() % 8 != 5; ++extra) setup = PeSetup(image, extra);
  EXPECT_EQ(Outcome::kOk, Read(image.Sign(setup, 3)));
  EXPECT_EQ(Outcome::kBadInput, Read(image.Sign(setup + std::string("\0\1\0", 3), 0)));
  EXPECT_EQ(Outcome::kBadInput, Read(image.Sign(setup + std::string(3, ' '), 0)));
  EXPECT_EQ(Outcome::kBadInput, Read(image.Sign(setup, 11)));
}

// Two payloads that both end before the table, one behind 0 bytes of padding
// and one behind 1: the trailer of the first, 0x400, ends in a zero byte,
// and the second's trailer is the first's last data byte and the rest of its
// trailer. Neither can be told from the other, so the file is refused.
TEST_F(PayloadReaderTest, APayloadEndAfterTwoPaddingsIsRefused) {
  FakePeImage image(false);
  const uint32_t firstOffset = FakePeImage::kSize;  // trailer bytes 00 04 00 00
  const uint32_t secondOffset = 0x40000 + 0x10;     // the first's last data byte is 0x10
  auto build = [&](const std::string& secondName) {
    PayloadBytes second;
    second.Text(secondName).Int(1).Text("\\run.exe").Int(1).Int(7);
    PayloadBytes first;
    first.Raw(image.bytes()).Text("run.exe").Int(1).Text("\\run.exe").Int(1).Int(7).Int(0);
    const size_t firstLength = first.bytes().size() - 4;
    first.Raw(std::string(secondOffset - first.bytes().size(), 'f')).Raw(second.bytes());
    // The second's data up to where its trailer begins, then that byte,
    // keeping the file's end at a multiple of 8.
    size_t dataStart = first.bytes().size() + 4;
    size_t end = (dataStart + 100 + 1 + 4 + 7) & ~static_cast<size_t>(7);
    size_t secondData = end - 4 - 1 - dataStart;
    first.Int(static_cast<uint32_t>(secondData)).Raw(std::string(secondData, 's')).Raw("\x10");
    first.Int(firstOffset);
    std::string file = first.bytes();
    lmtest::PutU32(&file, firstLength,
                   static_cast<uint32_t>(file.size() - 4 - (firstLength + 4)));  // the first's length
    return image.Sign(file, 0);
  };
  PayloadTable table;
  std::string problem;
  EXPECT_EQ(Outcome::kBadInput, Read(build("run.exe"), &table, &problem));
  EXPECT_NE(std::string::npos, problem.find("more than one payload")) << problem;
  // With the second payload broken, the first is the one.
  ASSERT_EQ(Outcome::kOk, Read(build("other.exe"), &table, &problem)) << problem;
  EXPECT_EQ(static_cast<int32_t>(firstOffset), table.payloadOffset);
}

// Each damage is either refused as a damaged payload, or, where the file does
// not make itself a signed PE image, read as an unsigned file: then a signed
// file's last 4 bytes are the certificate table's, which names no payload.
TEST_F(PayloadReaderTest, DamagedSignaturesAreRefusedOrReadAsUnsigned) {
  FakePeImage image(false);
  const std::string setup = PeSetup(image, 3);
  const std::string signedSetup = image.Sign(setup);
  const size_t directory = image.securityDirectory();
  const uint32_t start = lmtest::GetU32(signedSetup, directory);
  const uint32_t size = lmtest::GetU32(signedSetup, directory + 4);
  auto with = [&](std::string file, size_t field, uint32_t value) {
    lmtest::PutU32(&file, field, value);
    return file;
  };
  // Damage to a signed PE image: refused.
  EXPECT_EQ(Outcome::kBadInput, Read(with(signedSetup, directory, 0x7FFFFFF8u)));   // outside the file
  EXPECT_EQ(Outcome::kBadInput, Read(with(signedSetup, directory + 4, size + 8)));  // past its end
  EXPECT_EQ(Outcome::kBadInput, Read(signedSetup + "appended"));                    // the table no longer at the end
  EXPECT_EQ(Outcome::kBadInput, Read(with(signedSetup, directory + 4, 0)));
  // A table that reaches back over the payload, its bytes made to look like
  // an entry: the table is taken, and no payload ends before it.
  std::string overlapping = with(with(signedSetup, directory, start - 40), directory + 4, size + 40);
  EXPECT_EQ(Outcome::kBadInput, Read(with(overlapping, start - 40, 40)));
  // The security directory cut off: headers that run past the file's end.
  std::string cut = with(signedSetup, FakePeImage::kNewHeaderField, static_cast<uint32_t>(signedSetup.size() - 8));
  cut.replace(cut.size() - 8, 4, std::string("PE\0\0", 4));
  EXPECT_EQ(Outcome::kBadInput, Read(cut));
  // ... even when that image is unsigned and its payload's table intact.
  std::string unsignedCut = with(setup, FakePeImage::kNewHeaderField, static_cast<uint32_t>(setup.size() - 8));
  unsignedCut.replace(unsignedCut.size() - 8, 4, std::string("PE\0\0", 4));
  EXPECT_EQ(Outcome::kBadInput, Read(unsignedCut));

  // Fewer than five data directories, or e_lfanew past the file's end: no
  // signed image, so the file is read as unsigned. That finds the payload of
  // an unsigned file and nothing in a signed one.
  for (size_t field : {image.directoryCountField(), FakePeImage::kNewHeaderField}) {
    uint32_t value = field == FakePeImage::kNewHeaderField ? 0x7FFFFFF0u : 4u;
    EXPECT_EQ(Outcome::kOk, Read(with(setup, field, value))) << field;
    EXPECT_EQ(Outcome::kBadInput, Read(with(signedSetup, field, value))) << field;
  }

  // Cut anywhere, a signed file is refused: byte by byte over the trailer,
  // the padding and the table, in steps elsewhere.
  for (size_t keep = 0; keep < signedSetup.size(); keep += keep + 100 >= signedSetup.size() ? 1 : 13) {
    EXPECT_EQ(Outcome::kBadInput, Read(signedSetup.substr(0, keep))) << keep;
  }
}

TEST(PayloadTableCheckerTest, PathRules) {
  auto accepts = [](std::initializer_list<std::pair<const char*, uint32_t>> entries) {
    payload::PayloadTableChecker checker;
    for (const auto& e : entries) {
      if (!checker.Add(FILENODE{LmString(e.first), e.second, 0}).ok()) return false;
    }
    return true;
  };
  EXPECT_TRUE(accepts({{"\\a", 2}, {"\\a\\b.txt", 1}, {"\\a\\.hidden", 1}, {"\\x y", 1}, {"\\cone.d", 2}}));
  EXPECT_FALSE(accepts({{"\\a\\b.txt", 1}}));              // directory missing
  EXPECT_FALSE(accepts({{"\\a\\b.txt", 1}, {"\\a", 2}}));  // directory after its contents
  EXPECT_FALSE(accepts({{"\\a", 1}, {"\\a\\b", 1}}));      // a file is no directory
  EXPECT_FALSE(accepts({{"\\a", 1}, {"\\A", 1}}));         // twice, ignoring case
  // A parent is found only as it is spelt: a case-sensitive file system
  // would have no "\data" to put "a.txt" in.
  EXPECT_FALSE(accepts({{"\\Data", 2}, {"\\data\\a.txt", 1}}));
  EXPECT_FALSE(accepts({{"\\Data", 2}, {"\\DATA", 2}}));
  EXPECT_TRUE(accepts({{"\\..", 0}, {"C:\\x", 3}}));  // other kinds create nothing
  for (const char* bad : {"",
                          "\\",
                          "a",
                          "\\.",
                          "\\..\\x",
                          "\\a\\..\\b",
                          "\\c:",
                          "\\f:s",
                          "\\a/b",
                          "\\t\x01",
                          "\\x.",
                          "\\x ",
                          "\\CON",
                          "\\con.txt",
                          "\\Aux.tar.gz",
                          "\\COM1",
                          "\\lpt9.x",
                          "\\NUL ",
                          "\\a?",
                          "\\a*",
                          "\\a|b",
                          "\\<a>",
                          "\\CON .txt",
                          "\\aux  .x",
                          "\\COM0",
                          "\\lpt0.txt",
                          "\\COM\xB9",
                          "\\Lpt\xB2.log",
                          "\\com\xB3 .x",
                          "\\COM\xC2\xB9",
                          "\\LPT\xC2\xB3.txt",
                          "\\COM\xA9\xF6",
                          "\\lpt\xA9\xF8.txt"}) {
    EXPECT_FALSE(accepts({{bad, 1}})) << bad;
  }
  EXPECT_TRUE(accepts({{"\\COM10", 1}, {"\\console", 1}, {"\\lpt", 1}, {"\\COM\xB4", 1}, {"\\LPT\xC2\xB4", 1}}));

  payload::PayloadTableChecker checker;
  ASSERT_TRUE(checker.Add(FILENODE{LmString("\\bin"), 2, 0}).ok());
  ASSERT_TRUE(checker.Add(FILENODE{LmString("\\bin\\run.exe"), 1, 3}).ok());
  EXPECT_TRUE(checker.CheckLaunchName(LmString("bin\\run.exe")).ok());
  // The launch target is started by its stored name: it must match exactly.
  EXPECT_FALSE(checker.CheckLaunchName(LmString("BIN\\Run.exe")).ok());
  EXPECT_FALSE(checker.CheckLaunchName(LmString("bin")).ok());
  EXPECT_FALSE(checker.CheckLaunchName(LmString("\\bin\\run.exe")).ok());
  EXPECT_FALSE(checker.CheckLaunchName(LmString("bin\\..\\bin\\run.exe")).ok());
}

}  // namespace

// A run that begins more than 2 GiB into a file lands at its offset: the
// output seeks with the port's 64-bit positions (Microsoft's fseek stops at
// 2 GiB; the file is sparse where the system allows).
TEST(TableOutputTest, ARunThatBeginsBeyond2GiBIntoAFileLandsThere) {
  TempDir dir("lmtest", lmtest::MemoryBackedParent());
  PayloadTable table;
  const uint32_t size = 5u << 29;  // 2.5 GiB
  table.entries.AddTail(FILENODE{LmString("\\big.bin"), FILENODE::kFile, size});
  table.unpackedSize = size;
  const LmString directory(dir.path().c_str());
  TableOutput output(directory, table);
  const uint64_t tail = size - 16;
  ASSERT_TRUE(output.Plan({0, tail}, size).ok());
  ASSERT_TRUE(output.Write(1, "0123456789abcdef", 16).ok());
  FILE* file = platform::OpenFile(dir.Join("big.bin").c_str(), "rb");
  ASSERT_NE(nullptr, file);
  char back[17] = {};
  EXPECT_EQ(0, platform::SeekFile(file, 0, SEEK_END));
  EXPECT_EQ(static_cast<int64_t>(size), platform::TellFile(file));
  EXPECT_EQ(0, platform::SeekFile(file, static_cast<int64_t>(tail)));
  EXPECT_EQ(16u, fread(back, 1, 16, file));
  fclose(file);
  EXPECT_STREQ("0123456789abcdef", back);
}

// Links planted while the entries are written are never followed: not in
// place of a file still to be created, not in place of a directory the
// output made (on Windows, which holds its directories, the move itself
// fails). Nothing lands outside the working directory.
TEST(TableOutputTest, LinksPlantedDuringTheRunAreNotFollowed) {
  for (bool directoryMoved : {false, true}) {
    SCOPED_TRACE(directoryMoved ? "directory replaced by a link" : "file name taken by a link");
    TempDir dir("lmtest");
    const std::string work = dir.Join("work"), outside = dir.Join("outside");
    ASSERT_EQ(0, platform::MakeDirectory(work.c_str()));
    ASSERT_EQ(0, platform::MakeDirectory(outside.c_str()));
    PayloadTable table;
    table.entries.AddTail(FILENODE{LmString("\\sub"), FILENODE::kDirectory, 0});
    table.entries.AddTail(FILENODE{LmString("\\a.bin"), FILENODE::kFile, 16});
    table.entries.AddTail(FILENODE{LmString("\\sub\\b.bin"), FILENODE::kFile, 16});
    table.unpackedSize = 32;
    const LmString root(work.c_str());
    TableOutput output(root, table);
    ASSERT_TRUE(output.Plan({0}, 32).ok());
    bool planted = false;
    if (directoryMoved) {
      planted = platform::Rename((work + "\\sub").c_str(), (work + "\\moved").c_str()) == 0 &&
                port_testing::CreateLink((work + "\\sub").c_str(), outside.c_str(), true) == 0;
    } else {
      planted = port_testing::CreateLink((work + "\\a.bin").c_str(), (outside + "\\a.bin").c_str(), false) == 0;
    }
    const Result written = output.Write(0, "0123456789abcdef0123456789abcdef", 32);
    // Wine's links are the host's symbolic links, which its CREATE_NEW may
    // replace rather than fail on: there only where the bytes went counts.
    if (planted && !lmtest::OnWindows()) {
      EXPECT_EQ(Outcome::kWriteFault, written.outcome());
    }
    std::vector<std::string> names;
    platform::ForEachEntry(outside.c_str(), [&names](const char* name) { names.emplace_back(name); });
    EXPECT_TRUE(names.empty());
  }
}

// The launcher's decoding memory: at most 1 GiB, half the physical memory,
// half the address space left; an unknown figure bounds nothing.
TEST(DecodeMemoryLimitTest, TheSmallestBoundHolds) {
  const uint64_t MiB = 1 << 20;
  const struct {
    uint64_t physical, addressSpace, limit;
  } rows[] = {
      {16384 * MiB, 0, 1024 * MiB},           // a 64-bit process on a large machine
      {1024 * MiB, 0, 512 * MiB},             // a small machine
      {16384 * MiB, 1900 * MiB, 950 * MiB},   // a 32-bit process: 2 GiB, some taken
      {16384 * MiB, 4000 * MiB, 1024 * MiB},  // large-address-aware under WOW64
      {0, 0, 1024 * MiB},                     // nothing known
      {16384 * MiB, 1, 0},                    // nothing left
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.limit, payload::DecodeMemoryLimitFor(row.physical, row.addressSpace))
        << row.physical / MiB << " MiB, " << row.addressSpace / MiB << " MiB";
  }
}
