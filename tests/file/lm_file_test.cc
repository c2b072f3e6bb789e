#include "file/lm_file.h"
#include "file/impl_lm_file.h"
#include "file/read_whole_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file/delete_tree.h"
#include "platform/platform.h"
#include "platform/testing/port_testing.h"
#include "tests/support/test_support.h"

namespace {

using lmtest::TempDir;
using lmtest::WriteFile;

LmString S(const std::string& s) { return LmString(s.c_str()); }

using lmtest::OnWindows;

TEST(LmFileTest, SplittingThePath) {
  LmFile dir(S("D:\\dir\\"));
  EXPECT_STREQ("", dir.GetName().GetText());
  EXPECT_EQ(0u, dir.GetErrorCode());
  EXPECT_STREQ("D:\\dir", dir.GetParentPath().GetText());

  LmFile bare(S("name"));
  EXPECT_STREQ("", bare.GetName().GetText());
  EXPECT_EQ(ImplLmFile::kNameError, bare.GetErrorCode());
  LmFile empty(S(""));
  EXPECT_STREQ("", empty.GetParentPath().GetText());
  EXPECT_EQ(ImplLmFile::kNameError, empty.GetErrorCode());

  EXPECT_STREQ("D:\\dir", LmFile(S("D:\\dir\\file")).GetParentPath().GetText());
  EXPECT_STREQ("file", LmFile(S("D:\\dir\\file")).GetName().GetText());
  EXPECT_STREQ("D:\\", LmFile(S("D:\\dir")).GetParentPath().GetText());
  EXPECT_STREQ("D:\\", LmFile(S("D:\\")).GetParentPath().GetText());

  LmFile top(S("\\top"));
  EXPECT_STREQ("", top.GetParentPath().GetText());
  EXPECT_EQ(0u, top.GetErrorCode());
  EXPECT_EQ(nullptr, top.GetParentFile());
  EXPECT_EQ(ImplLmFile::kNameError, top.GetErrorCode());
}

TEST(LmFileTest, ParentFileOutlivesItsMaker) {
  LmFile* child = new LmFile(S("D:\\a\\b"));
  LmFile* parent = child->GetParentFile();
  ASSERT_NE(nullptr, parent);
  delete child;
  EXPECT_STREQ("D:\\a", parent->GetPath().GetText());
  EXPECT_EQ(0u, parent->Release());
}

TEST(LmFileTest, KindTests) {
  TempDir dir;
  std::string file = dir.Join("f.txt");
  ASSERT_TRUE(WriteFile(file, "12345"));
  EXPECT_EQ(1, LmFile(S(dir.path())).IsDirectory());
  EXPECT_EQ(1, LmFile(S(dir.path() + "\\")).IsDirectory());
  LmFile twoSeparators(S(dir.path() + "\\\\"));
  EXPECT_EQ(0, twoSeparators.IsDirectory());  // only one separator is dropped
  EXPECT_EQ(ImplLmFile::kNotFound, twoSeparators.GetErrorCode());

  LmFile f(S(file));
  EXPECT_EQ(1, f.IsFile());
  EXPECT_EQ(0, f.IsDirectory());
  EXPECT_EQ(5u, f.GetSize());
  LmFile d(S(dir.path()));
  EXPECT_EQ(0, d.IsFile());
  EXPECT_EQ(0u, d.GetErrorCode());
  LmFile missing(S(dir.Join("missing")));
  EXPECT_EQ(0, missing.IsFile());
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  EXPECT_EQ(0u, missing.GetSize());
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());

  // Size and execute bit use the path as stored: a trailing separator fails.
  LmFile slashed(S(dir.path() + "\\"));
  EXPECT_EQ(0u, slashed.GetSize());
  EXPECT_EQ(ImplLmFile::kNotFound, slashed.GetErrorCode());
  EXPECT_EQ(0, slashed.IsExecutable());
  EXPECT_EQ(ImplLmFile::kNotFound, slashed.GetErrorCode());
}

