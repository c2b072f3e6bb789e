// Crc32: the CRC-32 of zlib, gzip, ZIP and PNG -- polynomial 0x04C11DB7 in
// its reflected form 0xEDB88320, register preset to all ones, result
// complemented; "123456789" gives 0xCBF43926.
//
// It guards a setup's payload against accidental damage (a bad download, a
// failing disk, a copy cut short): it detects every single changed bit,
// every burst of up to 32 bits and, in a payload under 512 MiB, every two
// changed bits, and misses other damage with a chance of about 2^-32. It is no
// defence against a deliberate change: whoever changes the payload can write
// a matching record as easily, which is what the Authenticode signature over
// the whole file is for, so a cryptographic hash would cost time and buy
// nothing here. This variant rather than bzip2's unreflected one because
// common tools compute it (Python's zlib.crc32, 7-Zip), so a record can be
// checked without this project. liblzma computes it (xz's CRC-32 check is
// the same), so that the launcher carries one implementation, not two.
//
// A value: copies continue independently. Update may be called any number
// of times; value() is the CRC of everything given so far.
#ifndef LM_XZ_CRC32_H_
#define LM_XZ_CRC32_H_

#include <cstddef>
#include <cstdint>

class Crc32 {
 public:
  void Update(const void* data, size_t size);
  uint32_t value() const { return ~state_; }

 private:
  uint32_t state_ = 0xFFFFFFFFu;
};

#endif  // LM_XZ_CRC32_H_
