#include "payload/crc32.h"

#include "payload/little_endian.h"

namespace {

const uint32_t kReflectedPolynomial = 0xEDB88320u;

// Slicing by 8: table[0] is the classic byte-at-a-time table, table[k]
// advances a byte's contribution by k further bytes, so that eight bytes
// take eight look-ups and no loop-carried shifts. The launcher computes the
// CRC while it stages the compressed data, and byte at a time would cost a
// noticeable share of unpacking a large payload.
struct Tables {
  uint32_t table[8][256];
};

// Filled when the program starts, not at compile time (which the compiler
// would do for a constant initialiser): 8 KB less in every setup's
// launcher, for a few microseconds once per process. A global with a
// constructor rather than a function-local static: the local's thread-safe
// guard would link libstdc++'s guard and libgcc's once machinery into the
// launcher. Nothing calls Crc32 before main.
struct FilledTables : Tables {
  FilledTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
      table[0][i] = c;
    }
    for (int k = 1; k < 8; ++k) {
      for (uint32_t i = 0; i < 256; ++i) {
        uint32_t previous = table[k - 1][i];
        table[k][i] = (previous >> 8) ^ table[0][previous & 0xFF];
      }
    }
  }
};

const FilledTables theTables;

}  // namespace

void Crc32::Update(const void* data, size_t size) {
  const uint32_t(&t)[8][256] = theTables.table;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t c = state_;
  for (; size >= 8; p += 8, size -= 8) {
    uint32_t low = c ^ payload::LoadLe32(p);
    uint32_t high = payload::LoadLe32(p + 4);
    c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][high & 0xFF] ^
        t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; size > 0; ++p, --size) c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
  state_ = c;
}
