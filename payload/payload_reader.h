// Reads the payload out of a setup executable's own file, checking it as it
// goes, and stages its compressed data.
//
// Nothing about the payload is trusted: offsets, counts and lengths are
// checked against the file's size, strings are bounded, paths must be safe
// (payload_format.h), and every read ends at the trailer. Memory grows only
// with the table; compressed data passes through one CHUNK_SIZE buffer.
// The payload's CRC-32 is computed as its bytes go by, the table's while it
// is read and the rest while the data is copied, so that the integrity
// record in front of the payload (integrity_record.h) is checked without a
// second read.
#ifndef LM_PAYLOAD_PAYLOAD_READER_H_
#define LM_PAYLOAD_PAYLOAD_READER_H_

#include <cstdint>
#include <string>

#include "core/lm_list.h"
#include "core/lm_string.h"
#include "file/lm_file_stream.h"
#include "payload/filenode.h"
#include "payload/integrity_record.h"
#include "payload/launch_arguments.h"
#include "util/result.h"
#include "xz/crc32.h"

struct PayloadTable {
  LmString launchName;
  LmList<FILENODE> entries;      // in table order
  int32_t payloadOffset = 0;     // P
  int32_t compressedLength = 0;  // L
  int32_t dataOffset = 0;        // where the compressed data begins
  uint64_t unpackedSize = 0;     // sum of the file entries' sizes
  int32_t trailerOffset = 0;     // where the trailer begins; the payload ends 4 bytes later
  // Where a signed file's certificate table begins; 0 when the file has none
  // and the payload ends at the file's end.
  int32_t certificateTableOffset = 0;
  // What stands in the bytes in front of P: a record, a damaged one or none.
  payload::IntegrityRecord record;
  // What the started program gets after its path (launch_arguments.h).
  payload::LaunchArguments arguments;
  // The CRC-32 of the bytes from P up to the compressed data, for
  // CopyCompressed to continue.
  Crc32 tableCrc;

  // The entries without the launch arguments record's pieces: what lmpack
  // reports as the setup's entries.
  int EntryCount() const {
    int count = 0;
    for (auto* node = entries.GetHead(); node != nullptr; node = node->next) {
      count += node->value.kind != payload::kArgumentsKind;
    }
    return count;
  }

  // The bytes from P through the trailer, which the record covers.
  uint32_t payloadSize() const {
    return static_cast<uint32_t>(trailerOffset) + 4 - static_cast<uint32_t>(payloadOffset);
  }
};

class PayloadReader {
 public:
  // Reads the trailer, the launch name, the table and the compressed length
  // from `own` (open for reading) and checks them. On success the stream
  // stands at the first byte of the compressed data. Any failure is
  // kBadInput, its message saying what is wrong (for tools; the launcher
  // only reports a code).
  //
  // The payload ends at the file's end, except in a file signed with
  // Authenticode: when a PE certificate table ends exactly at the file's end
  // (pe_certificate_table.h), the payload ends before it, behind at most 7
  // zero bytes of padding. Every padding length whose bytes are zero is
  // tried, and exactly one must give a payload that validates; none or more
  // than one, or PE headers and a security directory that do not fit the
  // file, are a bad payload.
  //
  // The integrity record in front of P is read into table->record but not
  // judged: whether it is damaged or does not describe the payload is for
  // the caller to ask (IntegrityRecord::Describes), so that tools can report
  // a wrong record instead of only refusing the file.
  static Result ReadTable(LmFileStream* own, PayloadTable* table);

  // Copies the table's compressed data from `own` (positioned by ReadTable)
  // to `staging` in chunks of at most CHUNK_SIZE through `buffer` (at least
  // CHUNK_SIZE bytes), reads the trailer, then
  // closes `staging` and `own`. Ends, never loops, when `own` delivers less
  // than the length promised (kBadInput). kWriteFault, or kDiskFull, when a
  // write or the final close of `staging` fails. With `staging` null the
  // data is only read. On success *payloadCrc is the CRC-32 of the payload's bytes from P through
  // the trailer, for IntegrityRecord::Matches; the copy is complete whether
  // or not it matches.
  static Result CopyCompressed(LmFileStream* own, LmFileStream* staging, const PayloadTable& table, char* buffer,
                               uint32_t* payloadCrc);
};

#endif  // LM_PAYLOAD_PAYLOAD_READER_H_
