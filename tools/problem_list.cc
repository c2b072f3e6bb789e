#include "tools/problem_list.h"

#include "tools/lmpack_options.h"

void ProblemList::Add(const std::string& where, const std::string& what) {
  if (count_++ < kShown) lines_.push_back(where + ": " + what);
}

Result ProblemList::Report() const {
  if (count_ == 0) return Result();
  for (const std::string& line : lines_) ReportError(line);
  if (count_ > kShown) ReportError("and " + std::to_string(count_ - kShown) + " more");
  return Result::Fail(Outcome::kBadInput,
                      std::to_string(count_) + (count_ == 1 ? " problem" : " problems") + "; nothing was written");
}
