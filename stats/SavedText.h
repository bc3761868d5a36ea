// The plain text the rating states are kept in between runs: numbers separated by spaces
// (doubles in their shortest form that reads back to the same bits) and texts as their length,
// a colon and their bytes. The reader fails on the first field that does not parse, so a
// damaged or foreign text is refused whole.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace barvik::saved {

template <typename T>
void Put(std::string& out, T value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
  out += ' ';
}

inline void PutText(std::string& out, std::string_view text) {
  Put(out, text.size());
  out.back() = ':';
  out += text;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  template <typename T>
  bool Get(T& value) {
    const auto result = std::from_chars(text_.data(), text_.data() + text_.size(), value);
    if (result.ec != std::errc() || result.ptr == text_.data() + text_.size() ||
        *result.ptr != ' ') {
      return false;
    }
    text_.remove_prefix(static_cast<size_t>(result.ptr - text_.data()) + 1);
    return true;
  }
  // A text saved by PutText.
  bool GetText(std::string& value) {
    size_t length = 0;
    const auto result = std::from_chars(text_.data(), text_.data() + text_.size(), length);
    if (result.ec != std::errc() || result.ptr == text_.data() + text_.size() ||
        *result.ptr != ':') {
      return false;
    }
    text_.remove_prefix(static_cast<size_t>(result.ptr - text_.data()) + 1);
    if (length > text_.size()) return false;
    value.assign(text_.substr(0, length));
    text_.remove_prefix(length);
    return true;
  }
  bool Expect(std::string_view literal) {
    if (text_.substr(0, literal.size()) != literal) return false;
    text_.remove_prefix(literal.size());
    return true;
  }
  bool AtEnd() const { return text_.empty(); }
  size_t Left() const { return text_.size(); }

 private:
  std::string_view text_;
};

}  // namespace barvik::saved
