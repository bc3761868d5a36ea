#include "report/PageWriter.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Encoding.h"
#include "core/FileError.h"
#include "core/Text1252.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"

namespace barvik {
namespace {

constexpr std::string_view kPlayerPlaceholder = "%PLAYER%";

// The lines of the template `name` of the template folder, read now or kept from an earlier
// page of the run. A template that cannot be read is not kept: every page that needs it fails.
std::vector<std::string> ReadTemplate(const PageSettings& settings, std::string_view name) {
  if (settings.templates) {
    auto& kept = settings.templates->by_name;
    if (auto it = kept.find(name); it != kept.end()) return it->second;
  }
  const std::string path = (std::filesystem::path(settings.template_folder) / name).string();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw FileError::CannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::CannotOpen(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError::CannotOpen(path);
  std::vector<std::string> lines = SplitTemplateLines(WithLogCharset(std::move(text)));
  if (settings.templates) settings.templates->by_name.emplace(std::string(name), lines);
  return lines;
}

// The page under construction: lines joined by CR LF, the last one included.
class Page {
 public:
  void Add(std::string_view line) {
    text_ += line;
    text_ += "\r\n";
  }
  // One line from pieces, so that no temporary string is built per cell.
  template <typename... Pieces>
  void AddJoined(const Pieces&... pieces) {
    (text_.append(pieces), ...);
    text_ += "\r\n";
  }
  // One line with the escaped `text` between `before` and `after`.
  void AddEscaped(std::string_view before, std::string_view text, std::string_view after) {
    text_ += before;
    AppendEscaped(text);
    text_ += after;
    text_ += "\r\n";
  }
  void AppendEscaped(std::string_view text);
  void Append(std::string_view text) { text_ += text; }
  void AddAll(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Add(line);
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

void Page::AppendEscaped(std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view entity;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      default:
        continue;
    }
    text_.append(text.substr(start, i - start));
    text_ += entity;
    start = i + 1;
  }
  text_.append(text.substr(start));
}

std::string PrefixOf(const PageSettings& settings, std::string_view name) {
  return settings.player_prefix ? settings.player_prefix(name) : PlayerFilePrefix(name);
}

// The cells of `row` under the columns after the first: one per column, empty where the row
// is short, so that every table row has as many cells as its heading.
template <typename Emit>
void ForEachCell(const ReportList& list, const Row& row, Emit emit) {
  for (size_t c = 1; c < list.columns.size(); ++c) {
    emit(ReportList::CellText(row, static_cast<int>(c)));
  }
}

void AddHeaderTable(Page& page, const ReportList& header) {
  page.Add("<tr bgcolor=\"white\">");
  for (const Column& column : header.columns) page.AddEscaped("<td>", column.caption, "</td>");
  page.Add("</tr>");
  page.Add("");
  for (const Row& row : header.rows) {
    page.AddEscaped("<tr align=right><td align=left>", row.caption, "</td>");
    ForEachCell(header, row,
                [&](std::string_view cell) { page.AddEscaped("<td>", cell, "</td>"); });
    page.Add("</tr>");
  }
}

void AddMainTable(Page& page, const ReportList& source, bool links,
                  std::string_view image_reference, const PageSettings& settings) {
  page.Add("");
  page.Add("<tr bgcolor=\"white\">");
  page.Add("<td>Lp.</td>");
  for (const Column& column : source.columns) page.AddEscaped("<td>", column.caption, "</td>");
  if (!image_reference.empty()) {
    page.AddEscaped("<td rowspan=99 valign=top><img src=\"", image_reference,
                    "\" alt=\"Shot Accuracy\"></td>");
  }
  page.Add("</tr>");
  page.Add("");

  int number = 1;
  for (const Row& row : source.rows) {
    const bool total = row.caption == kTotalRowCaption;
    page.Add("<tr align=right>");
    if (total) {
      page.Add("<td align=left> &nbsp; </td>");
    } else {
      page.AddJoined("<td align=left>", std::to_string(number++), " </td>");
    }
    if (links && !total) {
      page.Append("<td align=left><a href=\"");
      page.Append(PrefixOf(settings, row.caption));
      page.AddEscaped("weapon.html\">", row.caption, "</a></td>");
    } else {
      page.AddEscaped("<td align=left>", row.caption, "</td>");
    }
    ForEachCell(source, row,
                [&](std::string_view cell) { page.AddEscaped("<td>", cell, "</td>"); });
    page.Add("</tr>");
  }
  page.Add("");
}

}  // namespace

FooterTime SystemFooterTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[128] = "";
  char time[128] = "";
  std::strftime(date, sizeof date, "%x", &local);
  std::strftime(time, sizeof time, "%X", &local);
  return {date, time};
}

std::string EscapeHtml(std::string_view text) {
  Page page;
  page.AppendEscaped(text);
  return page.Take();
}

std::string WithLogCharset(std::string text) {
  const Encoding& encoding = LogEncoding();
  if (encoding.is_default()) return text;
  static constexpr std::string_view kDeclared = "charset=windows-1252";
  const std::string lower = LowerCopy(text);
  std::string out;
  size_t from = 0;
  for (size_t at = lower.find(kDeclared); at != std::string::npos;
       at = lower.find(kDeclared, from)) {
    out.append(text, from, at - from);
    out += "charset=";
    out += encoding.charset();
    from = at + kDeclared.size();
  }
  out.append(text, from);
  return out;
}

std::vector<std::string> SplitTemplateLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string BuildHTMLPage(const ReportList& source, std::string_view title, bool links,
                          std::string_view image_reference, const ReportList* header,
                          const PageSettings& settings) {
  Page page;
  page.AddAll(ReadTemplate(settings, "globhtml1.dat"));
  page.AddJoined("<b>", title, "</b>");
  if (header == nullptr) {
    page.AddAll(ReadTemplate(settings, "globhtml2.dat"));
  } else {
    const std::string prefix =
        header->rows.empty() ? std::string() : PrefixOf(settings, header->rows.front().caption);
    for (std::string& line : ReadTemplate(settings, "globhtml3.dat")) {
      if (size_t at = line.find(kPlayerPlaceholder); at != std::string::npos) {
        line.replace(at, kPlayerPlaceholder.size(), prefix);
      }
      page.Add(line);
    }
    AddHeaderTable(page, *header);
    page.AddAll(ReadTemplate(settings, "globhtml4.dat"));
    page.Add("<hr>");
  }
  AddMainTable(page, source, links, image_reference, settings);
  page.AddAll(ReadTemplate(settings, "globhtml5.dat"));
  const FooterTime now = settings.clock ? settings.clock() : SystemFooterTime();
  if (settings.maker_address.empty()) {
    page.AddJoined("     Statistics generated ", now.date, "  ", now.time,
                   "<br>with Barvik  build ", settings.build_text);
  } else {
    const std::string address = EscapeHtml(settings.maker_address);
    page.AddJoined("     Statistics generated ", now.date, "  ", now.time,
                   "<br>with Barvik  build ", settings.build_text, " &nbsp; &nbsp; <a href=\"",
                   address, "\">", address, "</a>");
  }
  page.AddAll(ReadTemplate(settings, "globhtml6.dat"));
  return page.Take();
}

void WriteHTMLPage(const ReportList& source, std::string_view title, const std::string& file_path,
                   bool links, std::string_view image_reference, const ReportList* header,
                   const PageSettings& settings, ReportOutput& output) {
  output.Write(file_path, BuildHTMLPage(source, title, links, image_reference, header, settings));
}

}  // namespace barvik
