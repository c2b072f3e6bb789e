// StatusText: the fixed texts of the file classes' status codes. Each class
// numbers its codes from kFirstStatusCode up, one after the other, and keeps
// their texts in an array in that order.
#ifndef LM_FILE_STATUS_TEXT_H_
#define LM_FILE_STATUS_TEXT_H_

#include <cstddef>
#include <cstdint>

const uint32_t kFirstStatusCode = 0xF0000001u;

// The text of `code` in `texts` (texts[0] for kFirstStatusCode); "Success"
// for 0 and for every code past the array.
template <size_t N>
const char* StatusText(const char* const (&texts)[N], uint32_t code) {
  return code >= kFirstStatusCode && code - kFirstStatusCode < N ? texts[code - kFirstStatusCode] : "Success";
}

#endif  // LM_FILE_STATUS_TEXT_H_
