#include "report/SiteText.h"

#include "core/Encoding.h"

namespace barvik {
namespace {

// Appends `utf8` with "&", "<", ">", '"' and "'" as character references. UTF-8 never uses
// those bytes inside a longer sequence, so escaping after the conversion is safe.
void AppendHtmlUtf8(std::string& out, std::string_view utf8) {
  for (char c : utf8) {
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
      default:
        out += c;
    }
  }
}

void AppendHtmlText(std::string& out, std::string_view text) {
  AppendHtmlUtf8(out, LogEncoding().ToUtf8(text));
}

}  // namespace

std::string Utf8FromLog(std::string_view text) { return LogEncoding().ToUtf8(text); }

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendHtmlText(out, text);
  return out;
}

std::string HtmlUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendHtmlUtf8(out, text);
  return out;
}

std::string ColouredNameHtml(std::string_view name) {
  std::string out;
  bool open = false;
  size_t run = 0;  // where the text not yet written starts
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != '^') continue;
    AppendHtmlText(out, name.substr(run, i - run));
    run = i + 2;
    if (i + 1 >= name.size()) break;  // a trailing "^" is dropped on its own
    const char code = name[++i];
    if (code < '0' || code > '9') continue;
    if (open) out += "</span>";
    out += "<span class=\"c";
    out += code;
    out += "\">";
    open = true;
  }
  if (run < name.size()) AppendHtmlText(out, name.substr(run));
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
