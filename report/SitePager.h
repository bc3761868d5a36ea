// Long lists of the site split over numbered pages, so that no page grows with the history:
// the first page of a list is STEM.html, the next ones STEM-2.html, STEM-3.html, ... in the
// same folder, each with a pager that links the first, the previous, a few around it, the next
// and the last page. Following "next" from the first page reaches every page.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace barvik {

// Where the rows of each page of a list of `items` rows begin and end.
struct ListPages {
  size_t items = 0;
  size_t per_page = 1;  // at least 1

  // At least one page, empty for no rows.
  size_t count() const { return items == 0 ? 1 : (items + per_page - 1) / per_page; }
  size_t first(size_t page) const { return std::min(items, page * per_page); }
  size_t end(size_t page) const { return std::min(items, (page + 1) * per_page); }
};

// The file of page `page` (0 for the first) of the list `stem`: "games.html", "games-2.html".
std::string ListPageFile(std::string_view stem, size_t page);

// The links between the `pages` pages of the list `stem` as seen from page `page`, labelled for
// readers of screens with `what` ("Pages of games"); empty when the list has one page.
std::string PagerHtml(std::string_view stem, size_t page, size_t pages, std::string_view what);

}  // namespace barvik
