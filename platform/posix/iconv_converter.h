// One glibc iconv conversion, strict: no transliteration, no substitution.
// Internal to the POSIX port.
#ifndef LM_PLATFORM_POSIX_ICONV_CONVERTER_H_
#define LM_PLATFORM_POSIX_ICONV_CONVERTER_H_

#include <iconv.h>

#include <string>

namespace platform {

// Owns an iconv descriptor from one encoding to another. Not thread-safe:
// each thread makes its own (iconv keeps shift state in the descriptor).
class IconvConverter {
 public:
  // `to` and `from` are iconv encoding names ("UTF-32LE", "CP932", ...).
  IconvConverter(const char* to, const char* from);
  ~IconvConverter();
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  // False when iconv does not know one of the encodings.
  bool ok() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input` from the initial state, flushing any buffered
  // character at the end. False (and `*output` empty) when the input holds
  // an invalid or incomplete sequence, a character the target cannot take,
  // or when iconv reports a conversion it could not do reversibly.
  bool Convert(const std::string& input, std::string* output);

 private:
  iconv_t descriptor_;
};

}  // namespace platform

#endif  // LM_PLATFORM_POSIX_ICONV_CONVERTER_H_
