// The PNG writer: files decoded back with libpng must have the image's size, truecolour RGB,
// 8 bits, no interlacing and the same pixels; failures name the path and leave no file.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/FileError.h"
#include "report/PngWriter.h"
#include "report/ReportFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

struct Decoded {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int colour_type = 0;
  int interlace = 0;
  std::vector<uint8_t> rgb;  // tightly packed rows
};

Decoded Decode(const fs::path& path) {
  Decoded d;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  // Header fields through the classic interface, pixels through the simplified one.
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw std::runtime_error("cannot open " + path.string());
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    throw std::runtime_error("not a PNG: " + path.string());
  }
  png_init_io(png, f);
  png_read_info(png, info);
  png_get_IHDR(png, info, &d.width, &d.height, &d.bit_depth, &d.colour_type, &d.interlace, nullptr,
               nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);

  if (!png_image_begin_read_from_file(&image, path.c_str())) throw std::runtime_error("read");
  image.format = PNG_FORMAT_RGB;
  d.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, d.rgb.data(), 0, nullptr)) {
    throw std::runtime_error("pixels");
  }
  return d;
}

RgbImage Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.stride = static_cast<size_t>(width) * 3;
  image.pixels.resize(image.stride * static_cast<size_t>(height));
  for (size_t i = 0; i < image.pixels.size(); i += 3) {
    image.pixels[i] = r;
    image.pixels[i + 1] = g;
    image.pixels[i + 2] = b;
  }
  return image;
}

class ReportPngTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("barvik-png-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
  }
  fs::path folder_;
  ReportOutput output_;
};

TEST_F(ReportPngTest, FigureAndChartSizesDecodeAsTruecolour) {
  for (auto [w, h] : {std::pair{233, 355}, std::pair{691, 357}}) {
    const fs::path path = folder_ / "image.png";
    WritePng(path.string(), Solid(w, h, 10, 200, 30), output_);
    Decoded d = Decode(path);
    EXPECT_EQ(d.width, static_cast<png_uint_32>(w));
    EXPECT_EQ(d.height, static_cast<png_uint_32>(h));
    EXPECT_EQ(d.colour_type, PNG_COLOR_TYPE_RGB);  // 2: no palette, no alpha
    EXPECT_EQ(d.bit_depth, 8);
    EXPECT_EQ(d.interlace, PNG_INTERLACE_NONE);
    ASSERT_EQ(d.rgb.size(), static_cast<size_t>(w * h * 3));
    EXPECT_EQ(d.rgb[0], 10);
    EXPECT_EQ(d.rgb[d.rgb.size() - 2], 200);
  }
}

TEST_F(ReportPngTest, PaddedRowsKeepTheirPixelsAndDropThePadding) {
  // Rows as a toolkit hands them over: 5 pixels (15 bytes) padded to 16.
  RgbImage image;
  image.width = 5;
  image.height = 3;
  image.stride = 16;
  image.pixels.assign(image.stride * 3, 0xEE);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = &image.pixels[static_cast<size_t>(y) * 16 + static_cast<size_t>(x) * 3];
      p[0] = static_cast<uint8_t>(x * 50);
      p[1] = static_cast<uint8_t>(y * 100);
      p[2] = static_cast<uint8_t>(x + y);
    }
  }
  const fs::path path = folder_ / "padded.png";
  WritePng(path.string(), image, output_);
  Decoded d = Decode(path);
  ASSERT_EQ(d.rgb.size(), 45u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const uint8_t* p = &d.rgb[static_cast<size_t>(y) * 15 + static_cast<size_t>(x) * 3];
      EXPECT_EQ(p[0], x * 50);
      EXPECT_EQ(p[1], y * 100);
      EXPECT_EQ(p[2], x + y);
    }
  }
}

// A toolkit's 32-bit canvas handed over as it lies in memory encodes to the very bytes of the
// same pixels packed as RGB: the unused byte is dropped, not taken for a colour.
TEST_F(ReportPngTest, FourBytePixelsEncodeAsTheirRgbBytes) {
  constexpr int kWidth = 7, kHeight = 5;
  auto colour = [](int x, int y, int c) { return static_cast<uint8_t>(x * 37 + y * 11 + c * 90); };
  RgbImage rgb;
  rgb.width = kWidth;
  rgb.height = kHeight;
  rgb.stride = size_t{kWidth} * 3;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      for (int c = 0; c < 3; ++c) rgb.pixels.push_back(colour(x, y, c));
    }
  }
  const std::string expected = EncodePng(rgb, "rgb.png");
  for (PixelLayout layout : {PixelLayout::Bgrx, PixelLayout::Xrgb}) {
    RgbImage image = rgb;
    image.layout = layout;
    image.stride = size_t{kWidth} * 4 + 8;  // padded rows
    image.pixels.assign(image.stride * kHeight, 0xAB);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* p = &image.pixels[static_cast<size_t>(y) * image.stride + x * size_t{4}];
        const uint8_t r = colour(x, y, 0), g = colour(x, y, 1), b = colour(x, y, 2);
        if (layout == PixelLayout::Bgrx) {
          p[0] = b, p[1] = g, p[2] = r;
        } else {
          p[1] = r, p[2] = g, p[3] = b;
        }
      }
    }
    EXPECT_EQ(EncodePng(image, "image.png"), expected) << static_cast<int>(layout);
    // Rows too short for 4 bytes a pixel are refused, not read past the buffer's end.
    image.stride = size_t{kWidth} * 3;
    image.pixels.resize(image.stride * kHeight);
    EXPECT_THROW(EncodePng(image, "image.png"), std::invalid_argument);
  }
}

TEST_F(ReportPngTest, ReplacesAnExistingFileAndLeavesNoTemporary) {
  const fs::path path = folder_ / "accuracy.png";
  std::ofstream(path) << "old";
  WritePng(path.string(), Solid(4, 4, 1, 2, 3), output_);
  EXPECT_EQ(Decode(path).width, 4u);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(ReportPngTest, UncreatableFileNamesItsPath) {
  const std::string path = (folder_ / "missing" / "accuracy.png").string();
  try {
    WritePng(path, Solid(2, 2, 0, 0, 0), output_);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
  }
  fs::create_directory(folder_ / "dir.png");
  EXPECT_THROW(WritePng((folder_ / "dir.png").string(), Solid(2, 2, 0, 0, 0), output_), FileError);
  EXPECT_EQ(FileCount(), 1u);  // just the folder in the way
}

TEST_F(ReportPngTest, ImagesWhoseBufferDoesNotFitAreRefused) {
  const std::string path = (folder_ / "bad.png").string();
  RgbImage empty;
  EXPECT_THROW(WritePng(path, empty, output_), std::invalid_argument);
  RgbImage short_buffer = Solid(4, 4, 0, 0, 0);
  short_buffer.pixels.pop_back();
  EXPECT_THROW(WritePng(path, short_buffer, output_), std::invalid_argument);
  RgbImage narrow_stride = Solid(4, 4, 0, 0, 0);
  narrow_stride.stride = 11;
  EXPECT_THROW(WritePng(path, narrow_stride, output_), std::invalid_argument);
  EXPECT_EQ(FileCount(), 0u);
}

}  // namespace
}  // namespace barvik
