// The failure of a file operation, carrying the message the user sees: "Cannot open file
// <path>" or "Cannot create file <path>".
#pragma once

#include <stdexcept>
#include <string>

namespace barvik {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;

  static FileError CannotOpen(const std::string& path) {
    return FileError("Cannot open file " + path);
  }
  static FileError CannotCreate(const std::string& path) {
    return FileError("Cannot create file " + path);
  }
};

}  // namespace barvik
