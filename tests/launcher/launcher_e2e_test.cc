// End-to-end: setup executables made of the real launcher and a payload
// whose program is the probe, run in a fresh current directory with a fresh
// temp directory whose path holds a space.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "file/lm_file_stream.h"
#include "file/read_whole_file.h"
#include "launcher/launcher_run.h"
#include "launcher/program_start.h"
#include "payload/launch_arguments.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/temp_directory.h"
#include "platform/testing/port_testing.h"
#include "platform/testing/test_env.h"
#include "tests/support/fnv1a.h"
#include "tests/support/test_support.h"
#include "xz/xz_stream_index.h"

namespace {

using lmtest::PayloadBytes;
using lmtest::TestEntry;

const uint32_t kFile = 1;
const uint32_t kDirectory = 2;

struct ExitCodes {
  int badPayload;
  int cannotMake;
  int corruptData;
  int notExecutable;
  int diskFull;
  int memoryLimit;
  int commandTooLong;
  int noMemory;
  int badArguments;
  int untranslatable;
};

ExitCodes Expected() {
  if (lmtest::OnWindows()) return {11, 82, 1392, 193, 112, 14, 206, 8, 160, 1113};
  return {65, 73, 65, 126, 74, 69, 64, 71, 64, 65};
}

// The local time `offset` seconds from now, as the launcher names things.
std::string TimestampName(int offset) {
  struct tm local;
  platform::LocalTime64(platform::Time64() + offset, &local);
  char name[32];
  snprintf(name, sizeof(name), "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
           local.tm_hour, local.tm_min, local.tm_sec);
  return name;
}

// Separators made uniform and doubled ones folded, for comparing paths that
// the platform may have normalised.
std::string Normal(std::string path) {
  std::string out;
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out.push_back(lmtest::OnWindows() ? static_cast<char>(tolower(static_cast<unsigned char>(c))) : c);
  }
  return out;
}

std::string FileLine(const std::string& relative, const std::string& contents) {
  char hash[32];
  snprintf(hash, sizeof(hash), "%016llx", lmtest::Fnv1a(contents));
  return relative + "|" + std::to_string(contents.size()) + "|" + hash;
}

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_ = ReadWholeFile(lmtest::BuildPath("LM_LAUNCHER"));
    probe_ = ReadWholeFile(lmtest::BuildPath("LM_PROBE"));
    ASSERT_FALSE(stub_.empty());
    ASSERT_FALSE(probe_.empty());
    probeName_ = lmtest::OnWindows() ? "probe.exe" : "probe";
    temp_ = root_.Join("Temp Dir");
    cwd_ = root_.Join("cwd");
    outside_ = root_.Join("outside");
    ASSERT_TRUE(lmtest::MakeDirectory(temp_));
    ASSERT_TRUE(lmtest::MakeDirectory(cwd_));
    ASSERT_TRUE(lmtest::MakeDirectory(outside_));
    ASSERT_TRUE(lmtest::WriteFile(outside_ + "\\precious.txt", "precious"));
    for (const char* name : {"TMP", "TEMP", "TMPDIR"}) {
      const char* value = getenv(name);
      saved_.push_back(value ? std::string(name) + "=" + value : std::string());
    }
    UseTempDirectory(temp_);
  }

  void TearDown() override {
    const char* names[] = {"TMP", "TEMP", "TMPDIR"};
    for (size_t i = 0; i < saved_.size(); ++i) {
      const std::string& value = saved_[i];
      port_testing::SetEnv(names[i], value.empty() ? nullptr : value.c_str() + value.find('=') + 1);
    }
  }

  void UseTempDirectory(const std::string& path) {
    for (const char* name : {"TMP", "TEMP", "TMPDIR"}) port_testing::SetEnv(name, path.c_str());
  }

  std::vector<TestEntry> ProbeEntries(const std::string& exitCode = "0") {
    return {{"\\" + probeName_, kFile, probe_}, {"\\exitcode.txt", kFile, exitCode}};
  }

  int Run(const std::string& setup, const std::vector<std::string>& arguments = {}) {
    std::string path = root_.Join(lmtest::OnWindows() ? "setup.exe" : "setup");
    EXPECT_TRUE(lmtest::WriteFile(path, setup));
    platform::MarkIfExecutable(path.c_str(), reinterpret_cast<const unsigned char*>(setup.data()), 4, false);
    return lmtest::RunProgram(path, arguments, cwd_);
  }

  // key -> values of the probe's report; empty when the probe did not run.
  std::multimap<std::string, std::string> Report() {
    std::multimap<std::string, std::string> report;
    std::string text = ReadWholeFile(cwd_ + "\\probe-report.txt");
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      size_t eq = line.find('=');
      if (eq != std::string::npos) report.emplace(line.substr(0, eq), line.substr(eq + 1));
      start = end + 1;
    }
    return report;
  }

  static std::string One(const std::multimap<std::string, std::string>& report, const std::string& key) {
    auto it = report.find(key);
    return it == report.end() ? std::string() : it->second;
  }

  static std::vector<std::string> All(const std::multimap<std::string, std::string>& report, const std::string& key) {
    std::vector<std::string> values;
    for (auto range = report.equal_range(key); range.first != range.second; ++range.first) {
      values.push_back(range.first->second);
    }
    std::sort(values.begin(), values.end());
    return values;
  }

  // Nothing was started, nothing is left in the temp directory, nothing
  // outside it changed.
  void ExpectCleanFailure() {
    EXPECT_FALSE(lmtest::PathExists(cwd_ + "\\probe-report.txt")) << "the program was started";
    EXPECT_TRUE(lmtest::ListNames(temp_).empty()) << "the working directory was left behind";
    EXPECT_EQ("precious", ReadWholeFile(outside_ + "\\precious.txt"));
    EXPECT_EQ((std::vector<std::string>{"Temp Dir", "cwd", "outside", lmtest::OnWindows() ? "setup.exe" : "setup"}),
              lmtest::ListNames(root_.path()));
  }

  // The working directory the probe ran in: 14 digits (and an optional
  // "-N") directly under the temp directory.
  std::string WorkingDirectoryName(const std::string& self) {
    std::string prefix = Normal(temp_) + "\\";
    std::string normal = Normal(self);
    if (normal.compare(0, prefix.size(), prefix) != 0) return std::string();
    std::string rest = normal.substr(prefix.size());
    return rest.substr(0, rest.find('\\'));
  }

  void ExpectUnpacksEveryFile(const lmtest::XzShape* codec);

  lmtest::TempDir root_;
  std::string stub_, probe_, probeName_, temp_, cwd_, outside_;
  std::vector<std::string> saved_;
};

