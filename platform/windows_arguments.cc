// Reading Windows command-line text as Microsoft's C runtime and cmd.exe
// read it; shared by the ports.
#include "platform/process.h"

namespace platform {

namespace {

// Splits `text` into *arguments (may be null); returns whether it ends
// inside a quoted part.
bool Split(const std::string& text, std::vector<std::string>* arguments) {
  size_t i = 0;
  const size_t n = text.size();
  bool quoted = false;
  for (;;) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == n) return quoted;
    std::string argument;
    quoted = false;
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
    if (arguments != nullptr) arguments->push_back(argument);
  }
}

}  // namespace

std::vector<std::string> SplitWindowsArguments(const std::string& text) {
  std::vector<std::string> arguments;
  Split(text, &arguments);
  return arguments;
}

bool EndsInsideQuotes(const std::string& text) { return Split(text, nullptr); }

const wchar_t* CommandLineTail(const wchar_t* line) {
  bool quoted = false;
  for (; *line != L'\0'; ++line) {
    if (*line == L'"') {
      quoted = !quoted;
    } else if (!quoted && (*line == L' ' || *line == L'\t')) {
      break;
    }
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

bool SafeForBatchFile(const wchar_t* tail) {
  bool quoted = false;
  for (; *tail != L'\0'; ++tail) {
    const wchar_t c = *tail;
    if (c == L'"') quoted = !quoted;
    if ((c < 0x20 && c != L'\t') || c == 0x7F) return false;
    for (const wchar_t* special = L"&|<>^()%!"; *special != L'\0'; ++special) {
      if (c == *special) return false;
    }
  }
  // An open quote would carry over into the batch file's own lines that
  // use %*, where it turns their quoted operators into live ones.
  return !quoted;
}

}  // namespace platform
