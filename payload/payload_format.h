// The payload format: the one place that knows what a setup executable
// carries behind its program image, for the launcher's reader and the
// packer's writer alike.
//
// From the payload offset P on (all integers 32-bit little-endian, strings
// NUL-terminated bytes in the ANSI code page):
//   launch name      string, the program to start, relative, no leading '\'
//   entry count      signed; 0 or less means none
//   entries          path (string, begins with '\'), kind (1 file,
//                    2 directory, other values ignored), size (bytes)
//   compressed length  signed, at most 2^31 - 1
//   compressed data  one bzip2 stream holding the kind-1 entries' contents
//                    concatenated in table order
//   trailer          P, the file's last 4 bytes; in a signed file the last 4
//                    before the certificate table and its zero padding
//                    (pe_certificate_table.h, PayloadReader::ReadTable)
// In front of P, where readers do not look for the payload, lmpack writes
// the integrity record of integrity_record.h.
//
// Beyond the format, a payload must be safe to unpack: see
// PayloadTableChecker.
#ifndef LM_PAYLOAD_PAYLOAD_FORMAT_H_
#define LM_PAYLOAD_PAYLOAD_FORMAT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/lm_list.h"
#include "core/lm_string.h"
#include "payload/filenode.h"
#include "platform/code_page.h"
#include "util/result.h"

// The launcher moves compressed and decompressed data in pieces of at most
// this many bytes, through one buffer.
const int CHUNK_SIZE = 10240;

namespace payload {

const int kTrailerSize = 4;
// The largest setup lmpack writes: the reader holds offsets and the file's
// size in 32-bit signed integers, and 1 MiB is left for the Authenticode
// signature that may be appended afterwards.
const int64_t kMaxSetupBytes = (int64_t{1} << 31) - (int64_t{1} << 20);
// Longest string the format allows: the platform's path limit (MAX_PATH,
// 260 with its NUL).
const int kMaxStringLength = 259;
// A record takes at least a 1-byte path, a kind and a size.
const int kMinRecordSize = 9;

// Whether `name` is a safe path component: not empty, not "." or "..", no
// ':', '/', '\', wildcard, quote, angle bracket, '|' or byte below 0x20, not
// ending in '.' or ' ', and not a reserved device name (CON, PRN, AUX, NUL,
// COM0-COM9, LPT0-LPT9, COM and LPT with a superscript 1, 2 or 3 spelt in
// Windows-1252 to 1258, 949 or UTF-8, CONIN$, CONOUT$, with or without an extension, in
// any case). Such names cannot escape the working directory, cannot name a
// drive or an alternate data stream, and are not rewritten by Windows.
bool IsSafeComponent(const char* name, size_t length);

// Checks a payload's table as it is read or written, entry by entry, and
// then its launch name. Every file or directory entry (kinds 1 and 2) must
// have a safe path: "\" followed by safe components joined by "\", at most
// kMaxStringLength bytes. Its parent must be the working directory itself or
// an earlier directory entry spelt byte for byte as in the path, and no two
// paths may be one name to the file system (compared by `NameKey`: by
// default this system's rule, platform::FileNameKey; on Windows the names
// in the ANSI code page with Windows' case rules, so that two spellings one
// code page merges are refused too).
// Entries of other kinds are kept but create nothing, so they are not
// checked. The launch name must be a safe relative path naming one of the
// file entries byte for byte.
class PayloadTableChecker {
 public:
  using NameKey = std::string (*)(const std::string& name);
  // `key` null: platform::FileNameKey.
  explicit PayloadTableChecker(NameKey key = nullptr) : key_(key) {}

  // kBadInput, with the reason, when the entry or name is not acceptable.
  Result Add(const FILENODE& entry);
  Result CheckLaunchName(const LmString& name) const;

 private:
  struct Known {
    uint32_t kind;
    std::string folded;  // the key: key_ of the path
    std::string path;    // as stored
  };
  std::string KeyOf(const std::string& path) const { return key_ ? key_(path) : platform::FileNameKey(path); }
  const Known* Find(const std::string& folded) const;
  // `folded` must not be known yet.
  void Insert(uint32_t kind, const std::string& folded, const std::string& path);
  void Place(uint32_t index);

  // Every file and directory entry so far, and a hash index over them by
  // key (open addressing; a slot holds index + 1, 0 is free;
  // at most half full). Not std::map: the launcher would carry libstdc++'s
  // red-black tree for this one use.
  NameKey key_;
  std::vector<Known> known_;
  std::vector<uint32_t> slots_;
};

// `text` with ASCII letters in lower case: two paths whose folded forms are
// equal name the same file on Windows.
std::string FoldCase(const std::string& text);

}  // namespace payload

#endif  // LM_PAYLOAD_PAYLOAD_FORMAT_H_