// The ACEs of an SDDL DACL ("D:P(A;OICI;FA;;;SY)(...)"), one text each.
std::vector<std::string> AcesOf(const std::string& dacl) {
  std::vector<std::string> aces;
  size_t open;
  for (size_t at = 0; (open = dacl.find('(', at)) != std::string::npos; at = open + 1) {
    aces.push_back(dacl.substr(open + 1, dacl.find(')', open) - open - 1));
  }
  return aces;
}

bool IsTimestampName(const std::string& name) {
  if (name.size() < 14) return false;
  for (size_t i = 0; i < 14; ++i) {
    if (!isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  return name.size() == 14 || name[14] == '-';
}

// With bzip2, and with xz in blocks of 10,000 bytes that the launcher
// decodes on several threads: files begin, end and lie wholly inside
// blocks, and an empty file sits between two blocks.
TEST_F(LauncherTest, UnpacksEveryFileRunsTheProgramAndRemovesTheWorkingDirectory) {
  lmtest::XzShape xz;
  xz.blockBytes = 10000;
  xz.crc32 = true;
  xz.x86 = true;
  for (const lmtest::XzShape* codec : {static_cast<lmtest::XzShape*>(nullptr), &xz}) {
    SCOPED_TRACE(codec == nullptr ? "bzip2" : "xz");
    ExpectUnpacksEveryFile(codec);
  }
}

void LauncherTest::ExpectUnpacksEveryFile(const lmtest::XzShape* codec) {
  std::string big = lmtest::RandomBytes(3 * 10240 + 777, 7);
  std::string text(25000, 'a');
  // Ends the bytes so far at a multiple of 10,000.
  std::string pad(10000 - (probe_.size() + 2 + big.size()) % 10000, 'p');
  std::vector<TestEntry> entries = ProbeEntries("42");
  entries.push_back({"\\data", kDirectory, ""});
  entries.push_back({"\\data\\big.bin", kFile, big});
  entries.push_back({"\\pad.bin", kFile, pad});
  entries.push_back({"\\data\\empty.txt", kFile, ""});
  entries.push_back({"\\data\\sub", kDirectory, ""});
  entries.push_back({"\\data\\sub\\text.txt", kFile, text});
  entries.push_back({"\\data\\empty dir", kDirectory, ""});
  std::string setup = lmtest::BuildSetup(stub_, probeName_, entries, codec);

  EXPECT_EQ(42, Run(setup));
  auto report = Report();
  ASSERT_FALSE(report.empty()) << "the probe did not run";

  std::string self = One(report, "self");
  EXPECT_TRUE(IsTimestampName(WorkingDirectoryName(self))) << self;
  EXPECT_EQ(Normal(cwd_), Normal(One(report, "cwd")));  // the launcher's own current directory
  EXPECT_EQ("1", One(report, "argc"));
  EXPECT_EQ(Normal(self), Normal(One(report, "argv0")));
  if (lmtest::OnWindows()) {
    std::string line = One(report, "cmdline");
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ('"', line.front());
    EXPECT_EQ('"', line.back());
    EXPECT_EQ(Normal(self), Normal(line.substr(1, line.size() - 2)));
  }
  // Every file byte for byte, and nothing else: the staging file was gone.
  std::vector<std::string> expectedFiles = {
      FileLine("data\\big.bin", big), FileLine("data\\empty.txt", ""), FileLine("data\\sub\\text.txt", text),
      FileLine("exitcode.txt", "42"), FileLine("pad.bin", pad),        FileLine(probeName_, probe_)};
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(expectedFiles, All(report, "file"));
  EXPECT_EQ((std::vector<std::string>{"data", "data\\empty dir", "data\\sub"}), All(report, "dir"));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

TEST_F(LauncherTest, IgnoredKindsCreateNothingAndTakeNoBytes) {
  PayloadBytes payload;
  std::string data = probe_ + "5";
  std::string compressed = lmtest::Compress(data);
  payload.Text(probeName_).Int(4);
  payload.Text("\\ignored0").Int(0).Int(0);
  payload.Text("\\" + probeName_).Int(kFile).Int(static_cast<uint32_t>(probe_.size()));
  payload.Text("\\..\\ignored3").Int(3).Int(1000);
  payload.Text("\\exitcode.txt").Int(kFile).Int(1);
  payload.Int(static_cast<uint32_t>(compressed.size())).Raw(compressed).Int(static_cast<uint32_t>(stub_.size()));
  EXPECT_EQ(5, Run(stub_ + payload.bytes()));
  auto report = Report();
  EXPECT_EQ(2u, All(report, "file").size());
  EXPECT_TRUE(All(report, "dir").empty());
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

TEST_F(LauncherTest, NeverReusesAnExistingWorkingDirectory) {
  // Plant the names of the next few seconds, as a second launcher would.
  std::vector<std::string> planted;
  for (int i = 0; i < 8; ++i) {
    std::string name = TimestampName(i);
    std::string dir = temp_ + "\\" + name;
    if (lmtest::MakeDirectory(dir)) {
      ASSERT_TRUE(lmtest::WriteFile(dir + "\\mine.txt", "not the launcher's"));
      planted.push_back(name);
    }
  }
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, ProbeEntries())));
  std::string used = WorkingDirectoryName(One(Report(), "self"));
  EXPECT_TRUE(IsTimestampName(used)) << used;
  for (const std::string& name : planted) {
    EXPECT_NE(Normal(name), used);
    EXPECT_EQ((std::vector<std::string>{"mine.txt"}), lmtest::ListNames(temp_ + "\\" + name));
  }
  EXPECT_EQ(planted.size(), lmtest::ListNames(temp_).size());
}

// The program's arguments: none without a record; the fixed ones as the
// program's C runtime splits them, the setup's own passed on unchanged after
// them; a command line beyond Windows' limit starts nothing.
TEST_F(LauncherTest, TheProgramGetsTheFixedArgumentsAndTheSetupsOwn) {
  const std::string quoted = "/D=\"C:\\Program Files\\App\" \"a b\" c\\\"d e\\\\f";
  const struct {
    const char* what;
    bool record;
    std::string fixed;
    bool passOwn;
    std::vector<std::string> own;
    std::vector<std::string> expected;
  } rows[] = {
      {"no record", false, "", false, {"/S"}, {}},
      {"fixed", true, "/S /D=C:\\App", false, {"ignored"}, {"/S", "/D=C:\\App"}},
      {"passed", true, "", true, {"/S", "a b"}, {"/S", "a b"}},
      {"both", true, "/qn PROP=1", true, {"/L*v", "log file.txt"}, {"/qn", "PROP=1", "/L*v", "log file.txt"}},
      {"quoting",
       true,
       quoted,
       true,
       {"q\"uote", "tail\\"},
       {"/D=C:\\Program Files\\App", "a b", "c\"d", "e\\\\f", "q\"uote", "tail\\"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<TestEntry> entries = ProbeEntries();
    if (row.record) entries.push_back({row.fixed, payload::kArgumentsKind, "", row.passOwn ? 1 : 0});
    ASSERT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries), row.own));
    auto report = Report();
    std::vector<std::string> arguments;
    for (size_t i = 1; i <= row.expected.size() + 1; ++i) {
      const std::string value = One(report, "arg" + std::to_string(i));
      if (!value.empty()) arguments.push_back(value);
    }
    EXPECT_EQ(row.expected, arguments);
    // On Windows the fixed text follows the quoted path exactly as it
    // stands, and ends the line when nothing is passed on.
    if (lmtest::OnWindows() && !row.fixed.empty()) {
      const std::string line = One(report, "cmdline"), after = "\" " + row.fixed;
      EXPECT_NE(std::string::npos, line.find(after)) << line;
      if (!row.passOwn) {
        EXPECT_EQ(after, line.substr(line.size() - std::min(line.size(), after.size())));
      }
    }
    EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  }
  // 31,857 bytes of fixed arguments, within what lmpack writes, and 2,000
  // of the setup's own.
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({std::string(payload::kMaxStringLength, 'a'), payload::kArgumentsKind, "", 1});
  for (int i = 0; i < 122; ++i)
    entries.push_back({std::string(payload::kMaxStringLength, 'a'), payload::kArgumentsKind, ""});
  lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
  EXPECT_EQ(Expected().commandTooLong, Run(lmtest::BuildSetup(stub_, probeName_, entries), {std::string(2000, 'b')}));
  ExpectCleanFailure();
}

