#include "remote/RemoteUrl.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace barvik::remote {
namespace {

struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using Url = std::unique_ptr<CURLU, UrlDeleter>;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return text;
}

// The part `what` of a parsed URL; empty when it has none.
std::string Part(CURLU* u, CURLUPart what) {
  char* text = nullptr;
  if (curl_url_get(u, what, &text, 0) != CURLUE_OK || text == nullptr) return {};
  std::string part(text);
  curl_free(text);
  return part;
}

// Where the user info of `text` (cut at its query) ends: its last '@' when what comes before
// it is user info rather than a path with an '@' in it. A password may hold '/', so the first
// '/' does not end the search. npos when there is none.
size_t UserInfoEnd(const std::string& text, size_t start) {
  const size_t at = text.rfind('@');
  if (at == std::string::npos || at < start) return std::string::npos;
  const std::string info = text.substr(start, at - start);
  const size_t slash = info.find('/');
  if (slash == std::string::npos || info.substr(0, slash).find(':') != std::string::npos) {
    return at;
  }
  return std::string::npos;
}

// "URL 'SHOWN' " followed by `rest`.
std::string Named(const std::string& url, std::string_view rest) {
  std::string text = "URL '";
  text += ShownUrl(url);
  text += "' ";
  text += rest;
  return text;
}

Url Parse(const std::string& url) {
  Url u(curl_url());
  if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return nullptr;
  return u;
}

}  // namespace

bool IsRemoteName(const std::string& name) {
  const std::string head = Lower(name.substr(0, 8));
  for (const char* scheme : {"ftp://", "ftps://", "sftp://", "http://", "https://"}) {
    if (head.starts_with(scheme)) return true;
  }
  return false;
}

std::string Scheme(const std::string& url) {
  const size_t colon = url.find("://");
  return colon == std::string::npos ? "" : Lower(url.substr(0, colon));
}

std::string UrlProblem(const std::string& url) {
  if (!IsRemoteName(url)) return Named(url, "is no ftp, ftps, sftp, http or https URL");
  // The password test first: the usual cause of a URL that does not parse is a password
  // with '@' or '/' in it, and the fix is the same.
  const std::string cut = url.substr(0, url.find_first_of("?#"));
  const size_t start = cut.find("://") + 3;
  const size_t at = UserInfoEnd(cut, start);
  if (at != std::string::npos && cut.substr(start, at - start).find(':') != std::string::npos) {
    return Named(url,
                 "holds a password; give it without one and put the password in a netrc file "
                 "(--netrc FILE, mode 0600) or, for the service, in its LoadCredential= netrc");
  }
  const Url u = Parse(url);
  if (!u) return Named(url, "is no valid URL");
  if (Part(u.get(), CURLUPART_HOST).empty()) return Named(url, "names no host");
  const std::string path = Part(u.get(), CURLUPART_PATH);
  if (path.empty() || (path == "/" && !url.ends_with("/"))) {
    return Named(url, "names no log file or folder");
  }
  const std::string scheme = Scheme(url);
  if (IsFolderUrl(url) && (scheme == "http" || scheme == "https")) {
    return Named(url, "names a folder of a web server, which gives no listing; name the log file");
  }
  return {};
}

std::string ShownUrl(const std::string& url) {
  // Cut at the query and fragment, and keep only the user name of the user info; done on
  // the text, so that a URL libcurl refuses is shown safely too.
  std::string text = url.substr(0, url.find_first_of("?#"));
  const size_t authority = text.find("://");
  if (authority == std::string::npos) return text;
  const size_t start = authority + 3;
  const size_t at = UserInfoEnd(text, start);
  if (at != std::string::npos) {
    std::string user = text.substr(start, at - start);
    user = user.substr(0, user.find(':'));
    text = text.substr(0, start) + user + (user.empty() ? "" : "@") + text.substr(at + 1);
  }
  return text;
}

bool IsFolderUrl(const std::string& url) {
  const std::string shown = ShownUrl(url);
  return !shown.empty() && shown.back() == '/';
}

}  // namespace barvik::remote
