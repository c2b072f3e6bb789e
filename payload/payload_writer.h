// Writes a payload in the format of payload_format.h, with the integrity
// record of integrity_record.h in front of it.
#ifndef LM_PAYLOAD_PAYLOAD_WRITER_H_
#define LM_PAYLOAD_PAYLOAD_WRITER_H_

#include <cstdint>
#include <string>

#include "core/lm_list.h"
#include "core/lm_string.h"
#include "file/lm_io_stream.h"
#include "payload/filenode.h"
#include "payload/launch_arguments.h"

class PayloadWriter {
 public:
  // Writes, from the current position of `out` on, the integrity record,
  // the launch name, the entry count, the records, the compressed length,
  // `compressedLength` bytes read from `data` (positioned at their first),
  // and the trailer; the payload offset P is the current position plus the
  // record's size. The record is written last, over a placeholder, once the
  // CRC-32 of everything from P on is known, so `out` must be able to seek
  // back (a file). False when a write, a seek or a read fails or `data`
  // ends early; what was written then stays for the caller to remove.
  static bool WritePayload(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                           LmIOStream* data, int32_t compressedLength);
  // The table's bytes: launch name, count, records and `compressedLength`.
  static std::string EncodeTable(const LmString& launchName, const LmList<FILENODE>& entries, int32_t compressedLength);

  // Writes the launch name, the entry count, the records and a placeholder
  // for the compressed length at the current position of `out`, with no
  // integrity record. On success *lengthPosition tells where the
  // placeholder stands; the compressed data follows directly.
  static bool WriteTable(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                         int* lengthPosition);
  // The bytes WriteTable writes, placeholder included.
  static int64_t TableSize(const LmString& launchName, const LmList<FILENODE>& entries);
  // Fills in the compressed length and appends the trailer (the payload
  // offset) at the end of `out`. The data must already stand behind the
  // placeholder.
  static bool Finish(LmIOStream* out, int lengthPosition, int32_t compressedLength, int32_t payloadOffset);
  // Zero bytes (0-7) to put between a program image of `imageSize` bytes and
  // what WritePayload writes, so that the whole file's length is a multiple
  // of 8: an Authenticode signer then appends its certificate table directly
  // behind the trailer, with no padding of its own.
  static int PaddingForSigning(int64_t imageSize, int64_t tableSize, int64_t compressedLength);
  // Appends the launch arguments record for `arguments` (whose text
  // ArgumentsProblem accepts) to `entries` (launch_arguments.h).
  static void AppendLaunchArguments(const payload::LaunchArguments& arguments, LmList<FILENODE>* entries);
};

#endif  // LM_PAYLOAD_PAYLOAD_WRITER_H_
