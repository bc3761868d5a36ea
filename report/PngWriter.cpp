#include "report/PngWriter.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/FileError.h"
#include "report/ReportFolder.h"

namespace barvik {
namespace {

void CheckImage(const RgbImage& image) {
  const size_t row_bytes = static_cast<size_t>(image.width) * BytesPerPixel(image.layout);
  if (image.width <= 0 || image.height <= 0 || image.stride < row_bytes ||
      image.pixels.size() < image.stride * static_cast<size_t>(image.height - 1) + row_bytes) {
    throw std::invalid_argument("RGB image of " + std::to_string(image.width) + " x " +
                                std::to_string(image.height) + " pixels with stride " +
                                std::to_string(image.stride) + " does not fit its " +
                                std::to_string(image.pixels.size()) + " bytes");
  }
}

// libpng reports failures by calling these; the error handler must not return, so it jumps
// back to the setjmp in EncodePng. Messages are dropped: the caller reports the path.
void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// libpng's output goes to the std::string given as its io pointer. A failed append (no
// memory) becomes a libpng error: no exception may cross libpng's C frames.
void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  bool appended = true;
  try {
    out->append(reinterpret_cast<const char*>(data), length);
  } catch (...) {
    appended = false;
  }
  if (!appended) png_error(png, "out of memory");
}
void NoFlush(png_structp) {}

// The part of the encoding that libpng may leave by longjmp. It holds no C++ object and
// changes no local after setjmp; false when libpng failed.
bool Encode(png_structp png, png_infop info, std::string* out, const RgbImage& image,
            png_bytep* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  // Screen pictures are flat colour areas. Level 9's search of long match chains spends most
  // of an export's time on them; run-length matching after the "up" filter compresses them
  // about as well in a fraction of the time (most rows repeat the row above).
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_strategy(png, Z_RLE);
  png_write_info(png, info);
  // 32-bit pixels are reordered and their unused byte dropped row by row as libpng filters
  // them: the file holds the same RGB bytes as for a 3-byte image of the same pixels.
  if (image.layout == PixelLayout::Bgrx) {
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
  } else if (image.layout == PixelLayout::Xrgb) {
    png_set_filler(png, 0, PNG_FILLER_BEFORE);
  }
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::string EncodePng(const RgbImage& image, const std::string& path) {
  CheckImage(image);

  // Every C++ object lives before setjmp: a longjmp skips destructors of objects made after it.
  std::string bytes;
  bytes.reserve(image.pixels.size() / 8);
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (size_t y = 0; y < rows.size(); ++y) {
    // libpng takes non-const row pointers but only reads them when writing.
    rows[y] = const_cast<png_bytep>(image.pixels.data() + y * image.stride);
  }

  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) throw FileError::CannotCreate(path);
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    throw FileError::CannotCreate(path);
  }

  const bool encoded = Encode(png, info, &bytes, image, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!encoded) throw FileError::CannotCreate(path);
  return bytes;
}

void WritePng(const std::string& path, const RgbImage& image, ReportOutput& output) {
  output.Write(path, EncodePng(image, path));
}

}  // namespace barvik
