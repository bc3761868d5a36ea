// libFuzzer target: the page writer with random templates, lists and player names. Any crash,
// sanitizer report or broken page invariant is a finding. The invariants: every line of a page
// ends in CR LF, each list text appears escaped, and a player's file prefix holds only the bytes
// that file names may carry.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/FileError.h"
#include "core/ReportList.h"
#include "report/PageWriter.h"
#include "report/ReportFiles.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A template folder of this process, made once and rewritten for every input.
const std::filesystem::path& TemplateFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("barvik-page-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
  }();
  return folder;
}

// A random text as the log gives them: line ends never occur inside a field.
std::string RandomText(FuzzedDataProvider& in, size_t max_length) {
  std::string text = in.ConsumeRandomLengthString(max_length);
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return text;
}

void WriteTemplate(const std::string& name, const std::string& text) {
  std::ofstream out(TemplateFolder() / name, std::ios::binary | std::ios::trunc);
  out << text;
}

barvik::ReportList RandomList(FuzzedDataProvider& in, size_t max_columns, size_t max_rows) {
  std::vector<barvik::Column> columns;
  const size_t column_count = in.ConsumeIntegralInRange<size_t>(1, max_columns);
  for (size_t c = 0; c < column_count; ++c) {
    barvik::Column column;
    column.caption = RandomText(in, 16);
    column.width = in.ConsumeIntegralInRange<int>(-1, 300);
    column.align = in.ConsumeBool() ? barvik::Align::Left : barvik::Align::Right;
    columns.push_back(std::move(column));
  }
  barvik::ReportList list("ListViewFuzz", std::move(columns));
  const size_t row_count = in.ConsumeIntegralInRange<size_t>(0, max_rows);
  for (size_t r = 0; r < row_count; ++r) {
    barvik::Row row;
    // Now and then the total row, which never gets a link.
    row.caption = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? std::string(barvik::kTotalRowCaption)
                                                            : RandomText(in, 24);
    // Rows may be short: the writer pads them.
    const size_t cells = in.ConsumeIntegralInRange<size_t>(0, column_count - 1);
    for (size_t c = 0; c < cells; ++c) row.cells.push_back(RandomText(in, 12));
    list.rows.push_back(std::move(row));
  }
  return list;
}

bool EveryLineEndsInCrLf(const std::string& page) {
  if (!page.empty() && page.back() != '\n') return false;
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '\n' && (i == 0 || page[i - 1] != '\r')) return false;
    if (page[i] == '\r' && (i + 1 == page.size() || page[i + 1] != '\n')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace barvik;
  FuzzedDataProvider in(data, size);

  for (int i = 1; i <= 6; ++i) {
    WriteTemplate("globhtml" + std::to_string(i) + ".dat", in.ConsumeRandomLengthString(64));
  }
  const bool links = in.ConsumeBool();
  const bool with_header = in.ConsumeBool();
  const std::string title = RandomText(in, 32);
  const std::string image = in.ConsumeBool() ? RandomText(in, 16) : "";
  ReportList header = RandomList(in, 4, 1);
  ReportList source = RandomList(in, 8, 12);

  PageSettings settings;
  settings.template_folder = TemplateFolder().string();
  settings.clock = [] { return FooterTime{"01/02/03", "04:05:06"}; };

  std::string page;
  try {
    page = BuildHTMLPage(source, title, links, image, with_header ? &header : nullptr, settings);
  } catch (const FileError&) {
    return 0;  // a template that cannot be read is a reported failure, not a finding
  }
  Check(EveryLineEndsInCrLf(page));
  for (const Row& row : source.rows) {
    Check(page.find(EscapeHtml(row.caption)) != std::string::npos);
    for (const std::string& cell : row.cells) {
      Check(page.find(EscapeHtml(cell)) != std::string::npos);
    }
  }

  for (const Row& row : source.rows) {
    for (char c : PlayerFilePrefix(row.caption)) {
      const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '=' || c == '@' || c == '^' || c == '-';
      Check(allowed);
    }
  }
  return 0;
}
