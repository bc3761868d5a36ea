// Text helpers of the modern site and the JSON output: log texts are bytes of the log's code
// page (LogEncoding, Windows-1252 unless the front end chose another), the site and JSON are
// UTF-8. Every text taken from the log passes through here on its way out.
#pragma once

#include <string>
#include <string_view>

namespace barvik {

// The log text `text` as UTF-8 (always valid UTF-8, see Encoding::ToUtf8).
std::string Utf8FromLog(std::string_view text);
// The name code written before the code page became a choice used; the same function.
inline std::string Utf8From1252(std::string_view text) { return Utf8FromLog(text); }

// The log text `text` as UTF-8 with "&", "<", ">", '"' and "'" replaced by character
// references, safe inside element content and quoted attribute values.
std::string HtmlText(std::string_view text);

// `text` already in UTF-8, escaped as HtmlText escapes.
std::string HtmlUtf8(std::string_view text);

// A name with its colour codes as HTML: "^" and the character after it form one code and are
// not shown, the same pairs the "Ignore colors" option removes, so the visible text equals the
// name as counted. A digit after "^" starts a coloured run (class "c0" to "c9") that lasts to
// the next digit code; any other code ("^^", "^a", a trailing "^") only disappears.
std::string ColouredNameHtml(std::string_view name);

// The name without its colour codes, as ColouredNameHtml shows it (log bytes).
std::string WithoutColourCodes(std::string_view name);

}  // namespace barvik
