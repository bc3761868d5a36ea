#include "ui/OffscreenImageSource.h"

#include <QChart>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QValueAxis>
#include <QWidget>

#include "core/StableHash.h"
#include "ui/BodyLocationFigure.h"
#include "ui/RatioChart.h"

namespace barvik {
namespace {

constexpr size_t kFigureImages = 3;  // the ReportImage values before RatioChart

FigureId FigureIdOf(ReportImage image) {
  switch (image) {
    case ReportImage::Accuracy:
      return FigureId::Overall;
    case ReportImage::PlayerAccuracy:
      return FigureId::GlobAccuracy;
    case ReportImage::EnemyAccuracy:
    case ReportImage::RatioChart:
      break;
  }
  return FigureId::GlobEnemyAccuracy;
}

// How an RGB32 image's pixels (0xffRRGGBB words) lie in memory on this machine.
constexpr PixelLayout kRgb32Layout =
    Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PixelLayout::Bgrx : PixelLayout::Xrgb;

// Drops the host's update requests. The host is shown (off screen) only so that its widgets
// are polished and laid out as in a shown window; nothing ever looks at its backing store,
// and every picture is painted by render(). Served, each request would paint the changed
// widgets once more into that unseen store.
class DropUpdateRequests : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    return event->type() == QEvent::UpdateRequest;
  }
};

}  // namespace

QFont WindowFont() {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Liberation Sans", "Arial"});
  font.setPixelSize(11);
  return font;
}

OffscreenImageSource::OffscreenImageSource(Workspace& workspace)
    : ws_(workspace), host_(std::make_unique<QWidget>()) {
  host_->setObjectName("ReportImages");
  host_->setFont(WindowFont());
  for (size_t i = 0; i < kFigureImages; ++i) {
    figures_[i] = new BodyLocationFigure(FigureIdOf(static_cast<ReportImage>(i)), host_.get());
    // A picture shows the first choice's button only.
    figures_[i]->ShowOtherChoices(false);
  }
  chart_ = new RatioChart(host_.get());
  SetSizes(sizes_);
  // Polished and laid out like the widgets of a shown window, but never on a screen.
  host_->setAttribute(Qt::WA_DontShowOnScreen);
  // Not a window of the user's: the program ends when his last one closes.
  host_->setAttribute(Qt::WA_QuitOnClose, false);
  host_->show();
  host_->installEventFilter(new DropUpdateRequests(host_.get()));
}

OffscreenImageSource::~OffscreenImageSource() = default;

void OffscreenImageSource::SetSizes(const PictureSizes& sizes) {
  sizes_ = sizes;
  for (size_t i = 0; i < kFigureImages; ++i) {
    figures_[i]->resize(BodyLocationFigure::kWidth, sizes.figure_heights[i]);
  }
  chart_->resize(sizes.chart);
}

BodyLocationFigure* OffscreenImageSource::FigureOf(ReportImage image) const {
  const auto i = static_cast<size_t>(image);
  return i < kFigureImages ? figures_[i] : nullptr;
}

RgbImage OffscreenImageSource::Render(ReportImage image) {
  BodyLocationFigure* figure = FigureOf(image);
  QWidget* target = chart_;
  QSize size = sizes_.chart;
  if (figure) {
    figure->Render(ws_.figure(FigureIdOf(image)));
    target = figure;
    size = QSize(BodyLocationFigure::kWidth, BodyLocationFigure::kImageHeight);
  } else {
    chart_->Show(ws_.chart());
  }
  // The state change's deferred work (the chart's layout) is done before painting. All
  // posted events go: an export without an event loop would otherwise pile them up, and Qt
  // compares every new one with the whole queue.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // Painted straight into the buffer handed to the encoder, which drops the unused byte of
  // each pixel on its own thread.
  RgbImage out;
  out.width = size.width();
  out.height = size.height();
  out.stride = static_cast<size_t>(out.width) * 4;
  out.layout = kRgb32Layout;
  out.pixels.resize(out.stride * static_cast<size_t>(out.height));
  QImage canvas(out.pixels.data(), out.width, out.height, static_cast<qsizetype>(out.stride),
                QImage::Format_RGB32);
  canvas.fill(host_->palette().color(QPalette::Window));
  {
    QPainter painter(&canvas);
    target->render(&painter, QPoint(), QRegion(QRect(QPoint(), size)),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
  return out;
}

std::string OffscreenImageSource::ToolkitContext() {
  // The fonts of the pictures: the figures' captions, buttons and titles, their values, and
  // the chart's title, axes and (bold) foot text.
  const BodyLocationFigure* figure = figures_[0];
  QFont foot = chart_->chart()->titleFont();
  foot.setBold(true);
  const QList<QFont> fonts = {figure->font(), figure->ValueLabel(0)->font(),
                              chart_->chart()->titleFont(), chart_->axis_x()->labelsFont(), foot};
  QString context = QString("Qt %1 %2 %3")
                        .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
                             host_->style()->name());
  // Sample texts in each font and an antialiased shape, hashed: a font file replaced under
  // the same name, other hinting or another rasteriser changes the probe.
  constexpr int kLine = 24;
  QImage probe(360, kLine * (static_cast<int>(fonts.size()) + 1), QImage::Format_RGB32);
  probe.fill(Qt::white);
  {
    QPainter painter(&probe);
    painter.setPen(Qt::black);
    for (qsizetype i = 0; i < fonts.size(); ++i) {
      const QFontInfo info(fonts[i]);
      context += QString(" %1/%2/%3").arg(info.family(), info.styleName()).arg(info.pixelSize());
      painter.setFont(fonts[i]);
      painter.drawText(QRect(2, kLine * static_cast<int>(i), probe.width() - 4, kLine),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("0123456789.,% err Ratio Chart Server Turn Kills Deads "
                                      "Body Location WgQy\u00e9\u2026"));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    painter.setBrush(QColor(0, 160, 0, 128));
    painter.drawEllipse(QRectF(3.5, kLine * fonts.size() + 2.25, 97.3, kLine - 5.5));
  }
  StableHash pixels;
  for (int y = 0; y < probe.height(); ++y) {
    pixels.Bytes(std::string_view(reinterpret_cast<const char*>(probe.constScanLine(y)),
                                  static_cast<size_t>(probe.width()) * 4));
  }
  context += QString(" probe %1").arg(pixels.value());
  return context.toStdString();
}

std::optional<std::string> OffscreenImageSource::RenderContext(ReportImage image) {
  if (toolkit_context_.empty()) toolkit_context_ = ToolkitContext();
  const BodyLocationFigure* figure = FigureOf(image);
  const QWidget* target = figure ? static_cast<const QWidget*>(figure) : chart_;
  // The widget's size fixes the picture's size and layout; the palette its colours.
  StableHash colours;
  const QPalette& palette = target->palette();
  for (int group = 0; group < QPalette::NColorGroups; ++group) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const QColor colour = palette.color(static_cast<QPalette::ColorGroup>(group),
                                          static_cast<QPalette::ColorRole>(role));
      colours.Number(static_cast<uint64_t>(colour.rgba64()));
    }
  }
  colours.Number(static_cast<uint64_t>(chart_->chart()->backgroundBrush().color().rgba64()));
  const QString sizes = QString(" widget %1x%2 palette %3")
                            .arg(target->width())
                            .arg(target->height())
                            .arg(colours.value());
  return toolkit_context_ + sizes.toStdString();
}

}  // namespace barvik
