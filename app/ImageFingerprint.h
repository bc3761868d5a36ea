// The fingerprint of a report image: a StableHash of everything its pixels are drawn from, so
// that an incremental export can tell that an image on disk is the one it would draw now (see
// report/RenderMemo.h).
#pragma once

#include <cstdint>
#include <optional>

#include "app/Workspace.h"
#include "core/StableHash.h"
#include "report/ImageSource.h"

namespace barvik {

// The fingerprint of the picture `image` of the current state of `ws` as `images` would draw
// it: the image kind, every field of the figure or the chart it shows, the decimal separator,
// the source's RenderContext and kRenderFormatVersion. std::nullopt when the picture must be
// drawn: the source names no context, or the figure's choice is out of range (the figure
// would then keep whichever button an earlier picture left checked).
std::optional<uint64_t> ImageFingerprint(const Workspace& ws, ReportImage image,
                                         ImageSource& images);

// Every field that the drawing of a figure or the chart reads, in a fixed order.
void AddFigureState(StableHash& hash, const FigureState& figure);
void AddChartState(StableHash& hash, const ChartState& chart);

}  // namespace barvik