TEST(LmFileTest, WindowsPathRules) {
  if (!OnWindows()) GTEST_SKIP() << "drive letters and the read-only attribute are Windows rules";
  EXPECT_EQ(1, LmFile(S("C:")).IsDirectory());
  EXPECT_EQ(1, LmFile(S("C:\\")).IsDirectory());
  TempDir dir;
  std::string exe = dir.Join("tool.exe"), bat = dir.Join("run.bat"), txt = dir.Join("plain.txt");
  for (const std::string& p : {exe, bat, txt}) ASSERT_TRUE(WriteFile(p, "x"));
  EXPECT_EQ(1, LmFile(S(exe)).IsExecutable());
  EXPECT_EQ(1, LmFile(S(bat)).IsExecutable());
  EXPECT_EQ(0, LmFile(S(txt)).IsExecutable());
  EXPECT_EQ(1, LmFile(S(dir.path())).IsExecutable());

  LmFile f(S(txt));
  EXPECT_EQ(1, f.SetReadable(0));  // no effect on Windows, still reports success
  EXPECT_EQ(1, f.CanRead());
  EXPECT_EQ(1, f.SetWritable(0));
  EXPECT_EQ(0, f.CanWrite());
  EXPECT_EQ(0, f.Delete());  // a read-only file cannot be removed
  EXPECT_EQ(1, f.SetWritable(1));
  EXPECT_EQ(1, f.CanWrite());
}

TEST(LmFileTest, CreateNeverTruncates) {
  TempDir dir;
  std::string path = dir.Join("c.txt");
  LmFile f(S(path));
  EXPECT_EQ(1, f.Create());
  EXPECT_EQ(0u, f.GetSize());
  ASSERT_TRUE(WriteFile(path, "keep"));
  EXPECT_EQ(0, f.Create());
  EXPECT_EQ(ImplLmFile::kFileExists, f.GetErrorCode());
  EXPECT_EQ("keep", ReadWholeFile(path));
  EXPECT_EQ(1u, LmFile(S(path)).GetPath().GetLength() > 0);
  // GetPath leaves the code, Exists clears it.
  f.GetPath();
  EXPECT_EQ(ImplLmFile::kFileExists, f.GetErrorCode());
  EXPECT_EQ(1, f.Exists());
  EXPECT_EQ(0u, f.GetErrorCode());

  LmFile orphan(S(dir.Join("no-such-dir\\x")));
  EXPECT_EQ(0, orphan.Create());
  EXPECT_EQ(0u, orphan.GetErrorCode());
}

TEST(LmFileTest, DeleteMakeDirectoryRename) {
  TempDir dir;
  LmFile sub(S(dir.Join("sub")));
  EXPECT_EQ(1, sub.MakeDirectory());
  EXPECT_EQ(0, sub.MakeDirectory());
  EXPECT_EQ(ImplLmFile::kNotFound, sub.GetErrorCode());
  ASSERT_TRUE(WriteFile(dir.Join("sub\\inner"), "x"));
  EXPECT_EQ(0, sub.Delete());  // not empty
  EXPECT_EQ(0u, sub.GetErrorCode());

  LmFile inner(S(dir.Join("sub\\inner")));
  EXPECT_EQ(0, inner.Rename(S(dir.Join("sub"))));  // target exists
  EXPECT_EQ(ImplLmFile::kNotFound, inner.GetErrorCode());
  EXPECT_EQ(1, inner.Rename(S(dir.Join("moved"))));
  EXPECT_EQ(0, inner.Exists());  // still names the old location
  EXPECT_EQ(1, sub.Delete());
  EXPECT_EQ(0, sub.Exists());

  LmFile moved(S(dir.Join("moved")));
  EXPECT_EQ(1, moved.Delete());
  EXPECT_EQ(0, moved.Delete());
  EXPECT_EQ(ImplLmFile::kNotFound, moved.GetErrorCode());
}

