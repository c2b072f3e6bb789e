// Splitting command-line text as Microsoft's C runtime splits the arguments
// after the program name; shared by the ports, used by the POSIX one.
#include "platform/process.h"

namespace platform {

std::vector<std::string> SplitWindowsArguments(const std::string& text) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t n = text.size();
  for (;;) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == n) return arguments;
    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < n && text[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && text[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument.push_back('"');
        } else if (quoted && i + 1 < n && text[i + 1] == '"') {
          argument.push_back('"');  // "" inside quotes
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, '\\');
        if (i < n && (quoted || (text[i] != ' ' && text[i] != '\t'))) argument.push_back(text[i++]);
      }
    }
    arguments.push_back(argument);
  }
}

}  // namespace platform
