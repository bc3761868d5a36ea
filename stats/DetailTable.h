// Filling of the player-detail lists from keyed event lists: one row per distinct key (keys
// met in list order, one row for texts that differ only in letter case, captioned with the
// form met first), count cells that count only the entries written exactly like the row's
// caption, percentage and ratio cells derived from them, and the total row on top.
//
// Cells are plain texts: whole numbers, percentages "0.00", ratios "0.000" with the given
// decimal separator, and "n/a" where the divisor is 0.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/ReportList.h"
#include "log/KeyPool.h"

namespace barvik {

// One cell of a detail row, after the caption.
struct DetailCell {
  enum class Kind { kCount, kPercent, kRatio };
  Kind kind;
  size_t list = 0;   // kCount, kPercent: the list counted; kRatio: the Kills list
  int64_t base = 0;  // kPercent: count / base * 100
  size_t deads = 0;  // kRatio: the Deads list
};

inline DetailCell CountCell(size_t list) { return {DetailCell::Kind::kCount, list, 0, 0}; }
inline DetailCell PercentCell(size_t list, int64_t base) {
  return {DetailCell::Kind::kPercent, list, base, 0};
}
inline DetailCell RatioCell(size_t kills, size_t deads) {
  return {DetailCell::Kind::kRatio, kills, 0, deads};
}

// Which cells of the total row's own sums make its ratio; -1 as `denominator` for a list
// without ratio.
struct TotalRowSpec {
  int numerator = -1;
  int denominator = -1;
};
inline constexpr TotalRowSpec kTotalWithRatio{0, 2};  // Kills / Deads
inline constexpr TotalRowSpec kTotalWithoutRatio{0, -1};

// Empties `list` and adds one row per key of `group` with `cells`; then, when `total` is
// given, the total row on top. Does not sort.
void FillDetailTable(ReportList& list, const EventGroup& group, const KeyPool& pool,
                     std::span<const DetailCell> cells, const TotalRowSpec* total,
                     char decimal_separator);

// Inserts the row `caption` at the top of `list`. Cells by column caption: one holding "[%]"
// gets 100.00; "Ratio" (any case) gets numerator / denominator of this row's sums ("n/a" when
// the denominator is 0); every other column the sum of the cells of all other rows read as
// whole numbers (texts that are not, such as "n/a", add 0). `numerator` and `denominator`
// are cell indexes (0 = the first cell after the caption).
void AddTotalRow(ReportList& list, std::string_view caption, int numerator, int denominator,
                 char decimal_separator);

}  // namespace barvik