TEST(LmFileTest, ModifiedTimeCopiesToAnotherFile) {
  TempDir dir;
  std::string a = dir.Join("a"), b = dir.Join("b");
  ASSERT_TRUE(WriteFile(a, "a"));
  ASSERT_TRUE(WriteFile(b, "b"));
  LmFile fa(S(a)), fb(S(b));
  LmTime old(2001, 2, 3, 4, 5, 6);
  EXPECT_EQ(1, fa.SetModifiedTime(&old));  // a stack time is only read
  LmTime* stamp = fa.GetModifiedTime();
  ASSERT_NE(nullptr, stamp);
  EXPECT_STREQ("2001-02-03 04:05:06", stamp->ToString().GetText());
  EXPECT_EQ(1, fb.SetModifiedTime(stamp));
  EXPECT_EQ(0u, stamp->Release());
  LmTime* copied = fb.GetModifiedTime();
  ASSERT_NE(nullptr, copied);
  EXPECT_STREQ("2001-02-03 04:05:06", copied->ToString().GetText());
  copied->Release();

  EXPECT_EQ(0, fa.SetModifiedTime(nullptr));
  EXPECT_EQ(ImplLmFile::kBadParameter, fa.GetErrorCode());
  LmFile missing(S(dir.Join("missing")));
  EXPECT_EQ(0, missing.SetModifiedTime(&old));
  EXPECT_EQ(ImplLmFile::kOpenFail, missing.GetErrorCode());
  EXPECT_EQ(nullptr, missing.GetModifiedTime());
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  LmFile directory(S(dir.path()));
  EXPECT_EQ(0, directory.SetModifiedTime(&old));
  EXPECT_EQ(ImplLmFile::kOpenFail, directory.GetErrorCode());
  if (!OnWindows()) {  // Wine run as root opens read-only files for writing
    EXPECT_EQ(1, fa.SetWritable(0));
    EXPECT_EQ(0, fa.SetModifiedTime(&old));
    EXPECT_EQ(ImplLmFile::kOpenFail, fa.GetErrorCode());
    EXPECT_EQ(1, fa.SetWritable(1));
  }
}

TEST(LmFileTest, PermissionBits) {
  TempDir dir;
  std::string path = dir.Join("p");
  ASSERT_TRUE(WriteFile(path, "p"));
  LmFile f(S(path));
  EXPECT_EQ(1, f.CanRead());
  EXPECT_EQ(1, f.CanWrite());
  EXPECT_EQ(1, f.SetWritable(0));
  EXPECT_EQ(0, f.CanWrite());
  EXPECT_EQ(1, f.CanRead());
  EXPECT_EQ(1, f.SetWritable(1));
  EXPECT_EQ(1, f.CanWrite());
  LmFile missing(S(dir.Join("nope")));
  EXPECT_EQ(0, missing.SetWritable(1));
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  EXPECT_EQ(0, missing.CanRead());
  EXPECT_EQ(0u, missing.GetErrorCode());
}

TEST(LmFileTest, OpenStream) {
  TempDir dir;
  LmFile directory(S(dir.path()));
  EXPECT_EQ(nullptr, directory.OpenStream(0));

  LmFile missing(S(dir.Join("new.txt")));
  EXPECT_EQ(nullptr, missing.OpenStream(0));
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  EXPECT_STREQ("Filename or path not found", missing.GetErrorText(0xF0000004u));

  LmFileStream* stream = missing.OpenStream(1);
  ASSERT_NE(nullptr, stream);
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  EXPECT_EQ(0u, stream->GetErrorCode());
  EXPECT_EQ(3, stream->Write("abc", 3));
  EXPECT_EQ(0u, stream->Release());  // closes the file
  EXPECT_EQ("abc", ReadWholeFile(dir.Join("new.txt")));
  EXPECT_EQ(3u, missing.GetSize());
}