// Text beyond ASCII, stored as UTF-8, reaches the program the same under
// every code page; text from before that flag that the running code page
// cannot read starts nothing. Wine takes a process's ANSI code page from
// its locale: ctest runs this case again under ru_RU.UTF-8 (1251) and
// ja_JP.UTF-8 (932), naming the code page it must see in LM_EXPECT_ACP.
TEST_F(LauncherTest, PackedArgumentsReadTheSameUnderEveryCodePage) {
  const std::string text = "/qn DIR=\"C:\\Caf\xC3\xA9 \xD0\x96\"";  // é and Cyrillic Zhe
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({text, payload::kArgumentsKind, "", payload::kUtf8Text});
  ASSERT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  auto report = Report();
  const char* expectedCodePage = getenv("LM_EXPECT_ACP");
  if (lmtest::OnWindows() && expectedCodePage != nullptr) {
    EXPECT_EQ(expectedCodePage, One(report, "acp"));
  }
  if (lmtest::OnWindows()) {
    EXPECT_NE(std::string::npos, One(report, "cmdline8").find("\" " + text)) << One(report, "cmdline8");
  } else {
    EXPECT_EQ("DIR=C:\\Caf\xC3\xA9 \xD0\x96", One(report, "arg2"));
  }
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  if (lmtest::OnWindows() && One(report, "acp") == "932") {
    std::vector<TestEntry> legacy = ProbeEntries();
    legacy.push_back({"/D=Caf\xE9", payload::kArgumentsKind, ""});  // cp1252, no flag: not cp932
    lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
    EXPECT_EQ(Expected().untranslatable, Run(lmtest::BuildSetup(stub_, probeName_, legacy)));
    ExpectCleanFailure();
  }
}

// The setup's own arguments are what follows its name as Microsoft's C
// runtime ends argv[0] (quoted parts anywhere in it), whatever the caller
// quoted. Windows only: no other system has a command line.
TEST_F(LauncherTest, TheSetupsNameEndsWhereTheCRuntimeEndsIt) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "a Windows command line";
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"", payload::kArgumentsKind, "", payload::kPassOwnArguments});
  ASSERT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  const std::string setup = root_.Join("setup.exe");
  const size_t slash = setup.rfind('\\'), inner = setup.rfind('\\', slash - 1);
  const std::string directory = setup.substr(0, slash + 1);
  const std::string lines[] = {
      "\"" + directory + "\"setup.exe /qn",  // the batch idiom "%~dp0"setup.exe
      setup.substr(0, inner + 1) + "\"" + setup.substr(inner + 1, slash - inner - 1) + "\"" + setup.substr(slash) +
          " /qn",
      "\"" + setup.substr(0, setup.size() - 4) + "\".exe /qn",
      "\"" + setup + "\"\t /qn",
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
    ASSERT_EQ(0, port_testing::RunCommandLine(setup, line, cwd_, 60000));
    auto report = Report();
    EXPECT_EQ("2", One(report, "argc"));
    EXPECT_EQ("/qn", One(report, "arg1"));
    EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  }
}

