// LmTime: a calendar time held as separate fields (full year, month 1-12,
// day, hour, minute, second, millisecond), with validating setters,
// conversion to and from seconds since 1970, two text forms, parsing of the
// longer one, and the Gregorian calendar rules.
//
// No time zone is stored: Now fills the fields with local time, FromTime64
// (and the constructor from seconds) with the UTC breakdown, and ToTime64
// reads them as local time.
//
// The empty state is year 1900 with every other field 0 (no valid date); a
// time is empty after Clear, after a failed Parse and after construction
// from fields that fail the checks.
//
// Used as a value, or on the heap with count 1 when an operation hands it
// out (Now, a file's modification time): the receiver then releases it.
// One thread at a time; no locks.
#ifndef LM_CORE_LM_TIME_H_
#define LM_CORE_LM_TIME_H_

#include <cstdint>

#include "core/lm_object.h"
#include "core/lm_string.h"

class LmTime : public virtual LmObject {
 public:
  // All six fields are stored only when they form a valid date and time of
  // day from 1900 on; otherwise the time stays empty. millisecond is 0.
  LmTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second);
  // FromTime64(seconds); seconds the runtime cannot break down leave the
  // empty state.
  explicit LmTime(int64_t seconds);
  ~LmTime() override;

  // The current local time on the heap with count 1; the caller releases
  // it. Throws std::bad_alloc when memory runs out.
  static LmTime* Now();

  virtual int32_t GetDay();
  // Day of the year from 0 and day of the week from 0 (Sunday), of the UTC
  // breakdown of ToTime64(); -1 when that cannot be broken down.
  virtual int32_t GetDayOfYear();
  virtual int32_t GetDayOfWeek();
  virtual int32_t GetHour();
  virtual int32_t GetMinute();
  virtual int32_t GetMonth();
  virtual int32_t GetSecond();
  // ToTime64().
  virtual int64_t GetTime();
  virtual int32_t GetYear();
  // Setters store and return 1 when the value is in range, else return 0
  // and change nothing. SetDay checks the date against year and month;
  // SetMonth does not check the day again.
  virtual int SetDay(int32_t value);
  virtual int SetHour(int32_t value);
  virtual int SetMinute(int32_t value);
  virtual int SetMonth(int32_t value);
  virtual int SetSecond(int32_t value);
  // FromTime64(seconds).
  virtual int SetTime(int64_t seconds);
  virtual int SetYear(int32_t value);
  // "YYYY-MM-DD hh:mm:ss" and "YYYY-MM-DD".
  virtual LmString ToString();
  virtual LmString ToDateString();
  // Any value; returns 1.
  virtual int SetMillisecond(int32_t value);
  virtual int32_t GetMillisecond();
  virtual void Clear();
  // Reads "year-month-day hour:minute:second": 1 when the separators are
  // there; parts are converted with ToInt and not range-checked; millisecond
  // is left. 0 and the empty state otherwise.
  virtual int Parse(LmString text);
  // UTC breakdown of the seconds into all fields (millisecond 0); 0 and
  // nothing changed when the runtime cannot break them down.
  virtual int FromTime64(int64_t seconds);
  virtual int IsValidDate(int32_t year, int32_t month, int32_t day);
  // 31, 30, 29 or 28; 0 for a month outside 1-12.
  virtual int GetDaysInMonth(int32_t year, int32_t month);
  virtual int IsLeapYear(int32_t year);
  // The fields read as local time, as seconds since 1970-01-01 00:00:00 UTC;
  // -1 when they cannot be converted. The fields do not change.
  virtual int64_t ToTime64();

 private:
  // Stores `value` in `*field` and returns 1 when it lies in [low, high];
  // else returns 0 and leaves the field.
  static int StoreInRange(int32_t* field, int32_t value, int32_t low, int32_t high);
  // Splits `work` at its first `separator`: the part before goes to *part,
  // the rest stays in `work`. False when there is no separator.
  static bool SplitAt(LmString* work, char separator, int32_t* part);

  int32_t year;
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
  int32_t millisecond;
};

#endif  // LM_CORE_LM_TIME_H_
