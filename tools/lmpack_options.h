// lmpack's command line: what the user asked for, and the usage text.
#ifndef LM_TOOLS_LMPACK_OPTIONS_H_
#define LM_TOOLS_LMPACK_OPTIONS_H_

#include <string>
#include <vector>

// lmpack's exit statuses.
enum class ExitStatus {
  kOk = 0,
  kRefused = 1,  // the folder cannot be packed, or the payload is damaged
  kUsage = 2,
  kIo = 3,  // a file could not be read or written
};

struct LmpackOptions {
  std::string command;  // "pack", "list", "verify" or "extract"
  std::string stub;
  std::string target = "windows";
  std::string run;
  std::string output;  // pack's -o; extract's DIR
  std::string input;   // pack's FOLDER; the setup file of the others
  int level = 9;
  int jobs = 0;                          // 0: one per processor
  int codePage = 0;                      // --codepage; 0: none declared
  std::string icon;                      // --icon; empty: the launcher's own
  std::vector<std::string> versionInfo;  // each --version-info KEY=VALUE
  bool quiet = false;
};

enum class ParseResult {
  kRun,      // *options holds a command to run
  kDone,     // --help or --version was answered
  kBadUsage  // the problem and the usage text went to stderr
};

ParseResult ParseOptions(int argc, char** argv, LmpackOptions* options);

// Writes "lmpack: MESSAGE" on stderr, the form of every problem lmpack reports.
void ReportError(const std::string& message);

#endif  // LM_TOOLS_LMPACK_OPTIONS_H_
