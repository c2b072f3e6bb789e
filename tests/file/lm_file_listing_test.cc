#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "file/impl_lm_file.h"
#include "file/lm_file.h"
#include "tests/support/test_support.h"

namespace {

using lmtest::TempDir;
using lmtest::WriteFile;

LmString S(const std::string& s) { return LmString(s.c_str()); }

class CountingFilter : public LmFileFilter {
 public:
  explicit CountingFilter(bool accept) : accept_(accept) {}
  int Accept(LmString name) override {
    names.push_back(name.GetText());
    return accept_ ? 1 : 0;
  }
  std::vector<std::string> names;

 private:
  bool accept_;
};

std::vector<std::string> Paths(LmList<LmString>& list) {
  std::vector<std::string> paths;
  for (auto* node = list.GetHead(); node != nullptr; node = node->next) paths.push_back(node->value.GetText());
  return paths;
}

void ReleaseAll(LmList<LmFile*>& list) {
  for (auto* node = list.GetHead(); node != nullptr; node = node->next) node->value->Release();
  list.RemoveAll();
}

TEST(LmFileListingTest, EmptyMissingFileAndNullArguments) {
  TempDir dir;
  LmList<LmString> paths;
  CountingFilter filter(true);
  LmFile d(S(dir.path()));
  EXPECT_EQ(1, d.ListPathsFiltered(&paths, &filter));
  EXPECT_EQ(0, paths.GetCount());
  EXPECT_TRUE(filter.names.empty());

  ASSERT_TRUE(WriteFile(dir.Join("f"), "x"));
  LmFile f(S(dir.Join("f")));
  EXPECT_EQ(0, f.ListPaths(&paths));
  EXPECT_EQ(0u, f.GetErrorCode());
  LmFile missing(S(dir.Join("missing")));
  EXPECT_EQ(0, missing.ListPaths(&paths));
  EXPECT_EQ(ImplLmFile::kNotFound, missing.GetErrorCode());
  EXPECT_EQ(0, d.ListPaths(nullptr));
  EXPECT_EQ(ImplLmFile::kBadParameter, d.GetErrorCode());
  EXPECT_EQ(0, d.ListFilesFiltered(nullptr, &filter));
  LmList<LmFile*> files;
  EXPECT_EQ(0, d.ListFilesFiltered(&files, nullptr));
  EXPECT_EQ(ImplLmFile::kBadParameter, d.GetErrorCode());
  EXPECT_EQ(0, paths.GetCount());
}

TEST(LmFileListingTest, EntriesAreJoinedWithAndWithoutATrailingSeparator) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.Join("file.txt"), "x"));
  ASSERT_TRUE(lmtest::MakeDirectory(dir.Join("sub")));
  ASSERT_TRUE(WriteFile(dir.Join(".dotted"), "names that begin with a dot are listed"));

  LmList<LmString> plain;
  plain.AddTail(LmString("kept"));
  EXPECT_EQ(1, LmFile(S(dir.path())).ListPaths(&plain));
  std::vector<std::string> got = Paths(plain);
  ASSERT_EQ(4u, got.size());
  EXPECT_EQ("kept", got[0]);  // what the list held stays in front
  std::vector<std::string> entries(got.begin() + 1, got.end());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(dir.Join(".dotted"), entries[0]);
  EXPECT_EQ(dir.Join("file.txt"), entries[1]);
  EXPECT_EQ(dir.Join("sub"), entries[2]);

  LmList<LmString> slashed;
  EXPECT_EQ(1, LmFile(S(dir.path() + "\\")).ListPaths(&slashed));
  got = Paths(slashed);
  std::sort(got.begin(), got.end());
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(dir.path() + "\\file.txt", got[1]);
}

TEST(LmFileListingTest, FilterIsAskedOncePerEntryAndSeesBareNames) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.Join("a"), "x"));
  ASSERT_TRUE(lmtest::MakeDirectory(dir.Join("b")));
  CountingFilter rejectAll(false);
  LmList<LmFile*> files;
  EXPECT_EQ(1, LmFile(S(dir.path())).ListFilesFiltered(&files, &rejectAll));
  EXPECT_EQ(0, files.GetCount());
  std::sort(rejectAll.names.begin(), rejectAll.names.end());
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), rejectAll.names);

  CountingFilter acceptAll(true);
  EXPECT_EQ(1, LmFile(S(dir.path())).ListFilesFiltered(&files, &acceptAll));
  EXPECT_EQ(2, files.GetCount());
  int directories = 0;
  for (auto* node = files.GetHead(); node != nullptr; node = node->next) directories += node->value->IsDirectory();
  EXPECT_EQ(1, directories);
  ReleaseAll(files);
}

TEST(LmFileListingTest, ListedFileObjectsCarryOneReferenceEach) {
  TempDir dir;
  const int kEntries = 3000;
  for (int i = 0; i < kEntries; ++i) ASSERT_TRUE(WriteFile(dir.Join("e" + std::to_string(i)), ""));
  LmList<LmFile*> files;
  ASSERT_EQ(1, LmFile(S(dir.path())).ListFiles(&files));
  ASSERT_EQ(kEntries, files.GetCount());
  for (auto* node = files.GetHead(); node != nullptr; node = node->next) {
    EXPECT_EQ(0u, node->value->Release());  // one Release destroys each (the sanitizer run checks for leaks)
  }
}

}  // namespace
