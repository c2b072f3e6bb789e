// A payload's compressed data described for people: lmpack list.
#ifndef LM_PAYLOAD_PAYLOAD_DESCRIPTION_H_
#define LM_PAYLOAD_PAYLOAD_DESCRIPTION_H_

#include <string>

#include "util/byte_source.h"
#include "util/result.h"

namespace payload {

// One line on the data for lmpack list: the codec and, for xz, the
// dictionary, the blocks and the check; a failure when the data's start or
// an xz stream's layout is damaged.
Result DescribePayloadData(util::ByteSource* source, std::string* line);

}  // namespace payload

#endif  // LM_PAYLOAD_PAYLOAD_DESCRIPTION_H_
