#include "app/Figures.h"

#include <algorithm>
#include <cmath>

#include "core/NumberFormat.h"
#include "stats/Captions.h"

namespace barvik {

const std::array<FigureCellSpec, kFigureCellCount> kFigureCells = {{
    {"none", "None"},
    {"head", "Head"},
    {"neck", "Neck"},
    {"torso_upper", "Torso Upper"},
    {"torso_lower", "Torso Lower"},
    {"right_arm_upper", "Right Arm Upper"},
    {"left_arm_upper", "Left Arm Upper"},
    {"right_arm_lower", "Right Arm Lower"},
    {"left_arm_lower", "Left Arm Lower"},
    {"right_leg_upper", "Right Leg Upper"},
    {"left_leg_upper", "Left Leg Upper"},
    {"right_leg_lower", "Right Leg Lower"},
    {"left_leg_lower", "Left Leg Lower"},
    {"right_hand", "Right Hand"},
    {"left_hand", "Left Hand"},
    {"right_foot", "Right Foot"},
    {"left_foot", "Left Foot"},
    {kTotalRowCaption, "Overall"},
}};

const std::vector<FigureChoice>& FigureChoices(FigureId figure) {
  static const std::vector<FigureChoice> overall = {{caption::kKills, 1, 2, kRed},
                                                    {caption::kDamages, 3, 4, kOrange},
                                                    {caption::kSuicides, 5, 6, kBlue}};
  static const std::vector<FigureChoice> player = {{caption::kKills, 1, 2, kRed},
                                                   {caption::kIDamages, 3, 4, kOrange},
                                                   {caption::kSuicides, 5, 6, kBlue}};
  static const std::vector<FigureChoice> enemy = {{caption::kDeads, 1, 2, kRed},
                                                  {caption::kDamages, 3, 4, kOrange}};
  switch (figure) {
    case FigureId::Overall:
      return overall;
    case FigureId::GlobEnemyAccuracy:
      return enemy;
    default:
      return player;
  }
}

void FillBodyLocationFigure(FigureState& figure, const ReportList& source, int value_column,
                            int percent_column, Rgb colour, std::string title,
                            char decimal_separator) {
  figure.title = std::move(title);
  for (size_t i = 0; i < kFigureCellCount; ++i) {
    FigureCell& cell = figure.cells[i];
    cell = FigureCell{};
    cell.colour = colour;
    auto row = std::find_if(source.rows.begin(), source.rows.end(),
                            [&](const Row& r) { return r.caption == kFigureCells[i].key; });
    if (row == source.rows.end()) continue;
    if (auto n = ParseWholeNumber(ReportList::CellText(*row, value_column))) {
      if (*n != 0) {
        cell.label = FormatMask(*n);
        cell.gauge_visible = true;
      }
    } else {
      cell.label = "err";
    }
    if (auto p = ParseDecimal(ReportList::CellText(*row, percent_column), decimal_separator)) {
      double t = std::trunc(*p);
      cell.gauge = static_cast<int>(std::clamp(t, 0.0, 100.0));
    } else {
      cell.gauge = 0;
      cell.gauge_visible = false;
    }
  }
}

}  // namespace barvik
