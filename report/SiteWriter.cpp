#include "report/SiteWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/NumberFormat.h"
#include "report/AtomicFile.h"
#include "report/PageWriter.h"
#include "report/ReportFiles.h"
#include "report/SiteText.h"
#include "stats/Captions.h"

namespace barvik {
namespace {

// Best-ratio entries need this many kills, so that two lucky kills do not top the list.
constexpr double kMinKillsForRatio = 20;
constexpr size_t kTopEntries = 10;
constexpr size_t kTopKeys = 5;
constexpr size_t kShownSpellings = 5;

// Viridis, light to dark: ordered in lightness and readable with every common kind of colour
// blindness. The first three take dark text, the others white.
constexpr std::array<std::string_view, 7> kHeat = {"#fde725", "#a0da39", "#4ac16d", "#1fa187",
                                                   "#277f8e", "#365c8d", "#46327e"};

// Appends the pieces to `out`, without the temporaries that chains of "+" would make.
template <typename... Pieces>
void Add(std::string& out, const Pieces&... pieces) {
  (out.append(pieces), ...);
}

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::optional<double> Number(std::string_view text, char separator) {
  if (text.empty() || text == kNotAvailable) return std::nullopt;
  return ParseDecimal(text, separator);
}

// The value of column `caption` in `row`, 0 when the list has no such column or no number.
double CellValue(const ReportList& list, const Row& row, std::string_view caption, char sep) {
  const int column = list.ColumnIndex(caption);
  if (column < 0) return 0;
  return Number(ReportList::CellText(row, column), sep).value_or(0);
}

const Row* FindRow(const ReportList& list, std::string_view caption) {
  for (const Row& row : list.rows) {
    if (row.caption == caption) return &row;
  }
  return nullptr;
}

std::string CaptionHtml(const FriendlyNames& friendly, const NameKind* kind, std::string_view raw) {
  const std::string* nice = kind != nullptr ? friendly.Find(*kind, raw) : nullptr;
  if (nice == nullptr) return HtmlText(raw);
  std::string out;
  Add(out, "<span title=\"", HtmlText(raw), "\">", HtmlUtf8(*nice), "</span>");
  return out;
}

std::string TitleOf(std::string_view server) {
  const std::string plain = WithoutColourCodes(server);
  return plain.empty() ? std::string("Server statistics") : HtmlText(plain);
}

std::string LinkTo(const StringMap<std::string>* prefixes, std::string_view root,
                   std::string_view name, const std::string& text) {
  if (prefixes == nullptr) return text;
  auto it = prefixes->find(name);
  if (it == prefixes->end()) return text;
  return "<a href=\"" + std::string(root) + HtmlText(it->second) + ".html\">" + text + "</a>";
}

// Rows of `list` other than the total row, ranked by the number of column `caption`,
// highest first; ties keep the list's order.
std::vector<const Row*> TopRows(const ReportList& list, std::string_view caption, char sep,
                                size_t count, double min_kills = 0) {
  std::vector<std::pair<double, const Row*>> ranked;
  const int column = list.ColumnIndex(caption);
  const int kills = list.ColumnIndex(caption::kKills);
  if (column < 0) return {};
  for (const Row& row : list.rows) {
    if (row.caption == kTotalRowCaption) continue;
    auto value = Number(ReportList::CellText(row, column), sep);
    if (!value) continue;
    if (min_kills > 0 &&
        (kills < 0 || Number(ReportList::CellText(row, kills), sep).value_or(0) < min_kills)) {
      continue;
    }
    ranked.emplace_back(*value, &row);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<const Row*> rows;
  for (size_t i = 0; i < ranked.size() && i < count; ++i) rows.push_back(ranked[i].second);
  return rows;
}

// Where each body part lies on the figure (x, y, width, height in a 240 x 420 box; the
// player faces the reader, so his right is on the left).
struct Part {
  std::string_view key;
  int x, y, w, h;
};
constexpr std::array<Part, 16> kParts = {{
    {"head", 92, 8, 56, 58},
    {"neck", 104, 66, 32, 18},
    {"torso_upper", 76, 84, 88, 74},
    {"torso_lower", 80, 158, 80, 58},
    {"right_arm_upper", 32, 86, 42, 66},
    {"left_arm_upper", 166, 86, 42, 66},
    {"right_arm_lower", 24, 154, 42, 62},
    {"left_arm_lower", 174, 154, 42, 62},
    {"right_hand", 20, 218, 42, 28},
    {"left_hand", 178, 218, 42, 28},
    {"right_leg_upper", 74, 218, 44, 80},
    {"left_leg_upper", 122, 218, 44, 80},
    {"right_leg_lower", 76, 300, 42, 74},
    {"left_leg_lower", 122, 300, 42, 74},
    {"right_foot", 62, 376, 56, 24},
    {"left_foot", 122, 376, 56, 24},
}};

}  // namespace

std::string SiteTableHtml(const ReportList& list, const FriendlyNames& friendly,
                          const NameKind* kind, const StringMap<std::string>* prefixes,
                          std::string_view link_root, std::string_view id, bool row_anchors) {
  std::string out = "<div class=\"scroll\"><table class=\"data\" id=\"";
  out += id;
  out += "\">\n<thead><tr>";
  for (const Column& column : list.columns) {
    // The first column names the rows; only the figures' columns get an explanation.
    const std::string* help = &column == &list.columns.front()
                                  ? nullptr
                                  : friendly.Find(NameKind::Column, column.caption);
    out += "<th";
    if (help != nullptr) Add(out, " title=\"", HtmlUtf8(*help), "\"");
    Add(out, ">", HtmlText(column.caption), "</th>");
  }
  out += "</tr></thead>\n";
  auto row_html = [&](const Row& row, bool total) {
    std::string line = "<tr><th";
    if (!total && kind != nullptr && row_anchors)
      line += " id=\"" + std::string(id) + "-" + HtmlText(PlayerFilePrefix(row.caption)) + "\"";
    line += ">";
    if (total) {
      line += "All";
    } else if (prefixes != nullptr) {
      line += LinkTo(prefixes, link_root, row.caption, HtmlText(row.caption));
    } else {
      line += CaptionHtml(friendly, kind, row.caption);
    }
    // End tags of cells and rows are left out where HTML allows it: the large tables are
    // a third smaller without them.
    for (size_t c = 1; c < list.columns.size(); ++c) {
      line += "<td>";
      line += HtmlText(ReportList::CellText(row, static_cast<int>(c)));
    }
    line += "\n";
    return line;
  };
  if (const Row* total = FindRow(list, kTotalRowCaption)) {
    out += "<tbody class=\"total\">" + row_html(*total, true) + "</tbody>\n";
  }
  out += "<tbody>\n";
  for (const Row& row : list.rows) {
    if (row.caption != kTotalRowCaption) out += row_html(row, false);
  }
  out += "</tbody></table></div>\n";
  return out;
}

std::string BodyFigureSvg(const ReportList& list, std::string_view column,
                          const FriendlyNames& friendly, char decimal_separator,
                          std::string_view caption) {
  double high = 0;
  std::array<double, kParts.size()> values{};
  for (size_t i = 0; i < kParts.size(); ++i) {
    const Row* row = FindRow(list, kParts[i].key);
    values[i] = row != nullptr ? CellValue(list, *row, column, decimal_separator) : 0;
    high = std::max(high, values[i]);
  }
  std::string out =
      "<figure class=\"body\"><svg viewBox=\"0 0 240 430\" role=\"img\" aria-label=\"" +
      HtmlText(caption) + "\">";
  for (size_t i = 0; i < kParts.size(); ++i) {
    const Part& p = kParts[i];
    size_t step = 0;
    if (high > 0) {
      step = static_cast<size_t>(std::lround(values[i] / high * (kHeat.size() - 1)));
    }
    const std::string_view fill = values[i] > 0 ? kHeat[step] : std::string_view("#d0d4da");
    const bool dark = values[i] > 0 && step >= 3;
    const std::string* nice = friendly.Find(NameKind::Location, p.key);
    const std::string label = nice != nullptr ? HtmlUtf8(*nice) : HtmlText(p.key);
    // Corners and the label colour come from the style sheet ("d": a dark fill, white text).
    Add(out, dark ? "<g class=\"d\"><title>" : "<g><title>", label, ": ", Format("%.2f", values[i]),
        "%</title><rect x=\"", std::to_string(p.x), "\" y=\"", std::to_string(p.y), "\" width=\"",
        std::to_string(p.w), "\" height=\"", std::to_string(p.h),
        p.key == "head" ? "\" rx=\"26" : "", "\" fill=\"", fill, "\"/><text x=\"",
        std::to_string(p.x + p.w / 2), "\" y=\"", std::to_string(p.y + p.h / 2 + 4), "\">",
        Format("%.1f", values[i]), "</text></g>");
  }
  const Row* none = FindRow(list, "none");
  const double none_value = none != nullptr ? CellValue(list, *none, column, decimal_separator) : 0;
  out += "<text x=\"120\" y=\"422\" class=\"note\">no location: " + Format("%.1f", none_value) +
         "</text></svg><figcaption>" + HtmlText(caption) + " (" + HtmlText(column) +
         "), darker is more</figcaption></figure>\n";
  return out;
}

std::string RatioChartSvg(const ReportList& turns, char decimal_separator) {
  const int ratio_column = turns.ColumnIndex(caption::kRatio);
  if (turns.rows.empty() || ratio_column < 0) return "";
  std::vector<std::optional<double>> values;
  double high = 1;
  for (const Row& row : turns.rows) {
    auto v = Number(ReportList::CellText(row, ratio_column), decimal_separator);
    values.push_back(v);
    if (v) high = std::max(high, *v);
  }
  // The axis fits the data: a top of 1, 2, 2.5 or 5 times a power of ten, above the highest.
  const double magnitude = std::pow(10.0, std::floor(std::log10(high)));
  double top = magnitude;
  for (double f : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    top = f * magnitude;
    if (top >= high) break;
  }
  const double left = 44, right = 628, upper = 14, lower = 206;
  const size_t n = values.size();
  auto x_of = [&](size_t i) {
    return n == 1 ? (left + right) / 2 : left + (right - left) * i / (n - 1);
  };
  auto y_of = [&](double v) { return lower - (lower - upper) * v / top; };

  std::string out =
      "<figure class=\"chart\"><svg viewBox=\"0 0 640 240\" role=\"img\" aria-label=\"Ratio per "
      "turn\">";
  for (int t = 0; t <= 4; ++t) {
    const double v = top * t / 4;
    const std::string y = Format("%.1f", y_of(v));
    Add(out, "<line class=\"grid\" x1=\"", Format("%.0f", left), "\" x2=\"", Format("%.0f", right),
        "\" y1=\"", y, "\" y2=\"", y, "\"/><text class=\"axis\" x=\"38\" y=\"", y,
        "\" dy=\"4\" text-anchor=\"end\">", Format(top < 4 ? "%.2f" : "%.1f", v), "</text>");
  }
  const std::string one = Format("%.1f", y_of(1));
  out += "<line class=\"ref\" x1=\"" + Format("%.0f", left) + "\" x2=\"" + Format("%.0f", right) +
         "\" y1=\"" + one + "\" y2=\"" + one + "\"/>";
  // Turn numbers under the axis, at most about twelve of them.
  const size_t every = std::max<size_t>(1, (n + 11) / 12);
  for (size_t i = 0; i < n; i += every) {
    const auto turn = ParseWholeNumber(turns.rows[i].caption);
    out += "<text class=\"axis\" x=\"" + Format("%.1f", x_of(i)) +
           "\" y=\"224\" text-anchor=\"middle\">" +
           (turn ? std::to_string(*turn) : HtmlText(turns.rows[i].caption)) + "</text>";
  }
  out += "<text class=\"axis\" x=\"336\" y=\"238\" text-anchor=\"middle\">turn</text>";
  // The line breaks where a turn has no ratio (no deaths).
  std::string path;
  bool pen_down = false;
  for (size_t i = 0; i < n; ++i) {
    if (!values[i]) {
      pen_down = false;
      continue;
    }
    path += pen_down ? "L" : "M";
    path += Format("%.1f", x_of(i)) + " " + Format("%.1f", y_of(*values[i]));
    pen_down = true;
  }
  out += "<path class=\"line\" d=\"" + path + "\"/>";
  for (size_t i = 0; i < n; ++i) {
    if (!values[i]) continue;
    out += "<circle cx=\"" + Format("%.1f", x_of(i)) + "\" cy=\"" +
           Format("%.1f", y_of(*values[i])) + "\" r=\"3\"><title>turn " +
           HtmlText(turns.rows[i].caption) + ": " +
           HtmlText(ReportList::CellText(turns.rows[i], ratio_column)) + "</title></circle>";
  }
  out +=
      "</svg><figcaption>Kills per death in each turn; the dashed line is "
      "1</figcaption></figure>\n";
  return out;
}

SiteWriter::SiteWriter(SiteSettings settings)
    : settings_(std::move(settings)),
      friendly_(FriendlyNames::Load(settings_.template_folder)),
      global_json_(Json::object()) {
  // Staged files have their folders made inside the staging folder, so that a run stopped
  // early leaves none in the report folder; without staging they are made here. A folder
  // that cannot be made fails the first write with its path.
  if (!StagingArea::InForce()) {
    std::error_code ec;
    std::filesystem::create_directories(
        settings_.report_folder + std::string(kSiteFolder) + std::string(kProfileFolder), ec);
  }
}

void SiteWriter::Write(std::string_view relative_path, std::string_view bytes) const {
  WriteFileAtomically(
      settings_.report_folder + std::string(kSiteFolder) + std::string(relative_path), bytes);
}

std::string SiteWriter::ProfilePath(std::string_view name) const {
  if (settings_.prefixes == nullptr) return "";
  auto it = settings_.prefixes->find(name);
  if (it == settings_.prefixes->end()) return "";
  return std::string(kProfileFolder) + it->second + ".html";
}

std::string SiteWriter::PageHead(std::string_view title, std::string_view root) const {
  const std::string r(root);
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<meta name=\"color-scheme\" content=\"light dark\">\n<title>" +
         std::string(title) + "</title>\n<link rel=\"stylesheet\" href=\"" + r +
         "site.css\">\n</head>\n<body>\n<header class=\"top\"><a class=\"server\" href=\"" + r +
         "index.html\">" +
         (settings_.server_name.empty() ? std::string("Server statistics")
                                        : ColouredNameHtml(settings_.server_name)) +
         "</a>\n<nav><a href=\"" + r + "index.html\">Home</a> <a href=\"" + r +
         "players.html\">Players</a> <a href=\"" + r + "weapons.html\">Weapons</a> <a href=\"" + r +
         "maps.html\">Maps</a> <a href=\"" + r + "gametypes.html\">Game types</a> <a href=\"" + r +
         "../index.html\">Classic pages</a></nav></header>\n<main>\n";
}

std::string SiteWriter::PageFoot(std::string_view root, bool script) const {
  std::string out = "</main>\n<footer>Generated " + HtmlText(settings_.generated) +
                    " with Barvik build " + HtmlText(settings_.build_text) +
                    " &middot; <a href=\"" + std::string(root) +
                    "stats.json\">all numbers as JSON</a></footer>\n";
  if (script) out += "<script src=\"" + std::string(root) + "site.js\"></script>\n";
  out += "</body>\n</html>\n";
  return out;
}

void SiteWriter::WriteGlobal(const GlobalLists& lists) {
  global_ = lists;
  const std::string server = TitleOf(settings_.server_name);
  const char sep = settings_.decimal_separator;

  // The style sheet and the script are installation data like the classic templates; a
  // missing one leaves the pages plain, still complete.
  for (std::string_view file : {"site.css", "site.js"}) {
    std::ifstream in(std::filesystem::path(settings_.template_folder) / file, std::ios::binary);
    if (!in) continue;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Write(file, bytes);
  }

  std::string page = PageHead("Players - " + server, "");
  page +=
      "<h1>Players</h1>\n<p class=\"tools\" hidden><label>Find a player <input type=\"search\" "
      "id=\"filter\" autocomplete=\"off\" placeholder=\"name\"></label> <output id=\"shown\" "
      "for=\"filter\"></output></p>\n<p class=\"hint\">Select a column heading to sort by it; "
      "select it again to reverse the order.</p>\n";
  page += SiteTableHtml(*lists.players, friendly_, nullptr, settings_.prefixes, kProfileFolder,
                        "players");
  page += PageFoot("", true);
  Write("players.html", page);

  const NameKind weapon = NameKind::Weapon, map = NameKind::Map, type = NameKind::GameType;
  const struct {
    const ReportList* list;
    const NameKind* kind;
    std::string_view file, heading, id;
  } pages[] = {{lists.weapons, &weapon, "weapons.html", "Weapons", "w"},
               {lists.maps, &map, "maps.html", "Maps", "m"},
               {lists.game_types, &type, "gametypes.html", "Game types", "g"}};
  for (const auto& p : pages) {
    std::string text = PageHead(std::string(p.heading) + " - " + server, "");
    text += "<h1>" + std::string(p.heading) + "</h1>\n";
    text += SiteTableHtml(*p.list, friendly_, p.kind, nullptr, "", p.id, true);
    text += PageFoot("", true);
    Write(p.file, text);
  }

  global_json_ =
      ListsJson({lists.players, lists.weapons, lists.maps, lists.game_types, lists.locations}, sep);
}

void SiteWriter::WritePlayer(const std::string& name, const PlayerLists& lists) {
  const std::string path = ProfilePath(name);
  if (path.empty()) return;
  const char sep = settings_.decimal_separator;
  const std::string plain = HtmlText(name);
  std::string page = PageHead(plain + " - player - " + TitleOf(settings_.server_name), "../");

  auto spelled = settings_.spellings.find(name);
  const bool has_forms = spelled != settings_.spellings.end() && !spelled->second.empty();
  page += "<h1 class=\"name\">" +
          (has_forms ? "<span class=\"coloured\">" + ColouredNameHtml(spelled->second[0].first) +
                           "</span> "
                     : std::string()) +
          "<small>" + plain + "</small></h1>\n";
  if (has_forms) {
    page += "<p class=\"spellings\">Seen as ";
    for (size_t i = 0; i < spelled->second.size() && i < kShownSpellings; ++i) {
      const auto& [form, count] = spelled->second[i];
      page += (i ? ", " : "") + std::string("<span class=\"coloured\">") + ColouredNameHtml(form) +
              "</span> (" + std::to_string(count) + " joins)";
    }
    page += "</p>\n";
  }

  // The figures of his header row as cards.
  if (lists.header != nullptr && !lists.header->rows.empty()) {
    const Row& row = lists.header->rows.front();
    page += "<dl class=\"cards\">";
    for (size_t c = 1; c < lists.header->columns.size(); ++c) {
      const std::string& caption = lists.header->columns[c].caption;
      const std::string* help = friendly_.Find(NameKind::Column, caption);
      page += "<div" + (help ? " title=\"" + HtmlUtf8(*help) + "\"" : std::string()) + "><dt>" +
              HtmlText(caption) + "<dd>" +
              HtmlText(ReportList::CellText(row, static_cast<int>(c))) + "</div>";
    }
    page += "</dl>\n";
  }

  const NameKind weapon = NameKind::Weapon, map = NameKind::Map, type = NameKind::GameType,
                 location = NameKind::Location;
  page +=
      "<nav class=\"sections\"><a href=\"#weapons\">Weapons</a> <a href=\"#body\">Body "
      "locations</a> <a href=\"#maps\">Maps</a> <a href=\"#gametypes\">Game types</a> <a "
      "href=\"#opponents\">Opponents</a> <a href=\"#turns\">Turns</a></nav>\n";
  page += "<h2 id=\"weapons\">Weapons</h2>\n" +
          SiteTableHtml(*lists.weapons, friendly_, &weapon, nullptr, "", "pw");
  page +=
      "<h2 id=\"body\">Body locations</h2>\n<div class=\"figures\">" +
      BodyFigureSvg(*lists.given, caption::kKillsPercent, friendly_, sep, "Where his kills hit") +
      BodyFigureSvg(*lists.taken, caption::kDeadsPercent, friendly_, sep,
                    "Where he was hit when killed") +
      "</div>\n<h3>Given</h3>\n" +
      SiteTableHtml(*lists.given, friendly_, &location, nullptr, "", "pa") + "<h3>Taken</h3>\n" +
      SiteTableHtml(*lists.taken, friendly_, &location, nullptr, "", "pe");
  page += "<h2 id=\"maps\">Maps</h2>\n" +
          SiteTableHtml(*lists.maps, friendly_, &map, nullptr, "", "pm");
  page += "<h2 id=\"gametypes\">Game types</h2>\n" +
          SiteTableHtml(*lists.game_types, friendly_, &type, nullptr, "", "pg");
  page += "<h2 id=\"opponents\">Opponents</h2>\n" +
          SiteTableHtml(*lists.opponents, friendly_, nullptr, settings_.prefixes, "", "po");
  page += "<h2 id=\"turns\">Turns</h2>\n" + RatioChartSvg(*lists.turns, sep) +
          SiteTableHtml(*lists.turns, friendly_, nullptr, nullptr, "", "pt");
  page += PageFoot("../", true);
  Write(path, page);

  if (const Row* head = FindRow(*lists.given, "head")) {
    head_shots_.push_back({name, CellValue(*lists.given, *head, caption::kKills, sep)});
  }
  Json player = Json::object();
  player["name"] = Utf8From1252(name);
  player["profile"] = path;
  player["lists"] = ListsJson({lists.header, lists.weapons, lists.given, lists.taken, lists.maps,
                               lists.game_types, lists.opponents, lists.turns},
                              sep);
  // Kept as text: the tree of every player's lists would weigh several times its dump.
  if (!players_json_text_.empty()) players_json_text_ += ',';
  players_json_text_ += player.dump();
}

void SiteWriter::Finish() {
  const char sep = settings_.decimal_separator;
  const std::string server = TitleOf(settings_.server_name);
  std::string page = PageHead("Statistics - " + server, "");
  page += settings_.server_name.empty()
              ? std::string("<h1>Server statistics</h1>\n")
              : "<h1><span class=\"coloured\">" + ColouredNameHtml(settings_.server_name) +
                    "</span></h1>\n";

  auto keys = [](const ReportList* list) {
    size_t n = 0;
    if (list != nullptr) {
      for (const Row& row : list->rows) n += row.caption != kTotalRowCaption;
    }
    return n;
  };
  double kills = 0;
  if (global_.players != nullptr) {
    if (const Row* total = FindRow(*global_.players, kTotalRowCaption)) {
      kills = CellValue(*global_.players, *total, caption::kKills, sep);
    }
  }
  page += "<dl class=\"cards\"><div><dt>Turns<dd>" + std::to_string(settings_.turns) +
          "</div><div><dt>Maps<dd>" + std::to_string(keys(global_.maps)) +
          "</div><div><dt>Game types<dd>" + std::to_string(keys(global_.game_types)) +
          "</div><div><dt>Players<dd>" + std::to_string(keys(global_.players)) +
          "</div><div><dt>Kills<dd>" + Format("%.0f", kills) + "</div></dl>\n";

  page += "<div class=\"tops\">\n";
  auto player_top = [&](std::string_view heading, const std::vector<const Row*>& rows,
                        std::string_view column) {
    page += "<section><h2>" + std::string(heading) + "</h2><ol>";
    for (const Row* row : rows) {
      page += "<li>" +
              LinkTo(settings_.prefixes, kProfileFolder, row->caption, HtmlText(row->caption)) +
              " <span class=\"num\">" +
              HtmlText(ReportList::CellText(*row, global_.players->ColumnIndex(column))) +
              "</span>";
    }
    page += "</ol></section>\n";
  };
  if (global_.players != nullptr) {
    player_top("Most kills", TopRows(*global_.players, caption::kKills, sep, kTopEntries),
               caption::kKills);
    player_top("Best ratio (" + Format("%.0f", kMinKillsForRatio) + " kills or more)",
               TopRows(*global_.players, caption::kRatio, sep, kTopEntries, kMinKillsForRatio),
               caption::kRatio);
  }
  std::stable_sort(head_shots_.begin(), head_shots_.end(),
                   [](const Ranked& a, const Ranked& b) { return a.value > b.value; });
  page += "<section><h2>Most head shots</h2><ol>";
  for (size_t i = 0; i < head_shots_.size() && i < kTopEntries; ++i) {
    page += "<li>" +
            LinkTo(settings_.prefixes, kProfileFolder, head_shots_[i].name,
                   HtmlText(head_shots_[i].name)) +
            " <span class=\"num\">" + Format("%.0f", head_shots_[i].value) + "</span>";
  }
  page += "</ol></section>\n";
  auto key_top = [&](std::string_view heading, const ReportList* list, NameKind kind,
                     std::string_view file, std::string_view id) {
    if (list == nullptr) return;
    page += "<section><h2>" + std::string(heading) + "</h2><ol>";
    for (const Row* row : TopRows(*list, caption::kKills, sep, kTopKeys)) {
      page += "<li><a href=\"" + std::string(file) + "#" + std::string(id) + "-" +
              HtmlText(PlayerFilePrefix(row->caption)) + "\">" +
              CaptionHtml(friendly_, &kind, row->caption) + "</a> <span class=\"num\">" +
              HtmlText(ReportList::CellText(*row, list->ColumnIndex(caption::kKills))) +
              " kills</span>";
    }
    page += "</ol></section>\n";
  };
  key_top("Most used weapons", global_.weapons, NameKind::Weapon, "weapons.html", "w");
  key_top("Most played maps", global_.maps, NameKind::Map, "maps.html", "m");
  page += "</div>\n";
  if (global_.locations != nullptr) {
    page += "<h2>Where the kills hit</h2>\n" +
            BodyFigureSvg(*global_.locations, caption::kKillsPercent, friendly_, sep, "All kills");
  }
  page += PageFoot("", false);
  Write("index.html", page);

  Json document = JsonDocument();
  document["server"] = Utf8From1252(settings_.server_name);
  document["generated"] = Utf8From1252(settings_.generated);
  document["turns"] = settings_.turns;
  document["lists"] = std::move(global_json_);
  // The players' array is the document's last member: its dump ends in "[]}", and the
  // players' texts, comma-separated, go between the brackets as a dump of the whole would.
  document["players"] = Json::array();
  // Put together in the players' own buffer, so no second copy of them is ever held.
  std::string text = std::move(players_json_text_);
  players_json_text_ = std::string();
  const std::string head = document.dump();
  text.insert(0, head, 0, head.size() - 2);
  text += "]}\n";
  Write("stats.json", text);
}

}  // namespace barvik
