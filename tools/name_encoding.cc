#include "tools/name_encoding.h"

#include <cstdio>

#include "payload/payload_format.h"
#include "platform/code_page.h"

namespace {

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

Result Bad(const std::string& what) { return Result::Fail(Outcome::kBadInput, what); }

}  // namespace

Result EncodePayloadPath(const std::string& text, int codePage, std::string* bytes) {
  if (codePage == kStoreAsIs || IsAscii(text)) {
    *bytes = text;
    return Result();
  }
  if (codePage == kNoCodePage) {
    return Bad(
        "the name is not ASCII. A setup stores names in the ANSI code page of the Windows machines it is "
        "meant for; declare it with --codepage N (for example 1252 Western European, 1250 Central European, "
        "1251 Cyrillic, 932 Japanese), or rename the file");
  }
  bytes->clear();
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    std::string component;
    if (!platform::Utf8ToCodePage(text.substr(start, end - start), codePage, &component)) {
      return Bad("the name cannot be written exactly in code page " + std::to_string(codePage));
    }
    if (!component.empty() && !payload::IsSafeComponent(component.data(), component.size())) {
      return Bad("in code page " + std::to_string(codePage) + " the name's bytes would not be a safe name");
    }
    *bytes += (start == 0 ? "" : "\\") + component;
    start = end + 1;
  }
  return Result();
}

Result EncodePayloadText(const std::string& text, int codePage, std::string* bytes) {
  if (codePage == kStoreAsIs || IsAscii(text)) {
    *bytes = text;
    return Result();
  }
  if (codePage == kNoCodePage) return Bad("the text is not ASCII; declare the code page with --codepage N");
  if (!platform::Utf8ToCodePage(text, codePage, bytes)) {
    return Bad("the text cannot be written exactly in code page " + std::to_string(codePage));
  }
  return Result();
}

Result DecodePayloadPath(const std::string& bytes, int codePage, std::string* name) {
  if (codePage == kNoCodePage || codePage == kStoreAsIs) {
    *name = bytes;
    return Result();
  }
  name->clear();
  for (size_t start = 0; start <= bytes.size();) {
    size_t end = bytes.find('\\', start);
    if (end == std::string::npos) end = bytes.size();
    std::string text, component;
    if (!platform::CodePageToUtf8(bytes.substr(start, end - start), codePage, &text)) {
      return Bad("is not a name in code page " + std::to_string(codePage));
    }
    if (!platform::Utf8ToCodePage(text, platform::GetAnsiCodePage(), &component)) {
      return Bad("cannot be written in this system's code page " + std::to_string(platform::GetAnsiCodePage()));
    }
    if (!component.empty() && !payload::IsSafeComponent(component.data(), component.size())) {
      return Bad("would not be a safe name on this system");
    }
    *name += (start == 0 ? "" : "\\") + component;
    start = end + 1;
  }
  return Result();
}

std::string DisplayPayloadText(const std::string& bytes, int codePage) {
  std::string text;
  if (codePage != kNoCodePage && codePage != kStoreAsIs && platform::CodePageToUtf8(bytes, codePage, &text)) {
    return text;
  }
  text.clear();
  for (char c : bytes) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      text.push_back(c);
    } else {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\x%02X", u);
      text += escaped;
    }
  }
  return text;
}
