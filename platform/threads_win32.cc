// The Windows port's threads, mutex and condition variable (platform.h).
//
// Mutex is a slim reader/writer lock taken in exclusive mode, and
// ConditionVariable a CONDITION_VARIABLE slept on with that lock
// (SleepConditionVariableSRW): both are Windows Vista's, need neither
// creation nor deletion, and take the size of a pointer. Threads come from
// msvcrt's _beginthreadex, which Microsoft documents for threads that call
// the C runtime, rather than from CreateThread.
#include <process.h>

#include "platform/win32/windows_api.h"

#include "platform/memory.h"
#include "platform/platform.h"

namespace platform {

Mutex::Mutex() { InitializeSRWLock(system_.As<SRWLOCK>()); }
Mutex::~Mutex() {}  // an SRW lock holds no resources
void Mutex::Lock() { AcquireSRWLockExclusive(system_.As<SRWLOCK>()); }
void Mutex::Unlock() { ReleaseSRWLockExclusive(system_.As<SRWLOCK>()); }

ConditionVariable::ConditionVariable() { InitializeConditionVariable(system_.As<CONDITION_VARIABLE>()); }
ConditionVariable::~ConditionVariable() {}  // holds no resources either

void ConditionVariable::Wait(MutexLock* lock) {
  // With INFINITE the call returns only once woken (or spuriously), with
  // the lock held again.
  SleepConditionVariableSRW(system_.As<CONDITION_VARIABLE>(), lock->mutex()->system_.As<SRWLOCK>(), INFINITE, 0);
}

void ConditionVariable::NotifyOne() { WakeConditionVariable(system_.As<CONDITION_VARIABLE>()); }
void ConditionVariable::NotifyAll() { WakeAllConditionVariable(system_.As<CONDITION_VARIABLE>()); }

struct Thread::Running {
  std::function<void()> body;
  HANDLE handle = nullptr;

  static unsigned __stdcall Main(void* self) noexcept {
    static_cast<Running*>(self)->body();
    return 0;
  }
};

Thread::~Thread() {
  // Started and never joined: a mistake, which ends the process as
  // std::thread's destructor would, without linking the exception runtime.
  if (running_ != nullptr) EndProcessNow(3);
}

bool Thread::Start(std::function<void()> body) {
  Running* running = new Running;
  running->body = std::move(body);
  uintptr_t handle = _beginthreadex(nullptr, 0, &Running::Main, running, 0, nullptr);
  if (handle == 0) {
    delete running;
    return false;
  }
  running->handle = reinterpret_cast<HANDLE>(handle);
  running_ = running;
  return true;
}

void Thread::Join() {
  WaitForSingleObject(running_->handle, INFINITE);
  CloseHandle(running_->handle);
  delete running_;
  running_ = nullptr;
}

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace platform
