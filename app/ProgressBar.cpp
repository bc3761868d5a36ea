#include "app/ProgressBar.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace barvik {
namespace {

constexpr uint64_t kWidth = 40;

}  // namespace

void ProgressBar::Draw(uint64_t done, uint64_t total) {
  const uint64_t filled = total > 0 ? kWidth * std::min(done, total) / total : kWidth;
  shown_ = true;
  err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] ";
}

void ProgressBar::Reading(uint64_t done, uint64_t total) {
  Draw(done, total);
  const uint64_t percent = total > 0 ? done * 100 / total : 100;
  err_ << percent << "% of " << (total + 999999) / 1000000 << " MB read" << std::flush;
}

void ProgressBar::Exporting(uint64_t done, uint64_t total) {
  Draw(done, total);
  err_ << done << " of " << total << std::flush;
}

void ProgressBar::Finish() {
  if (shown_) err_ << "\n";
  shown_ = false;
}

}  // namespace barvik
