// Finds every place, at any bit offset, where the 48-bit block magic or the
// end-of-stream magic occurs. A hit is only a candidate: the bits of coded
// data can contain either pattern by chance.
#ifndef LM_BZIP2_MAGIC_SCANNER_H_
#define LM_BZIP2_MAGIC_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bzip2 {

class MagicScanner {
 public:
  struct Hit {
    uint64_t bit;  // bit position in the scanned data
    bool end;      // the end-of-stream magic rather than a block magic
  };

  // Appends, in increasing order, the hits that start in bytes [from, to) of
  // `data`. Bytes up to to + 6 must be readable (a hit may extend into them).
  static void Scan(const uint8_t* data, size_t from, size_t to, std::vector<Hit>* hits);
};

}  // namespace bzip2

#endif  // LM_BZIP2_MAGIC_SCANNER_H_
