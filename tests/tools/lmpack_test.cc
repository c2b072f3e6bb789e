// The packer, run as a program.
#include <gtest/gtest.h>

#include <string>

#include "file/lm_file_stream.h"
#include "file/read_whole_file.h"
#include "file/walk_tree.h"
#include "payload/integrity_record.h"
#include "payload/launch_arguments.h"
#include "payload/payload_reader.h"
#include "platform/code_page.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/testing/port_testing.h"
#include "platform/utf8_files.h"
#include "tests/support/fake_pe_image.h"
#include "tests/support/payload_table_lines.h"
#include "tests/support/test_support.h"
#include "tools/lmpack_main.h"
#include "tools/stream_order.h"
#include "tools/xz_compressor.h"
#include "xz/crc32.h"

namespace {

using lmtest::TempDir;
using lmtest::WriteFile;

class LmpackTest : public ::testing::Test {
 protected:
  // The stub is a minimal 32-bit PE image: these tests pack, list and
  // extract setups and run none, and the default target takes a 32-bit
  // Windows launcher whatever this build's own launcher is.
  void SetUp() override {
    lmpack_ = lmtest::BuildPath("LM_LMPACK");
    launcher_ = lmtest::BuildPath("LM_LAUNCHER");
    stub_ = stubs_.Join("stub.exe");
    ASSERT_TRUE(WriteFile(stub_, lmtest::FakePeImage(false).bytes() + payload::kReadsArgumentsMark));
    folder_ = dir_.Join("app folder");
    ASSERT_TRUE(lmtest::MakeDirectory(folder_));
  }

  int Lmpack(const std::vector<std::string>& arguments) { return lmtest::RunProgram(lmpack_, arguments); }

  int Pack(const std::string& run, const std::string& output, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {"pack", "--quiet", "--stub", stub_, "--run", run, "-o", output};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.push_back(folder_);
    return Lmpack(arguments);
  }

  // Reads the table of a setup lmpack wrote.
  static bool ReadBack(const std::string& setup, PayloadTable* table) {
    LmFileStream file;
    if (file.OpenFile(setup.c_str(), 0) != 1) return false;
    Result result = PayloadReader::ReadTable(&file, table);
    EXPECT_TRUE(result.ok()) << result.message();
    return result.ok();
  }

  void Put(const std::string& relative, const std::string& contents) {
    ASSERT_TRUE(WriteFile(folder_ + "\\" + relative, contents));
  }

  // A folder of directories (one empty, one deep) and files (one empty, one
  // of several chunks).
  void PutTree() {
    for (const char* dir : {"bin", "data", "data\\empty", "data\\deep", "data\\deep\\er"}) {
      ASSERT_TRUE(lmtest::MakeDirectory(folder_ + "\\" + dir));
    }
    Put("bin\\app.exe", "program");
    Put("data\\big.bin", lmtest::RandomBytes(5 * 10240 + 3, 11));
    Put("data\\zero.txt", "");
    Put("data\\deep\\er\\x.txt", "x");
    Put("B-upper.txt", "sorted before lower case");
  }

  // Everything under `root`: "d PATH" for a directory, "f PATH CONTENTS" for
  // a file; empty when `root` is missing.
  static std::vector<std::string> Tree(const std::string& root) {
    std::vector<std::string> lines;
    WalkTree(root, [&](const std::string& relative, const platform::EntryInfo& info) {
      bool isFile = info.type == platform::EntryType::kFile;
      lines.push_back((isFile ? "f " : "d ") + relative + (isFile ? " " + ReadWholeFile(root + "\\" + relative) : ""));
      return true;
    });
    return lines;
  }

