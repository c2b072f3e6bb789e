#include "core/lm_object.h"

#include <atomic>

namespace {

// Serial numbers: the first object of the process gets 1.
std::atomic<int32_t> objectCounter{0};

const uint32_t kPollIntervalMs = 100;

}  // namespace

LmObject::LmObject() { Initialise(); }

LmObject::LmObject(const LmObject&) : LmObject() {}

LmObject& LmObject::operator=(const LmObject&) { return *this; }

void LmObject::Initialise() {
  refCount = 0;
  className = "LmObject";
  objectId = ++objectCounter;
}

LmObject::~LmObject() {}

uint32_t LmObject::AddRef() {
  countLock.Enter();
  uint32_t count = ++refCount;
  countLock.Leave();
  return count;
}

uint32_t LmObject::Release() {
  countLock.Enter();
  if (refCount == 0) {
    countLock.Leave();
    return 0;
  }
  uint32_t count = --refCount;
  countLock.Leave();
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
    objectLock.Enter();
    return 1;
  }
  uint32_t start = platform::TickCount();
  if (objectLock.TryEnter()) return 1;
  for (;;) {
    uint32_t now = platform::TickCount();
    if (timeoutMs == 0) return 0;
    uint32_t elapsed = now >= start ? now - start : (0xFFFFFFFFu - start) + now;
    if (elapsed >= timeoutMs) return 0;
    platform::SleepMs(kPollIntervalMs);
    if (objectLock.TryEnter()) return 1;
  }
}

void LmObject::Unlock() { objectLock.Leave(); }
