#include "core/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace barvik {

WorkerPool::WorkerPool(unsigned threads) {
  const unsigned count = threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
  threads_.reserve(count);
  for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Post(Job job) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void WorkerPool::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, with nothing left to do
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace barvik
