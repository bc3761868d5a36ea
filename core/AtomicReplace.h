// Replacing a file whole and atomically, for files that are no report pages (the event cache's
// files, the render memo, the publish journal): the bytes go to a new file beside the target
// ("<path>.XXXXXX", mode 0600), which is renamed over it once whole. A reader sees the old file
// or the new one, never a part; a failure leaves the target as it was and no temporary file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace barvik {

// Takes bytes for the file being written; false when they could not be written.
using ByteSink = std::function<bool(const void* data, size_t size)>;

// Replaces `path` with what `write` puts into the sink it is given, a piece at a time, so a
// large file is never held whole in memory. `write` returns false to give up. False, with
// errno set, when it could not be done.
bool ReplaceFileStreamed(const std::string& path,
                         const std::function<bool(const ByteSink&)>& write);

// Replaces `path` with `bytes`, as above.
bool ReplaceFileWhole(const std::string& path, std::string_view bytes);

}  // namespace barvik
