#include "ui/OffscreenImageSource.h"

#include "ui/TFormCAL.h"

namespace barvik {

OffscreenImageSource::OffscreenImageSource(Workspace& workspace)
    : form_(std::make_unique<TFormCAL>(workspace, TFormCAL::Mode::kOffscreen)) {}

OffscreenImageSource::~OffscreenImageSource() = default;

RgbImage OffscreenImageSource::Render(ReportImage image) { return form_->Render(image); }

std::optional<std::string> OffscreenImageSource::RenderContext(ReportImage image) {
  return form_->RenderContext(image);
}

}  // namespace barvik
