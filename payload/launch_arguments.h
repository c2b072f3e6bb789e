// The launch arguments record: what the started program gets after its own
// path, carried in the payload's table so that the integrity record covers
// it and launchers that know nothing of it still run the setup (without
// arguments): entries of kind kArgumentsKind, which such launchers ignore
// (they create nothing and take no decompressed bytes).
//
// The record is one or more such entries at the end of the table. Their
// paths, concatenated in table order, are the fixed arguments (each piece
// at most kMaxStringLength bytes; one empty piece when there are none). The
// first entry's size holds the flags: kPassOwnArguments when the setup's
// own command-line arguments follow the fixed ones; kUtf8Text when the text
// is UTF-8 (else ASCII, or for records from before the flag, the ANSI code
// page of the machine that runs it); kWaitForTree when the launcher waits
// for every process the program starts, not only for the program. Every
// later entry's size is 0. The text is Windows command-line text: no line
// break, at most kMaxArgumentsLength bytes, its quotes closed. A table
// without such entries has no record: the program gets no arguments.
//
// lmpack sets kUtf8Text only for text beyond ASCII, which then reads the
// same on every machine; a launcher from before the flag refuses such a
// record as damaged rather than start the program with other text.
#ifndef LM_PAYLOAD_LAUNCH_ARGUMENTS_H_
#define LM_PAYLOAD_LAUNCH_ARGUMENTS_H_

#include <cstdint>
#include <string>

namespace payload {

const uint32_t kArgumentsKind = 0x53475241;  // "ARGS" in the file's bytes
const uint32_t kPassOwnArguments = 1;
const uint32_t kUtf8Text = 2;
const uint32_t kWaitForTree = 4;
const uint32_t kKnownArgumentsFlags = kPassOwnArguments | kUtf8Text | kWaitForTree;
// The fixed arguments leave room for the program's path (at most 259
// bytes), msiexec's path, /i and the quotes within Windows' 32,767.
const size_t kMaxArgumentsLength = 32000;

// The mark in a launcher's image that it reads this record, its UTF-8 text
// and its quoting rules (launcher/launcher_run.cc carries it): lmpack packs
// arguments only into a setup whose launcher has it, since a launcher from
// before the record would start the program without them.
const char kReadsArgumentsMark[] = "lmsetup-reads:launch-arguments-2";

struct LaunchArguments {
  bool present = false;  // the table has a record
  std::string fixed;
  uint32_t flags = 0;  // kPassOwnArguments | kUtf8Text | kWaitForTree

  bool passOwn() const { return (flags & kPassOwnArguments) != 0; }
  bool utf8() const { return (flags & kUtf8Text) != 0; }
  bool waitForTree() const { return (flags & kWaitForTree) != 0; }
};

// Why `text` cannot be fixed arguments (a NUL or a line break, or more than
// kMaxArgumentsLength bytes); null when it can. PayloadReader reads the
// record, PayloadWriter writes it.
inline const char* ArgumentsProblem(const std::string& text) {
  if (text.size() > kMaxArgumentsLength) return "longer than 32000 bytes";
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return "a line break or a NUL byte";
  return nullptr;
}

// Whether `name` ends in `extension` (lower case, with its dot), ASCII
// letters compared in any case.
inline bool HasExtension(const std::string& name, const std::string& extension) {
  if (name.size() < extension.size()) return false;
  for (size_t i = 0, at = name.size() - extension.size(); i < extension.size(); ++i, ++at) {
    char c = name[at];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != extension[i]) return false;
  }
  return true;
}

// Whether `launchName` names a batch file (.bat or .cmd, in any case),
// which Windows runs through cmd.exe, whose reading of a command line would
// take the setup's own arguments for commands: lmpack never lets such a
// program have them, and a launcher passes one only what
// platform::SafeForBatchFile allows.
inline bool IsBatchFileName(const std::string& launchName) {
  return HasExtension(launchName, ".bat") || HasExtension(launchName, ".cmd");
}

}  // namespace payload

#endif  // LM_PAYLOAD_LAUNCH_ARGUMENTS_H_