  TempDir dir_, stubs_;
  std::string lmpack_, launcher_, stub_, folder_;
};

TEST_F(LmpackTest, PacksAFolderThatVerifiesAndReadsBack) {
  PutTree();
  const size_t bigSize = 5 * 10240 + 3;

  // bzip2's setups keep the format's name order.
  std::string out = dir_.Join("setup.exe");
  ASSERT_EQ(0, Pack("bin/app.exe", out, {"--codec", "bzip2"}));
  EXPECT_EQ(0, Lmpack({"verify", out}));
  EXPECT_EQ(0, Lmpack({"list", out}));

  PayloadTable table;
  ASSERT_TRUE(ReadBack(out, &table));
  std::vector<std::string> expected = {
      "bin\\app.exe",       "\\B-upper.txt 1 24",   "\\bin 2 0",
      "\\bin\\app.exe 1 7", "\\data 2 0",           "\\data\\big.bin 1 " + std::to_string(bigSize),
      "\\data\\deep 2 0",   "\\data\\deep\\er 2 0", "\\data\\deep\\er\\x.txt 1 1",
      "\\data\\empty 2 0",  "\\data\\zero.txt 1 0"};
  EXPECT_EQ(expected, lmtest::TableLines(table));
  // For the Windows target the integrity record lies behind at most 7 zero
  // bytes, so that the file's length is a multiple of 8 and a signer adds no
  // padding. It holds the size and CRC-32 of everything from P on.
  std::string written = ReadWholeFile(out);
  size_t image = ReadWholeFile(stub_).size();
  const size_t payloadOffset = static_cast<size_t>(table.payloadOffset);
  const size_t record = payloadOffset - payload::IntegrityRecord::kSize;
  ASSERT_GE(record, image);
  EXPECT_LE(record, image + 7);
  EXPECT_EQ(std::string(record - image, '\0'), written.substr(image, record - image));
  EXPECT_EQ(0u, written.size() % 8);
  Crc32 crc;
  crc.Update(written.data() + payloadOffset, written.size() - payloadOffset);
  EXPECT_EQ(payload::IntegrityRecord(static_cast<uint32_t>(written.size() - payloadOffset), crc.value()).Encode(),
            written.substr(record, payload::IntegrityRecord::kSize));

  // The same folder gives the same bytes; without --codec, xz's.
  const std::string again = dir_.Join("again.exe"), plain = dir_.Join("plain.exe"), xz = dir_.Join("xz.exe");
  ASSERT_EQ(0, Pack("bin\\app.exe", again, {"--codec", "bzip2"}));
  EXPECT_EQ(ReadWholeFile(out), ReadWholeFile(again));
  ASSERT_EQ(0, Pack("bin\\app.exe", plain));
  ASSERT_EQ(0, Pack("bin\\app.exe", xz, {"--codec", "xz"}));
  EXPECT_EQ(ReadWholeFile(xz), ReadWholeFile(plain));
}

// An xz setup holds the directories first, then the data files by
// extension, then the x86 programs; its blocks (64 KiB here) come out the
// same on one thread or three, and verify and extract read them back.
TEST_F(LmpackTest, XzSetupsGroupTheFilesAndAreTheSameOnEveryThreadCount) {
  PutTree();
  Put("bin\\tool.dll", lmtest::FakePeImage(true).bytes() + lmtest::RandomBytes(40000, 4));
  Put("data\\a.txt", std::string(300000, 'a') + lmtest::RandomBytes(100000, 9));
  const std::string one = dir_.Join("one.exe"), three = dir_.Join("three.exe");
  const std::vector<std::string> xz = {"--codec", "xz", "--block-size", "64K", "--jobs"};
  std::vector<std::string> options = xz;
  options.push_back("1");
  ASSERT_EQ(0, Pack("bin\\app.exe", one, options));
  options.back() = "3";
  ASSERT_EQ(0, Pack("bin\\app.exe", three, options));
  EXPECT_EQ(ReadWholeFile(one), ReadWholeFile(three));
  EXPECT_EQ(0, Lmpack({"verify", one}));
  PayloadTable table;
  ASSERT_TRUE(ReadBack(one, &table));
  std::vector<std::string> expected = {"bin\\app.exe",
                                       "\\bin 2 0",
                                       "\\data 2 0",
                                       "\\data\\deep 2 0",
                                       "\\data\\deep\\er 2 0",
                                       "\\data\\empty 2 0",
                                       "\\data\\big.bin 1 51203",
                                       "\\bin\\app.exe 1 7",
                                       "\\data\\a.txt 1 400000",
                                       "\\B-upper.txt 1 24",
                                       "\\data\\deep\\er\\x.txt 1 1",
                                       "\\data\\zero.txt 1 0",
                                       "\\bin\\tool.dll 1 41024"};
  EXPECT_EQ(expected, lmtest::TableLines(table));
  const std::string back = dir_.Join("back");
  EXPECT_EQ(0, Lmpack({"extract", "--quiet", one, back}));
  EXPECT_EQ(Tree(folder_), Tree(back));
}

// Where the blocks are cut: between data and programs when the stream is
// one block's worth and each side holds 1/16 of it, else evenly; the branch
// filter goes to a block that is a quarter or more 32-bit x86 programs.
TEST(XzPlanTest, BlocksAreCutBetweenDataAndProgramsThenEvenly) {
  const uint64_t M = 1 << 20;
  const BlockContent D = BlockContent::kData, P = BlockContent::kProgram, X = BlockContent::kX86Program;
  struct Row {
    std::vector<uint64_t> sizes;
    std::vector<BlockContent> contents;
    uint64_t target;     // 1 GiB stands for --block-size 1G, taken as it stands
    std::string blocks;  // "size/x86 ..." in MiB
  };
  const Row rows[] = {
      {{10 * M, 30 * M}, {D, X}, 64 * M, "10/0 30/1"},
      {{30 * M, 10 * M}, {D, P}, 64 * M, "30/0 10/0"},
      {{2 * M, 38 * M}, {D, X}, 64 * M, "40/1"},  // less than 1/16 of data: one block
      {{40 * M}, {X}, 64 * M, "40/1"},
      {{12 * M, 10 * M, 3 * M}, {D, P, X}, 64 * M, "12/0 13/0"},  // 3 of 13 MiB 32-bit: no filter
      {{4 * M, 6 * M, 30 * M}, {D, D, P}, 64 * M, "10/0 30/0"},
      {{100 * M, 100 * M}, {D, X}, 100 * M, "100/0 100/1"},  // two blocks' worth: even cuts
      {{50 * M, 150 * M}, {D, X}, 100 * M, "100/1 100/1"},   // ... even inside a file
      {{10 * M, 30 * M}, {D, X}, 1024 * M, "40/1"},
      {{0, 0}, {D, X}, 64 * M, ""},
  };
  for (const Row& row : rows) {
    std::string blocks;
    for (const PlannedBlock& block : PlanXzBlocks(row.sizes, row.contents, row.target, row.target != 1024 * M)) {
      blocks += (blocks.empty() ? "" : " ") + std::to_string(block.size / M) + "/" + (block.x86 ? "1" : "0");
    }
    EXPECT_EQ(row.blocks, blocks) << row.sizes.size() << " files, first " << row.sizes[0] / M << " MiB";
  }
}

// What lmpack stores is what a launcher decodes: dictionaries of the sizes
// LZMA2 stores, never larger than the request or than the block needs, and
// refused when one launcher thread could not hold them; no more blocks than
// a launcher reads.
TEST(XzPlanTest, LmpackRefusesWhatNoLauncherDecodes) {
  const uint64_t M = 1 << 20;
  const struct {
    uint64_t dictionary, block;  // dictionary 0: the level's (64 MiB)
    uint64_t stored;
    bool decodable;
  } rows[] = {
      {768 * M, 1024 * M, 768 * M, true},  // stored as asked
      {769 * M, 1024 * M, 768 * M, true},  // rounded down, not up to 1 GiB
      {1023 * M, 1024 * M, 768 * M, true},
      {1024 * M, 1024 * M, 1024 * M, false},  // 1 GiB and the decoder's state: beyond any launcher
      {1024 * M, 100 * M, 128 * M, true},     // the smallest stored size that holds the block
      {100 * M, 99 * M, 96 * M, true},        // ... but never more than asked
      {0, 40 * M, 48 * M, true},
      {0, 1, 4096, true},
  };
  for (const auto& row : rows) {
    xz::XzBlockSettings settings;
    settings.dictionary = static_cast<uint32_t>(row.dictionary);
    const std::string what = std::to_string(row.dictionary / M) + "M, block " + std::to_string(row.block);
    EXPECT_EQ(row.stored, xz::BlockDictionary(settings, row.block)) << what;
    PlannedBlock block;
    block.size = row.block;
    EXPECT_EQ(row.decodable, CheckXzDecodable(settings, {block}).ok()) << what;
  }
  // Two blocks by default from 96 MiB of files up to 256 MiB; then 128 MiB.
  EXPECT_EQ(64 * M, DefaultXzBlockBytes(40 * M, kXzBlockBytes));
  EXPECT_EQ(100 * M + 1, DefaultXzBlockBytes(200 * M + 1, kXzBlockBytes));
  EXPECT_EQ(128 * M, DefaultXzBlockBytes(1000 * M, kXzBlockBytes));
  // The branch filter goes to 32-bit x86 code only (measured to cost on
  // x86-64 programs); both kinds of program are grouped as programs.
  const std::string elf32 = std::string(
                                "\x7f"
                                "ELF\1\1\1",
                                7) +
                            std::string(11, '\0') + "\x03" + std::string(20, '\0');
  std::string elf64 = elf32;
  elf64[18] = 62;
  const struct {
    std::string head;
    bool x86;
    FileKind kind;
  } heads[] = {{lmtest::FakePeImage(false).bytes(), true, FileKind::kPeX86},
               {lmtest::FakePeImage(true).bytes(), false, FileKind::kPeX86},
               {elf32, true, FileKind::kElfX86},
               {elf64, false, FileKind::kElfX86},
               {"MZ" + std::string(100, '\0'), false, FileKind::kData}};
  for (const auto& row : heads) {
    EXPECT_EQ(row.x86, Is32BitX86(row.head)) << row.head.substr(0, 4);
    EXPECT_EQ(row.kind, KindOf(row.head)) << row.head.substr(0, 4);
  }
  // Threads for packing: half of the physical memory and of the address
  // space (930 MiB a thread: level 9, 128 MiB blocks).
  const uint64_t each = 930 * M;
  EXPECT_EQ(8, JobsMemoryHolds(8, each, 16384 * M, 0));         // 64-bit: the machine's memory
  EXPECT_EQ(2, JobsMemoryHolds(8, each, 16384 * M, 4096 * M));  // large-address-aware 32-bit
  EXPECT_EQ(1, JobsMemoryHolds(8, each, 16384 * M, 1900 * M));  // 2 GiB, some taken: at least one
  EXPECT_EQ(4, JobsMemoryHolds(4, each, 0, 0));                 // nothing known
  xz::XzBlockSettings settings;
  PlannedBlock small;
  small.size = 64 << 10;
  EXPECT_TRUE(CheckXzDecodable(settings, std::vector<PlannedBlock>(16384, small)).ok());
  EXPECT_EQ(Outcome::kBadInput, CheckXzDecodable(settings, std::vector<PlannedBlock>(16385, small)).outcome());
}

// A pack and an extraction of xz setups (several blocks, several threads)
// with one allocation failing, each in turn: lmpack fails with its I/O
// code and leaves nothing behind. Natively every allocation;
// under Wine and the sanitizers the first 40 and a sample of the rest.
TEST_F(LmpackTest, AFailedAllocationAnywhereFailsCleanly) {
  PutTree();
  Put("data\\a.txt", std::string(100000, 'a') + lmtest::RandomBytes(100000, 9));
  const std::string oom = lmtest::BuildPath("LM_OOM_LMPACK"), countFile = stubs_.Join("count.txt");
  const std::string setup = dir_.Join("setup.exe"), back = dir_.Join("back");
  const std::vector<std::string> pack = {"pack",         "--quiet", "--stub", stub_,          "--run",
                                         "bin\\app.exe", "--codec", "xz",     "--block-size", "64K",
                                         "--jobs",       "2",       "-o",     setup,          folder_};
  const std::vector<std::string> extract = {"extract", "--quiet", setup, back};
  port_testing::SetEnv("LM_ALLOCATION_COUNT", countFile.c_str());
#ifdef __SANITIZE_ADDRESS__
  const bool sample = true;
#else
  const bool sample = lmtest::OnWindows();
#endif
  for (const std::vector<std::string>* command : {&pack, &extract}) {
    SCOPED_TRACE(command->front());
    port_testing::SetEnv("LM_FAIL_ALLOCATION", "0");
    ASSERT_EQ(0, lmtest::RunProgram(oom, *command));
    const int total = atoi(ReadWholeFile(countFile).c_str());
    ASSERT_GT(total, 20);
    // What a success leaves, which each failure must not.
    lmtest::RemoveTree(command == &pack ? setup : back);
    const std::vector<std::string> before = lmtest::ListNames(dir_.path());
    for (int n = 1; n <= total; n += (sample && n >= 40) ? 1 + total / 40 : 1) {
      port_testing::SetEnv("LM_FAIL_ALLOCATION", std::to_string(n).c_str());
      EXPECT_EQ(3, lmtest::RunProgram(oom, *command)) << "allocation " << n << " of " << total;
      EXPECT_EQ(before, lmtest::ListNames(dir_.path())) << "allocation " << n << " of " << total;
      if (HasFailure()) break;
    }
    port_testing::SetEnv("LM_FAIL_ALLOCATION", "0");
    if (command == &pack) {
      ASSERT_EQ(0, lmtest::RunProgram(oom, pack));
    }
  }
  port_testing::SetEnv("LM_FAIL_ALLOCATION", nullptr);
  port_testing::SetEnv("LM_ALLOCATION_COUNT", nullptr);
}

TEST_F(LmpackTest, VerifyAndListCatchDamage) {
  Put("run.exe", lmtest::RandomBytes(50000, 3));
  std::string out = dir_.Join("setup.exe");
  ASSERT_EQ(0, Pack("run.exe", out, {"--level", "1"}));
  std::string bytes = ReadWholeFile(out);
  std::string flipped = bytes;
  flipped[flipped.size() - 1000] = static_cast<char>(flipped[flipped.size() - 1000] ^ 0x01);
  std::string damaged = dir_.Join("damaged.exe");
  ASSERT_TRUE(WriteFile(damaged, flipped));
  EXPECT_EQ(1, Lmpack({"verify", damaged}));
  // A changed integrity record: list still shows the table, verify fails.
  PayloadTable table;
  ASSERT_TRUE(ReadBack(out, &table));
  flipped = bytes;
  flipped[table.payloadOffset - 1] = static_cast<char>(flipped[table.payloadOffset - 1] ^ 0x20);
  ASSERT_TRUE(WriteFile(damaged, flipped));
  EXPECT_EQ(0, Lmpack({"list", damaged}));
  EXPECT_EQ(1, Lmpack({"verify", damaged}));
  std::string cut = dir_.Join("cut.exe");
  ASSERT_TRUE(WriteFile(cut, bytes.substr(0, bytes.size() - 10)));
  EXPECT_EQ(1, Lmpack({"list", cut}));
  // The setup followed by 4 GiB (sparse): its payload is not where the
  // size's low 32 bits would find it, and no setup is that large.
  FILE* file = platform::OpenFile(cut.c_str(), "wb");
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
  ASSERT_EQ(0, platform::SeekFile(file, static_cast<int64_t>(bytes.size() + (uint64_t{4} << 30) - 1)));
  ASSERT_EQ(1u, fwrite("", 1, 1, file));
  ASSERT_EQ(0, fclose(file));
  EXPECT_EQ(1, Lmpack({"verify", cut}));
  lmtest::RemoveTree(cut);
  EXPECT_EQ(1, Lmpack({"verify", stub_}));  // a launcher without a payload
  EXPECT_EQ(3, Lmpack({"verify", dir_.Join("missing.exe")}));
}

// Text from a setup reaches the terminal with every control character
// escaped, in list's names (read in a code page too) and arguments, and in
// the names that messages quote; UTF-8 text and backslashes pass as they
// are. Only files and directories count as entries.
TEST_F(LmpackTest, TextFromASetupReachesTheTerminalEscaped) {
  const std::string forged =
      "\x1B[8m\nentries: 0\x7F\xC2\x9B"
      "1m caf\xC3\xA9\\x";
  const std::string shown = "\\x1B[8m\\x0Aentries: 0\\x7F\\xC2\\x9B1m caf";
  const std::string stub = ReadWholeFile(stub_), good = dir_.Join("good.exe"), bad = dir_.Join("bad.exe");
  ASSERT_TRUE(WriteFile(good, lmtest::BuildSetup(stub, "run.exe",
                                                 {{"\\run.exe", 1, "program"},
                                                  {"\\dir", 2, ""},
                                                  {"\\" + forged, 7, ""},
                                                  {"/S \x1B]0;title\x07", payload::kArgumentsKind, ""}})));
  // Messages quote the refused name's raw bytes: a lone 0x9B (CSI to an
  // 8-bit terminal) and a right-to-left override as well.
  ASSERT_TRUE(WriteFile(
      bad, lmtest::BuildSetup(stub, "run.exe", {{"\\run.exe", 1, "p"}, {"\\" + forged + "\x9B\xE2\x80\xAE", 1, "x"}})));
  // A launcher image beyond any launcher's size is not read for its
  // version strings (list would take memory in proportion).
  const std::string huge = dir_.Join("huge.exe");
  ASSERT_TRUE(WriteFile(
      huge, lmtest::BuildSetup(stub + std::string(17 << 20, '\0'), "run.exe", {{"\\run.exe", 1, "program"}})));
  const struct {
    std::vector<std::string> arguments;
    int code;
    std::string expected;
  } rows[] = {
      {{"list", huge}, 0, "version info: not read"},
      {{"list", good}, 0, "\nentries: 2 (and 1 of another kind, which launchers ignore)\n"},
      {{"list", good}, 0, shown + "\\xC3\\xA9\\x\n"},
      {{"list", "--codepage", "65001", good}, 0, shown + "\xC3\xA9\\x\n"},
      {{"list", "--codepage", "65001", good}, 0, "arguments: /S \\x1B]0;title\\x07\n"},
      {{"verify", good}, 0, ": OK, 2 entries, 7 bytes"},
      {{"extract", good, dir_.Join("out")}, 0, ": 2 entries, 7 bytes extracted"},
      {{"list", bad}, 1, shown},
      {{"verify", bad}, 1, shown},
      {{"extract", bad, dir_.Join("refused")}, 1, shown},
  };
  for (const auto& row : rows) {
    std::vector<std::string> arguments = {"lmpack"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = LmpackMain(static_cast<int>(argv.size()), argv.data());
    const std::string printed = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(row.code, code) << arguments[1];
    EXPECT_NE(std::string::npos, printed.find(row.expected)) << printed;
    size_t control = 0;
    for (; control < printed.size(); ++control) {
      const unsigned char c = static_cast<unsigned char>(printed[control]);
      const unsigned char next = static_cast<unsigned char>(printed[control + 1]);
      if (c != '\n' && (c < 0x20 || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F))) break;
      if (!lmtest::OnWindows() && (c == 0x9B || (c == 0xE2 && next == 0x80 && printed[control + 2] == '\xAE'))) break;
    }
    EXPECT_EQ(printed.size(), control) << arguments[1] << ": " << printed;
  }
}

TEST_F(LmpackTest, ExtractGivesBackTheFolderAndWritesNothingElse) {
  PutTree();
  // Top-level files named as the staging file would be, in any case, and
  // with more suffixes than any fixed number of tries.
  for (int i = 0; i <= 120; ++i) {
    const std::string name = i == 0 ? "LMPACK-STAGING" : "lmpack-staging-" + std::to_string(i);
    ASSERT_TRUE(WriteFile(folder_ + "\\" + name, name));
  }
  const std::vector<std::string> folder = Tree(folder_);
  // Both targets' setups, into a new directory and into an empty one.
  const std::string windows = dir_.Join("setup.exe"), native = dir_.Join("setup");
  ASSERT_EQ(0, Pack("bin\\app.exe", windows));
  ASSERT_EQ(0, Pack("bin\\app.exe", native, {"--target", "native"}));
  const std::string fresh = dir_.Join("fresh"), empty = dir_.Join("empty");
  ASSERT_TRUE(lmtest::MakeDirectory(empty));
  ASSERT_EQ(0, platform::Chmod(empty.c_str(), 0700));
  EXPECT_EQ(0, Lmpack({"extract", "--quiet", windows, fresh}));
  EXPECT_EQ(folder, Tree(fresh));
  // An existing directory only where it is known to be its user's alone:
  // natively by its mode, never on Windows.
  if (lmtest::OnWindows()) {
    EXPECT_EQ(1, Lmpack({"extract", "--quiet", native, empty}));
    EXPECT_TRUE(lmtest::ListNames(empty).empty());
    ASSERT_EQ(0, Lmpack({"extract", "--quiet", native, fresh + "2"}));
    EXPECT_EQ(folder, Tree(fresh + "2"));
  } else {
    EXPECT_EQ(0, Lmpack({"extract", "--quiet", native, empty}));
    EXPECT_EQ(folder, Tree(empty));
  }
  EXPECT_EQ(1, Lmpack({"extract", "--quiet", native, fresh}));  // not empty: left as it is
  EXPECT_EQ(folder, Tree(fresh));
  // A directory lmpack makes is its user's alone; one that others may
  // enter (and so write into, or into what is made in it, by a default
  // access-control list or a setgid group) is refused, untouched.
  if (!lmtest::OnWindows()) {
    platform::StatInfo info;
    ASSERT_EQ(0, platform::Stat(fresh.c_str(), &info));
    EXPECT_EQ(0u, info.mode & 077);
    const std::string shared = dir_.Join("shared");
    ASSERT_TRUE(lmtest::MakeDirectory(shared));
    for (int mode : {01777, 0755, 02750, 0711}) {
      ASSERT_EQ(0, platform::Chmod(shared.c_str(), mode));
      EXPECT_EQ(1, Lmpack({"extract", "--quiet", native, shared})) << mode;
      EXPECT_TRUE(lmtest::ListNames(shared).empty());
    }
  }

  // What the launcher refuses, corrupt data (files are written before that
  // shows) and a changed integrity record: nothing stays in the target or
  // beside it, and a target that existed stays, empty.
  const std::string stub = ReadWholeFile(stub_);
  std::vector<std::string> refused;
  for (const char* path :
       {"\\..\\evil.txt", "\\..\\..\\evil.txt", "\\sub/../../evil.txt", "\\C:\\evil.txt", "\\con.txt", "\\a\\\\b"}) {
    refused.push_back(lmtest::BuildSetup(stub, "run.exe", {{"\\run.exe", 1, "program"}, {path, 1, "evil"}}));
  }
  lmtest::XzShape xz;
  for (const lmtest::XzShape* codec : {static_cast<lmtest::XzShape*>(nullptr), &xz}) {
    std::string corrupt = lmtest::BuildSetup(
        stub, "run.exe", {{"\\run.exe", 1, "program"}, {"\\big.bin", 1, lmtest::RandomBytes(30000, 5)}}, codec);
    corrupt[corrupt.size() - 200] = static_cast<char>(corrupt[corrupt.size() - 200] ^ 0x10);
    refused.push_back(corrupt);
  }
  PayloadTable table;
  ASSERT_TRUE(ReadBack(windows, &table));
  std::string record = ReadWholeFile(windows);
  record[table.payloadOffset - 5] = static_cast<char>(record[table.payloadOffset - 5] ^ 0x01);
  refused.push_back(record);
  const std::string bad = dir_.Join("bad.exe"), target = dir_.Join("target");
  ASSERT_TRUE(WriteFile(bad, ""));
  const std::vector<std::string> names = lmtest::ListNames(dir_.path());
  for (size_t i = 0; i < refused.size(); ++i) {
    ASSERT_TRUE(WriteFile(bad, refused[i]));
    EXPECT_EQ(1, Lmpack({"extract", "--quiet", bad, target})) << i;
    EXPECT_EQ(names, lmtest::ListNames(dir_.path())) << i;
  }
  lmtest::RemoveTree(empty);
  ASSERT_TRUE(lmtest::MakeDirectory(empty));
  ASSERT_EQ(0, platform::Chmod(empty.c_str(), 0700));
  EXPECT_EQ(1, Lmpack({"extract", "--quiet", bad, empty}));
  EXPECT_TRUE(lmtest::IsDirectoryPath(empty));
  EXPECT_TRUE(lmtest::ListNames(empty).empty());
}

TEST_F(LmpackTest, RefusesWhatTheLauncherCouldNotUnpack) {
  Put("run.exe", "program");
  ASSERT_TRUE(lmtest::MakeDirectory(folder_ + "\\dir"));
  std::string out = dir_.Join("setup.exe");
  EXPECT_EQ(1, Pack("missing.exe", out));
  EXPECT_EQ(1, Pack("dir", out));
  EXPECT_EQ(1, Pack("..\\run.exe", out));
  EXPECT_FALSE(lmtest::PathExists(out));
  if (!lmtest::OnWindows()) {
    // Names Windows would refuse or rewrite, links, special files.
    for (const char* name : {"con.txt", "a:b", "trailing.", "tab\tname", "COM\xC2\xB9.txt", "lpt0"}) {
      Put(name, "x");
      EXPECT_EQ(1, Pack("run.exe", out)) << name;
      lmtest::RemoveTree(folder_ + "\\" + name);
      EXPECT_FALSE(lmtest::PathExists(out));
    }
    ASSERT_EQ(0, port_testing::CreateLink((folder_ + "\\link").c_str(), dir_.path().c_str(), true));
    EXPECT_EQ(1, Pack("run.exe", out));
    lmtest::RemoveTree(folder_ + "\\link");
  }
  EXPECT_EQ(0, Pack("run.exe", out));
  // Windows starts programs, batch files and installer packages, and
  // nothing else, as a launch target; the native launcher anything.
  Put("notes.txt", "text");
  EXPECT_EQ(1, Pack("notes.txt", dir_.Join("notes.exe")));
  EXPECT_FALSE(lmtest::PathExists(dir_.Join("notes.exe")));
  EXPECT_EQ(0, Pack("notes.txt", dir_.Join("notes"), {"--target", "native"}));
  for (const char* name : {"a.BAT", "b.cmd", "c.Com", "d.Msi"}) {
    Put(name, "x");
    EXPECT_EQ(0, Pack(name, dir_.Join(std::string(name) + ".exe"))) << name;
  }
}

TEST_F(LmpackTest, NonAsciiNamesNeedADeclaredCodePage) {
  if (lmtest::OnWindows()) GTEST_SKIP() << "folder names as UTF-8 text";
  const std::string dir =
      "\xC3\x9C"
      "n"
      "\xC3\xAF"
      "c"
      "\xC3\xB6"
      "d"
      "\xC3\xA9";  // Ünïcödé
  const std::string file =
      "na\xC3\xAF"
      "ve.txt";  // naïve.txt
  Put("run.exe", "program");
  ASSERT_TRUE(lmtest::MakeDirectory(folder_ + "\\" + dir));
  Put(dir + "\\" + file, "accented");
  std::string out = dir_.Join("setup.exe");
  EXPECT_EQ(1, Pack("run.exe", out));  // no code page declared
  EXPECT_FALSE(lmtest::PathExists(out));
  EXPECT_EQ(1, Pack("run.exe", out, {"--codepage", "1251"}));  // no i with diaeresis in Cyrillic
  EXPECT_FALSE(lmtest::PathExists(out));
  EXPECT_EQ(2, Pack("run.exe", out, {"--codepage", "1252", "--target", "native"}));
  EXPECT_EQ(2, Pack("run.exe", out, {"--codepage", "12345"}));

  ASSERT_EQ(0, Pack("run.exe", out, {"--codepage", "1252", "--codec", "bzip2"}));
  EXPECT_EQ(0, Lmpack({"verify", out}));
  PayloadTable table;
  ASSERT_TRUE(ReadBack(out, &table));
  const std::string dir1252 =
      "\\\xDC"
      "n"
      "\xEF"
      "c"
      "\xF6"
      "d"
      "\xE9";
  EXPECT_EQ((std::vector<std::string>{"run.exe", "\\run.exe 1 7", dir1252 + " 2 0",
                                      dir1252 + "\\na\xEF"
                                                "ve.txt 1 8"}),
            lmtest::TableLines(table));
  // Extracted, the names are converted back; bytes that are no names in the
  // code page given are refused.
  EXPECT_EQ(0, Lmpack({"extract", "--quiet", "--codepage", "1252", out, dir_.Join("back")}));
  EXPECT_EQ(Tree(folder_), Tree(dir_.Join("back")));
  EXPECT_EQ(1, Lmpack({"extract", "--quiet", "--codepage", "65001", out, dir_.Join("utf8")}));
  EXPECT_FALSE(lmtest::PathExists(dir_.Join("utf8")));
  // The native target stores the names as the file system has them.
  ASSERT_EQ(0, Pack("run.exe", out, {"--target", "native"}));
}

TEST_F(LmpackTest, NamesOutsideTheAnsiCodePageAreReadAsText) {
  // On Windows the folder is listed and read through the wide calls, so a
  // Cyrillic name packs under code page 1251 whatever the packing machine's
  // own code page is.
  const std::string name = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80.txt";  // Пример.txt
  Put("run.exe", "program");
  FILE* file = platform::OpenFileUtf8((folder_ + "\\" + name).c_str(), "wb");
  ASSERT_NE(nullptr, file);
  fputs("cyrillic", file);
  fclose(file);
  std::string out = dir_.Join("setup.exe");
  EXPECT_EQ(1, Pack("run.exe", out));
  ASSERT_EQ(0, Pack("run.exe", out, {"--codepage", "1251"}));
  EXPECT_EQ(0, Lmpack({"verify", out}));
  PayloadTable table;
  ASSERT_TRUE(ReadBack(out, &table));
  EXPECT_EQ((std::vector<std::string>{"run.exe", "\\run.exe 1 7", "\\\xCF\xF0\xE8\xEC\xE5\xF0.txt 1 8"}),
            lmtest::TableLines(table));
}

// Two names are one to Windows when their characters are, each upper-cased:
// É and é, Я and я, fullwidth Ａ and ａ, ᾳ and ᾼ, and two byte spellings that cp932
// decodes to one character (0x8790 and 0x81E0, both U+2252). pack refuses
// such a pair in its folder, extract --codepage in a setup, before anything
// is written.
TEST_F(LmpackTest, NamesThatAreOneToWindowsAreRefused) {
  const struct {
    const char* codePage;
    const char *text1, *text2;    // in the folder, UTF-8; empty: pack cannot make the pair
    const char *bytes1, *bytes2;  // in a setup, in the code page
  } rows[] = {
      {"1252", "\xC3\x89.txt", "\xC3\xA9.txt", "\\\xC9.txt", "\\\xE9.txt"},
      {"1251", "\xD0\xAF.txt", "\xD1\x8F.txt", "\\\xDF.txt", "\\\xFF.txt"},
      {"932", "\xEF\xBC\xA1.txt", "\xEF\xBD\x81.txt", "\\\x82\x60.txt", "\\\x82\x81.txt"},
      {"932", "", "", "\\\x87\x90.txt", "\\\x81\xE0.txt"},
      // A simple upper case that is not the full one (U+1FB3 to U+1FBC).
      {"65001", "\xE1\xBE\xB3.txt", "\xE1\xBE\xBC.txt", "\\\xE1\xBE\xB3.txt", "\\\xE1\xBE\xBC.txt"},
  };
  Put("run.exe", "program");
  const std::string stub = ReadWholeFile(stub_), setup = dir_.Join("setup.exe"), crafted = dir_.Join("crafted.exe");
  const std::string target = dir_.Join("target");
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.codePage) + " " + row.bytes1);
    // A case-insensitive file system (Windows') cannot hold the folder.
    if (*row.text1 != '\0' && !lmtest::OnWindows()) {
      Put(row.text1, "1");
      Put(row.text2, "2");
      EXPECT_EQ(1, Pack("run.exe", setup, {"--codepage", row.codePage}));
      EXPECT_FALSE(lmtest::PathExists(setup));
      lmtest::RemoveTree(folder_ + "\\" + row.text2);
      EXPECT_EQ(0, Pack("run.exe", setup, {"--codepage", row.codePage}));
      lmtest::RemoveTree(folder_ + "\\" + row.text1);
      lmtest::RemoveTree(setup);
    }
    ASSERT_TRUE(WriteFile(
        crafted, lmtest::BuildSetup(stub, "run.exe",
                                    {{"\\run.exe", 1, "program"}, {row.bytes1, 1, "1"}, {row.bytes2, 1, "2"}})));
    EXPECT_EQ(1, Lmpack({"extract", "--quiet", "--codepage", row.codePage, crafted, target}));
    EXPECT_FALSE(lmtest::PathExists(target));
  }
}

