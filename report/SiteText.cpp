#include "report/SiteText.h"

#include "core/Text1252.h"

namespace barvik {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendHtmlChar(std::string& out, char c, bool from_1252 = true) {
  switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&#39;";
      break;
    default: {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80 || !from_1252) {
        out += c;
      } else {
        AppendUtf8(out, UnicodeOf1252(byte));
      }
    }
  }
}

}  // namespace

std::string Utf8From1252(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, UnicodeOf1252(byte));
    }
  }
  return out;
}

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) AppendHtmlChar(out, c);
  return out;
}

std::string HtmlUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) AppendHtmlChar(out, c, false);
  return out;
}

std::string ColouredNameHtml(std::string_view name) {
  std::string out;
  bool open = false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '^') {
      AppendHtmlChar(out, name[i]);
      continue;
    }
    if (i + 1 >= name.size()) break;  // a trailing "^" is dropped on its own
    const char code = name[++i];
    if (code < '0' || code > '9') continue;
    if (open) out += "</span>";
    out += "<span class=\"c";
    out += code;
    out += "\">";
    open = true;
  }
  if (open) out += "</span>";
  return out;
}

std::string WithoutColourCodes(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '^') {
      ++i;
      continue;
    }
    out += name[i];
  }
  return out;
}

}  // namespace barvik
