#include "lm_object.h"

#include <atomic>

namespace {

// Serial numbers: the first object of the process gets 1.
std::atomic<int32_t> objectCounter{0};

// Spin 1024 times before blocking; the high bit asks Windows to allocate the
// wait event at once.
const DWORD kSpinCount = 0x80000400;

const DWORD kPollIntervalMs = 100;

}  // namespace

LmObject::LmObject() { Initialise(); }

LmObject::LmObject(const LmObject&) { Initialise(); }

LmObject& LmObject::operator=(const LmObject&) { return *this; }

void LmObject::Initialise() {
  refCount = 0;
  className = "LmObject";
  objectId = ++objectCounter;
  InitializeCriticalSectionAndSpinCount(&countLock, kSpinCount);
  InitializeCriticalSectionAndSpinCount(&objectLock, kSpinCount);
}

LmObject::~LmObject() {
  DeleteCriticalSection(&countLock);
  DeleteCriticalSection(&objectLock);
}

uint32_t LmObject::AddRef() {
  EnterCriticalSection(&countLock);
  uint32_t count = ++refCount;
  LeaveCriticalSection(&countLock);
  return count;
}

uint32_t LmObject::Release() {
  EnterCriticalSection(&countLock);
  if (refCount == 0) {
    LeaveCriticalSection(&countLock);
    return 0;
  }
  uint32_t count = --refCount;
  LeaveCriticalSection(&countLock);
  if (count == 0) delete this;
  return count;
}

uint32_t LmObject::GetErrorCode() { return 0; }

const char* LmObject::GetErrorText(uint32_t) { return nullptr; }

int LmObject::QueryFlag(int* flag) {
  *flag = 1;
  return 1;
}

const char* LmObject::GetClassName() { return className; }

int32_t LmObject::GetObjectId() { return objectId; }

int LmObject::Lock(uint32_t timeoutMs) {
  if (timeoutMs == 0xFFFFFFFFu) {
    EnterCriticalSection(&objectLock);
    return 1;
  }
  DWORD start = GetTickCount();
  if (TryEnterCriticalSection(&objectLock)) return 1;
  for (;;) {
    DWORD now = GetTickCount();
    if (timeoutMs == 0) return 0;
    DWORD elapsed = now >= start ? now - start : (0xFFFFFFFFu - start) + now;
    if (elapsed >= timeoutMs) return 0;
    Sleep(kPollIntervalMs);
    if (TryEnterCriticalSection(&objectLock)) return 1;
  }
}

void LmObject::Unlock() { LeaveCriticalSection(&objectLock); }
