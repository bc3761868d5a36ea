// Progress on a terminal: one line of "[#####     ] ..." rewritten in place on standard
// error, for reading the logs and for exporting the players.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace barvik {

class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err) : err_(err) {}

  // "[#####     ] 45% of 300 MB read": `done` bytes of `total`.
  void Reading(uint64_t done, uint64_t total);
  // "[#####     ] 12 of 345": `done` players of `total` exported.
  void Exporting(uint64_t done, uint64_t total);
  // Ends the line, when one was drawn.
  void Finish();

 private:
  void Draw(uint64_t done, uint64_t total);

  std::ostream& err_;
  bool shown_ = false;
};

}  // namespace barvik
