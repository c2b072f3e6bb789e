#include "file/lm_file_stream.h"
#include "file/read_whole_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/support/test_support.h"

namespace {

using lmtest::TempDir;
using lmtest::WriteFile;

// A stream that overrides nothing.
class BareStream : public LmIOStream {};

class LmFileStreamTest : public ::testing::Test {
 protected:
  // Writes `contents` to `name` in the scratch directory and opens `stream`
  // on it in `mode`; the file's path.
  std::string OpenWith(LmFileStream* stream, const char* name, const std::string& contents, int mode) {
    std::string path = dir_.Join(name);
    EXPECT_TRUE(WriteFile(path, contents));
    EXPECT_EQ(1, stream->OpenFile(path.c_str(), mode));
    return path;
  }

  TempDir dir_;
};

TEST(LmIOStreamTest, DefaultsDoNothingUseful) {
  BareStream s;
  char buffer[4];
  EXPECT_EQ(-1, s.Read(buffer, 4));
  EXPECT_EQ(-1, s.Write(buffer, 4));
  EXPECT_EQ(-1, s.GetAvailable());
  EXPECT_EQ(0, s.ReadInt());
  EXPECT_EQ(0.0, s.ReadDouble());
  EXPECT_EQ(0, s.WriteInt(1));
  EXPECT_EQ(0, s.WriteString(LmString("x")));
  EXPECT_EQ(0, s.ReadString().GetLength());
  EXPECT_EQ(nullptr, s.Clone());
  EXPECT_EQ(0, s.Open());
  EXPECT_EQ(0, s.Close());
}

TEST_F(LmFileStreamTest, TypedValuesAreLittleEndian) {
  std::string path = dir_.Join("typed.bin");
  {
    LmFileStream out;
    ASSERT_EQ(1, out.OpenFile(path.c_str(), 1));
    EXPECT_EQ(1, out.WriteChar('\x7f'));
    EXPECT_EQ(1, out.WriteShort(0x0201));
    EXPECT_EQ(1, out.WriteInt(0x04030201));
    EXPECT_EQ(1, out.WriteLong(-2));
    EXPECT_EQ(1, out.WriteUInt(0xA1B2C3D4u));
    EXPECT_EQ(1, out.WriteFloat(1.0f));
    EXPECT_EQ(1, out.WriteDouble(-2.5));
    EXPECT_EQ(1, out.WriteString(LmString("abc")));
    EXPECT_EQ(1, out.WriteString(LmString("")));
    EXPECT_EQ(1, out.WriteString(LmString(static_cast<const char*>(nullptr))));
    EXPECT_EQ(1, out.Close());
  }
  std::string expected(
      "\x7f\x01\x02\x01\x02\x03\x04\xfe\xff\xff\xff\xd4\xc3\xb2\xa1"
      "\x00\x00\x80\x3f"
      "\x00\x00\x00\x00\x00\x00\x04\xc0"
      "abc\x00\x00\x00",
      33);
  EXPECT_EQ(expected, ReadWholeFile(path));

  LmFileStream in;
  ASSERT_EQ(1, in.OpenFile(path.c_str(), 0));
  EXPECT_EQ('\x7f', in.ReadChar());
  EXPECT_EQ(0x0201, in.ReadShort());
  EXPECT_EQ(0x04030201, in.ReadInt());
  EXPECT_EQ(-2, in.ReadLong());
  EXPECT_EQ(0xA1B2C3D4u, in.ReadUInt());
  EXPECT_EQ(1.0f, in.ReadFloat());
  EXPECT_EQ(-2.5, in.ReadDouble());
  EXPECT_STREQ("abc", in.ReadString().GetText());
  EXPECT_STREQ("", in.ReadString().GetText());
  EXPECT_STREQ("", in.ReadString().GetText());
  EXPECT_EQ(-1, in.GetAvailable());
}

TEST_F(LmFileStreamTest, ShortReadsGiveZeroAndConsumeTheBytes) {
  LmFileStream in;
  OpenWith(&in, "short.bin", std::string("\x01\x02", 2), 0);
  EXPECT_EQ(0, in.ReadInt());
  EXPECT_EQ(2, in.Tell());
  EXPECT_EQ(0u, in.GetErrorCode());

  OpenWith(&in, "strings.bin", std::string("abc\0de\0fg", 9), 0);
  EXPECT_STREQ("abc", in.ReadString().GetText());
  EXPECT_STREQ("de", in.ReadString().GetText());
  LmString cut = in.ReadString();  // "fg" runs into the end of the file
  EXPECT_EQ(0, cut.GetLength());
  EXPECT_EQ(9, in.Tell());
}

TEST_F(LmFileStreamTest, ModesAndTheirEffect) {
  std::string path = dir_.Join("modes.txt");
  LmFileStream s;
  EXPECT_EQ(0u, s.GetErrorCode());
  EXPECT_EQ(0, s.OpenFile(path.c_str(), 0));  // missing file in mode 0
  EXPECT_EQ(LmFileStream::kOpenFail, s.GetErrorCode());
  EXPECT_EQ(-1, s.Tell());  // stays closed

  ASSERT_EQ(1, s.OpenFile(path.c_str(), 1));  // creates
  EXPECT_EQ(0u, s.GetErrorCode());
  EXPECT_EQ(5, s.Write("hello", 5));
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 2));  // append; the earlier file is closed first
  EXPECT_EQ(6, s.Write(" world", 6));
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("hello world", ReadWholeFile(path));

  ASSERT_EQ(1, s.OpenFile(path.c_str(), 7));  // any other mode: read and write, no truncation
  EXPECT_EQ(1, s.Write("J", 1));
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("Jello world", ReadWholeFile(path));

  ASSERT_EQ(1, s.OpenFile(path.c_str(), 1));  // truncates
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("", ReadWholeFile(path));

  // A new stream opens in mode 3 ("rb+"), which needs an existing file.
  LmFileStream fresh;
  fresh.SetFileName(dir_.Join("absent").c_str());
  EXPECT_EQ(0, fresh.Open());
  fresh.SetFileName(LmString(path.c_str()));
  EXPECT_EQ(1, fresh.Open());
}

