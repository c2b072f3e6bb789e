// A payload table as text, so that a test compares a whole table with one
// expectation and a failure shows every entry.
#ifndef LM_TESTS_SUPPORT_PAYLOAD_TABLE_LINES_H_
#define LM_TESTS_SUPPORT_PAYLOAD_TABLE_LINES_H_

#include <string>
#include <vector>

#include "payload/payload_reader.h"

namespace lmtest {

// The launch name, then "PATH KIND SIZE" for each entry in table order.
std::vector<std::string> TableLines(const PayloadTable& table);

}  // namespace lmtest

#endif  // LM_TESTS_SUPPORT_PAYLOAD_TABLE_LINES_H_
