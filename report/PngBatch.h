// PngBatch: PNG encoding of many report images on the workers of a WorkerPool. The caller adds
// images one by one; they are encoded a batch at a time (a batch holds up to a given number of
// pixel bytes), each worker taking the next image of the batch as it gets free, while the
// caller goes on filling the next batch. Only whole batches change hands, never single images.
//
// Each image's `then` runs on the caller's thread with the PNG bytes, in the order the images
// were added, so the files written from there, and their bytes, do not depend on the number
// of threads. Memory: at most two batches of pixels (one encoding, one filling) and the PNGs
// of one batch. A failure (an image whose sizes do not fit its pixels, libpng failing) is
// thrown from the Add or Finish that would run that image's `then`; the images after it are
// dropped. Not for use from several threads.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/WorkerPool.h"
#include "report/ImageSource.h"

namespace barvik {

class PngBatch {
 public:
  using Then = std::function<void(std::string png)>;

  // `workers` encode, and must outlive the batch; `batch_bytes`: the pixel bytes after which a
  // batch is handed to them. About one player's figures by default: twice that held about
  // 2 MB more at the peak of a large export and was no faster.
  explicit PngBatch(WorkerPool& workers, size_t batch_bytes = size_t{1} << 20);
  PngBatch(const PngBatch&) = delete;
  PngBatch& operator=(const PngBatch&) = delete;
  // Waits for the batch being encoded; runs no `then`.
  ~PngBatch();

  // Queues `image` for the file `path` (named in errors).
  void Add(std::string path, RgbImage image, Then then);
  // Encodes what is queued and runs every `then` still due.
  void Finish();

 private:
  struct Item {
    std::string path;
    RgbImage image;
    Then then;
    std::string png;
    std::exception_ptr error;
  };
  struct Batch {
    std::vector<Item> items;
    size_t bytes = 0;
  };

  // Hands the filling batch to the workers.
  void Start();
  // Waits for the batch being encoded and runs its `then`s.
  void Collect();

  WorkerPool& workers_;
  size_t batch_bytes_;
  Batch filling_;
  std::unique_ptr<Batch> encoding_;  // the batch the workers have, or null
  std::unique_ptr<JobCount> done_;   // the jobs still encoding encoding_
};

}  // namespace barvik
