// OffscreenImageSource: the report images for a front end without a window of its own (the
// command-line tool, a headless batch run). It keeps a window that is laid out but never
// shown over the given Workspace and renders the pictures from it, so the images are exactly
// what the window would show. A QApplication must exist; the Workspace must outlive this.
#pragma once

#include <memory>

#include "report/ImageSource.h"

namespace barvik {

class TFormCAL;
class Workspace;

class OffscreenImageSource : public ImageSource {
 public:
  explicit OffscreenImageSource(Workspace& workspace);
  ~OffscreenImageSource() override;
  OffscreenImageSource(const OffscreenImageSource&) = delete;
  OffscreenImageSource& operator=(const OffscreenImageSource&) = delete;

  RgbImage Render(ReportImage image) override;
  std::optional<std::string> RenderContext(ReportImage image) override;
  TFormCAL& form() { return *form_; }

 private:
  std::unique_ptr<TFormCAL> form_;
};

}  // namespace barvik
