// The pictures of the report: the engine asks an ImageSource to render one of the window's
// figures or its chart, as the current Workspace state shows it, into RGB pixels. The Qt
// window provides the implementation (off screen), so the engine itself needs no toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace barvik {

enum class ReportImage {
  Accuracy,        // the figure of all players ("Accuracy" page)
  PlayerAccuracy,  // the selected player's "Overall Accuracy" figure
  EnemyAccuracy,   // the selected player's "Overall Enemy Accuracy Against Player" figure
  RatioChart,      // the selected player's ratio chart
};

// How the bytes of one pixel lie in an RgbImage. The 4-byte layouts are a toolkit's 32-bit
// pixels as they lie in memory; the unused byte is dropped when the image is encoded, so a
// renderer hands its canvas over as it is and the encoder's thread reorders the bytes.
enum class PixelLayout {
  Rgb,   // 3 bytes: red, green, blue
  Bgrx,  // 4 bytes: blue, green, red, unused
  Xrgb,  // 4 bytes: unused, red, green, blue
};

inline constexpr size_t BytesPerPixel(PixelLayout layout) {
  return layout == PixelLayout::Rgb ? 3 : 4;
}

// Truecolour pixels in `layout`, rows `stride` bytes apart.
struct RgbImage {
  int width = 0;
  int height = 0;
  size_t stride = 0;
  std::vector<uint8_t> pixels;
  PixelLayout layout = PixelLayout::Rgb;
};

// The version of the pictures' drawing, part of every image fingerprint an incremental export
// keeps (see RenderMemo.h). Bump it with any change to how an image is drawn from its state
// (the figures, the chart, the window's layout of them, the PNG encoding), so that no image
// drawn by the old code is taken for one the new code would draw.
inline constexpr int kRenderFormatVersion = 1;

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual RgbImage Render(ReportImage image) = 0;

  // Everything besides the Workspace state shown that the picture of `image` depends on (the
  // toolkit and its version, the style, the fonts as they rasterise, the window's size), as a
  // text that changes whenever the pixels could. std::nullopt when the source cannot tell:
  // the picture is then always drawn.
  virtual std::optional<std::string> RenderContext(ReportImage /*image*/) { return std::nullopt; }
};

}  // namespace barvik
