// Naming a remote log: which names are URLs, what makes one unusable, and how it is shown.
// A URL never carries a password (a usage error names the fix); what is shown of it in
// messages, state records and traces is the URL with any user info but the user name removed.
#pragma once

#include <string>

namespace barvik::remote {

// True for a name that starts with ftp://, ftps://, sftp://, http:// or https:// (any case).
bool IsRemoteName(const std::string& name);

// Why `url` cannot be used, in words for a usage error; empty when it can. Refused: a URL
// libcurl cannot parse, a password in it, a scheme other than the five, no host, no path,
// a folder (ending in '/') of an HTTP server.
std::string UrlProblem(const std::string& url);

// `url` without a password, query or fragment: safe in a message or a bug report.
std::string ShownUrl(const std::string& url);

// True when `url` names a remote folder (its path ends in '/').
bool IsFolderUrl(const std::string& url);

// "ftp", "ftps", "sftp", "http" or "https".
std::string Scheme(const std::string& url);

}  // namespace barvik::remote
