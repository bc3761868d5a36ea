#include "report/PngBatch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "report/PngWriter.h"

namespace barvik {
namespace {

// An image of `width` x 20 pixels in a pattern of `seed`; an empty pixel buffer when `bad`.
RgbImage Pattern(int width, int seed, bool bad = false) {
  RgbImage image;
  image.width = width;
  image.height = 20;
  image.stride = static_cast<size_t>(width) * 3 + 1;  // padded rows
  image.pixels.resize(bad ? 0 : image.stride * 20);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<uint8_t>((i / 7 + static_cast<size_t>(seed)) % 5 * 50);
  }
  return image;
}

// Runs 40 images through a batch of `threads` workers and batches of `batch_bytes`; gives
// what each `then` got, in the order they ran.
std::vector<std::string> Encode(unsigned threads, size_t batch_bytes) {
  std::vector<std::string> got;
  WorkerPool workers(threads);
  PngBatch batch(workers, batch_bytes);
  for (int i = 0; i < 40; ++i) {
    batch.Add("image" + std::to_string(i), Pattern(30 + i, i),
              [&got, i](const std::string& png) { got.push_back(std::to_string(i) + ":" + png); });
  }
  batch.Finish();
  return got;
}

TEST(PngBatchTest, ThreadsAndBatchSizesChangeNoByteNorTheOrder) {
  const std::vector<std::string> one = Encode(1, 1);
  ASSERT_EQ(one.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(one[static_cast<size_t>(i)],
              std::to_string(i) + ":" + EncodePng(Pattern(30 + i, i), "x"));
  }
  EXPECT_EQ(Encode(4, 1), one);
  EXPECT_EQ(Encode(3, 5000), one);
  EXPECT_EQ(Encode(2, SIZE_MAX), one);  // one batch, at Finish
}

TEST(PngBatchTest, AFailedImageStopsTheRunAfterTheImagesBeforeIt) {
  std::vector<std::string> got;
  WorkerPool workers(3);
  PngBatch batch(workers, 4000);
  try {
    for (int i = 0; i < 40; ++i) {
      batch.Add("image" + std::to_string(i), Pattern(30, i, i == 17),
                [&got, i](const std::string&) { got.push_back(std::to_string(i)); });
    }
    batch.Finish();
    FAIL() << "no error";
  } catch (const std::invalid_argument&) {
  }
  ASSERT_EQ(got.size(), 17u);
  EXPECT_EQ(got.back(), "16");
}

}  // namespace
}  // namespace barvik
