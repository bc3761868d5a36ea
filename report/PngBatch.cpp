#include "report/PngBatch.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "report/PngWriter.h"

namespace barvik {

PngBatch::PngBatch(WorkerPool& workers, size_t batch_bytes)
    : workers_(workers), batch_bytes_(batch_bytes) {}

PngBatch::~PngBatch() {
  if (done_) done_->Wait();
}

void PngBatch::Add(std::string path, RgbImage image, Then then) {
  filling_.bytes += image.pixels.size();
  filling_.items.push_back({std::move(path), std::move(image), std::move(then), {}, {}});
  if (filling_.bytes >= batch_bytes_) {
    Collect();
    Start();
  }
}

void PngBatch::Finish() {
  Collect();
  Start();
  Collect();
}

void PngBatch::Start() {
  if (filling_.items.empty()) return;
  encoding_ = std::make_unique<Batch>(std::move(filling_));
  filling_ = Batch{};
  auto next = std::make_shared<std::atomic<size_t>>(0);
  std::vector<Item>& items = encoding_->items;
  const size_t jobs = std::min<size_t>(workers_.size(), items.size());
  done_ = std::make_unique<JobCount>(jobs);
  for (size_t w = 0; w < jobs; ++w) {
    workers_.Post([&items, next, done = done_.get()] {
      for (size_t i = (*next)++; i < items.size(); i = (*next)++) {
        Item& item = items[i];
        try {
          item.png = EncodePng(item.image, item.path);
        } catch (...) {
          item.error = std::current_exception();
        }
        // The pixels are done with: a batch holds no more than it must.
        item.image.pixels = {};
      }
      done->Done();
    });
  }
}

void PngBatch::Collect() {
  if (done_) done_->Wait();
  done_.reset();
  if (!encoding_) return;
  std::unique_ptr<Batch> done = std::move(encoding_);
  for (Item& item : done->items) {
    if (item.error) {
      filling_ = Batch{};  // dropped: the export stops here
      std::rethrow_exception(item.error);
    }
    item.then(std::move(item.png));
  }
}

}  // namespace barvik