// Branding is checked before anything is written: a refused setting, icon
// file or launcher leaves no output and no staged file.
TEST_F(LmpackTest, BrandingThatCannotBeDoneWritesNothing) {
  Put("app.exe", "program");
  ASSERT_TRUE(WriteFile(dir_.Join("empty.ico"), std::string("\0\0\1\0\0\0", 6)));
  const struct {
    std::vector<std::string> options;
    int code;
  } cases[] = {
      {{"--version-info", "Company=x"}, 2},
      {{"--version-info", "FileVersion=1.x"}, 2},
      {{"--icon", dir_.Join("missing.ico")}, 3},
      {{"--icon", dir_.Join("empty.ico")}, 1},
      {{"--target", "native", "--version-info", "Comments=x"}, 2},
      // Each string fits; together they are beyond the resource's 64 KiB.
      {{"--version-info", "Comments=" + std::string(20000, 'c'), "--version-info",
        "LegalTrademarks=" + std::string(20000, 't')},
       2},
  };
  for (const auto& c : cases) {
    size_t length = 0;
    for (const std::string& option : c.options) length += option.size();
    if (lmtest::OnWindows() && length > 32000) continue;  // more than a Windows command line holds
    EXPECT_EQ(c.code, Pack("app.exe", dir_.Join("setup.exe"), c.options)) << c.options.back().substr(0, 40);
    EXPECT_EQ((std::vector<std::string>{"app folder", "empty.ico"}), lmtest::ListNames(dir_.path()));
  }
}

