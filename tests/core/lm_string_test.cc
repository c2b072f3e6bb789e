#include "core/lm_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(const LmString& s) {
  return s.GetText() ? std::string(s.GetText(), static_cast<size_t>(s.GetLength())) : std::string();
}

TEST(LmStringTest, ConstructionFromNullAndEmpty) {
  LmString null(static_cast<const char*>(nullptr));
  EXPECT_EQ(nullptr, null.GetText());
  EXPECT_EQ(0, null.GetLength());
  EXPECT_EQ(0, null.Differs(nullptr));
  EXPECT_EQ(0, null.Differs(""));
  EXPECT_EQ(1, null.Equals(""));
  LmString copy(null);  // a copy always has a buffer
  ASSERT_NE(nullptr, copy.GetText());
  EXPECT_STREQ("", copy.GetText());

  LmString empty;
  ASSERT_NE(nullptr, empty.GetText());
  EXPECT_EQ(0, empty.GetLength());
}

TEST(LmStringTest, AssignVariants) {
  LmString s("abc");
  s.Assign(static_cast<const char*>(nullptr));
  ASSERT_NE(nullptr, s.GetText());
  EXPECT_EQ(0, s.GetLength());

  LmString null(static_cast<const char*>(nullptr));
  null.Assign(static_cast<const char*>(nullptr));
  EXPECT_EQ(nullptr, null.GetText());

  s.AssignBytes("a\0b", 3);
  EXPECT_EQ(3, s.GetLength());
  EXPECT_EQ(2, s.Find('b'));
  EXPECT_EQ(-1, s.Find('z'));
  EXPECT_EQ(-1, LmString().Find('a'));

  // A source inside the string's own buffer is copied before it is freed.
  LmString t("hello world");
  t.AssignBytes(t.GetText() + 6, 5);
  EXPECT_STREQ("world", t.GetText());
  // The very buffer as source changes nothing.
  t.AssignBytes(t.GetText(), 2);
  EXPECT_STREQ("world", t.GetText());
}

TEST(LmStringTest, AppendAndConcat) {
  LmString s("ab");
  s.Append("cd");
  EXPECT_STREQ("abcd", s.GetText());
  EXPECT_EQ(4, s.GetLength());
  s.Append(nullptr);
  EXPECT_STREQ("abcd", s.GetText());
  s.Append(s.GetText());  // own buffer: unchanged
  EXPECT_STREQ("abcd", s.GetText());

  LmString null(static_cast<const char*>(nullptr));
  null.Append("xyz");
  EXPECT_STREQ("xyz", null.GetText());
  EXPECT_EQ(3, null.GetLength());

  LmString a("ab"), b("cd");
  LmString joined = LmString::Concat(a, b);
  EXPECT_STREQ("abcd", joined.GetText());
  EXPECT_STREQ("ab", a.GetText());
  EXPECT_STREQ("cd", b.GetText());
  EXPECT_STREQ("ab\\x", LmString::Concat(a, "\\x").GetText());
}

TEST(LmStringTest, EqualsAndDiffers) {
  LmString s("abc");
  EXPECT_EQ(1, s.Equals("abc"));
  EXPECT_EQ(0, s.Equals("abd"));
  EXPECT_EQ(0, s.Equals("ab"));
  EXPECT_EQ(0, s.Equals(""));
  EXPECT_EQ(1, LmString("").Equals(""));
  EXPECT_EQ(0, s.Differs("abc"));
  EXPECT_EQ(1, s.Differs("abcd"));
  EXPECT_EQ(1, s.Differs("abd"));
  EXPECT_EQ(1, s.Differs(nullptr));
}

TEST(LmStringTest, Mid) {
  LmString s("hello");
  EXPECT_STREQ("hel", s.Mid(0, 2).GetText());
  EXPECT_STREQ("e", s.Mid(1, 1).GetText());
  EXPECT_STREQ("hello", s.Mid(0, 5).GetText());
  EXPECT_STREQ("hello", s.Mid(0, 4).GetText());
  for (auto range : {std::make_pair(3, 2), std::make_pair(0, 6), std::make_pair(-1, 2), std::make_pair(5, 5)}) {
    LmString part = s.Mid(range.first, range.second);
    ASSERT_NE(nullptr, part.GetText());
    EXPECT_EQ(0, part.GetLength()) << range.first << ".." << range.second;
  }
  EXPECT_EQ(0, LmString(static_cast<const char*>(nullptr)).Mid(0, 0).GetLength());

  LmString withNul;
  withNul.AssignBytes("a\0bc", 4);
  EXPECT_EQ("abc", Bytes(withNul.Mid(0, 3)));
}

TEST(LmStringTest, FormatGrowsInStepsOfOneHundred) {
  LmString s;
  s.Format("%04d-%02d-%02d", 7, 3, 9);
  EXPECT_STREQ("0007-03-09", s.GetText());
  EXPECT_EQ(10, s.GetLength());

  std::string hundred(100, 'x');
  s.Format("%s", hundred.c_str());
  EXPECT_EQ(hundred, Bytes(s));
  std::string longer(101, 'y');
  s.Format("%s", longer.c_str());
  EXPECT_EQ(longer, Bytes(s));
  std::string big(1234, 'z');
  s.Format("[%s]", big.c_str());
  EXPECT_EQ("[" + big + "]", Bytes(s));

  s.Format(nullptr);
  EXPECT_EQ(nullptr, s.GetText());
  EXPECT_EQ(0, s.GetLength());
}

TEST(LmStringTest, ToInt) {
  EXPECT_EQ(42, LmString("42abc").ToInt());
  EXPECT_EQ(-7, LmString("  -7").ToInt());
  EXPECT_EQ(0, LmString("x1").ToInt());
  EXPECT_EQ(0, LmString("").ToInt());
  EXPECT_EQ(0, LmString(static_cast<const char*>(nullptr)).ToInt());
}

TEST(LmStringTest, CopiesAreDeep) {
  LmString a("abc");
  LmString b(a);
  b.Append("d");
  EXPECT_STREQ("abc", a.GetText());
  LmString c;
  c = b;
  b.Assign("zz");
  EXPECT_STREQ("abcd", c.GetText());
  EXPECT_NE(a.GetText(), LmString(a).GetText());
}

}  // namespace
