#include "bzip2/magic_scanner.h"

#include "bzip2/bzip2_format.h"

namespace bzip2 {

namespace {

const uint64_t kMask48 = (uint64_t{1} << 48) - 1;

// For each value of the third byte of a 7-byte window: which of the 16
// (magic, bit offset) combinations it allows. The third byte lies wholly
// inside a magic that starts anywhere in the first byte, so one lookup
// rules out nearly every position.
struct Filter {
  uint16_t allows[256] = {};
  Filter() {
    for (int shift = 0; shift < 8; ++shift) {
      allows[(kBlockMagic >> (24 + shift)) & 0xFF] |= static_cast<uint16_t>(1u << shift);
      allows[(kEndMagic >> (24 + shift)) & 0xFF] |= static_cast<uint16_t>(1u << (8 + shift));
    }
  }
};

// Filled when the program starts (nothing scans before main): a
// function-local static's thread-safe guard would link libstdc++'s guard
// into the launcher.
const Filter theFilter;

}  // namespace

void MagicScanner::Scan(const uint8_t* data, size_t from, size_t to, std::vector<Hit>* hits) {
  const uint16_t* allows = theFilter.allows;
  for (size_t i = from; i < to; ++i) {
    uint16_t mask = allows[data[i + 2]];
    if (mask == 0) continue;
    uint64_t window = 0;
    for (int j = 0; j < 7; ++j) window = (window << 8) | data[i + j];
    for (int shift = 0; shift < 8; ++shift) {
      uint64_t bits = (window >> (8 - shift)) & kMask48;
      uint64_t at = static_cast<uint64_t>(i) * 8 + static_cast<uint64_t>(shift);
      if ((mask & (1u << shift)) && bits == kBlockMagic) hits->push_back({at, false});
      if ((mask & (1u << (8 + shift))) && bits == kEndMagic) hits->push_back({at, true});
    }
  }
}

}  // namespace bzip2
