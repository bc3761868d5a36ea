// The failure of a file operation, carrying the message the user sees: "Cannot open file
// <path>" or "Cannot create file <path>". The system's reason (strerror of the failing call),
// when known, is kept apart: the window shows the message alone, headless front ends append
// the reason.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace barvik {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  FileError(const std::string& message, std::string reason)
      : std::runtime_error(message), reason_(std::move(reason)) {}

  static FileError CannotOpen(const std::string& path) {
    return FileError("Cannot open file " + path);
  }
  // The same with a reason of our own ("not a regular file").
  static FileError CannotOpen(const std::string& path, std::string reason) {
    return FileError("Cannot open file " + path, std::move(reason));
  }
  // `error_number` is the errno of the failing call; 0 for no known reason.
  static FileError CannotCreate(const std::string& path, int error_number = 0) {
    FileError error("Cannot create file " + path);
    if (error_number != 0) error.reason_ = std::strerror(error_number);
    return error;
  }

  static FileError CannotCreate(const std::string& path, std::string reason) {
    return FileError("Cannot create file " + path, std::move(reason));
  }

  // "No space left on device", or empty.
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

}  // namespace barvik
