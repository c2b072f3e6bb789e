// The POSIX port's threads, mutex and condition variable (platform.h), on
// pthreads.
#include <pthread.h>

#include <exception>

#include "platform/platform.h"

namespace platform {

namespace {

static_assert(sizeof(pthread_mutex_t) <= 40, "Mutex's storage is too small for pthread_mutex_t");
static_assert(sizeof(pthread_cond_t) <= 48, "ConditionVariable's storage is too small for pthread_cond_t");

pthread_mutex_t* LockIn(unsigned char* storage) { return reinterpret_cast<pthread_mutex_t*>(storage); }
pthread_cond_t* ConditionIn(unsigned char* storage) { return reinterpret_cast<pthread_cond_t*>(storage); }

}  // namespace

Mutex::Mutex() { pthread_mutex_init(LockIn(storage_), nullptr); }
Mutex::~Mutex() { pthread_mutex_destroy(LockIn(storage_)); }
void Mutex::Lock() { pthread_mutex_lock(LockIn(storage_)); }
void Mutex::Unlock() { pthread_mutex_unlock(LockIn(storage_)); }

ConditionVariable::ConditionVariable() { pthread_cond_init(ConditionIn(storage_), nullptr); }
ConditionVariable::~ConditionVariable() { pthread_cond_destroy(ConditionIn(storage_)); }

void ConditionVariable::Wait(MutexLock* lock) {
  pthread_cond_wait(ConditionIn(storage_), LockIn(lock->mutex()->storage_));
}

void ConditionVariable::NotifyOne() { pthread_cond_signal(ConditionIn(storage_)); }
void ConditionVariable::NotifyAll() { pthread_cond_broadcast(ConditionIn(storage_)); }

struct Thread::Running {
  std::function<void()> body;
  pthread_t thread;

  static void* Main(void* self) noexcept {
    static_cast<Running*>(self)->body();
    return nullptr;
  }
};

Thread::~Thread() {
  if (running_ != nullptr) std::terminate();  // started and never joined, as std::thread
}

bool Thread::Start(std::function<void()> body) {
  Running* running = new Running;
  running->body = std::move(body);
  if (pthread_create(&running->thread, nullptr, &Running::Main, running) != 0) {
    delete running;
    return false;
  }
  running_ = running;
  return true;
}

void Thread::Join() {
  pthread_join(running_->thread, nullptr);
  delete running_;
  running_ = nullptr;
}

}  // namespace platform
