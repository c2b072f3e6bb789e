// The rule by which Windows' file systems take two names for one, for
// lmpack, which checks names for Windows on any system: two names are one
// when their UTF-16 forms are equal after each character is upper-cased.
// The file system upper-cases by its own table, which covers the Basic
// Multilingual Plane and follows Unicode's simple upper-case mappings; this
// module holds those mappings (Unicode 14, scripts/upcase_table.py). Where
// the file system's table is older or leaves a character alone (Georgian,
// dotless i), this rule folds more: a pair it calls one name at worst is
// refused where Windows would have held both, never the other way round.
#ifndef LM_TOOLS_WINDOWS_NAME_KEY_H_
#define LM_TOOLS_WINDOWS_NAME_KEY_H_

#include <string>

// `utf8` with every character of the Basic Multilingual Plane upper-cased,
// as UTF-8: two names whose keys are equal are one name on Windows. Bytes
// that are not valid UTF-8 are kept as they stand.
std::string WindowsNameKey(const std::string& utf8);

#endif  // LM_TOOLS_WINDOWS_NAME_KEY_H_
