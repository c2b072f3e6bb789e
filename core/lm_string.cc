#include "core/lm_string.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const int32_t kFormatStep = 100;

char* NewZeroedBuffer(size_t size) {
  char* buffer = new char[size];
  memset(buffer, 0, size);
  return buffer;
}

}  // namespace

LmString::LmString() : LmObject(), text(NewZeroedBuffer(1)), length(0) {}

LmString::LmString(const char* source) : LmObject(), text(nullptr), length(0) {
  if (source != nullptr) AssignBytes(source, static_cast<int32_t>(strlen(source)));
}

LmString::LmString(const LmString& other) : LmObject(), text(nullptr), length(0) {
  AssignBytes(other.text, other.length);
}

LmString& LmString::operator=(const LmString& other) {
  AssignBytes(other.text, other.length);
  return *this;
}

LmString::~LmString() { delete[] text; }

void LmString::AssignBytes(const char* source, int32_t count) {
  if (source != nullptr && source == text) return;
  size_t size = source == nullptr ? 1 : static_cast<size_t>(count) + 1;
  char* buffer = NewZeroedBuffer(size);
  if (source != nullptr && count != 0) memcpy(buffer, source, static_cast<size_t>(count));
  delete[] text;
  length = static_cast<int32_t>(size - 1);
  text = buffer;
}

void LmString::Assign(const char* source) {
  if (source != nullptr) {
    AssignBytes(source, static_cast<int32_t>(strlen(source)));
    return;
  }
  if (text == nullptr) return;
  char* buffer = NewZeroedBuffer(1);
  delete[] text;
  text = buffer;
  length = 0;
}

void LmString::Assign(const LmString& other) { AssignBytes(other.text, other.length); }

void LmString::Append(const char* source) {
  if (source != nullptr && source == text) return;
  size_t sourceLength = source != nullptr ? strlen(source) : 0;
  size_t oldLength = text != nullptr ? strlen(text) : 0;
  size_t size = static_cast<size_t>(length) + 1 + sourceLength;
  char* buffer = NewZeroedBuffer(size);
  if (text != nullptr) memcpy(buffer, text, oldLength);
  if (source != nullptr) memcpy(buffer + oldLength, source, sourceLength + 1);
  delete[] text;
  length = static_cast<int32_t>(size - 1);
  text = buffer;
}

LmString LmString::Concat(const LmString& a, const LmString& b) {
  LmString result(a);
  result.Append(b.text);
  return result;
}

LmString LmString::Concat(const LmString& a, const char* b) {
  LmString result(a);
  result.Append(b);
  return result;
}

int LmString::Equals(const char* other) const {
  size_t otherLength = other != nullptr ? strlen(other) : 0;
  if (static_cast<size_t>(length) != otherLength) return 0;
  return length == 0 || memcmp(text, other, otherLength) == 0 ? 1 : 0;
}

int LmString::Differs(const char* other) const {
  if (other == nullptr) return length != 0 ? 1 : 0;
  if (strlen(other) != static_cast<size_t>(length)) return 1;
  if (length == 0) return 0;
  return memcmp(text, other, static_cast<size_t>(length)) != 0 ? 1 : 0;
}

int32_t LmString::Find(char byte) const {
  for (int32_t i = 0; text != nullptr && i < length; ++i) {
    if (text[i] == byte) return i;
  }
  return -1;
}

LmString LmString::Mid(int32_t first, int32_t last) const {
  LmString result;
  if (text == nullptr || first < 0 || first > length || last < 0 || last > length || first > last) {
    return result;
  }
  // Position `length` is the terminating NUL; a NUL adds nothing to the
  // result, wherever it stands in the range.
  std::unique_ptr<char[]> buffer(NewZeroedBuffer(static_cast<size_t>(last - first) + 2));
  int32_t used = 0;
  for (int32_t i = first; i <= last; ++i) {
    if (text[i] != '\0') buffer[used++] = text[i];
  }
  result.AssignBytes(buffer.get(), used);
  return result;
}

void LmString::Format(const char* format, ...) {
  if (format == nullptr) {
    delete[] text;
    text = nullptr;
    length = 0;
    return;
  }
  int32_t capacity = kFormatStep;
  for (;;) {
    char* buffer = new char[static_cast<size_t>(capacity) + 1];
    va_list args;
    va_start(args, format);
    int produced = platform::FormatText(buffer, static_cast<size_t>(capacity) + 1, format, args);
    va_end(args);
    if (produced < 0) produced = 0;  // an encoding error leaves an empty text
    if (produced <= capacity) {
      buffer[produced] = '\0';
      delete[] text;
      text = buffer;
      length = produced;
      return;
    }
    delete[] buffer;
    capacity += kFormatStep;
  }
}

int LmString::ToInt() const {
  if (length <= 0) return 0;
  return atoi(text);
}
