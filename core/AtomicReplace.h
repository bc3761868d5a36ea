// Replacing a file whole and atomically, for every file Barvik writes (the report's files, the
// event cache's files, the render memo, the publish journal): the bytes go to a new file beside
// the target, which is renamed over it once whole. A reader sees the old file or the new one,
// never a part; a failure leaves the target as it was and no temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace barvik {

// How the temporary file is named and made.
enum class TemporaryStyle {
  // "<path>.XXXXXX", mode 0600: a file for this user alone (the caches, the journal).
  kPrivate,
  // ".<name>.<pid>-<n>.tmp", hidden beside the target, mode 0666 under the umask; a replaced
  // file's permission bits are kept: a report file that others read.
  kShared,
};

// The most bytes a kShared temporary name adds to the name of the file it stands for: a
// leading ".", then ".<pid>-<counter>.tmp" with two numbers of up to ten digits each.
inline constexpr size_t kTemporaryNameExtra = 27;

// True for a file name of the form kShared gives its temporary files.
bool IsSharedTemporaryName(std::string_view file_name);

// Gives `file` the permission bits of `existing` when that is a regular file.
void KeepPermissions(const std::string& existing, const std::string& file);

// Takes bytes for the file being written; false when they could not be written.
using ByteSink = std::function<bool(const void* data, size_t size)>;

// Replaces `path` with what `write` puts into the sink it is given, a piece at a time, so a
// large file is never held whole in memory. `write` returns false to give up. False, with
// errno set, when it could not be done.
bool ReplaceFileStreamed(const std::string& path, const std::function<bool(const ByteSink&)>& write,
                         TemporaryStyle style = TemporaryStyle::kPrivate);

// Replaces `path` with `bytes`, as above.
bool ReplaceFileWhole(const std::string& path, std::string_view bytes,
                      TemporaryStyle style = TemporaryStyle::kPrivate);

// Reading back what this user's own runs keep (caches, memos): exactly `size` bytes of the file
// open as `fd`, or nothing when it holds another number of bytes.
std::optional<std::string> ReadExactly(int fd, size_t size);
// The whole of a regular file of this user, not a link, of at most kMaxOwnFileBytes: a file
// somebody else put there is not trusted. Nothing when there is no such file.
inline constexpr int64_t kMaxOwnFileBytes = int64_t{1} << 30;
std::optional<std::string> ReadOwnFile(const std::string& path);
// Such a file opened for reading, with its size; -1 when there is none. The caller closes it.
int OpenOwnFile(const std::string& path, size_t& size);

// Appends the `length` bytes at `offset` of the open file `fd` to `into`; false, and `into` as
// it was, when they cannot all be read.
bool ReadFileAt(int fd, uint64_t offset, uint64_t length, std::string& into);

}  // namespace barvik
