// Transparent hashing so that hash maps keyed by std::string can be searched with a
// std::string_view without building a string.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace barvik {

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

template <typename Value>
using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;

}  // namespace barvik
