// Prints what a program started in this environment takes as its temp
// directory: the ANSI code page, the wide call's answer in UTF-8, the
// narrow call's bytes in hex (with '?' where the code page lacks a
// character), and what GetAnsiTempDirectory chooses. Used to check a Wine
// prefix's settings before running a setup program in it.
#include <cstdio>
#include <string>

#include "code_page.h"
#include "platform.h"
#include "temp_directory.h"
#include "test_env.h"

namespace {

std::string Hex(const std::string& bytes) {
  std::string text;
  char digits[3];
  for (unsigned char b : bytes) {
    snprintf(digits, sizeof(digits), "%02X", b);
    text += digits;
  }
  return text;
}

void PrintVariable(const char* name) {
  std::string value;
  printf("%s=%s\n", name, platform::GetEnvironmentUtf8(name, &value) ? value.c_str() : "(not set)");
}

}  // namespace

int main() {
  printf("ansi_code_page=%d\n", platform::GetAnsiCodePage());
  PrintVariable("TMP");
  PrintVariable("TEMP");
  std::string wide;
  printf("wide_temp_path=%s\n", platform::GetSystemTempPathUtf8(&wide) ? wide.c_str() : "(failed)");

  char narrow[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof(narrow), narrow);
  std::string narrowBytes = (n > 0 && n < sizeof(narrow)) ? std::string(narrow, n) : std::string();
  printf("narrow_temp_path_hex=%s\n", n > 0 && n < sizeof(narrow) ? Hex(narrowBytes).c_str() : "(failed)");

  std::string chosen;
  if (!platform::GetAnsiTempDirectory(&chosen)) {
    printf("ansi_temp_directory=(none)\n");
    return 1;
  }
  std::string chosenUtf8;
  bool readable = platform::CodePageToUtf8(chosen, platform::GetAnsiCodePage(), &chosenUtf8);
  printf("ansi_temp_directory_hex=%s\n", Hex(chosen).c_str());
  printf("ansi_temp_directory=%s\n", readable ? chosenUtf8.c_str() : "(not readable as UTF-8)");
  return 0;
}
