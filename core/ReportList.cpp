#include "core/ReportList.h"

#include <algorithm>
#include <numeric>

#include "core/NumberFormat.h"

namespace barvik {

ReportList::ReportList(std::string list_name, std::vector<Column> list_columns, bool turns)
    : name(std::move(list_name)), columns(std::move(list_columns)), turn_order(turns) {
  if (!columns.empty()) columns[0].align = Align::Left;
}

void ReportList::Clear() {
  rows.clear();
  selected = -1;
}

const Row* ReportList::SelectedRow() const {
  if (selected < 0 || selected >= static_cast<int>(rows.size())) return nullptr;
  return &rows[static_cast<size_t>(selected)];
}

int ReportList::ColumnIndex(std::string_view caption) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].caption == caption) return static_cast<int>(i);
  }
  return -1;
}

std::string_view ReportList::CellText(const Row& row, int column) {
  if (column == 0) return row.caption;
  if (column < 0 || column > static_cast<int>(row.cells.size())) return {};
  return row.cells[static_cast<size_t>(column - 1)];
}

double SortValue(std::string_view text, char decimal_separator) {
  if (auto v = ParseDecimal(text, decimal_separator)) return *v;
  if (text.empty()) return -9999.0 - 129.0;
  return static_cast<double>(static_cast<signed char>(text[0])) - 9999.0;
}

namespace {

// Caption order: a-z folded to A-Z, every other byte by its code, a prefix first.
int CompareCaptions(std::string_view a, std::string_view b) {
  auto fold = [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
  };
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = fold(a[i]);
    unsigned char y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int ReportList::Compare(const Row& a, const Row& b, char decimal_separator) const {
  const int s = sort.SortColumn;
  if (s == 0) {
    int r = CompareCaptions(a.caption, b.caption);
    bool reverse = turn_order ? sort.ReverseColumn != 0 : sort.ReverseColumn == 0;
    return reverse ? -r : r;
  }
  double va = SortValue(CellText(a, s), decimal_separator);
  double vb = SortValue(CellText(b, s), decimal_separator);
  int r = va > vb ? 1 : (va < vb ? -1 : 0);
  return sort.ReverseColumn == sort.SortColumn ? -r : r;
}

void ReportList::ColumnClick(int column, char decimal_separator) {
  sort.SortColumn = column;
  sort.ReverseColumn = sort.ReverseColumn == column ? -1 : column;

  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    return Compare(rows[x], rows[y], decimal_separator) < 0;
  });
  std::vector<Row> sorted;
  sorted.reserve(rows.size());
  int new_selected = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == selected) new_selected = static_cast<int>(i);
    sorted.push_back(std::move(rows[order[i]]));
  }
  rows = std::move(sorted);
  selected = new_selected;
}

}  // namespace barvik
