// LmString: an owned, NUL-terminated byte string in the ANSI code page.
//
// Used by value: copies are deep, parameters and results are copies. Bytes
// are bytes: no character-set conversion, no case folding; positions and
// lengths count bytes. Every change allocates the new buffer before freeing
// the old one, so an allocation failure throws std::bad_alloc and leaves the
// string as it was. Not shared between threads; takes no lock.
//
// `text` may be null (a string made from a null text, or after Format with a
// null format); it then reads as empty everywhere. Otherwise the buffer holds
// `length` bytes and a NUL, and has no spare capacity except after Format.
#ifndef LM_CORE_LM_STRING_H_
#define LM_CORE_LM_STRING_H_

#include <cstdint>

#include "core/lm_object.h"

class LmString : public virtual LmObject {
 public:
  // Empty, with a 1-byte buffer.
  LmString();
  // A copy of `source`; null gives a null text and length 0.
  LmString(const char* source);  // NOLINT: implicit by design, texts convert freely
  // A deep copy; copying a null text gives an allocated empty buffer.
  LmString(const LmString& other);
  LmString& operator=(const LmString& other);
  ~LmString() override;

  // The buffer (may be null) and the byte count, unchecked.
  const char* GetText() const { return text; }
  int32_t GetLength() const { return length; }

  // Replaces the content by exactly `count` bytes of `source` (embedded NULs
  // included) plus a NUL; a null source empties the string. A source that is
  // the very buffer of this string changes nothing. `count` must be 0 or more
  // and `source` must hold that many bytes.
  void AssignBytes(const char* source, int32_t count);
  // AssignBytes with strlen; null empties the string (a 1-byte buffer when
  // there was a buffer, still null otherwise).
  void Assign(const char* source);
  void Assign(const LmString& other);
  // Appends `source`; null leaves the content (in a fresh buffer). The
  // string's own buffer as source leaves it unchanged.
  void Append(const char* source);
  // New strings; the arguments do not change.
  static LmString Concat(const LmString& a, const LmString& b);
  static LmString Concat(const LmString& a, const char* b);
  // 1 when the content equals `other` byte for byte. Null counts as empty.
  int Equals(const char* other) const;
  // 0 when equal, 1 when not. Null equals only an empty string.
  int Differs(const char* other) const;
  // Position of the first `byte` within the first `length` bytes, or -1.
  int32_t Find(char byte) const;
  // The bytes at `first` through `last`, both included; empty unless
  // 0 <= first <= last <= length. A NUL in range adds nothing, so ending at
  // `length` equals ending at `length` - 1. The result always has a buffer.
  LmString Mid(int32_t first, int32_t last) const;
  // printf-style: replaces the content by the formatted text. Capacity grows
  // in steps of 100 characters (buffers of 101, 201, ... bytes) until the
  // whole output fits. A null format leaves a null text.
  void Format(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // atoi of the text; 0 when empty.
  int ToInt() const;

 private:
  char* text;
  int32_t length;
};

#endif  // LM_CORE_LM_STRING_H_
