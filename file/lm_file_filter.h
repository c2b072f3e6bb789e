// LmFileFilter: the role of a caller-supplied object that decides which
// entries a filtered directory listing keeps. Owned by the caller; called
// synchronously on the listing thread, once per entry other than "." and "..".
#ifndef LM_FILE_LM_FILE_FILTER_H_
#define LM_FILE_LM_FILE_FILTER_H_

#include "core/lm_string.h"

class LmFileFilter {
 public:
  // Gets the entry's bare name (no directory part); nonzero keeps the entry.
  virtual int Accept(LmString name) = 0;

 protected:
  ~LmFileFilter() = default;
};

#endif  // LM_FILE_LM_FILE_FILTER_H_
