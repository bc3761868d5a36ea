#include "report/PngBatch.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "report/PngWriter.h"

namespace barvik {

PngBatch::PngBatch(unsigned threads, size_t batch_bytes)
    : threads_(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())),
      batch_bytes_(batch_bytes) {}

PngBatch::~PngBatch() {
  for (std::thread& worker : workers_) worker.join();
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
  const size_t workers = std::min<size_t>(threads_, items.size());
  for (size_t w = 0; w < workers; ++w) {
    workers_.emplace_back([&items, next] {
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
    });
  }
}

void PngBatch::Collect() {
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  if (!encoding_) return;
  std::unique_ptr<Batch> done = std::move(encoding_);
  for (Item& item : done->items) {
    if (item.error) {
      filling_ = Batch{};  // dropped: the export stops here
      std::rethrow_exception(item.error);
    }
    item.then(item.png);
    item.png = {};
  }
}

}  // namespace barvik
