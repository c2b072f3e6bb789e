#include "platform/posix/iconv_converter.h"

#include <errno.h>

namespace platform {

IconvConverter::IconvConverter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}

IconvConverter::~IconvConverter() {
  if (ok()) iconv_close(descriptor_);
}

bool IconvConverter::Convert(const std::string& input, std::string* output) {
  output->clear();
  if (!ok()) return false;
  iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[512];
  for (;;) {
    char* out = buffer;
    size_t outLeft = sizeof(buffer);
    // The input first; then one call without input, for what a stateful
    // decoder (CP1255, CP1258) still holds back.
    const bool flushing = inLeft == 0;
    size_t result = flushing ? iconv(descriptor_, nullptr, nullptr, &out, &outLeft)
                             : iconv(descriptor_, &in, &inLeft, &out, &outLeft);
    output->append(buffer, static_cast<size_t>(out - buffer));
    if (result == static_cast<size_t>(-1) && errno == E2BIG) continue;
    // Anything else but 0 is an error or a count of irreversible
    // conversions, and either means the text did not convert exactly.
    if (result != 0) {
      output->clear();
      return false;
    }
    if (flushing) return true;
  }
}

}  // namespace platform