TEST(LmFileTest, ErrorTablesDifferBetweenFileObjectsAndStreams) {
  LmFile f(S("x"));
  LmFileStream s;
  EXPECT_STREQ("File exis", f.GetErrorText(0xF0000001u));
  EXPECT_STREQ("Open file fail", s.GetErrorText(0xF0000001u));
  EXPECT_STREQ("Paramater is wrong", f.GetErrorText(0xF0000002u));
  EXPECT_STREQ("Access denied: file's permission setting does not allow specified access", f.GetErrorText(0xF0000003u));
  EXPECT_STREQ("No more file descriptors are available", f.GetErrorText(0xF0000005u));
  EXPECT_STREQ("File name error", f.GetErrorText(0xF0000006u));
  EXPECT_STREQ("Open file fail", f.GetErrorText(0xF0000007u));
  EXPECT_STREQ("Close file fail", f.GetErrorText(0xF0000008u));
  EXPECT_STREQ("Success", f.GetErrorText(0));
  EXPECT_STREQ("Success", f.GetErrorText(0xF0000009u));
}

TEST(LmFileTest, DeleteTreeRemovesNestedDirectoriesAndReadOnlyFiles) {
  TempDir dir;
  const std::string root = dir.Join("root"), inner = root + "\\a\\b";
  ASSERT_TRUE(lmtest::MakeDirectory(root) && lmtest::MakeDirectory(root + "\\a") && lmtest::MakeDirectory(inner));
  for (const std::string& file : {root + "\\top.txt", inner + "\\deep.txt", inner + "\\locked.txt"}) {
    ASSERT_TRUE(WriteFile(file, "x"));
  }
  LmFile locked(S(inner + "\\locked.txt"));
  ASSERT_EQ(1, locked.SetWritable(0));  // on Windows, the file system refuses to delete it so
  LmFile* entry = new LmFile(S(root));
  entry->AddRef();
  DeleteTree(entry);
  EXPECT_EQ(std::vector<std::string>{}, lmtest::ListNames(dir.path()));
}

// A listed name that reads as a path once joined (a '\\' in a POSIX name;
// on Windows the ANSI listing's best fit of fullwidth "．．＼") never leads
// the deletion out of the tree.
TEST(LmFileTest, DeleteTreeNeverFollowsANameOutOfTheTree) {
  for (const char* name : {"..\\victim", "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBCvictim"}) {
    TempDir dir;
    const std::string root = dir.Join("root"), victim = dir.Join("victim");
    ASSERT_TRUE(lmtest::MakeDirectory(root) && lmtest::MakeDirectory(victim));
    ASSERT_TRUE(WriteFile(victim + "\\kept.txt", "kept"));
    if (port_testing::CreateNamedFile(root, name) != 0) continue;  // '\\' is Windows' separator
    LmFile* entry = new LmFile(S(root));
    entry->AddRef();
    DeleteTree(entry);
    EXPECT_EQ("kept", ReadWholeFile(victim + "\\kept.txt")) << name;
  }
}

TEST(LmFileTest, DeleteTreeRemovesALinkItselfNeverWhatItPointsTo) {
  TempDir dir;
  std::string target = dir.Join("target"), link = dir.Join("link");
  ASSERT_TRUE(lmtest::MakeDirectory(target));
  ASSERT_TRUE(WriteFile(target + "\\kept.txt", "kept"));
  // Wine's CreateSymbolicLinkA reports success and makes nothing, and a
  // DeleteTree of a missing path would pass both checks below: the link
  // must stand in the listing before it is deleted.
  if (port_testing::CreateLink(link.c_str(), target.c_str(), true) != 0 ||
      lmtest::ListNames(dir.path()) != std::vector<std::string>{"link", "target"}) {
    GTEST_SKIP() << "links cannot be made here (none appears in the listing), so no link is deleted";
  }
  LmFile* root = new LmFile(S(link));
  root->AddRef();
  DeleteTree(root);
  EXPECT_EQ(platform::EntryType::kMissing, platform::GetEntryInfo(link.c_str()).type);
  EXPECT_EQ("kept", ReadWholeFile(target + "\\kept.txt"));
}

}  // namespace
