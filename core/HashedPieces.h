// HashedPieces: a long text made and handed on a piece at a time, with the StableHash of all
// of it made on the way, so that a file ending in its own check hash (a memo, a kept state) is
// never held whole in memory. The hash takes eight bytes at a time, so only whole words are
// hashed and handed on before the end, and the value is the one of hashing the text at once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/StableHash.h"

namespace barvik {

class HashedPieces {
 public:
  // Takes each piece in order; false when it could not, which stops the rest.
  using Sink = std::function<bool(std::string_view piece)>;

  explicit HashedPieces(Sink sink) : sink_(std::move(sink)) { buffer_.reserve(kPiece + 64); }

  // Where the text is made; Flush, now and then, hands it on.
  std::string& out() { return buffer_; }
  // Hands on the whole words made so far once there are a piece's worth.
  void Flush() {
    if (!ok_ || buffer_.size() < kPiece) return;
    const size_t whole = buffer_.size() / 8 * 8;
    hash_.Bytes(std::string_view(buffer_).substr(0, whole));
    ok_ = sink_(std::string_view(buffer_).substr(0, whole));
    buffer_.erase(0, whole);
  }
  // Appends `bytes` a piece at a time, so that a long text is never copied whole.
  void Append(std::string_view bytes) {
    while (ok_ && !bytes.empty()) {
      const size_t room = buffer_.size() < kPiece ? kPiece - buffer_.size() : 0;
      buffer_.append(bytes.substr(0, room));
      bytes.remove_prefix(std::min(room, bytes.size()));
      Flush();
    }
  }
  // The hash of all that was made. What is made after it (the check that carries it) is not
  // hashed: once only, with no Flush or Append after it, before Finish.
  uint64_t Seal() {
    hash_.Bytes(buffer_);
    return hash_.value();
  }
  // Hands on the rest; false when a piece could not be handed on.
  bool Finish() {
    if (ok_) ok_ = sink_(buffer_);
    buffer_.clear();
    return ok_;
  }

 private:
  static constexpr size_t kPiece = size_t{64} * 1024;
  Sink sink_;
  std::string buffer_;
  StableHash hash_;
  bool ok_ = true;
};

}  // namespace barvik