TEST_F(LmFileStreamTest, ClosedStreamAndDoubleClose) {
  // Each file operation on a closed stream: its result, and kNotOpen.
  struct Case {
    const char* operation;
    int (*call)(LmFileStream* s);
    int result;
  };
  static char buffer[8];
  const Case kCases[] = {
      {"Read", [](LmFileStream* s) { return s->Read(buffer, 8); }, -1},
      {"Write", [](LmFileStream* s) { return s->Write(buffer, 8); }, -1},
      {"Seek", [](LmFileStream* s) { return s->Seek(0, 0); }, 0},
      {"Tell", [](LmFileStream* s) { return s->Tell(); }, -1},
      {"Flush", [](LmFileStream* s) { return s->Flush(); }, 0},
      {"GetAvailable", [](LmFileStream* s) { return s->GetAvailable(); }, -1},
      {"Close", [](LmFileStream* s) { return s->Close(); }, 0},
  };
  LmFileStream s;
  for (const Case& c : kCases) {
    EXPECT_EQ(c.result, c.call(&s)) << c.operation;
    EXPECT_EQ(LmFileStream::kNotOpen, s.GetErrorCode()) << c.operation;
  }
  EXPECT_STREQ("File is not openned", s.GetErrorText(s.GetErrorCode()));

  std::string path = dir_.Join("twice");
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 1));
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ(0, s.Close());
  EXPECT_EQ(LmFileStream::kNotOpen, s.GetErrorCode());
}