// A launcher for another machine than the target's, or one that does not
// read launch arguments, is refused, naming it, and nothing is written; the
// arguments record reads back from the table, its text beyond ASCII as
// UTF-8, marked so.
TEST_F(LmpackTest, LaunchersMustMatchTheTargetAndArgumentsReadBack) {
  Put("run.exe", "program");
  const std::string pe64 = stubs_.Join("stub64.exe"), out = dir_.Join("setup.exe");
  const std::string older = stubs_.Join("older.exe");
  ASSERT_TRUE(WriteFile(pe64, lmtest::FakePeImage(true).bytes() + payload::kReadsArgumentsMark));
  ASSERT_TRUE(WriteFile(older, lmtest::FakePeImage(false).bytes()));
  // The command line is in the ANSI code page; the record holds UTF-8.
  const std::string text = "/S \"/D=C:\\My Caf\xC3\xA9\"";
  std::string typed;
  ASSERT_TRUE(platform::Utf8ToCodePage(text, platform::GetAnsiCodePage(), &typed));
  const std::string elf = lmtest::OnWindows() ? stubs_.Join("stub.elf") : launcher_;
  if (lmtest::OnWindows()) {
    ASSERT_TRUE(WriteFile(elf, std::string("\x7f"
                                           "ELF\2\1\1",
                                           7) +
                                   std::string(500, '\0')));
  }
  const struct {
    std::string stub, target;
    int code;
  } rows[] = {{stub_, "windows", 0},
              {pe64, "windows-x64", 0},
              {pe64, "windows", 1},
              {stub_, "windows-x64", 1},
              {elf, "windows", 1},
              {elf, "windows-x64", 1},
              {older, "windows", 1},
              // No --stub: the launcher this build made, beside lmpack.
              {"", lmtest::LauncherTarget(), 0}};
  for (const auto& row : rows) {
    std::vector<std::string> arguments = {"pack",        "--quiet", "--stub",           row.stub, "--target",
                                          row.target,    "--run",   "run.exe",          "-o",     out,
                                          "--arguments", typed,     "--pass-arguments", folder_};
    if (row.stub.empty()) arguments.erase(arguments.begin() + 2, arguments.begin() + 4);
    EXPECT_EQ(row.code, Lmpack(arguments)) << row.stub << " " << row.target;
    EXPECT_EQ(row.code == 0, lmtest::PathExists(out));
    if (row.code != 0) continue;
    PayloadTable table;
    ASSERT_TRUE(ReadBack(out, &table));
    EXPECT_TRUE(table.arguments.present);
    EXPECT_EQ(text, table.arguments.fixed);
    EXPECT_TRUE(table.arguments.passOwn());
    EXPECT_TRUE(table.arguments.utf8());
    EXPECT_EQ(0, Lmpack({"verify", out}));
    lmtest::RemoveTree(out);
  }
}

