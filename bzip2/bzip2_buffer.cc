#include "bzip2/bzip2_buffer.h"

#include <vector>

#include <bzlib.h>

std::string Bzip2CompressBuffer(const std::string& data, int level) {
  // libbz2's documented bound: 1% more than the input plus 600 bytes.
  std::vector<char> out(data.size() + data.size() / 100 + 601);
  unsigned int length = static_cast<unsigned int>(out.size());
  int result = BZ2_bzBuffToBuffCompress(out.data(), &length, const_cast<char*>(data.data()),
                                        static_cast<unsigned int>(data.size()), level, 0, 30);
  if (result != BZ_OK) return std::string();
  return std::string(out.data(), length);
}
