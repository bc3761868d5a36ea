// The body-location figures as data: for each of the four figures, the title and the eighteen
// value labels and bar gauges that the window draws over the body silhouette (and that the
// report's images show). A figure is filled from its source list at defined moments and then
// keeps what it showed, like the labels of a window do.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ReportList.h"

namespace barvik {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kOrange{255, 128, 0};
inline constexpr Rgb kBlue{0, 0, 255};

inline constexpr size_t kFigureCellCount = 18;

// The eighteen cells in fill order: the row caption looked up and the tooltip.
struct FigureCellSpec {
  std::string_view key;
  std::string_view tooltip;
};
extern const std::array<FigureCellSpec, kFigureCellCount> kFigureCells;

struct FigureCell {
  std::string label;           // "" (nothing), the masked number, or "err"
  Rgb colour = kRed;           // label font colour
  int gauge = 0;               // 0..100
  bool gauge_visible = false;  // hidden gauges are not drawn
};

enum class FigureId { Overall = 0, WeaponAccuracy = 1, GlobAccuracy = 2, GlobEnemyAccuracy = 3 };

// One choice of a figure: its radio button's caption, the value and percentage columns of the
// source list, and the label colour.
struct FigureChoice {
  std::string_view button;
  int value_column;
  int percent_column;
  Rgb colour;
};

// The choices of a figure, the first one being the one checked at start.
const std::vector<FigureChoice>& FigureChoices(FigureId figure);

// Where a name (of a player or a weapon) stands in a text, in bytes.
struct TextSpan {
  size_t offset = 0;
  size_t length = 0;
  bool operator==(const TextSpan&) const = default;
};

struct FigureState {
  int choice = 0;     // index into FigureChoices: the checked radio button
  std::string title;  // the title label's text
  // The names within `title`, in order: a label too small for the whole title may shorten
  // these, never the fixed words around them.
  std::vector<TextSpan> title_names;
  std::array<FigureCell, kFigureCellCount> cells{};
};

// Sets the title and fills the eighteen cells from `source`: for each key the first row with
// exactly that caption gives the label (its value cell) and the gauge (its percentage cell).
void FillBodyLocationFigure(FigureState& figure, const ReportList& source, int value_column,
                            int percent_column, Rgb colour, std::string title,
                            char decimal_separator);

}  // namespace barvik
