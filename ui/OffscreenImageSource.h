// OffscreenImageSource: the renderer of the report images. It keeps one figure of each kind
// the report shows and one ratio chart, the window's own widget classes in the window's font,
// outside any window layout, and paints the one a picture needs straight into an image: the
// figure or chart is brought up to the Workspace's state and drawn as the window draws it,
// with no page switched, no layout run and no grab of the window.
//
// The pictures have the sizes the window gives these widgets: by default those of a window of
// its design size (what the command-line tool and batch runs draw); the window passes its own
// when it exports, so the pictures follow its size as they always did. A QApplication must
// exist; the Workspace must outlive this. Not thread-safe: use it on the GUI thread.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include <QImage>
#include <QSize>

#include "app/Workspace.h"
#include "report/ImageSource.h"

class QFont;
class QWidget;

namespace barvik {

class BodyLocationFigure;
class RatioChart;

// The font of the window, which its figures' captions and buttons inherit.
QFont WindowFont();

// The sizes of the pictures' widgets as the window lays them out.
struct PictureSizes {
  // The ratio chart's widget: its picture is all of it.
  QSize chart{691, 357};
  // The heights of the figures of ReportImage::Accuracy, PlayerAccuracy and EnemyAccuracy:
  // a picture shows the top BodyLocationFigure::kImageHeight rows, and the frame's bottom
  // edge falls inside them when the figure is that low.
  std::array<int, 3> figure_heights{488, 422, 422};

  bool operator==(const PictureSizes&) const = default;
};

class OffscreenImageSource : public ImageSource {
 public:
  explicit OffscreenImageSource(Workspace& workspace);
  ~OffscreenImageSource() override;
  OffscreenImageSource(const OffscreenImageSource&) = delete;
  OffscreenImageSource& operator=(const OffscreenImageSource&) = delete;

  // The window's sizes of the pictures' widgets (see PictureSizes).
  void SetSizes(const PictureSizes& sizes);
  const PictureSizes& sizes() const { return sizes_; }

  RgbImage Render(ReportImage image) override;
  // The Qt version, platform, style, the pictures' sizes and palette and a probe of how the
  // pictures' fonts and shapes rasterise here.
  std::optional<std::string> RenderContext(ReportImage image) override;

  // The figure that draws `image`, or nullptr for the chart.
  BodyLocationFigure* FigureOf(ReportImage image) const;
  RatioChart* chart() const { return chart_; }

 private:
  // The part of RenderContext that holds while the program runs, drawn once.
  std::string ToolkitContext();

  Workspace& ws_;
  std::unique_ptr<QWidget> host_;  // holds the widgets, laid out but never on a screen
  std::array<BodyLocationFigure*, 3> figures_{};  // by ReportImage, up to the chart
  RatioChart* chart_ = nullptr;
  PictureSizes sizes_;
  std::string toolkit_context_;  // ToolkitContext(), once it was needed
};

}  // namespace barvik
