// lmpack's command line: what the user asked for, and the usage text.
#ifndef LM_TOOLS_LMPACK_OPTIONS_H_
#define LM_TOOLS_LMPACK_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "util/result.h"

struct LmpackOptions {
  std::string command;  // "pack", "list", "verify", "extract", "--help" or "--version"
  std::string stub;
  std::string target = "windows";  // "windows", "windows-x64" or "native"
  std::string run;
  std::string output;        // pack's -o; extract's DIR
  std::string input;         // pack's FOLDER; the setup file of the others
  std::string codec = "xz";  // --codec: "xz" or "bzip2"
  int level = 9;
  uint32_t dictionary = 0;               // --dictionary in bytes (xz); 0: the level's, at most 64 MiB
  uint32_t blockSize = 0;                // --block-size in bytes (xz); 0: kXzBlockBytes
  int jobs = 0;                          // 0: one per processor
  int codePage = 0;                      // --codepage; 0: none declared
  std::string icon;                      // --icon; empty: the launcher's own
  std::vector<std::string> versionInfo;  // each --version-info KEY=VALUE
  std::string arguments;                 // --arguments: the started program's fixed arguments
  bool passArguments = false;            // --pass-arguments: the setup's own arguments follow them
  bool waitTree = false;                 // --wait-tree: the launcher waits for every process the program starts

  // Whether the setup carries a launch arguments record.
  bool WantsLaunchRecord() const { return !arguments.empty() || passArguments || waitTree; }
  bool quiet = false;

  // Whether the setup is for Windows, 32-bit or 64-bit.
  bool ForWindows() const { return target == "windows" || target == "windows-x64"; }
};

// Reads the command line into *options. kUsage, with one line saying what
// is wrong, when the command is unknown, an option is unknown or out of
// range, or an argument is missing.
Result ParseOptions(int argc, char** argv, LmpackOptions* options);

// The usage text, on stdout (--help).
void PrintUsage();
void PrintVersion();

// `text` as lmpack shows it: every control character as \xNN (two
// uppercase hex digits), byte by byte: the bytes 0x00-0x1F and 0x7F, the C1
// controls U+0080-U+009F and the direction controls U+202A-U+202E and
// U+2066-U+2069 as UTF-8 writes them, and, where the system's text is
// UTF-8, every byte that is no part of a valid sequence; so that text from
// a setup or a folder can neither start a line of its own, nor send a
// terminal a command, nor read backwards. Everything else passes as it
// stands: backslashes (the payload's path separator) and non-ASCII text.
std::string ShownText(const std::string& text);

// Writes `line` and a line break on stdout, as ShownText shows it: every
// line list, verify, extract and pack print goes through here.
void PrintLine(const std::string& line);

// Writes "lmpack: MESSAGE" on stderr, the form of every problem lmpack
// reports, the message as ShownText shows it (messages quote names).
void ReportError(const std::string& message);

#endif  // LM_TOOLS_LMPACK_OPTIONS_H_
