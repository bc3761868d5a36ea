#include "core/Encoding.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

#include "core/Text1252.h"

namespace barvik {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// "CP1251" -> "CP1251", "windows_1251" -> "WINDOWS1251": upper case without '-' and '_', so
// that the spellings of one name meet.
std::string Squeezed(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  }
  return out;
}

// The charset label a web page declares for the code page called `name` (WHATWG labels for
// the common ones, else the name in lower case).
std::string CharsetLabel(std::string_view name) {
  const std::string s = Squeezed(name);
  auto digits_after = [&s](std::string_view prefix) -> std::string {
    if (s.size() <= prefix.size() || s.compare(0, prefix.size(), prefix) != 0) return "";
    std::string rest = s.substr(prefix.size());
    for (char c : rest) {
      if (c < '0' || c > '9') return "";
    }
    return rest;
  };
  for (std::string_view prefix : {"WINDOWS", "CP", "MSCP", "MS"}) {
    const std::string n = digits_after(prefix);
    if (n.size() == 4 && n.compare(0, 3, "125") == 0) return "windows-" + n;
  }
  if (const std::string n = digits_after("ISO8859"); !n.empty()) return "iso-8859-" + n;
  if (const std::string n = digits_after("LATIN"); n == "1") return "iso-8859-1";
  if (const std::string n = digits_after("LATIN"); n == "2") return "iso-8859-2";
  if (s == "KOI8R") return "koi8-r";
  if (s == "KOI8U") return "koi8-u";
  std::string out(name);
  for (char& c : out) c = ToLower1252(c);
  return out;
}

// The length of the valid UTF-8 sequence at the start of `text` and its code point; 0 when
// it does not start with one.
size_t Utf8Sequence(std::string_view text, char32_t& code_point) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  }
  size_t length = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  if (code_point < least || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

std::atomic<const Encoding*> current_encoding{nullptr};

}  // namespace

void AppendCodePointUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Every code page made so far, by its squeezed name; none is ever freed.
struct EncodingRegistry {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<Encoding>, std::less<>> by_name;

  static EncodingRegistry& Get() {
    static EncodingRegistry registry;
    return registry;
  }

  static void FillReverse(Encoding& e) {
    for (int b = 255; b >= 0; --b) {
      if (e.table_[b] != kReplacement) e.reverse_[e.table_[b]] = static_cast<char>(b);
    }
  }

  static std::unique_ptr<Encoding> Make1252() {
    std::unique_ptr<Encoding> e(new Encoding);
    e->charset_ = "windows-1252";
    for (int b = 0; b < 256; ++b) e->table_[b] = UnicodeOf1252(static_cast<unsigned char>(b));
    FillReverse(*e);
    return e;
  }

  static std::unique_ptr<Encoding> MakeUtf8() {
    std::unique_ptr<Encoding> e(new Encoding);
    e->charset_ = "utf-8";
    e->utf8_ = true;
    for (int b = 0; b < 256; ++b) e->table_[b] = b < 0x80 ? static_cast<char32_t>(b) : kReplacement;
    return e;
  }

  // The table of an 8-bit code page from iconv, byte by byte; null when iconv does not know
  // the name, a byte starts a longer sequence, or ASCII is not kept.
  static std::unique_ptr<Encoding> MakeFromIconv(const std::string& name) {
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    // iconv_open fails with (iconv_t)-1.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    std::unique_ptr<Encoding> e(new Encoding);
    e->charset_ = CharsetLabel(name);
    bool usable = true;
    for (int b = 0; b < 256 && usable; ++b) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
      char in_byte = static_cast<char>(b);
      char* in = &in_byte;
      size_t in_left = 1;
      unsigned char out_bytes[16] = {};
      char* out = reinterpret_cast<char*>(out_bytes);
      size_t out_left = sizeof out_bytes;
      const size_t done = iconv(cd, &in, &in_left, &out, &out_left);
      const size_t written = sizeof out_bytes - out_left;
      if (done == static_cast<size_t>(-1) && errno == EILSEQ) {
        e->table_[b] = kReplacement;  // undefined in this code page
      } else if (done == static_cast<size_t>(-1) || in_left != 0 || written != 4) {
        usable = false;  // a lead byte, or a byte that is more than one character
      } else {
        e->table_[b] = static_cast<char32_t>(out_bytes[0]) | out_bytes[1] << 8 |
                       out_bytes[2] << 16 | static_cast<char32_t>(out_bytes[3]) << 24;
      }
      if (b < 0x80 && e->table_[b] != static_cast<char32_t>(b)) usable = false;
      if (e->table_[b] > 0xFFFF) usable = false;  // one UTF-16 unit per byte, for the window
    }
    iconv_close(cd);
    if (!usable) return nullptr;
    FillReverse(*e);
    return e;
  }
};

const Encoding* Encoding::Named(std::string_view name) {
  if (name.empty() || name.size() > 64) return nullptr;
  for (char c : name) {
    // Letters, digits and the separators of code page names only: no "//TRANSLIT" and such.
    const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!word && c != '-' && c != '_' && c != '.' && c != ':') return nullptr;
  }
  const std::string key = Squeezed(name);
  if (key == "WINDOWS1252" || key == "CP1252" || key == "MSCP1252") return &Windows1252();
  EncodingRegistry& registry = EncodingRegistry::Get();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (auto it = registry.by_name.find(key); it != registry.by_name.end()) return it->second.get();
  std::unique_ptr<Encoding> made = key == "UTF8"
                                       ? EncodingRegistry::MakeUtf8()
                                       : EncodingRegistry::MakeFromIconv(std::string(name));
  if (!made) return nullptr;
  // Two spellings of one code page share nothing but a label; that is harmless.
  return registry.by_name.emplace(key, std::move(made)).first->second.get();
}

const Encoding& Encoding::Windows1252() {
  static const std::unique_ptr<Encoding> kWindows1252 = EncodingRegistry::Make1252();
  return *kWindows1252;
}

void Encoding::AppendUtf8(std::string& out, std::string_view bytes) const {
  if (!utf8_) {
    for (char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        out += c;
      } else {
        AppendCodePointUtf8(out, table_[byte]);
      }
    }
    return;
  }
  while (!bytes.empty()) {
    char32_t cp = 0;
    const size_t length = Utf8Sequence(bytes, cp);
    if (length == 0) {
      AppendCodePointUtf8(out, kReplacement);
      bytes.remove_prefix(1);
    } else {
      out.append(bytes.data(), length);
      bytes.remove_prefix(length);
    }
  }
}

std::string Encoding::ToUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  AppendUtf8(out, bytes);
  return out;
}

std::string Encoding::FromUtf8(std::string_view utf8) const {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    char32_t cp = 0;
    const size_t length = Utf8Sequence(utf8, cp);
    if (length == 0) {
      out += '?';
      utf8.remove_prefix(1);
      continue;
    }
    if (utf8_ || cp < 0x80) {
      out.append(utf8.data(), length);
    } else {
      const auto it = reverse_.find(cp);
      out += it == reverse_.end() ? '?' : it->second;
    }
    utf8.remove_prefix(length);
  }
  return out;
}

const Encoding& LogEncoding() {
  const Encoding* e = current_encoding.load(std::memory_order_acquire);
  return e != nullptr ? *e : Encoding::Windows1252();
}

void SetLogEncoding(const Encoding& encoding) {
  current_encoding.store(&encoding, std::memory_order_release);
}

}  // namespace barvik
