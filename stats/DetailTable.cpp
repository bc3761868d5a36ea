#include "stats/DetailTable.h"

#include <string>
#include <utility>

#include "core/NumberFormat.h"
#include "core/Text1252.h"
#include "stats/Captions.h"

namespace barvik {

void FillDetailTable(ReportList& list, const EventGroup& group, const KeyPool& pool,
                     std::span<const DetailCell> cells, const TotalRowSpec* total,
                     char decimal_separator) {
  list.Clear();
  KeyTable table = CollectKeys(group, pool, group.lists.size());
  CountKeysExact(group, pool, table);
  list.rows.reserve(table.keys.size() + 1);
  for (size_t r = 0; r < table.keys.size(); ++r) {
    const std::vector<int64_t>& counts = table.counts[r];
    Row row;
    row.caption = std::string(pool.Text(table.keys[r]));
    row.cells.reserve(cells.size());
    for (const DetailCell& cell : cells) {
      switch (cell.kind) {
        case DetailCell::Kind::kCount:
          row.cells.push_back(std::to_string(counts[cell.list]));
          break;
        case DetailCell::Kind::kPercent:
          row.cells.push_back(FormatPercent(counts[cell.list], cell.base, decimal_separator));
          break;
        case DetailCell::Kind::kRatio:
          row.cells.push_back(
              FormatRatio(counts[cell.list], counts[cell.deads], decimal_separator));
          break;
      }
    }
    list.rows.push_back(std::move(row));
  }
  if (total != nullptr) {
    AddTotalRow(list, kTotalRowCaption, total->numerator, total->denominator, decimal_separator);
  }
}

void AddTotalRow(ReportList& list, std::string_view caption, int numerator, int denominator,
                 char decimal_separator) {
  Row total;
  total.caption = std::string(caption);
  int64_t num = 0;
  int64_t den = 0;
  for (size_t column = 1; column < list.columns.size(); ++column) {
    const std::string& header = list.columns[column].caption;
    const int cell = static_cast<int>(column) - 1;
    if (header.find("[%]") != std::string::npos) {
      total.cells.push_back(FormatPercent(1, 1, decimal_separator));
    } else if (UpperCopy(header) == UpperCopy(caption::kRatio)) {
      total.cells.push_back(FormatRatio(num, den, decimal_separator));
    } else {
      int64_t sum = 0;
      for (const Row& row : list.rows) {
        sum += WholeNumberOr(ReportList::CellText(row, static_cast<int>(column)), 0);
      }
      total.cells.push_back(std::to_string(sum));
      if (cell == numerator) num = sum;
      if (cell == denominator) den = sum;
    }
  }
  list.rows.insert(list.rows.begin(), std::move(total));
  if (list.selected >= 0) ++list.selected;
}

}  // namespace barvik