// A batch file runs through cmd.exe: the setup's own arguments reach it
// only when cmd.exe would read nothing in them as a command; otherwise
// nothing is unpacked or started.
TEST_F(LauncherTest, ABatchFileGetsNoArgumentsItsShellWouldRun) {
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"\\install.bat", kFile, "@\"%~dp0" + probeName_ + "\" %*\r\n"});
  entries.push_back({"", payload::kArgumentsKind, "", payload::kPassOwnArguments});
  const std::string setup = lmtest::BuildSetup(stub_, "install.bat", entries);
  if (lmtest::OnWindows()) {
    ASSERT_EQ(0, Run(setup, {"/S", "/D=C:\\Program Files\\App", "\"quoted\""}));
    EXPECT_EQ("/S", One(Report(), "arg1"));
    EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  }
  const std::vector<std::vector<std::string>> hostile = {{"x\" & echo owned> owned.txt & \""},
                                                         {"a|echo owned> owned.txt"},
                                                         {"<owned.txt"},
                                                         {">owned.txt"},
                                                         {"^&echo"},
                                                         {"%COMSPEC%"},
                                                         {"!COMSPEC!"},
                                                         {"(echo owned)"},
                                                         {"line\nbreak"},
                                                         {"odd\"quote"},
                                                         {"/S", "tab\tand\x01"}};
  for (const std::vector<std::string>& tail : hostile) {
    SCOPED_TRACE(tail.back());
    lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
    EXPECT_EQ(Expected().badArguments, Run(setup, tail));
    EXPECT_FALSE(lmtest::PathExists(cwd_ + "\\owned.txt"));
    ExpectCleanFailure();
  }
  // cmd.exe expands % and ! in the batch file's own path as well.
  entries[2].path = "\\50%OS%off.bat";
  EXPECT_EQ(Expected().badArguments, Run(lmtest::BuildSetup(stub_, "50%OS%off.bat", {entries[0], entries[2]})));
  ExpectCleanFailure();
}

// A bootstrapper that starts a copy of itself and exits 3 at once: without
// --wait-tree the setup cleans up behind the copy's back (the control),
// with it the setup waits for the copy, which still finds its files; the
// exit code is the bootstrapper's, and nothing is left either way.
TEST_F(LauncherTest, WaitingForTheTreeOutlastsAProgramThatHandsOff) {
  const std::string treeReport = cwd_ + "\\tree-report.txt";
  for (bool wait : {false, true}) {
    SCOPED_TRACE(wait ? "--wait-tree" : "the program alone");
    std::vector<TestEntry> entries = ProbeEntries();
    entries.push_back({"\\tree.txt", kFile, "hand off"});
    if (wait) entries.push_back({"", payload::kArgumentsKind, "", payload::kWaitForTree});
    lmtest::RemoveTree(treeReport);
    EXPECT_EQ(3, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
    if (wait) {
      EXPECT_EQ("found", ReadWholeFile(treeReport));
    }
    for (int i = 0; i < 100 && !lmtest::PathExists(treeReport); ++i) platform::SleepMs(100);
    if (!wait) {
      EXPECT_EQ("missing", ReadWholeFile(treeReport));
    }
    for (int i = 0; i < 100 && !lmtest::ListNames(temp_).empty(); ++i) platform::SleepMs(100);
    EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  }
}

TEST_F(LauncherTest, ProgramsThatCannotStartReportTheReason) {
  std::vector<TestEntry> entries = {{"\\notes.exe", kFile, "just some text, not a program\n"}};
  std::string setup = lmtest::BuildSetup(stub_, "notes.exe", entries);
  EXPECT_EQ(Expected().notExecutable, Run(setup));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

TEST_F(LauncherTest, UnusableTempDirectoryCreatesNothing) {
  UseTempDirectory(root_.Join("no such dir"));
  EXPECT_EQ(Expected().cannotMake, Run(lmtest::BuildSetup(stub_, probeName_, ProbeEntries())));
  ExpectCleanFailure();
}

TEST_F(LauncherTest, EmptyTableOrMissingProgramIsABadPayload) {
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, {})));
  ExpectCleanFailure();
  std::vector<TestEntry> entries = ProbeEntries();
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, "other.exe", entries)));
  ExpectCleanFailure();
  EXPECT_EQ(Expected().badPayload, Run(stub_));  // no payload at all
  ExpectCleanFailure();
}

TEST_F(LauncherTest, UnsafePathsAreRefusedBeforeAnythingIsWritten) {
  const char* unsafe[] = {"\\..\\..\\outside\\evil.txt",
                          "\\..\\evil.txt",
                          "\\C:\\evil.txt",
                          "\\c:evil.txt",
                          "\\file.txt:stream",
                          "\\CON",
                          "\\nul.txt",
                          "\\lpt1",
                          "\\sub/../../evil.txt",
                          "evil.txt",
                          "\\a\\\\b",
                          "\\trailing.",
                          "\\trailing "};
  for (const char* path : unsafe) {
    std::vector<TestEntry> entries = ProbeEntries();
    entries.push_back({path, kFile, "evil"});
    EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries))) << path;
    ExpectCleanFailure();
  }
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"\\..", kDirectory, ""});
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  ExpectCleanFailure();
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, "..\\" + probeName_, ProbeEntries())));
  ExpectCleanFailure();
}