TEST_F(LmpackTest, UsageErrors) {
  EXPECT_EQ(0, Lmpack({"--help"}));
  EXPECT_EQ(0, Lmpack({"--version"}));
  EXPECT_EQ(2, Lmpack({}));
  EXPECT_EQ(2, Lmpack({"frobnicate", "x"}));
  EXPECT_EQ(2, Lmpack({"pack", folder_}));
  EXPECT_EQ(2, Lmpack({"pack", "--run", "a", "-o", "b", "--level", "0", folder_}));
  for (const std::vector<std::string>& options :
       std::vector<std::vector<std::string>>{{"--target", "mac"},
                                             {"--target", "windows-arm64"},
                                             {"--codec", "zip"},
                                             {"--codec", "bzip2", "--dictionary", "8M"},
                                             {"--codec", "xz", "--dictionary", "2G"},
                                             {"--codec", "xz", "--dictionary", "8X"},
                                             {"--codec", "xz", "--block-size", "1K"},
                                             {"--arguments", "/S\n/D=x"},
                                             {"--arguments", std::string(32001, 'a')},
                                             {"--arguments", "/DIR=\"C:\\dir\\\""},
                                             {"--run", "install.CMD", "--pass-arguments"},
                                             {"--run", "50%OS%off.bat"}}) {
    std::vector<std::string> arguments = {"pack", "--run", "a", "-o", "b"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(folder_);
    EXPECT_EQ(2, Lmpack(arguments)) << options.back().substr(0, 20);
  }
  // msiexec's quotes pair without backslash escapes: a directory ending in
  // a backslash is closed there, an odd quote is not.
  EXPECT_EQ(2, Lmpack({"pack", "--run", "a.msi", "-o", "b", "--arguments", "P=\"a\\\" b\"", folder_}));
  EXPECT_EQ(1, Lmpack({"pack", "--stub", stub_, "--run", "a.msi", "-o", dir_.Join("b.exe"), "--arguments",
                       "INSTALLDIR=\"C:\\App\\\"", folder_}));  // no a.msi in the folder: refused, not usage
  EXPECT_EQ(2, Lmpack({"extract", "setup.exe"}));
  EXPECT_EQ(2, Lmpack({"extract", "setup.exe", "a", "b"}));
}

}  // namespace
