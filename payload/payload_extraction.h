// ExtractPayload: everything between a setup file and its entries on disk,
// by the launcher's rules, for the launcher and for lmpack extract alike.
#ifndef LM_PAYLOAD_PAYLOAD_EXTRACTION_H_
#define LM_PAYLOAD_PAYLOAD_EXTRACTION_H_

#include <functional>
#include <string>

#include "core/lm_string.h"
#include "payload/payload_reader.h"
#include "util/result.h"

// How many names the launcher tries for its working directory: `base`,
// then `base` with "-1", "-2", ... appended (NameWithSuffix; attempt 0
// gives `base` itself).
const int kNameAttempts = 100;
LmString NameWithSuffix(const LmString& base, int attempt);

// Called with the checked table before anything is written (not even the
// staging file), to check it or change its names; a failure stops the
// extraction.
using PayloadNameFilter = std::function<Result(PayloadTable* table)>;

// Reads the payload of the setup file at `setupPath` and checks its table
// (PayloadReader::ReadTable); an integrity record in front of it must not be
// damaged and must cover exactly the payload. Then `filter` (may be empty)
// sees the table, before anything is written. Then copies the compressed
// data into a new staging file in `directory`, named `stagingBase`, or with
// the first of "-1", "-2", ... appended that no top-level entry takes (so
// that no entry overwrites it; there always is one), computing the payload's CRC-32 as
// it goes, which must match the record where there is one. Only then is
// every entry created under `directory` (UnpackPayload).
//
// Success when every entry is there; otherwise the first failure, its
// message saying what is wrong: kUnreadable when the setup file cannot be
// opened, kBadInput for a missing, damaged or unsafe payload or a wrong
// record, the failure of `filter`, kCannotMake when the staging file cannot
// be created, kWriteFault or kDiskFull, kCorruptData. The staging file is
// gone when this returns; entries created before a failure stay for the
// caller to remove. *table holds what was read.
Result ExtractPayload(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
                      const PayloadNameFilter& filter, PayloadTable* table);

#endif  // LM_PAYLOAD_PAYLOAD_EXTRACTION_H_