// Damaged or inconsistent compressed data of either codec: refused, nothing
// started, nothing left behind.
TEST_F(LauncherTest, DamagedDataStartsNothing) {
  const std::string data = probe_ + "0";
  const uint32_t size = static_cast<uint32_t>(probe_.size());
  auto build = [&](uint32_t probeSize, const std::string& stream, uint32_t length) {
    PayloadBytes payload;
    payload.Text(probeName_).Int(2);
    payload.Text("\\" + probeName_).Int(kFile).Int(probeSize);
    payload.Text("\\exitcode.txt").Int(kFile).Int(1);
    payload.Int(length).Raw(stream).Int(static_cast<uint32_t>(stub_.size()));
    return stub_ + payload.bytes();
  };
  auto xz = [&data](lmtest::XzShape::Damage damage) {
    lmtest::XzShape shape;
    shape.blockBytes = data.size() / 3;  // three blocks and a short one
    shape.x86 = true;
    shape.damage = damage;
    return lmtest::CompressXz(data, shape);
  };
  struct Row {
    const char* what;
    std::string stream;
    int64_t probeSize;  // 0: the probe's
    int64_t length;     // 0: the stream's
    int expected;
  };
  const ExitCodes codes = Expected();
  std::vector<Row> rows;
  for (const std::string& stream : {lmtest::Compress(data), xz(lmtest::XzShape::kNone)}) {
    const uint32_t length = static_cast<uint32_t>(stream.size());
    std::string flipped = stream;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x10);
    rows.push_back({"a flipped bit", flipped, 0, 0, codes.corruptData});
    // A length that ends inside the stream: the stream cut short.
    rows.push_back({"cut short", stream.substr(0, stream.size() - 20), 0, 0, codes.corruptData});
    rows.push_back({"shorter than the table", stream, size + 100, 0, codes.corruptData});
    rows.push_back({"data left over", stream, size - 100, 0, codes.corruptData});
    // A length that ends behind the stream.
    rows.push_back({"bytes after the stream", stream + "JUNK", 0, 0, codes.corruptData});
    rows.push_back({"length past the trailer", stream, 0, length + 1000, codes.badPayload});
    rows.push_back({"negative length", stream, 0, 0x80000000u, codes.badPayload});
  }
  rows.push_back({"xz stream padding", xz(lmtest::XzShape::kNone) + std::string(4, '\0'), 0, 0, codes.corruptData});
  rows.push_back({"another filter", xz(lmtest::XzShape::kFilter), 0, 0, codes.badPayload});
  rows.push_back({"another check", xz(lmtest::XzShape::kCheck), 0, 0, codes.badPayload});
  rows.push_back({"a header that disagrees with the index", xz(lmtest::XzShape::kHeader), 0, 0, codes.corruptData});
  rows.push_back({"an index that disagrees with the blocks", xz(lmtest::XzShape::kIndex), 0, 0, codes.corruptData});
  rows.push_back({"a dictionary beyond the limit", xz(lmtest::XzShape::kDictionary), 0, 0, codes.memoryLimit});
  rows.push_back({"neither codec", "PK\3\4" + lmtest::Compress(data), 0, 0, codes.badPayload});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const uint32_t probeSize = row.probeSize != 0 ? static_cast<uint32_t>(row.probeSize) : size;
    const uint32_t length =
        row.length != 0 ? static_cast<uint32_t>(row.length) : static_cast<uint32_t>(row.stream.size());
    EXPECT_EQ(row.expected, Run(build(probeSize, row.stream, length)));
    ExpectCleanFailure();
  }
}

// An xz stream of as many blocks as the launcher reads runs; one block more
// is refused before anything is planned or written.
TEST_F(LauncherTest, AnXzStreamOfMoreBlocksThanTheLauncherReadsIsRefused) {
  const std::vector<TestEntry> entries = ProbeEntries("7");
  lmtest::XzShape shape;
  const size_t size = probe_.size() + 1;
  shape.blockBytes = size / 3;
  const size_t dataBlocks = (size + shape.blockBytes - 1) / shape.blockBytes;
  shape.emptyBlocks = xz::XzStreamIndex::kMaxBlocks - dataBlocks;
  EXPECT_EQ(7, Run(lmtest::BuildSetup(stub_, probeName_, entries, &shape)));
  platform::RemoveFile((cwd_ + "\\probe-report.txt").c_str());
  ++shape.emptyBlocks;
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries, &shape)));
  ExpectCleanFailure();
}

// A setup lmpack wrote, its integrity record, table and trailer damaged one
// bit at a time: every flip is refused before anything starts. Natively every
// bit; under Wine, where every start costs many times more, every 7th.
TEST_F(LauncherTest, EveryBitFlipOfAPackedTableIsRefused) {
  lmtest::TempDir packing;
  const std::string folder = packing.Join("app"), setupPath = packing.Join("setup");
  ASSERT_TRUE(lmtest::MakeDirectory(folder));
  ASSERT_TRUE(lmtest::WriteFile(folder + "\\" + probeName_, probe_));
  ASSERT_TRUE(lmtest::WriteFile(folder + "\\exitcode.txt", "3"));
  ASSERT_EQ(0, lmtest::RunProgram(lmtest::BuildPath("LM_LMPACK"),
                                  {"pack", "--quiet", "--stub", lmtest::BuildPath("LM_LAUNCHER"), "--target",
                                   lmtest::LauncherTarget(), "--run", probeName_, "-o", setupPath, folder}));
  const std::string setup = ReadWholeFile(setupPath);
  PayloadTable table;
  {
    LmFileStream file;
    ASSERT_EQ(1, file.OpenFile(setupPath.c_str(), 0));
    ASSERT_TRUE(PayloadReader::ReadTable(&file, &table).ok());
  }
  const size_t recordStart = table.payloadOffset - payload::IntegrityRecord::kSize;
  std::vector<size_t> bits;
  for (size_t bit = 8 * recordStart; bit < 8 * static_cast<size_t>(table.dataOffset); ++bit) bits.push_back(bit);
  for (size_t bit = 8 * (setup.size() - 4); bit < 8 * setup.size(); ++bit) bits.push_back(bit);
  const size_t step = lmtest::OnWindows() ? 7 : 1;
  for (size_t i = 0; i < bits.size(); i += step) {
    std::string flipped = setup;
    flipped[bits[i] / 8] = static_cast<char>(flipped[bits[i] / 8] ^ (1 << (bits[i] % 8)));
    EXPECT_EQ(Expected().badPayload, Run(flipped)) << "bit " << bits[i] - 8 * recordStart << " from the record";
    ExpectCleanFailure();
  }
  // The record made unrecognisable, as damage beyond a few bits of its magic
  // does: the payload, intact, runs as it would without one.
  std::string hidden = setup;
  for (size_t at = recordStart; at < recordStart + 8; ++at) hidden[at] = static_cast<char>(~hidden[at]);
  EXPECT_EQ(3, Run(hidden));
  EXPECT_EQ(FileLine("exitcode.txt", "3"), One(Report(), "file"));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

TEST_F(LauncherTest, TreeDeletionNeverFollowsLinksAndRemovesReadOnlyFiles) {
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"\\plant-link.txt", kFile, outside_});
  entries.push_back({"\\plant-readonly.txt", kFile, "yes"});
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  auto report = Report();
  ASSERT_FALSE(report.empty());
  std::vector<std::string> files = All(report, "file");
  bool locked = false;
  for (const std::string& f : files) locked |= f.compare(0, 11, "locked.txt|") == 0;
  EXPECT_TRUE(locked);
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  // Wine's CreateSymbolicLinkA reports success and makes nothing; without
  // the link the deletion had nothing to follow, and what lies outside is
  // intact whatever it did. The probe's listing tells, whatever kind of
  // entry the port takes the link for.
  bool linked = false;
  for (const auto& [key, value] : report) {
    linked |= (key == "link" || key == "dir" || key == "file") && value.substr(0, value.find('|')) == "escape";
  }
  if (!linked) GTEST_SKIP() << "the probe could not make its link here; only the read-only file's removal was checked";
  EXPECT_EQ("precious", ReadWholeFile(outside_ + "\\precious.txt"));
  EXPECT_EQ((std::vector<std::string>{"precious.txt"}), lmtest::ListNames(outside_));
}

