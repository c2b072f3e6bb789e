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
// own command-line arguments follow the fixed ones; every later entry's
// size is 0. The text is Windows command-line text in the payload's code
// page: no line break, at most kMaxArgumentsLength bytes. A table without
// such entries has no record: the program gets no arguments.
#ifndef LM_PAYLOAD_LAUNCH_ARGUMENTS_H_
#define LM_PAYLOAD_LAUNCH_ARGUMENTS_H_

#include <cstdint>
#include <string>

namespace payload {

const uint32_t kArgumentsKind = 0x53475241;  // "ARGS" in the file's bytes
const uint32_t kPassOwnArguments = 1;
// The fixed arguments leave room for the program's path (at most 259
// bytes), msiexec's path, /i and the quotes within Windows' 32,767.
const size_t kMaxArgumentsLength = 32000;

struct LaunchArguments {
  bool present = false;  // the table has a record
  std::string fixed;
  bool passOwn = false;
};

// Why `text` cannot be fixed arguments (a NUL or a line break, or more than
// kMaxArgumentsLength bytes); null when it can. PayloadReader reads the
// record, PayloadWriter writes it.
inline const char* ArgumentsProblem(const std::string& text) {
  if (text.size() > kMaxArgumentsLength) return "longer than 32000 bytes";
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return "a line break or a NUL byte";
  return nullptr;
}

}  // namespace payload

#endif  // LM_PAYLOAD_LAUNCH_ARGUMENTS_H_
