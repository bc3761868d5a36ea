// The page writer of the HTML report: one report list becomes one page, its rows turned into
// table rows between pieces of template text read from the template folder. The program
// itself writes only the bold title, the table rows, a few separator lines and the footer;
// the document head, style sheet link, navigation and the table tags come from the templates
// "globhtml1.dat" to "globhtml6.dat".
//
// Pages are the log's bytes, whatever its code page: the templates' charset declaration
// "charset=windows-1252" is rewritten to name the log's code page (LogEncoding) when another
// was chosen. Every line the page holds, the last included, ends in CR LF,
// whatever line ends the templates use. Texts that come from a list (column captions, row
// captions, cells) are HTML-escaped; template lines and the title are written as given, so the
// caller escapes the log texts it puts into a title (EscapeHtml).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/ReportList.h"

namespace barvik {

class ReportOutput;

// The date and time texts of a page footer.
struct FooterTime {
  std::string date;  // the system's short date format
  std::string time;  // the system's long time format
};

// Now, in the user's locale: strftime "%x" and "%X" of the local time (LC_TIME).
FooterTime SystemFooterTime();

// The templates a run of pages has read so far, by file name, as lines. A caller that writes
// many pages in one go (the export) shares one among them, so each template is read once per
// run rather than once per page.
struct TemplateLines {
  std::map<std::string, std::vector<std::string>, std::less<>> by_name;
};

// What a page needs besides its list: where the templates are, the footer's build text and
// clock, and the file prefix of a player name.
struct PageSettings {
  std::string template_folder = ".";
  std::string build_text = "N/A";
  // The maker's web address the footer links to (the build's BARVIK_MAKER_ADDRESS); empty: the
  // footer names the program and its build without a link.
  std::string maker_address;
  std::function<FooterTime()> clock = SystemFooterTime;
  // The prefix of a player's file names, used for the players' links and for "%PLAYER%";
  // PlayerFilePrefix when empty. The export passes the prefixes it assigned for the run.
  std::function<std::string(std::string_view name)> player_prefix;
  // The templates read so far in this run; null: each page reads its templates afresh.
  std::shared_ptr<TemplateLines> templates;
};

// `text` with every "charset=windows-1252" (letter case ignored) naming the log's code page
// instead (LogEncoding); the same text under the default code page.
std::string WithLogCharset(std::string text);

// `text` with "&", "<", ">" and '"' replaced by their character references.
std::string EscapeHtml(std::string_view text);

// The lines of a template text: a line ends at CR, LF or CR LF; a last line without a line end
// still counts; an empty text has no lines.
std::vector<std::string> SplitTemplateLines(std::string_view text);

// Writes one page of `source` to `file_path` through `output`.
// `title` is wrapped in "<b>" and "</b>"; with `links` every row caption except the total
// row's links to that player's "weapon.html" page; a non-empty `image_reference` adds an image
// cell beside the main table; a non-null `header` (the player pages) adds the header table and
// takes "globhtml3.dat" with "%PLAYER%" expanded instead of "globhtml2.dat". Each template is
// read from the template folder when the page reaches it, unless settings.templates holds it
// already (it then keeps it for the pages after).
//
// Throws FileError("Cannot open file <template path>") for a template that cannot be read and
// FileError("Cannot create file <file_path>") for a page that cannot be written; the page file
// is then left as it was.
void WriteHTMLPage(const ReportList& source, std::string_view title, const std::string& file_path,
                   bool links, std::string_view image_reference, const ReportList* header,
                   const PageSettings& settings, ReportOutput& output);

// The page text itself, as WriteHTMLPage writes it (same arguments, same template errors).
std::string BuildHTMLPage(const ReportList& source, std::string_view title, bool links,
                          std::string_view image_reference, const ReportList* header,
                          const PageSettings& settings);

}  // namespace barvik