TEST_F(LauncherTest, EntriesNamedLikeTheStagingFileDoNotOverwriteIt) {
  // Top-level entries named by the seconds around the run, in both kinds and
  // with large contents: the staging file must be named otherwise.
  std::vector<TestEntry> entries = ProbeEntries();
  std::vector<std::string> expected = {FileLine("exitcode.txt", "0"), FileLine(probeName_, probe_)};
  std::vector<std::string> dirs;
  for (int offset = -2; offset < 40; ++offset) {
    std::string name = TimestampName(offset);
    if (offset % 5 == 0) {
      entries.push_back({"\\" + name, kDirectory, ""});
      dirs.push_back(name);
    } else {
      std::string contents = lmtest::RandomBytes(20000 + offset, offset + 100);
      entries.push_back({"\\" + name, kFile, contents});
      expected.push_back(FileLine(name, contents));
    }
  }
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  auto report = Report();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, All(report, "file"));
  std::sort(dirs.begin(), dirs.end());
  EXPECT_EQ(dirs, All(report, "dir"));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

TEST_F(LauncherTest, NamesMustMatchTheirEntriesExactly) {
  // The launch name differs from its entry in case only.
  std::string upper = probeName_;
  upper[0] = static_cast<char>(toupper(static_cast<unsigned char>(upper[0])));
  std::vector<TestEntry> entries = {{"\\" + upper, kFile, probe_}, {"\\exitcode.txt", kFile, "0"}};
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  ExpectCleanFailure();
  // A file whose directory is spelt otherwise than its directory entry.
  entries = ProbeEntries();
  entries.push_back({"\\Data", kDirectory, ""});
  entries.push_back({"\\data\\a.txt", kFile, "a"});
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  ExpectCleanFailure();
  // Duplicates stay refused without regard to case.
  entries = ProbeEntries();
  entries.push_back({"\\a.txt", kFile, "a"});
  entries.push_back({"\\A.TXT", kFile, "A"});
  EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  ExpectCleanFailure();
}

TEST_F(LauncherTest, AFullTempDiskGivesTheDiskFullCode) {
  // A small file system that the test fixture mounted and filled up, where
  // the machine allows mounting.
  const char* full = getenv("LM_FULL_DISK");
  if (full == nullptr || *full == '\0' || !lmtest::PathExists(lmtest::HostPath(full) + "\\filler")) {
    GTEST_SKIP() << "no full file system to run on";
  }
  std::string fullDir = lmtest::HostPath(full);
  UseTempDirectory(fullDir);
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"\\noise.bin", kFile, lmtest::RandomBytes(200000, 5)});
  EXPECT_EQ(Expected().diskFull, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  EXPECT_FALSE(lmtest::PathExists(cwd_ + "\\probe-report.txt"));
  EXPECT_EQ((std::vector<std::string>{"filler"}), lmtest::ListNames(fullDir));
}

TEST_F(LauncherTest, NamesInTheAnsiCodePageUnpackUnderThoseNames) {
  if (!lmtest::OnWindows() || platform::GetAnsiCodePage() != 1252) GTEST_SKIP() << "Windows with code page 1252 only";
  std::string dir, file;
  ASSERT_TRUE(
      platform::Utf8ToCodePage("\xC3\x9C"
                               "n"
                               "\xC3\xAF"
                               "c"
                               "\xC3\xB6"
                               "d"
                               "\xC3\xA9",
                               1252, &dir));  // Ünïcödé
  ASSERT_TRUE(
      platform::Utf8ToCodePage("na\xC3\xAF"
                               "ve.txt",
                               1252, &file));  // naïve.txt
  std::vector<TestEntry> entries = ProbeEntries();
  entries.push_back({"\\" + dir, kDirectory, ""});
  entries.push_back({"\\" + dir + "\\" + file, kFile, "accented"});
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  auto report = Report();
  EXPECT_EQ((std::vector<std::string>{dir}), All(report, "dir"));
  std::vector<std::string> files = All(report, "file");
  EXPECT_NE(files.end(), std::find(files.begin(), files.end(), FileLine(dir + "\\" + file, "accented")));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty());
}

// Two names that the running code page and Windows' case rules make one
// (É and é in 1252, Я and я in 1251, 0x8790 and 0x81E0 in 932, both U+2252,
// and bytes 932 has no character for, read as its default one)
// are a bad payload on Windows, refused before anything is written; ctest
// runs this case under each code page. Elsewhere names are bytes: both
// files unpack.
TEST_F(LauncherTest, NamesThatAreOneUnderEveryCodePageAreRefused) {
  const struct {
    int codePage;
    const char *name1, *name2;
  } rows[] = {{1252, "\\\xC9.txt", "\\\xE9.txt"},
              {1251, "\\\xDF.txt", "\\\xFF.txt"},
              {932, "\\\x87\x90.txt", "\\\x81\xE0.txt"},
              {932, "\\a\x85\x40.txt", "\\a\x85\x41.txt"}};  // no characters: the file calls' default one
  for (const auto& row : rows) {
    if (lmtest::OnWindows() && platform::GetAnsiCodePage() != row.codePage) continue;
    SCOPED_TRACE(row.codePage);
    std::vector<TestEntry> entries = ProbeEntries();
    entries.push_back({row.name1, kFile, "1"});
    entries.push_back({row.name2, kFile, "2"});
    lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
    if (lmtest::OnWindows()) {
      EXPECT_EQ(Expected().badPayload, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
      ExpectCleanFailure();
    } else {
      EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
      std::vector<std::string> files = All(Report(), "file");
      for (const std::string& line : {FileLine(row.name1 + 1, "1"), FileLine(row.name2 + 1, "2")}) {
        EXPECT_NE(files.end(), std::find(files.begin(), files.end(), line));
      }
    }
  }
}

TEST_F(LauncherTest, ATempDirectoryOutsideTheCodePageIsUsedThroughItsShortForm) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "Windows only";
  std::string cyrillic =
      root_.Join("\xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C");
  std::string ansi;
  if (platform::Utf8ToCodePage(cyrillic, platform::GetAnsiCodePage(), &ansi)) GTEST_SKIP() << "a Cyrillic code page";
  ASSERT_TRUE(platform::MakeDirectoryUtf8(cyrillic));
  for (const char* name : {"TMP", "TEMP"}) ASSERT_TRUE(platform::SetEnvironmentUtf8(name, cyrillic.c_str()));
  std::string shortForm;
  ASSERT_TRUE(platform::GetAnsiTempDirectory(&shortForm));
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, ProbeEntries())));
  // The program ran (its own path reads in the long form, with '?' for the
  // letters the code page lacks: no directory could be made under that).
  EXPECT_FALSE(Report().empty());
  EXPECT_TRUE(lmtest::ListNames(shortForm.substr(0, shortForm.size() - 1)).empty());
  EXPECT_TRUE(platform::RemoveDirectoryUtf8(cyrillic));
}

