#include "tests/support/payload_table_lines.h"

namespace lmtest {

std::vector<std::string> TableLines(const PayloadTable& table) {
  const char* launchName = table.launchName.GetText();
  std::vector<std::string> lines = {launchName != nullptr ? launchName : ""};
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const char* path = node->value.path.GetText();
    lines.push_back(std::string(path != nullptr ? path : "") + " " + std::to_string(node->value.kind) + " " +
                    std::to_string(node->value.size));
  }
  return lines;
}

}  // namespace lmtest
