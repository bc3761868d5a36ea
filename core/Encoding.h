// The code page of the log texts. The engine keeps every log text as the bytes the log holds;
// an Encoding turns them into UTF-8 where text leaves the engine (the site, JSON, a terminal,
// the window) and turns UTF-8 typed by the user back into the log's bytes. Two kinds exist:
// an 8-bit code page (one byte, one character, ASCII kept; Windows-1252 by default, any other
// the system's iconv knows, such as Windows-1251, Windows-1250, ISO-8859-1 or ISO-8859-2) and
// UTF-8, whose valid sequences pass through as they are.
//
// Nothing here changes how names are compared: case folding follows the Windows-1252 letters
// whatever the code page (core/Text1252.h).
//
// Encodings are made once and live for the whole process: the references and pointers handed
// out stay valid and may be shared between threads.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

namespace barvik {

class Encoding {
 public:
  Encoding(const Encoding&) = delete;
  Encoding& operator=(const Encoding&) = delete;

  // The code page called `name` (an iconv name, letter case ignored: "windows-1251", "CP1251",
  // "ISO-8859-2", "latin1", "UTF-8"), or nullptr when the system knows no such code page or it
  // is not one of one byte per character that keeps ASCII as it is.
  static const Encoding* Named(std::string_view name);
  // Windows-1252, the code page assumed without a choice.
  static const Encoding& Windows1252();

  // The name as a web page declares its charset: "windows-1251", "iso-8859-2", "utf-8".
  const std::string& charset() const { return charset_; }
  bool utf8() const { return utf8_; }
  bool is_default() const { return this == &Windows1252(); }

  // `bytes` as UTF-8. A byte the code page leaves undefined becomes U+FFFD, and so does each
  // byte of an invalid UTF-8 sequence (a stray continuation byte, a cut or overlong sequence,
  // a surrogate), so the result is always valid UTF-8. Windows-1252 keeps its historical
  // reading of its five undefined bytes: the C1 control of the same value.
  std::string ToUtf8(std::string_view bytes) const;
  void AppendUtf8(std::string& out, std::string_view bytes) const;
  // The code point of one byte of an 8-bit code page (U+FFFD where undefined). For UTF-8 this
  // is the byte itself below 0x80 and U+FFFD above: UTF-8 text is read whole with ToUtf8.
  char32_t CodePoint(unsigned char byte) const { return table_[byte]; }
  // UTF-8 text (typed by the user) as bytes of the code page; characters it lacks, and invalid
  // sequences, become '?'. With UTF-8 the valid text is kept as it is.
  std::string FromUtf8(std::string_view utf8) const;

 private:
  Encoding() = default;
  friend struct EncodingRegistry;

  std::string charset_;  // as pages declare it
  bool utf8_ = false;
  std::array<char32_t, 256> table_{};           // code point by byte
  std::unordered_map<char32_t, char> reverse_;  // byte by code point, the lowest byte first
};

// Appends the UTF-8 form of `code_point` (up to U+10FFFF).
void AppendCodePointUtf8(std::string& out, char32_t code_point);

// The code page of the log texts for this process: Windows-1252 until a front end sets
// another (the --encoding option). Set it before any worker thread of a run starts.
const Encoding& LogEncoding();
void SetLogEncoding(const Encoding& encoding);

// Sets the log's code page for the life of the object and restores the one before after:
// one run of the command line inside a longer process (tests, the window's batch).
class ScopedLogEncoding {
 public:
  explicit ScopedLogEncoding(const Encoding& encoding) : before_(LogEncoding()) {
    SetLogEncoding(encoding);
  }
  ScopedLogEncoding(const ScopedLogEncoding&) = delete;
  ScopedLogEncoding& operator=(const ScopedLogEncoding&) = delete;
  ~ScopedLogEncoding() { SetLogEncoding(before_); }

 private:
  const Encoding& before_;
};

}  // namespace barvik
