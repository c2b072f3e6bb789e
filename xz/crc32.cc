#include "xz/crc32.h"

#include <lzma.h>

void Crc32::Update(const void* data, size_t size) {
  // lzma_crc32 takes and returns the finished CRC of what came before.
  state_ = ~lzma_crc32(static_cast<const uint8_t*>(data), size, ~state_);
}
