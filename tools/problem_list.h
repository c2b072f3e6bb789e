// ProblemList: everything wrong with what lmpack was asked to pack, gathered
// before anything is written, so that one run tells the user all of it.
#ifndef LM_TOOLS_PROBLEM_LIST_H_
#define LM_TOOLS_PROBLEM_LIST_H_

#include <string>
#include <vector>

#include "util/result.h"

class ProblemList {
 public:
  // At most this many problems are printed; the rest are counted.
  static const int kShown = 100;

  // One problem: `where` (a path as the user's system writes it, or an
  // option) and the rule it breaks.
  void Add(const std::string& where, const std::string& what);
  bool empty() const { return count_ == 0; }

  // Writes each problem kept on its own line on stderr, then "and N more"
  // when some were only counted. Success when there were none; otherwise
  // kBadInput, its message counting the problems.
  Result Report() const;

 private:
  std::vector<std::string> lines_;
  int count_ = 0;
};

#endif  // LM_TOOLS_PROBLEM_LIST_H_
