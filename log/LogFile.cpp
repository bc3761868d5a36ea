#include "log/LogFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/FileError.h"
#include "log/LineFormat.h"

namespace barvik {
LogFile::LogFile(const std::string& file_name) : LogFile(std::vector<std::string>{file_name}) {}

LogFile::LogFile(const std::vector<std::string>& files, const ReadProgress& progress)
    : LogFile(files, progress, std::string()) {}

LogFile::LogFile(const std::vector<std::string>& files, const ReadProgress& progress,
                 const std::string& cache_folder) {
  // Every file is read on its own and its events joined to those before (as one reading of
  // all would number them), so that a file without a single known line can be named. A
  // missing or unreadable file fails the run before anything is read.
  std::vector<uint64_t> sizes;
  uint64_t total = 0;
  for (const std::string& file : files) {
    struct stat st {};
    OpenLogFile(file, st);
    file_ends_.push_back({file, 0, static_cast<int64_t>(st.st_mtim.tv_sec)});
    sizes.push_back(S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0);
    total += sizes.back();
  }
  uint64_t before = 0;  // the sizes of the files already read
  std::vector<size_t> unrecognised;
  try {
    for (size_t i = 0; i < files.size(); ++i) {
      EventStore store;
      EventStore& into = i == 0 ? events_ : store;
      const uint64_t before_lines = events_.LineCount();
      const CacheUse use =
          ReadThroughCache({files[i]}, cache_folder, into, [&](uint64_t done, uint64_t) {
            if (progress) progress(std::min(before + done, total), total);
          });
      cache_use_.bytes_read += use.bytes_read;
      cache_use_.files_reused += use.files_reused;
      cache_use_.files_grown += use.files_grown;
      cache_use_.files_read += use.files_read;
      cache_use_.cache_written += use.cache_written;
      cache_use_.bytes_checked += use.bytes_checked;
      for (ReadStretch s : use.stretches) {
        s.lines += before_lines;
        cache_use_.stretches.push_back(s);
      }
      if (cache_use_.refused.empty()) cache_use_.refused = use.refused;
      if (!into.HasKnownLines()) unrecognised.push_back(i);
      if (i > 0) events_.AppendStore(store);
      file_ends_[i].lines = events_.LineCount();
      before += sizes[i];
    }
    if (files.size() > 1) events_.Finish();
    // An empty file among others that hold events is a live log just rotated, no fault.
    const bool any_events = events_.HasKnownLines();
    for (size_t i : unrecognised) {
      if (!any_events || sizes[i] > 0) unrecognised_files_.push_back(files[i]);
    }
  } catch (const std::length_error& e) {
    // Beyond what 32-bit event positions and text ids address.
    throw FileError("Cannot read file " + (files.empty() ? std::string() : files.back()) + ": " +
                    e.what());
  }
}

LogFile::~LogFile() = default;

std::optional<uint64_t> LogFile::PrefixHash(uint32_t position, uint32_t texts,
                                            uint32_t settings) const {
  const std::array<uint32_t, 3> key = {position, texts, settings};
  std::lock_guard lock(prefix_hashes_->mutex);
  for (const auto& [k, hash] : prefix_hashes_->known) {
    if (k == key) return hash;
  }
  const std::optional<uint64_t> hash = events_.PrefixHash(position, texts, settings);
  prefix_hashes_->known.emplace_back(key, hash);
  return hash;
}

LogFile LogFile::FromText(std::string_view text) { return FromTexts({std::string(text)}); }

LogFile LogFile::FromTexts(const std::vector<std::string>& texts) {
  LogFile log;
  EventBuilder builder(log.events_);
  for (const std::string& text : texts) {
    LineSplitter splitter;
    splitter.Feed(text.data(), text.size(), builder);
    splitter.Finish(builder);
  }
  log.events_.Finish();
  return log;
}

const NameForms& LogFile::Forms() const {
  auto& forms = forms_[(IgnoreCase ? 1 : 0) + (IgnoreColors ? 2 : 0)];
  if (!forms) forms = std::make_unique<NameForms>(events_, IgnoreCase, IgnoreColors);
  return *forms;
}

const PlayerIndex& LogFile::Index() const {
  if (!index_) index_ = std::make_unique<PlayerIndex>(events_);
  return *index_;
}

std::string LogFile::NormaliseName(std::string_view text) const {
  std::string scratch;
  return std::string(NormaliseText(text, IgnoreCase, IgnoreColors, scratch));
}

}  // namespace barvik
