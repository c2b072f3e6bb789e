#include "core/lm_time.h"

#include <cstdint>
#include <ctime>

#include "platform/platform.h"

LmTime::LmTime(int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s) : LmObject() {
  Clear();
  if (y >= 1900 && mo >= 1 && mo <= 12 && d >= 1 && d <= GetDaysInMonth(y, mo) && h >= 0 && h <= 23 && mi >= 0 &&
      mi <= 59 && s >= 0 && s <= 59) {
    year = y;
    month = mo;
    day = d;
    hour = h;
    minute = mi;
    second = s;
  }
}

LmTime::LmTime(int64_t seconds) : LmObject() {
  Clear();
  FromTime64(seconds);
}

LmTime::~LmTime() {}

LmTime* LmTime::Now() {
  struct tm local = {};
  platform::LocalTime64(platform::Time64(), &local);
  LmTime* now =
      new LmTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  now->AddRef();
  return now;
}

int32_t LmTime::GetDay() { return day; }

int32_t LmTime::GetDayOfYear() {
  struct tm utc;
  if (!platform::GmTime64(ToTime64(), &utc)) return -1;
  return utc.tm_yday;
}

int32_t LmTime::GetDayOfWeek() {
  struct tm utc;
  if (!platform::GmTime64(ToTime64(), &utc)) return -1;
  return utc.tm_wday;
}

int32_t LmTime::GetHour() { return hour; }
int32_t LmTime::GetMinute() { return minute; }
int32_t LmTime::GetMonth() { return month; }
int32_t LmTime::GetSecond() { return second; }
int64_t LmTime::GetTime() { return ToTime64(); }
int32_t LmTime::GetYear() { return year; }

int LmTime::SetDay(int32_t value) {
  if (!IsValidDate(year, month, value)) return 0;
  day = value;
  return 1;
}

int LmTime::StoreInRange(int32_t* field, int32_t value, int32_t low, int32_t high) {
  if (value < low || value > high) return 0;
  *field = value;
  return 1;
}

int LmTime::SetHour(int32_t value) { return StoreInRange(&hour, value, 0, 23); }
int LmTime::SetMinute(int32_t value) { return StoreInRange(&minute, value, 0, 59); }
int LmTime::SetMonth(int32_t value) { return StoreInRange(&month, value, 1, 12); }
int LmTime::SetSecond(int32_t value) { return StoreInRange(&second, value, 0, 59); }
int LmTime::SetTime(int64_t seconds) { return FromTime64(seconds); }
int LmTime::SetYear(int32_t value) { return StoreInRange(&year, value, 1900, INT32_MAX); }

LmString LmTime::ToString() {
  LmString text;
  text.Format("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}

LmString LmTime::ToDateString() {
  LmString text;
  text.Format("%04d-%02d-%02d", year, month, day);
  return text;
}

int LmTime::SetMillisecond(int32_t value) {
  millisecond = value;
  return 1;
}

int32_t LmTime::GetMillisecond() { return millisecond; }

void LmTime::Clear() {
  year = 1900;
  month = 0;
  day = 0;
  hour = 0;
  minute = 0;
  second = 0;
  millisecond = 0;
}

bool LmTime::SplitAt(LmString* work, char separator, int32_t* part) {
  int32_t at = work->Find(separator);
  if (at < 0) return false;
  *part = at == 0 ? 0 : work->Mid(0, at - 1).ToInt();
  LmString rest = work->Mid(at + 1, work->GetLength());
  work->Assign(rest);
  return true;
}

int LmTime::Parse(LmString text) {
  LmString work(text);
  if (work.GetLength() > 0 && SplitAt(&work, '-', &year) && SplitAt(&work, '-', &month) && SplitAt(&work, ' ', &day) &&
      SplitAt(&work, ':', &hour) && SplitAt(&work, ':', &minute)) {
    second = work.ToInt();
    return 1;
  }
  Clear();
  return 0;
}

int LmTime::FromTime64(int64_t seconds) {
  struct tm utc;
  if (!platform::GmTime64(seconds, &utc)) return 0;
  year = utc.tm_year + 1900;
  month = utc.tm_mon + 1;
  day = utc.tm_mday;
  hour = utc.tm_hour;
  minute = utc.tm_min;
  second = utc.tm_sec;
  millisecond = 0;
  return 1;
}

int LmTime::IsValidDate(int32_t y, int32_t mo, int32_t d) { return d >= 1 && d <= GetDaysInMonth(y, mo) ? 1 : 0; }

int LmTime::GetDaysInMonth(int32_t y, int32_t mo) {
  switch (mo) {
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return IsLeapYear(y) ? 29 : 28;
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
      return 31;
    default:
      return 0;
  }
}

int LmTime::IsLeapYear(int32_t y) {
  if (y % 400 == 0) return 1;
  return (y % 4 == 0 && y % 100 != 0) ? 1 : 0;
}

int64_t LmTime::ToTime64() {
  struct tm fields = {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;  // let the runtime decide whether summer time applies
  return platform::MkTime64(&fields);
}
