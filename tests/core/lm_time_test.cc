#include "core/lm_time.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/testing/port_testing.h"

namespace {

std::string Text(LmTime& t) { return t.ToString().GetText(); }

TEST(LmTimeTest, ConstructorChecksTheCalendar) {
  EXPECT_EQ("2024-02-29 00:00:00", [] {
    LmTime t(2024, 2, 29, 0, 0, 0);
    return Text(t);
  }());
  EXPECT_EQ("2000-02-29 00:00:00", [] {
    LmTime t(2000, 2, 29, 0, 0, 0);
    return Text(t);
  }());
  const int rejected[][6] = {{2023, 2, 29, 0, 0, 0}, {2100, 2, 29, 0, 0, 0}, {2024, 1, 1, 24, 0, 0},
                             {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}, {2024, 0, 1, 0, 0, 0},
                             {2024, 13, 1, 0, 0, 0}, {2024, 1, 0, 0, 0, 0},  {1899, 1, 1, 0, 0, 0},
                             {2024, 1, 1, -1, 0, 0}, {2024, 4, 31, 0, 0, 0}};
  for (const auto& f : rejected) {
    LmTime t(f[0], f[1], f[2], f[3], f[4], f[5]);
    EXPECT_EQ("1900-00-00 00:00:00", Text(t)) << f[0] << "-" << f[1] << "-" << f[2];
  }
}

TEST(LmTimeTest, SettersKeepTheirRanges) {
  LmTime t(2024, 1, 31, 0, 0, 0);
  EXPECT_EQ(1, t.SetMonth(2));
  EXPECT_EQ(31, t.GetDay());  // not tested again
  EXPECT_EQ(0, t.SetDay(31));
  EXPECT_EQ(1, t.SetDay(29));
  EXPECT_EQ(0, t.SetYear(1899));
  EXPECT_EQ(0, t.SetMonth(13));
  EXPECT_EQ(0, t.SetHour(24));
  EXPECT_EQ(0, t.SetMinute(-1));
  EXPECT_EQ(0, t.SetSecond(60));
  EXPECT_EQ(1, t.SetSecond(59));
  EXPECT_EQ(1, t.SetMillisecond(-5));
  EXPECT_EQ(-5, t.GetMillisecond());
  EXPECT_EQ("2024-02-29 00:00:59", Text(t));
}

TEST(LmTimeTest, TextForms) {
  LmTime t(2024, 3, 5, 7, 8, 9);
  EXPECT_EQ("2024-03-05 07:08:09", Text(t));
  EXPECT_STREQ("2024-03-05", t.ToDateString().GetText());
}

TEST(LmTimeTest, ParseShapes) {
  LmTime t(2000, 1, 1, 0, 0, 0);
  t.SetMillisecond(7);
  for (const char* text : {"2024-03-05 07:08:09", "2024-3-5 7:8:9"}) {
    ASSERT_EQ(1, t.Parse(LmString(text))) << text;
    EXPECT_EQ("2024-03-05 07:08:09", Text(t));
    EXPECT_EQ(7, t.GetMillisecond());
  }
  EXPECT_EQ(1, t.Parse(LmString("2024-13-45 99:99:99")));
  EXPECT_EQ(13, t.GetMonth());
  EXPECT_EQ(99, t.GetSecond());
  EXPECT_EQ(1, t.Parse(LmString("-03-05 07:08:09")));
  EXPECT_EQ(0, t.GetYear());
  EXPECT_EQ(1, t.Parse(LmString("2024-03-05 07:08:09:10")));
  EXPECT_EQ(9, t.GetSecond());
  for (const char* bad : {"2024-03-05", "2024-03-05T07:08:09", "2024-03-05 07:08", ""}) {
    EXPECT_EQ(0, t.Parse(LmString(bad))) << bad;
    EXPECT_EQ("1900-00-00 00:00:00", Text(t));
  }
}

TEST(LmTimeTest, CalendarRules) {
  LmTime t(2024, 1, 1, 0, 0, 0);
  EXPECT_EQ(0, t.GetDaysInMonth(2024, 0));
  EXPECT_EQ(0, t.GetDaysInMonth(2024, 13));
  EXPECT_EQ(29, t.GetDaysInMonth(2024, 2));
  EXPECT_EQ(28, t.GetDaysInMonth(1900, 2));
  EXPECT_EQ(30, t.GetDaysInMonth(2023, 11));
  EXPECT_EQ(0, t.IsLeapYear(1900));
  EXPECT_EQ(0, t.IsLeapYear(2023));
  EXPECT_EQ(1, t.IsLeapYear(2000));
  EXPECT_EQ(1, t.IsLeapYear(2024));
  EXPECT_EQ(1, t.IsLeapYear(-400));
}

TEST(LmTimeTest, SecondsConversions) {
  LmTime t(static_cast<int64_t>(0));
  EXPECT_EQ("1970-01-01 00:00:00", Text(t));
  EXPECT_EQ(0, t.GetMillisecond());
  EXPECT_EQ(1, t.SetTime(1700000000));  // 2023-11-14 22:13:20 UTC
  EXPECT_EQ("2023-11-14 22:13:20", Text(t));

  t.Clear();
  EXPECT_EQ(-1, t.ToTime64());
  EXPECT_EQ(-1, t.GetTime());
}

TEST(LmTimeTest, EmptyStateBreaksDownAsTheLastSecondOf1969) {
  port_testing::SetTimeZone("UTC");
  LmTime t(2024, 1, 1, 0, 0, 0);
  t.Clear();
  EXPECT_EQ(3, t.GetDayOfWeek());
  EXPECT_EQ(364, t.GetDayOfYear());
  port_testing::SetTimeZone(nullptr);
}

TEST(LmTimeTest, LocalFieldsReadAsUtcInAZoneEastOfUtc) {
  // POSIX and msvcrt both read "XXX-8" as eight hours east of UTC.
  port_testing::SetTimeZone("XXX-8");
  LmTime monday(2024, 3, 4, 5, 0, 0);  // a Monday, 05:00 local = Sunday 21:00 UTC
  EXPECT_EQ(0, monday.GetDayOfWeek());
  EXPECT_EQ(62, monday.GetDayOfYear());  // 3 March
  LmTime noon(2024, 3, 4, 12, 0, 0);
  EXPECT_EQ(1, noon.GetDayOfWeek());
  port_testing::SetTimeZone(nullptr);
}

TEST(LmTimeTest, NowIsAHeapObjectWithCountOne) {
  LmTime* now = LmTime::Now();
  ASSERT_NE(nullptr, now);
  EXPECT_GE(now->GetYear(), 2024);
  EXPECT_GE(now->GetMonth(), 1);
  EXPECT_EQ(2u, now->AddRef());
  EXPECT_EQ(1u, now->Release());
  EXPECT_EQ(0u, now->Release());
}

}  // namespace