TEST_F(LmFileStreamTest, SeekTellAndAvailable) {
  LmFileStream s;
  const std::string path = OpenWith(&s, "ten", "0123456789", 0);
  EXPECT_EQ(10, s.GetAvailable());
  EXPECT_EQ(1, s.Seek(-4, 2));
  EXPECT_EQ(6, s.Tell());
  EXPECT_EQ(4, s.GetAvailable());
  EXPECT_EQ(1, s.Seek(0, 9));  // unknown origin counts as "current"
  EXPECT_EQ(6, s.Tell());
  EXPECT_EQ(1, s.Seek(-2, 1));
  EXPECT_EQ('4', s.ReadChar());
  EXPECT_EQ(0, s.Seek(-100, 0));
  EXPECT_EQ(LmFileStream::kSeekFail, s.GetErrorCode());
  EXPECT_GE(s.Tell(), 0);
  EXPECT_EQ(0u, s.GetErrorCode());

  char buffer[10240];
  ASSERT_EQ(1, s.Seek(0, 0));
  EXPECT_EQ(10, s.Read(buffer, sizeof(buffer)));
  EXPECT_EQ(0u, s.GetErrorCode());
  EXPECT_EQ(0, s.Read(buffer, sizeof(buffer)));
  EXPECT_EQ(0u, s.GetErrorCode());
  EXPECT_EQ(-1, s.GetAvailable());

  // Past 4 GiB (a sparse file): the remainder is measured in 64 bits and
  // capped, never wrapped.
  const uint64_t big = (uint64_t{5} << 30) + 10;
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 3));
  ASSERT_EQ(1, s.SeekTo(big - 1));
  ASSERT_EQ(1, s.Write("x", 1));
  ASSERT_EQ(1, s.Seek(0, 0));
  EXPECT_EQ(INT_MAX, s.GetAvailable());
  ASSERT_EQ(1, s.SeekTo(big - 4));
  EXPECT_EQ(4, s.GetAvailable());
}

TEST_F(LmFileStreamTest, NegativeSizesAreRefusedWithoutTouchingTheFile) {
  LmFileStream s;
  std::string path = OpenWith(&s, "neg", "abc", 3);
  char buffer[4];
  EXPECT_EQ(-1, s.Read(buffer, -1));
  EXPECT_EQ(LmFileStream::kReadFail, s.GetErrorCode());
  EXPECT_EQ(-1, s.Write(buffer, -5));
  EXPECT_EQ(LmFileStream::kWriteFail, s.GetErrorCode());
  EXPECT_EQ(0, s.Tell());
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("abc", ReadWholeFile(path));
}

TEST_F(LmFileStreamTest, CloneIsAClosedStreamWithTheSameNameAndMode) {
  LmFileStream s;
  OpenWith(&s, "clone", "xyz", 0);
  LmIOStream* copy = s.Clone();
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(-1, copy->Tell());   // not opened
  EXPECT_EQ('x', s.ReadChar());  // the original stays open
  ASSERT_EQ(1, copy->Open());
  EXPECT_EQ(0, copy->Write("q", 1));  // mode 0 was kept: read only
  EXPECT_EQ('x', copy->ReadChar());
  EXPECT_EQ(0u, copy->Release());
}

TEST_F(LmFileStreamTest, ErrorTexts) {
  const struct {
    uint32_t code;
    const char* text;
  } kTexts[] = {{0, "Success"},
                {0xF0000001u, "Open file fail"},
                {0xF0000002u, "File is not openned"},
                {0xF0000003u, "Can not get file length"},
                {0xF0000004u, "Read file data fail"},
                {0xF0000005u, "Write file data fail"},
                {0xF0000006u, "File seek fail"},
                {0xF0000007u, "Success"},
                {0xF0000000u, "Success"},
                {0x12345678u, "Success"}};
  LmFileStream s;
  for (const auto& t : kTexts) EXPECT_STREQ(t.text, s.GetErrorText(t.code)) << std::hex << t.code;
}

TEST_F(LmFileStreamTest, WritesToAFullDeviceAreReportedAsFailures) {
  if (!lmtest::PathExists("/dev/full")) GTEST_SKIP() << "no full device on this platform";
  LmFileStream s;
  ASSERT_EQ(1, s.OpenFile("/dev/full", 1));
  std::string block(100000, 'x');
  int written = s.Write(block.data(), static_cast<int>(block.size()));
  EXPECT_LT(written, static_cast<int>(block.size()));
  EXPECT_EQ(LmFileStream::kWriteFail, s.GetErrorCode());

  // A small write sits in the runtime's buffer; the loss shows at Close.
  ASSERT_EQ(1, s.OpenFile("/dev/full", 1));
  EXPECT_EQ(3, s.Write("abc", 3));
  EXPECT_EQ(0u, s.GetErrorCode());
  EXPECT_EQ(0, s.Close());
  EXPECT_EQ(LmFileStream::kWriteFail, s.GetErrorCode());
  EXPECT_EQ(-1, s.Tell());  // closed all the same
}

}  // namespace
