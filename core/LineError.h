// Per-line failures of a scan. A scan catches a failure while it handles one line, reports it
// through a LineErrorReporter and goes on with the next line. The window shows the message in
// a message box; headless runs print it on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace barvik {

using LineErrorReporter = std::function<void(const std::string& message)>;

// "<scan>. Error in line : <line>\nidx \t<idx>\nn1 \t<n1>\nn2 \t<n2>"
inline std::string LineErrorMessage(std::string_view scan, size_t line, int64_t idx,
                                    std::string_view n1, std::string_view n2) {
  std::string m(scan);
  m += ". Error in line : ";
  m += std::to_string(line);
  m += "\nidx \t";
  m += std::to_string(idx);
  m += "\nn1 \t";
  m += n1;
  m += "\nn2 \t";
  m += n2;
  return m;
}

}  // namespace barvik
