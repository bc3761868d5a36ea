// WorkerPool: a fixed set of worker threads taking jobs from one queue, started once and kept
// for the whole of a long run (an export), so no thread is started per piece of work. Jobs run
// in the order posted, each on whichever worker gets free; a job must not throw (it keeps its
// own failure for whoever waits on it). The destructor runs every job still queued, then ends
// the threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace barvik {

class WorkerPool {
 public:
  using Job = std::function<void()>;

  // `threads`: how many workers (0: as many as the machine has cores).
  explicit WorkerPool(unsigned threads = 0);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();

  void Post(Job job);
  unsigned size() const { return static_cast<unsigned>(threads_.size()); }

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// How many of a set of posted jobs are still running. Each job calls Done as the last thing it
// does with the count; Wait returns once all have, after which the count may go.
class JobCount {
 public:
  explicit JobCount(size_t jobs) : left_(jobs) {}

  void Done() {
    // Notified under the lock: the waiter cannot return, and free the count, before this ends.
    const std::lock_guard lock(mutex_);
    if (--left_ == 0) zero_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    zero_.wait(lock, [this] { return left_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable zero_;
  size_t left_;
};

}  // namespace barvik
