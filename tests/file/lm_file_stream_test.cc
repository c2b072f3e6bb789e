#include "lm_file_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

using lmtest::ReadFile;
using lmtest::TempDir;
using lmtest::WriteFile;

// A stream that overrides nothing.
class BareStream : public LmIOStream {};

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

TEST(LmFileStreamTest, TypedValuesAreLittleEndian) {
  TempDir dir;
  std::string path = dir.Join("typed.bin");
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
  std::string expected("\x7f\x01\x02\x01\x02\x03\x04\xfe\xff\xff\xff\xd4\xc3\xb2\xa1"
                       "\x00\x00\x80\x3f"
                       "\x00\x00\x00\x00\x00\x00\x04\xc0"
                       "abc\x00\x00\x00",
                       33);
  EXPECT_EQ(expected, ReadFile(path));

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

TEST(LmFileStreamTest, ShortReadsGiveZeroAndConsumeTheBytes) {
  TempDir dir;
  std::string path = dir.Join("short.bin");
  ASSERT_TRUE(WriteFile(path, std::string("\x01\x02", 2)));
  LmFileStream in;
  ASSERT_EQ(1, in.OpenFile(path.c_str(), 0));
  EXPECT_EQ(0, in.ReadInt());
  EXPECT_EQ(2, in.Tell());
  EXPECT_EQ(0u, in.GetErrorCode());

  ASSERT_TRUE(WriteFile(path, std::string("abc\0de\0fg", 9)));
  ASSERT_EQ(1, in.OpenFile(path.c_str(), 0));
  EXPECT_STREQ("abc", in.ReadString().GetText());
  EXPECT_STREQ("de", in.ReadString().GetText());
  LmString cut = in.ReadString();  // "fg" runs into the end of the file
  EXPECT_EQ(0, cut.GetLength());
  EXPECT_EQ(9, in.Tell());
}

TEST(LmFileStreamTest, ModesAndTheirEffect) {
  TempDir dir;
  std::string path = dir.Join("modes.txt");
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
  EXPECT_EQ("hello world", ReadFile(path));

  ASSERT_EQ(1, s.OpenFile(path.c_str(), 7));  // any other mode: read and write, no truncation
  EXPECT_EQ(1, s.Write("J", 1));
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("Jello world", ReadFile(path));

  ASSERT_EQ(1, s.OpenFile(path.c_str(), 1));  // truncates
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("", ReadFile(path));

  // A new stream opens in mode 3 ("rb+"), which needs an existing file.
  LmFileStream fresh;
  fresh.SetFileName(dir.Join("absent").c_str());
  EXPECT_EQ(0, fresh.Open());
  fresh.SetFileName(LmString(path.c_str()));
  EXPECT_EQ(1, fresh.Open());
}

TEST(LmFileStreamTest, ClosedStreamAndDoubleClose) {
  LmFileStream s;
  char buffer[8];
  EXPECT_EQ(-1, s.Read(buffer, 8));
  EXPECT_EQ(LmFileStream::kNotOpen, s.GetErrorCode());
  EXPECT_STREQ("File is not openned", s.GetErrorText(s.GetErrorCode()));
  EXPECT_EQ(-1, s.Write(buffer, 8));
  EXPECT_EQ(0, s.Seek(0, 0));
  EXPECT_EQ(-1, s.Tell());
  EXPECT_EQ(0, s.Flush());
  EXPECT_EQ(-1, s.GetAvailable());
  EXPECT_EQ(0, s.Close());
  EXPECT_EQ(LmFileStream::kNotOpen, s.GetErrorCode());

  TempDir dir;
  std::string path = dir.Join("twice");
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 1));
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ(0, s.Close());
  EXPECT_EQ(LmFileStream::kNotOpen, s.GetErrorCode());
}

TEST(LmFileStreamTest, SeekTellAndAvailable) {
  TempDir dir;
  std::string path = dir.Join("ten");
  ASSERT_TRUE(WriteFile(path, "0123456789"));
  LmFileStream s;
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 0));
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
}

TEST(LmFileStreamTest, NegativeSizesAreRefusedWithoutTouchingTheFile) {
  TempDir dir;
  std::string path = dir.Join("neg");
  ASSERT_TRUE(WriteFile(path, "abc"));
  LmFileStream s;
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 3));
  char buffer[4];
  EXPECT_EQ(-1, s.Read(buffer, -1));
  EXPECT_EQ(LmFileStream::kReadFail, s.GetErrorCode());
  EXPECT_EQ(-1, s.Write(buffer, -5));
  EXPECT_EQ(LmFileStream::kWriteFail, s.GetErrorCode());
  EXPECT_EQ(0, s.Tell());
  EXPECT_EQ(1, s.Close());
  EXPECT_EQ("abc", ReadFile(path));
}

TEST(LmFileStreamTest, CloneIsAClosedStreamWithTheSameNameAndMode) {
  TempDir dir;
  std::string path = dir.Join("clone");
  ASSERT_TRUE(WriteFile(path, "xyz"));
  LmFileStream s;
  ASSERT_EQ(1, s.OpenFile(path.c_str(), 0));
  LmIOStream* copy = s.Clone();
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(-1, copy->Tell());  // not opened
  EXPECT_EQ('x', s.ReadChar());  // the original stays open
  ASSERT_EQ(1, copy->Open());
  EXPECT_EQ(0, copy->Write("q", 1));  // mode 0 was kept: read only
  EXPECT_EQ('x', copy->ReadChar());
  EXPECT_EQ(0u, copy->Release());
}

TEST(LmFileStreamTest, ErrorTexts) {
  LmFileStream s;
  EXPECT_STREQ("Success", s.GetErrorText(0));
  EXPECT_STREQ("Open file fail", s.GetErrorText(0xF0000001u));
  EXPECT_STREQ("File is not openned", s.GetErrorText(0xF0000002u));
  EXPECT_STREQ("Can not get file length", s.GetErrorText(0xF0000003u));
  EXPECT_STREQ("Read file data fail", s.GetErrorText(0xF0000004u));
  EXPECT_STREQ("Write file data fail", s.GetErrorText(0xF0000005u));
  EXPECT_STREQ("File seek fail", s.GetErrorText(0xF0000006u));
  EXPECT_STREQ("Success", s.GetErrorText(0xF0000007u));
  EXPECT_STREQ("Success", s.GetErrorText(0x12345678u));
}

TEST(LmFileStreamTest, WritesToAFullDeviceAreReportedAsFailures) {
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
