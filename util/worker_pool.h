// Threads started on demand, up to a limit, that run posted jobs in the
// order they were posted: the workers of the parallel reader and of the
// parallel writer. Each thread makes its own Context first (state kept from
// job to job, such as libbz2's arrays) and hands it to every job it runs.
//
// Post, Stop and threads() belong to one owning thread; jobs run on the
// workers. Stop (and the destructor) drops the jobs not yet started and
// joins the threads once their current jobs return: a job that may wait
// must be woken by its owner before Stop.
#ifndef LM_UTIL_WORKER_POOL_H_
#define LM_UTIL_WORKER_POOL_H_

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace util {

// The workers a decoder or an encoder runs by default: one per hardware
// thread, at most 8.
inline int DefaultWorkers() {
  const int threads = platform::ProcessorCount();
  return threads > 8 ? 8 : threads;
}

template <class Context>
class WorkerPool {
 public:
  using Job = std::function<void(Context*)>;
  using MakeContext = std::function<std::unique_ptr<Context>()>;

  WorkerPool(int limit, MakeContext makeContext) : limit_(limit < 1 ? 1 : limit), make_(std::move(makeContext)) {}
  ~WorkerPool() { Stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues `job` and starts a thread for it when none is idle and the limit
  // allows. An `urgent` job goes first, and may start one thread beyond the
  // limit: the owner waits for it while the other threads may all be
  // waiting for the owner. False when no thread runs at all (none could be
  // started): the job then waits in vain, and the owner must do the work
  // otherwise.
  bool Post(Job job, bool urgent = false) {
    bool spawn;
    {
      platform::MutexLock lock(&mutex_);
      stop_ = false;
      if (urgent) {
        jobs_.push_front(std::move(job));
      } else {
        jobs_.push_back(std::move(job));
      }
      spawn = idle_ == 0 && static_cast<int>(threads_.size()) < limit_ + (urgent ? 1 : 0);
    }
    if (spawn) {
      // Room first: a started thread must never be dropped unjoined. When
      // the system gives no thread, fewer run than asked for.
      threads_.reserve(threads_.size() + 1);
      std::unique_ptr<platform::Thread> thread(new platform::Thread);
      if (thread->Start([this] { Loop(); })) threads_.push_back(std::move(thread));
    }
    wake_.NotifyOne();
    return !threads_.empty();
  }

  void Stop() {
    {
      platform::MutexLock lock(&mutex_);
      stop_ = true;
      jobs_.clear();
    }
    wake_.NotifyAll();
    for (std::unique_ptr<platform::Thread>& thread : threads_) thread->Join();
    threads_.clear();
  }

  // Threads running now (started and not yet stopped).
  int threads() const { return static_cast<int>(threads_.size()); }

 private:
  void Loop() {
    std::unique_ptr<Context> context = make_();
    platform::MutexLock lock(&mutex_);
    for (;;) {
      ++idle_;
      while (!stop_ && jobs_.empty()) wake_.Wait(&lock);
      --idle_;
      if (stop_) return;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.Unlock();
      job(context.get());
      job = nullptr;
      lock.Lock();
    }
  }

  const int limit_;
  MakeContext make_;
  std::vector<std::unique_ptr<platform::Thread>> threads_;
  platform::Mutex mutex_;
  platform::ConditionVariable wake_;
  // Guarded by mutex_.
  std::deque<Job> jobs_;
  int idle_ = 0;
  bool stop_ = false;
};

}  // namespace util

#endif  // LM_UTIL_WORKER_POOL_H_