TEST_F(LauncherTest, HugeClaimsAreRefusedBeforeAnythingIsRead) {
  std::vector<std::string> setups;
  // 2^31 - 1 entries, a compressed length of 2^31 - 1, a trailer past the end.
  setups.push_back(
      stub_ + PayloadBytes().Text(probeName_).Int(0x7FFFFFFFu).Int(0).Int(static_cast<uint32_t>(stub_.size())).bytes());
  std::vector<TestEntry> entries = ProbeEntries();
  std::string setup = lmtest::BuildSetup(stub_, probeName_, entries);
  std::string compressed = lmtest::Compress(probe_ + "0");
  PayloadBytes longLength;
  longLength.Text(probeName_).Int(2);
  longLength.Text("\\" + probeName_).Int(kFile).Int(static_cast<uint32_t>(probe_.size()));
  longLength.Text("\\exitcode.txt").Int(kFile).Int(1);
  longLength.Int(0x7FFFFFFFu).Raw(compressed).Int(static_cast<uint32_t>(stub_.size()));
  setups.push_back(stub_ + longLength.bytes());
  setups.push_back(setup.substr(0, setup.size() - 4) + PayloadBytes().Int(0x7FFFFFF0u).bytes());
  for (const std::string& bad : setups) {
    EXPECT_EQ(Expected().badPayload, Run(bad));
    ExpectCleanFailure();
  }
  // 100 MB of zeros behind the launcher, then a trailer pointing at them.
  std::string path = root_.Join(lmtest::OnWindows() ? "setup.exe" : "setup");
  ASSERT_TRUE(lmtest::WriteFile(path, stub_));
  {
    LmFileStream out;
    ASSERT_EQ(1, out.OpenFile(path.c_str(), 2));
    const std::string zeros(1 << 20, '\0');
    for (int i = 0; i < 100; ++i)
      ASSERT_EQ(static_cast<int>(zeros.size()), out.Write(zeros.data(), static_cast<int>(zeros.size())));
    ASSERT_EQ(1, out.WriteInt(static_cast<int32_t>(stub_.size())));
  }
  platform::MarkIfExecutable(path.c_str(), reinterpret_cast<const unsigned char*>(stub_.data()), 4, false);
  EXPECT_EQ(Expected().badPayload, lmtest::RunProgram(path, {}, cwd_));
  ExpectCleanFailure();
}

TEST_F(LauncherTest, TheWorkingDirectoryIsTheUsersAlone) {
  EXPECT_EQ(0, Run(lmtest::BuildSetup(stub_, probeName_, ProbeEntries())));
  std::string access = One(Report(), "access");
  if (!lmtest::OnWindows()) {
    EXPECT_EQ("mode=0700", access);
    return;
  }
  // As built: protected (nothing inherited from the temp directory), full
  // control for the user, SYSTEM and Administrators, inherited inside.
  std::string built = port_testing::PrivateDirectoryAccessText();
  ASSERT_EQ(0u, built.find("D:P(")) << built;
  std::vector<std::string> aces = AcesOf(built);
  ASSERT_EQ(3u, aces.size()) << built;
  EXPECT_EQ(0u, aces[0].find("A;OICI;FA;;;S-1-5-")) << built;
  EXPECT_EQ("A;OICI;FA;;;SY", aces[1]);
  EXPECT_EQ("A;OICI;FA;;;BA", aces[2]);
  // As the program found its directory: nothing for Everyone, Users or
  // Authenticated Users.
  ASSERT_FALSE(access.empty());
  for (const std::string& ace : AcesOf(access)) {
    std::string trustee = ace.substr(ace.rfind(';') + 1);
    EXPECT_TRUE(trustee != "WD" && trustee != "BU" && trustee != "AU") << access;
  }
}

// The start of a run in this process: the direct start says the program
// needs elevation, which no test system can say by itself.
std::vector<platform::StartMethod> startsSeen;
platform::ProcessResult shellAnswer;
bool realShell = false;

platform::ProcessResult NeedingElevation(const char* program, platform::StartMethod method,
                                         const platform::ProgramArguments& arguments) {
  startsSeen.push_back(method);
  if (method == platform::StartMethod::kDirect) return {platform::ProcessResult::kElevationRequired, 0, 740};
  return realShell ? platform::RunAndWait(program, method, arguments) : shellAnswer;
}

