// FNV-1a, 64 bits: the checksum by which the probe reports files and the
// end-to-end tests check them.
#ifndef LM_TESTS_SUPPORT_FNV1A_H_
#define LM_TESTS_SUPPORT_FNV1A_H_

#include <string>

namespace lmtest {

inline unsigned long long Fnv1a(const std::string& bytes) {
  unsigned long long hash = 1469598103934665603ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_FNV1A_H_
