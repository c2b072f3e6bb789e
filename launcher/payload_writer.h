// Writes a payload in the format of payload_format.h: the table first, with
// a placeholder for the compressed length that is filled in once the data
// behind it has been written, then the trailer.
#ifndef LM_LAUNCHER_PAYLOAD_WRITER_H_
#define LM_LAUNCHER_PAYLOAD_WRITER_H_

#include <cstdint>

#include "filenode.h"
#include "lm_io_stream.h"
#include "lm_list.h"
#include "lm_string.h"

class PayloadWriter {
 public:
  // Writes the launch name, the entry count, the records and a placeholder
  // for the compressed length at the current position of `out`. On success
  // *lengthPosition tells where the placeholder stands; the compressed data
  // follows directly.
  static bool WriteTable(LmIOStream* out, const LmString& launchName, const LmList<FILENODE>& entries,
                         int* lengthPosition);
  // The bytes WriteTable writes, placeholder included.
  static int64_t TableSize(const LmString& launchName, const LmList<FILENODE>& entries);
  // Fills in the compressed length and appends the trailer (the payload
  // offset) at the end of `out`. The data must already stand behind the
  // placeholder.
  static bool Finish(LmIOStream* out, int lengthPosition, int32_t compressedLength, int32_t payloadOffset);
  // Zero bytes (0-7) to put between a program image of `imageSize` bytes and
  // the payload so that the whole file's length is a multiple of 8: an
  // Authenticode signer then appends its certificate table directly behind
  // the trailer, with no padding of its own.
  static int PaddingForSigning(int64_t imageSize, int64_t tableSize, int64_t compressedLength);
};

#endif  // LM_LAUNCHER_PAYLOAD_WRITER_H_
