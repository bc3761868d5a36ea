#include "app/ImageFingerprint.h"

#include <string>

#include "core/Encoding.h"

namespace barvik {

void AddFigureState(StableHash& hash, const FigureState& figure) {
  hash.Number(static_cast<uint64_t>(figure.choice)).Text(figure.title);
  hash.Number(figure.title_names.size());
  for (const TextSpan& name : figure.title_names) hash.Number(name.offset).Number(name.length);
  hash.Number(figure.cells.size());
  for (const FigureCell& cell : figure.cells) {
    hash.Text(cell.label);
    hash.Number(cell.colour.r).Number(cell.colour.g).Number(cell.colour.b);
    hash.Number(static_cast<uint64_t>(cell.gauge)).Number(cell.gauge_visible ? 1 : 0);
  }
}

void AddChartState(StableHash& hash, const ChartState& chart) {
  hash.Text(chart.title).Number(static_cast<uint64_t>(chart.xmax));
  hash.Number(static_cast<uint64_t>(chart.ymax)).Number(chart.points.size());
  for (const ChartPoint& point : chart.points) {
    hash.Number(static_cast<uint64_t>(point.x)).Real(point.y).Number(point.blue ? 1 : 0);
  }
}

std::optional<uint64_t> ImageFingerprint(const Workspace& ws, ReportImage image,
                                         ImageSource& images) {
  const std::optional<std::string> context = images.RenderContext(image);
  if (!context) return std::nullopt;
  StableHash hash;
  hash.Number(kRenderFormatVersion).Number(static_cast<uint64_t>(image)).Text(*context);
  hash.Number(static_cast<uint8_t>(ws.decimal_separator()));
  if (!LogEncoding().is_default()) hash.Text(LogEncoding().charset());  // names drawn in it
  auto figure = [&](FigureId id) {
    const FigureState& state = ws.figure(id);
    const bool shown =
        state.choice >= 0 && static_cast<size_t>(state.choice) < FigureChoices(id).size();
    if (shown) AddFigureState(hash, state);
    return shown;
  };
  bool known = true;
  switch (image) {
    case ReportImage::Accuracy:
      known = figure(FigureId::Overall);
      break;
    case ReportImage::PlayerAccuracy:
      known = figure(FigureId::GlobAccuracy);
      break;
    case ReportImage::EnemyAccuracy:
      known = figure(FigureId::GlobEnemyAccuracy);
      break;
    case ReportImage::RatioChart:
      AddChartState(hash, ws.chart());
      break;
  }
  if (!known) return std::nullopt;
  return hash.value();
}

}  // namespace barvik
