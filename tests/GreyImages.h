// An image source for export tests that need no toolkit: one grey image of the size the
// window renders, the same bytes every time.
#pragma once

#include "report/ImageSource.h"

namespace barvik::testing {

class GreyImages : public ImageSource {
 public:
  RgbImage Render(ReportImage which) override {
    RgbImage image;
    image.width = which == ReportImage::RatioChart ? 691 : 233;
    image.height = which == ReportImage::RatioChart ? 357 : 355;
    image.stride = static_cast<size_t>(image.width) * 3;
    image.pixels.assign(image.stride * static_cast<size_t>(image.height), 0x80);
    return image;
  }
};

}  // namespace barvik::testing
