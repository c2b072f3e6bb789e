// LmImpl: the base of a facade, holding the pointer to the implementation
// object that the derived class creates, owns and deletes.
#ifndef LM_FILE_LM_IMPL_H_
#define LM_FILE_LM_IMPL_H_

#include "core/lm_object.h"

class ImplLmFile;

class LmImpl : public virtual LmObject {
 public:
  LmImpl() : LmObject(), impl(nullptr) {}
  // Does not touch `impl`: the derived class deletes it.
  ~LmImpl() override {}

 protected:
  ImplLmFile* impl;
};

#endif  // LM_FILE_LM_IMPL_H_
