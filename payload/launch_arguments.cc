#include "payload/launch_arguments.h"

#include "payload/payload_format.h"

namespace payload {

namespace {

Result Damaged(const char* what) { return Result::Fail(Outcome::kBadInput, std::string("launch arguments: ") + what); }

}  // namespace

std::string ArgumentsProblem(const std::string& text) {
  if (text.size() > kMaxArgumentsLength) return "longer than 32000 bytes";
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return "a line break or a NUL byte";
  return std::string();
}

Result ReadLaunchArguments(const LmList<FILENODE>& entries, LaunchArguments* arguments) {
  *arguments = LaunchArguments();
  for (auto* node = entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    if (entry.kind != kArgumentsKind) {
      if (arguments->present) return Damaged("entries follow the record");
      continue;
    }
    const uint32_t allowed = arguments->present ? 0 : kPassOwnArguments;
    if ((entry.size & ~allowed) != 0) return Damaged("unknown flags");
    if (!arguments->present) arguments->passOwn = entry.size != 0;
    arguments->present = true;
    arguments->fixed.append(entry.path.GetText(), entry.path.GetLength());
  }
  if (!ArgumentsProblem(arguments->fixed).empty()) return Damaged(ArgumentsProblem(arguments->fixed).c_str());
  return Result();
}

void AppendLaunchArguments(const LaunchArguments& arguments, LmList<FILENODE>* entries) {
  size_t at = 0;
  do {
    const std::string piece = arguments.fixed.substr(at, kMaxStringLength);
    const uint32_t flags = at == 0 && arguments.passOwn ? kPassOwnArguments : 0;
    entries->AddTail(FILENODE{LmString(piece.c_str()), kArgumentsKind, flags});
    at += piece.size();
  } while (at < arguments.fixed.size());
}

}  // namespace payload
