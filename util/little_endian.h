// Little-endian fields of binary formats (PE headers, resources, icon
// files, the payload's records) read from bytes and written into byte
// strings. The caller keeps every access inside its bytes; these functions
// do not check.
#ifndef LM_UTIL_LITTLE_ENDIAN_H_
#define LM_UTIL_LITTLE_ENDIAN_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace util {

// The 32-bit value of the 4 bytes at `p`.
inline uint32_t LoadLe32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t GetLe16(const std::string& bytes, size_t offset) {
  return static_cast<unsigned char>(bytes[offset]) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

inline uint32_t GetLe32(const std::string& bytes, size_t offset) {
  return GetLe16(bytes, offset) | GetLe16(bytes, offset + 2) << 16;
}

inline void PutLe16(std::string* bytes, size_t offset, uint32_t value) {
  (*bytes)[offset] = static_cast<char>(value & 0xFF);
  (*bytes)[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void PutLe32(std::string* bytes, size_t offset, uint32_t value) {
  PutLe16(bytes, offset, value & 0xFFFF);
  PutLe16(bytes, offset + 2, value >> 16);
}

// Appends `value` as 2 or 4 bytes.
inline void AppendLe16(std::string* bytes, uint32_t value) {
  bytes->append(2, '\0');
  PutLe16(bytes, bytes->size() - 2, value);
}

inline void AppendLe32(std::string* bytes, uint32_t value) {
  bytes->append(4, '\0');
  PutLe32(bytes, bytes->size() - 4, value);
}

// Zero bytes up to the next multiple of `alignment` (a power of two).
inline void PadTo(std::string* bytes, size_t alignment) {
  bytes->append((alignment - bytes->size() % alignment) % alignment, '\0');
}

}  // namespace util

#endif  // LM_UTIL_LITTLE_ENDIAN_H_
