// The POSIX port's threads, mutex and condition variable (platform.h), on
// pthreads.
#include <pthread.h>

#include <exception>

#include "platform/platform.h"

namespace platform {

Mutex::Mutex() { pthread_mutex_init(system_.As<pthread_mutex_t>(), nullptr); }
Mutex::~Mutex() { pthread_mutex_destroy(system_.As<pthread_mutex_t>()); }
void Mutex::Lock() { pthread_mutex_lock(system_.As<pthread_mutex_t>()); }
void Mutex::Unlock() { pthread_mutex_unlock(system_.As<pthread_mutex_t>()); }

ConditionVariable::ConditionVariable() { pthread_cond_init(system_.As<pthread_cond_t>(), nullptr); }
ConditionVariable::~ConditionVariable() { pthread_cond_destroy(system_.As<pthread_cond_t>()); }

void ConditionVariable::Wait(MutexLock* lock) {
  pthread_cond_wait(system_.As<pthread_cond_t>(), lock->mutex()->system_.As<pthread_mutex_t>());
}

void ConditionVariable::NotifyOne() { pthread_cond_signal(system_.As<pthread_cond_t>()); }
void ConditionVariable::NotifyAll() { pthread_cond_broadcast(system_.As<pthread_cond_t>()); }

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

uint64_t CurrentThreadId() { return static_cast<uint64_t>(pthread_self()); }

}  // namespace platform
