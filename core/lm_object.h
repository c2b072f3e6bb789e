// LmObject: the root of every class of the library.
//
// Every library class derives from it virtually, so an object holds exactly
// one LmObject part. It gives each object:
//  * a reference count for objects handed out on the heap. Objects on the
//    stack or held as members keep count 0; a stray Release on them does
//    nothing. A heap object handed to a receiver carries count 1, and the
//    receiver's one Release deletes it.
//  * an object lock with a time limit (Lock/Unlock) for callers that share an
//    object between threads. The library itself never takes it.
//  * an identity: a process-wide serial number and the class-name text.
//  * the error interface that the file classes override.
//
// Thread rules: AddRef and Release may be called from any thread; the count
// is guarded by its own lock. Everything else follows the owning class.
#ifndef LM_CORE_LM_OBJECT_H_
#define LM_CORE_LM_OBJECT_H_

#include <cstdint>

#include "platform/platform.h"

class LmObject {
 public:
  // refCount 0, a new serial number, both locks initialised.
  LmObject();
  // A copy is a new object: it gets its own serial number, locks and a count
  // of 0. Nothing of the source's identity is copied.
  LmObject(const LmObject& other);
  // Assignment copies values in derived classes; the identity stays.
  LmObject& operator=(const LmObject& other);
  // Deletes both locks; looks neither at the count nor at the lock state.
  virtual ~LmObject();

  // Increments the count; returns the count after the increment.
  virtual uint32_t AddRef();
  // Decrements the count and deletes the object when it drops from 1 to 0.
  // Returns the remaining count: 0 when the object was deleted, and also 0
  // (with nothing changed) when the count already was 0.
  virtual uint32_t Release();
  // Status code of the object's last operation; 0 here.
  virtual uint32_t GetErrorCode();
  // Fixed text for `code`; null here. Overrides return a pointer valid until
  // the next call on the same object.
  virtual const char* GetErrorText(uint32_t code);
  // Stores 1 through `flag` and returns 1.
  virtual int QueryFlag(int* flag);
  // "LmObject", for every class.
  virtual const char* GetClassName();
  virtual int32_t GetObjectId();
  // Takes the object lock: 1 when the calling thread now holds it, 0 when
  // `timeoutMs` ran out. 0xFFFFFFFF waits without limit; 0 makes one
  // attempt. Otherwise the lock is polled every 100 ms, so a wait may
  // succeed up to 100 ms after the limit. Re-entrant: the holder gets 1 at
  // once and calls Unlock once per successful Lock.
  virtual int Lock(uint32_t timeoutMs);
  // Leaves the object lock once. The caller must hold it.
  virtual void Unlock();

 protected:
  uint32_t refCount;
  const char* className;
  int32_t objectId;
  platform::RecursiveLock countLock;
  platform::RecursiveLock objectLock;

 private:
  void Initialise();
};

#endif  // LM_CORE_LM_OBJECT_H_
