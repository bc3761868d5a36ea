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

// Truecolour pixels, 3 bytes per pixel (red, green, blue), rows `stride` bytes apart.
struct RgbImage {
  int width = 0;
  int height = 0;
  size_t stride = 0;
  std::vector<uint8_t> pixels;
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
