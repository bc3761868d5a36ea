#include "report/SitePager.h"

#include "report/SiteText.h"

namespace barvik {

std::string ListPageFile(std::string_view stem, size_t page) {
  std::string file(stem);
  if (page > 0) {
    file += '-';
    file += std::to_string(page + 1);
  }
  file += ".html";
  return file;
}

std::string PagerHtml(std::string_view stem, size_t page, size_t pages, std::string_view what) {
  if (pages <= 1) return "";
  // Pages this far either side of the current one are linked by number.
  constexpr size_t kAround = 2;
  std::string out = "<nav class=\"pager\" aria-label=\"";
  out += HtmlText(what);
  out += "\">";
  auto link = [&](size_t to, std::string_view text, std::string_view rel) {
    out += "<a href=\"";
    out += HtmlText(ListPageFile(stem, to));
    out += '"';
    if (!rel.empty()) {
      out += " rel=\"";
      out += rel;
      out += '"';
    }
    out += '>';
    out += text;
    out += "</a>";
  };
  if (page > 0) link(page - 1, "&lsaquo; Previous", "prev");
  const size_t low = page > kAround ? page - kAround : 0;
  const size_t high = std::min(pages - 1, page + kAround);
  if (low > 0) link(0, "1", "");
  if (low > 1) out += "<span>&hellip;</span>";
  for (size_t p = low; p <= high; ++p) {
    if (p == page) {
      out += "<span aria-current=\"page\">";
      out += std::to_string(p + 1);
      out += "</span>";
    } else {
      link(p, std::to_string(p + 1), "");
    }
  }
  if (high + 2 < pages) out += "<span>&hellip;</span>";
  if (high + 1 < pages) link(pages - 1, std::to_string(pages), "");
  if (page + 1 < pages) link(page + 1, "Next &rsaquo;", "next");
  out += "</nav>\n";
  return out;
}

}  // namespace barvik
