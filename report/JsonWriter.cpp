#include "report/JsonWriter.h"

#include <algorithm>
#include <charconv>
#include <utility>

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
    columns.push_back({{"caption", Utf8FromLog(column.caption)},
                       {"align", column.align == Align::Left ? "left" : "right"}});
  }
  Json rows = Json::array();
  for (const Row& row : list.rows) {
    Json out = Json::object();
    out["caption"] = Utf8FromLog(row.caption);
    if (row.caption == kTotalRowCaption) out["total"] = true;
    Json cells = Json::array();
    Json texts = Json::object();
    for (size_t i = 0; i < row.cells.size(); ++i) {
      Json cell = CellJson(row.cells[i], decimal_separator);
      if (cell.is_null() && !row.cells[i].empty()) {
        const size_t column = i + 1;
        const std::string key = column < list.columns.size()
                                    ? Utf8FromLog(list.columns[column].caption)
                                    : std::to_string(column);
        texts[key] = Utf8FromLog(row.cells[i]);
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
    result[Utf8FromLog(list->name)] = ListJson(*list, decimal_separator);
  }
  return result;
}

namespace {

// `text` as a JSON string the way Json::dump writes it: quotes, backslashes and control
// characters escaped, everything else (UTF-8 included) as it is.
void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[static_cast<unsigned char>(c) >> 4];
          out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void AppendListText(std::string& out, const ReportList& list, char decimal_separator) {
  out += "{\"columns\":[";
  for (size_t i = 0; i < list.columns.size(); ++i) {
    if (i > 0) out += ',';
    out += "{\"caption\":";
    AppendJsonString(out, Utf8FromLog(list.columns[i].caption));
    out += list.columns[i].align == Align::Left ? ",\"align\":\"left\"}" : ",\"align\":\"right\"}";
  }
  out += "],\"rows\":[";
  // A row's "texts" in the order a Json object keeps them: a key given twice keeps its first
  // place and its last value.
  std::vector<std::pair<std::string, std::string>> texts;
  for (size_t r = 0; r < list.rows.size(); ++r) {
    const Row& row = list.rows[r];
    if (r > 0) out += ',';
    out += "{\"caption\":";
    AppendJsonString(out, Utf8FromLog(row.caption));
    if (row.caption == kTotalRowCaption) out += ",\"total\":true";
    out += ",\"cells\":[";
    texts.clear();
    for (size_t i = 0; i < row.cells.size(); ++i) {
      if (i > 0) out += ',';
      const Json cell = CellJson(row.cells[i], decimal_separator);
      if (cell.is_number_integer()) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, cell.get<int64_t>()).ptr;
        out.append(digits, end);
      } else if (!cell.is_null()) {
        out += cell.dump();
      } else {
        out += "null";
        if (row.cells[i].empty()) continue;
        const size_t column = i + 1;
        std::string key = column < list.columns.size() ? Utf8FromLog(list.columns[column].caption)
                                                       : std::to_string(column);
        auto same = std::find_if(texts.begin(), texts.end(),
                                 [&key](const auto& text) { return text.first == key; });
        if (same != texts.end()) {
          same->second = Utf8FromLog(row.cells[i]);
        } else {
          texts.emplace_back(std::move(key), Utf8FromLog(row.cells[i]));
        }
      }
    }
    out += ']';
    if (!texts.empty()) {
      out += ",\"texts\":{";
      for (size_t t = 0; t < texts.size(); ++t) {
        if (t > 0) out += ',';
        AppendJsonString(out, texts[t].first);
        out += ':';
        AppendJsonString(out, texts[t].second);
      }
      out += '}';
    }
    out += '}';
  }
  out += "]}";
}

}  // namespace

std::string ListsJsonText(const std::vector<const ReportList*>& lists, char decimal_separator) {
  // Distinct list names, as every caller has them; a repeated name would be one member of a
  // Json object, so that case goes through the tree.
  for (size_t i = 0; i < lists.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (lists[i]->name == lists[j]->name) return ListsJson(lists, decimal_separator).dump();
    }
  }
  std::string out = "{";
  for (size_t i = 0; i < lists.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, Utf8FromLog(lists[i]->name));
    out += ':';
    AppendListText(out, *lists[i], decimal_separator);
  }
  out += '}';
  return out;
}

Json JsonDocument() {
  Json document = Json::object();
  document["format"] = kJsonFormat;
  return document;
}

std::string JsonText(const Json& document) { return document.dump(2) + "\n"; }

}  // namespace barvik
