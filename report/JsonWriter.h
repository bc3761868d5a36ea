// The JSON form of the report lists, for other programs: one document per command or export,
// UTF-8, every log text converted from Windows-1252. docs/json-format.md describes the
// schema. A list is
//   {"columns": [{"caption": ..., "align": "left"|"right"}, ...],
//    "rows": [{"caption": ..., "total": true (total row only), "cells": [...],
//              "texts": {column caption: original text, ...} (only where needed)}, ...]}
// A cell is a JSON number when its text is a whole number or a decimal number with the
// lists' decimal separator; otherwise (e.g. "n/a", "err", an empty cell) it is null and
// "texts" keeps its original text under the column's caption.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/ReportList.h"

namespace barvik {

// The version of the document layout, the value of its "format" field.
inline constexpr std::string_view kJsonFormat = "barvik-stats/1";

using Json = nlohmann::ordered_json;

// The number a cell text stands for, or null when it is no number.
Json CellJson(std::string_view text, char decimal_separator);

// One list in the form above.
Json ListJson(const ReportList& list, char decimal_separator);

// {list name: ListJson, ...} for `lists`, in their order.
Json ListsJson(const std::vector<const ReportList*>& lists, char decimal_separator);

// ListsJson(lists, decimal_separator).dump(), written straight as text: the players' lists of
// an export, where building each player's tree only to print it cost more than the rest of
// his stats.json entry.
std::string ListsJsonText(const std::vector<const ReportList*>& lists, char decimal_separator);

// A new document: {"format": kJsonFormat}.
Json JsonDocument();

// The document text: two-space indentation, a line end at the end.
std::string JsonText(const Json& document);

}  // namespace barvik