TEST_F(LauncherTest, ProgramsThatNeedElevationStartThroughTheShell) {
  std::string setup = root_.Join(lmtest::OnWindows() ? "setup.exe" : "setup");
  ASSERT_TRUE(lmtest::WriteFile(setup, lmtest::BuildSetup(stub_, probeName_, ProbeEntries("23"))));
  const std::string saved = port_testing::CurrentDirectory();
  ASSERT_EQ(0, port_testing::ChangeDirectory(cwd_));
  using Result = platform::ProcessResult;
  struct Row {
    bool real;
    Result shell;
    int windowsCode, nativeCode;
    bool kept;
  } rows[] = {
      {true, {}, 23, 23, false},                                  // the shell starts it: its exit code
      {false, {Result::kNotStarted, 0, 1223}, 1223, 127, false},  // the user declined the prompt
      {false, {Result::kStartedUnwatched, 0, 0}, 0, 0, true},     // nothing to wait for: the files stay
  };
  for (const Row& row : rows) {
    startsSeen.clear();
    realShell = row.real;
    shellAnswer = row.shell;
    EXPECT_EQ(lmtest::OnWindows() ? row.windowsCode : row.nativeCode, RunSetup(setup, NeedingElevation));
    EXPECT_EQ((std::vector<platform::StartMethod>{platform::StartMethod::kDirect, platform::StartMethod::kShell}),
              startsSeen);
    std::vector<std::string> left = lmtest::ListNames(temp_);
    EXPECT_EQ(row.kept ? 1u : 0u, left.size());
    for (const std::string& name : left) lmtest::RemoveTree(temp_ + "\\" + name);
  }
  EXPECT_FALSE(Report().empty()) << "the shell did not run the program";
  // The shell holds a command line to about 2,048 characters (Wine's takes
  // more): a longer one is refused as CreateProcess refuses one beyond its
  // limit, nothing started, nothing left.
  if (lmtest::OnWindows()) {
    std::vector<TestEntry> entries = ProbeEntries("23");
    for (int i = 0; i < 9; ++i) {  // 2,331 bytes in pieces of the longest string
      entries.push_back({std::string(payload::kMaxStringLength, 'a'), payload::kArgumentsKind, ""});
    }
    ASSERT_TRUE(lmtest::WriteFile(setup, lmtest::BuildSetup(stub_, probeName_, entries)));
    lmtest::RemoveTree(cwd_ + "\\probe-report.txt");
    realShell = true;
    EXPECT_EQ(Expected().commandTooLong, RunSetup(setup, NeedingElevation));
    EXPECT_TRUE(Report().empty());
    EXPECT_TRUE(lmtest::ListNames(temp_).empty());
  }
  ASSERT_EQ(0, port_testing::ChangeDirectory(saved));
}

// Each allocation of a small run fails in turn (the table, the names, the
// decoders and their threads, the command line, the cleanup), through the
// launcher's own operator new: before the program starts the run ends with
// the out-of-memory code, after it the program's code stands; nothing is
// ever left in the temp directory. Under Wine, where a start costs half a
// second, and under the sanitizers, every allocation up to 40 and a sample
// of the rest.
TEST_F(LauncherTest, AFailedAllocationAnywhereEndsTheRunWithNothingLeftBehind) {
  const std::string stub = ReadWholeFile(lmtest::BuildPath("LM_OOM_LAUNCHER"));
  ASSERT_FALSE(stub.empty());
  std::vector<TestEntry> entries = ProbeEntries("5");
  entries.push_back({"\\data", kDirectory, ""});
  entries.push_back({"\\data\\text.txt", kFile, std::string(9000, 't')});
  entries.push_back({"\\data\\empty.txt", kFile, ""});
  lmtest::XzShape xz;
  xz.blockBytes = 256 << 10;  // the probe alone fills more than one: worker threads
  const std::string countFile = root_.Join("allocations.txt");
  port_testing::SetEnv("LM_ALLOCATION_COUNT", countFile.c_str());
  for (const lmtest::XzShape* codec : {static_cast<lmtest::XzShape*>(nullptr), &xz}) {
    SCOPED_TRACE(codec == nullptr ? "bzip2" : "xz");
    const std::string setup = lmtest::BuildSetup(stub, probeName_, entries, codec);
    port_testing::SetEnv("LM_FAIL_ALLOCATION", "0");
    ASSERT_EQ(5, Run(setup));  // writes the setup, run again as it stands below
    int beforeProgram = 0, total = 0;
    ASSERT_EQ(2, sscanf(ReadWholeFile(countFile).c_str(), "%d %d", &beforeProgram, &total));
    ASSERT_GT(beforeProgram, 20);
#ifdef __SANITIZE_ADDRESS__
    const bool sample = true;
#else
    const bool sample = lmtest::OnWindows();
#endif
    for (int n = 1; n <= total; n += (sample && n >= 40) ? 1 + total / 40 : 1) {
      platform::RemoveFile((cwd_ + "\\probe-report.txt").c_str());
      port_testing::SetEnv("LM_FAIL_ALLOCATION", std::to_string(n).c_str());
      const int code = lmtest::RunProgram(root_.Join(lmtest::OnWindows() ? "setup.exe" : "setup"), {}, cwd_);
      const bool started = !Report().empty();
      // The port builds the command line after the launcher decides to
      // start: a failure there still starts nothing.
      if (n <= beforeProgram) {
        EXPECT_FALSE(started) << "allocation " << n << " of " << total;
      }
      EXPECT_EQ(started ? 5 : Expected().noMemory, code) << "allocation " << n << " of " << total;
      EXPECT_TRUE(lmtest::ListNames(temp_).empty()) << "allocation " << n << " of " << total;
      if (HasFailure()) break;
    }
  }
  port_testing::SetEnv("LM_FAIL_ALLOCATION", nullptr);
  port_testing::SetEnv("LM_ALLOCATION_COUNT", nullptr);
}

TEST_F(LauncherTest, CleanupOutlastsBriefLocksAndGivesUpOnLongOnes) {
  if (!lmtest::OnWindows()) GTEST_SKIP() << "only Windows refuses to delete files in use";
  auto waitForHolder = [this] {
    std::string done = cwd_ + "\\holder-done.txt";
    for (int i = 0; i < 600 && !lmtest::PathExists(done); ++i) platform::SleepMs(100);
    EXPECT_TRUE(lmtest::PathExists(done)) << "the holder did not finish";
    platform::RemoveFile(done.c_str());
  };
  std::vector<TestEntry> entries = ProbeEntries("7");
  entries.push_back({"\\hold.txt", kFile, "2000"});
  EXPECT_EQ(7, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  EXPECT_TRUE(lmtest::ListNames(temp_).empty()) << "a file held for 2 s kept the working directory";
  waitForHolder();

  // Held for longer than the launcher waits: it gives up after its window
  // and leaves the rest where it is.
  entries.back().contents = "20000";
  const uint32_t start = platform::TickCount();
  EXPECT_EQ(7, Run(lmtest::BuildSetup(stub_, probeName_, entries)));
  EXPECT_GE(platform::TickCount() - start, 9500u);
  EXPECT_EQ(1u, lmtest::ListNames(temp_).size());
  waitForHolder();
}

}  // namespace
