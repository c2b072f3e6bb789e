// Threads started on demand, up to a limit, that run posted jobs in the
// order they were posted: the workers of the parallel reader and of the
// parallel writer. Each thread makes its own Context first (state kept from
// job to job, such as libbz2's arrays) and hands it to every job it runs.
//
// Post, Stop and threads() belong to one owning thread; jobs run on the
// workers. Stop (and the destructor) drops the jobs not yet started and
// joins the threads once their current jobs return: a job that may wait
// must be woken by its owner before Stop.
#ifndef LM_BZIP2_WORKER_POOL_H_
#define LM_BZIP2_WORKER_POOL_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace bzip2 {

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
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = false;
      if (urgent) {
        jobs_.push_front(std::move(job));
      } else {
        jobs_.push_back(std::move(job));
      }
      spawn = idle_ == 0 && static_cast<int>(threads_.size()) < limit_ + (urgent ? 1 : 0);
    }
    if (spawn) {
      try {
        threads_.emplace_back([this] { Loop(); });
      } catch (const std::system_error&) {
        // Fewer threads than asked for.
      }
    }
    wake_.notify_one();
    return !threads_.empty();
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
      jobs_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

  // Threads running now (started and not yet stopped).
  int threads() const { return static_cast<int>(threads_.size()); }

 private:
  void Loop() {
    std::unique_ptr<Context> context = make_();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      while (!stop_ && jobs_.empty()) wake_.wait(lock);
      --idle_;
      if (stop_) return;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job(context.get());
      job = nullptr;
      lock.lock();
    }
  }

  const int limit_;
  MakeContext make_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_.
  std::deque<Job> jobs_;
  int idle_ = 0;
  bool stop_ = false;
};

}  // namespace bzip2

#endif  // LM_BZIP2_WORKER_POOL_H_
