// Test helpers: a log written to a temporary file for the duration of a test, and a
// Workspace that has analysed it.
#pragma once

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Workspace.h"

namespace barvik::testing {

class TempLog {
 public:
  explicit TempLog(const std::string& text) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() / ("barvik-test-" + std::to_string(::getpid()) +
                                                      "-" + std::to_string(counter++) + ".log");
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~TempLog() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  TempLog(const TempLog&) = delete;
  TempLog& operator=(const TempLog&) = delete;

  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// The row of `list` with this caption, or nullptr.
inline const Row* FindRow(const ReportList& list, std::string_view caption) {
  for (const Row& r : list.rows) {
    if (r.caption == caption) return &r;
  }
  return nullptr;
}

// The cell of row `caption` in the column captioned `column` ("" when absent).
inline std::string Cell(const ReportList& list, std::string_view caption, std::string_view column) {
  const Row* row = FindRow(list, caption);
  int c = list.ColumnIndex(column);
  if (row == nullptr || c < 0) return "<none>";
  return std::string(ReportList::CellText(*row, c));
}

inline std::string Captions(const ReportList& list) {
  std::string out;
  for (const Row& r : list.rows) out += (out.empty() ? "" : "|") + r.caption;
  return out;
}

}  // namespace barvik::testing
