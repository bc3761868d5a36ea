#include "report/JsonWriter.h"

#include <charconv>

#include "core/NumberFormat.h"
#include "report/SiteText.h"

namespace barvik {

Json CellJson(std::string_view text, char decimal_separator) {
  // Only plain forms count as numbers ("-12", "3.250"), so that a number written back in the
  // same format gives the cell's text again; anything else keeps its text beside a null.
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  const size_t separator = digits.find(decimal_separator);
  if (separator == std::string_view::npos) {
    int64_t whole = 0;
    if (AllDigits(digits) &&
        std::from_chars(text.data(), text.data() + text.size(), whole).ec == std::errc()) {
      return whole;
    }
    return nullptr;
  }
  if (!AllDigits(digits.substr(0, separator)) || !AllDigits(digits.substr(separator + 1))) {
    return nullptr;
  }
  std::string dotted(text);
  dotted[text.size() - digits.size() + separator] = '.';
  double value = 0;
  if (std::from_chars(dotted.data(), dotted.data() + dotted.size(), value).ec != std::errc()) {
    return nullptr;
  }
  return value;
}

Json ListJson(const ReportList& list, char decimal_separator) {
  Json columns = Json::array();
  for (const Column& column : list.columns) {
    columns.push_back({{"caption", Utf8From1252(column.caption)},
                       {"align", column.align == Align::Left ? "left" : "right"}});
  }
  Json rows = Json::array();
  for (const Row& row : list.rows) {
    Json out = Json::object();
    out["caption"] = Utf8From1252(row.caption);
    if (row.caption == kTotalRowCaption) out["total"] = true;
    Json cells = Json::array();
    Json texts = Json::object();
    for (size_t i = 0; i < row.cells.size(); ++i) {
      Json cell = CellJson(row.cells[i], decimal_separator);
      if (cell.is_null() && !row.cells[i].empty()) {
        const size_t column = i + 1;
        const std::string key = column < list.columns.size()
                                    ? Utf8From1252(list.columns[column].caption)
                                    : std::to_string(column);
        texts[key] = Utf8From1252(row.cells[i]);
      }
      cells.push_back(std::move(cell));
    }
    out["cells"] = std::move(cells);
    if (!texts.empty()) out["texts"] = std::move(texts);
    rows.push_back(std::move(out));
  }
  Json result = Json::object();
  result["columns"] = std::move(columns);
  result["rows"] = std::move(rows);
  return result;
}

Json ListsJson(const std::vector<const ReportList*>& lists, char decimal_separator) {
  Json result = Json::object();
  for (const ReportList* list : lists) {
    result[Utf8From1252(list->name)] = ListJson(*list, decimal_separator);
  }
  return result;
}

Json JsonDocument() {
  Json document = Json::object();
  document["format"] = kJsonFormat;
  return document;
}

std::string JsonText(const Json& document) { return document.dump(2) + "\n"; }

}  // namespace barvik
