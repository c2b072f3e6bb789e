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

#include "core/lm_list.h"
#include "payload/filenode.h"
#include "util/result.h"

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

// The record in `entries`: kBadInput, saying what, when its entries are not
// all at the end of the table, a size holds unknown flags, or the text is
// too long or holds a line break.
Result ReadLaunchArguments(const LmList<FILENODE>& entries, LaunchArguments* arguments);

// Appends the record for `arguments` (whose text the caller checked) to
// `entries`.
void AppendLaunchArguments(const LaunchArguments& arguments, LmList<FILENODE>* entries);

// Why `text` cannot be fixed arguments (a NUL or a line break, or more than
// kMaxArgumentsLength bytes); empty when it can.
std::string ArgumentsProblem(const std::string& text);

}  // namespace payload

#endif  // LM_PAYLOAD_LAUNCH_ARGUMENTS_H_
