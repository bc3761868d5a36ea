// A report list: the engine's results store and the data behind every list view and page.
// Columns have a caption, a width and an alignment; rows have a caption (the first column)
// and one cell text per further column. Cells hold plain texts exactly as displayed, so the
// window, the sort and the HTML pages all read the same values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace barvik {

// The caption of the total row: three blanks, then "A", "L" and "L", each after two blanks.
inline constexpr std::string_view kTotalRowCaption = "   A  L  L";

inline constexpr int kAutoWidth = -1;     // the column sizes itself to its contents
inline constexpr int kDefaultWidth = 50;  // a column without a width of its own

enum class Align { Left, Right };

struct Column {
  std::string caption;
  int width = kDefaultWidth;
  Align align = Align::Right;
};

struct Row {
  std::string caption;
  std::vector<std::string> cells;  // one per column after the first; may be short
};

// Sort column and reversed column of one list; (0, -1) is the reset state.
struct ListSortState {
  int SortColumn = 0;
  int ReverseColumn = -1;
};

struct ReportList {
  // `columns` lists every column, the caption column first (always left-aligned).
  ReportList(std::string name, std::vector<Column> columns, bool turn_order = false);

  // Removes all rows and the selection.
  void Clear();

  // The selected row, or nullptr when none is selected.
  const Row* SelectedRow() const;

  // Index of the column with this exact caption, or -1.
  int ColumnIndex(std::string_view caption) const;

  // The text of column `column` of `row` (0 is the caption); empty where the row is short.
  static std::string_view CellText(const Row& row, int column);

  // A click on a column header: toggles the order on that column and re-sorts the rows. The
  // selected row stays selected; rows that compare equal keep their order.
  void ColumnClick(int column, char decimal_separator);

  // Sort state reset to (0, -1).
  void ResetSort() { sort = ListSortState{}; }

  // The list's row comparison under its current sort state: negative when a goes first.
  int Compare(const Row& a, const Row& b, char decimal_separator) const;

  std::string name;             // the list view's name, e.g. "ListViewPlayers"
  std::vector<Column> columns;  // caption column first
  std::vector<Row> rows;        // in display order
  int selected = -1;            // index into rows, -1 for none
  ListSortState sort;           // current sort state
  bool turn_order = false;      // the turns list: its caption column sorts ascending first
};

// The value a cell sorts by: the number it reads as, otherwise its first byte (signed) minus
// 9999, so texts such as "n/a" sort below every real number. An empty cell sorts below all.
double SortValue(std::string_view text, char decimal_separator);

}  // namespace barvik
