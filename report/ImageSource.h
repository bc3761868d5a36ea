// The pictures of the report: the engine asks an ImageSource to render one of the window's
// figures or its chart, as the current Workspace state shows it, into RGB pixels. The Qt
// window provides the implementation (off screen), so the engine itself needs no toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
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

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual RgbImage Render(ReportImage image) = 0;
};

}  // namespace barvik
