#include "remote/Mirror.h"

#include <curl/curl.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>

#include "core/FileError.h"
#include "remote/RemoteUrl.h"

namespace barvik::remote {
namespace {

// "SHA256:..." of a raw SSH public key blob, as ssh-keygen -l shows it.
std::string KeyFingerprint(const unsigned char* key, size_t size) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(key, size, digest);
  static constexpr char kBase64[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text = "SHA256:";
  for (size_t i = 0; i < sizeof digest; i += 3) {
    const uint32_t n = (uint32_t{digest[i]} << 16) |
                       (i + 1 < sizeof digest ? uint32_t{digest[i + 1]} << 8 : 0) |
                       (i + 2 < sizeof digest ? uint32_t{digest[i + 2]} : 0);
    text += kBase64[(n >> 18) & 63];
    text += kBase64[(n >> 12) & 63];
    if (i + 1 < sizeof digest) text += kBase64[(n >> 6) & 63];
    if (i + 2 < sizeof digest) text += kBase64[n & 63];
  }
  return text;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

// What the server said of a file.
struct Info {
  int64_t size = -1;   // -1: not told
  int64_t mtime = -1;  // -1: not told
};

// A failed request: its code and the words for it.
struct Outcome {
  CURLcode code = CURLE_OK;
  long http = 0;
  bool stopped = false;  // the sink asked to stop: not a failure
};

// One libcurl handle with the options every request of a source takes; its connection is
// kept between requests.
class Connection {
 public:
  Connection(const std::string& url, const Access& access, const Limits& limits,
             RunFigures& figures)
      : url_(url),
        scheme_(Scheme(url)),
        access_(access),
        limits_(limits),
        figures_(figures),
        handle_(curl_easy_init()),
        binary_(curl_slist_append(nullptr, "TYPE I"), &curl_slist_free_all) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
  }

  bool http() const { return scheme_ == "http" || scheme_ == "https"; }
  bool ftp() const { return scheme_ == "ftp" || scheme_ == "ftps"; }
  const std::string& host_key() const { return host_key_; }

  // The size and time of `url`.
  Outcome Query(const std::string& url, Info& info) {
    Start(url);
    curl_easy_setopt(handle_, CURLOPT_NOBODY, 1L);
    // Many FTP servers answer SIZE only in binary mode, which libcurl does not ask for
    // before a SIZE of its own.
    if (ftp()) curl_easy_setopt(handle_, CURLOPT_QUOTE, binary_.get());
    curl_easy_setopt(handle_, CURLOPT_FILETIME, 1L);
    // libcurl hands the FTP answers on as header lines; they are no file contents.
    query_ = true;
    const Outcome out = Perform([](std::string_view, long) { return true; });
    query_ = false;
    curl_off_t size = -1;
    curl_off_t mtime = -1;
    curl_easy_getinfo(handle_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    curl_easy_getinfo(handle_, CURLINFO_FILETIME_T, &mtime);
    info.size = size;
    info.mtime = mtime;
    return out;
  }

  // The names in the remote folder `url`.
  Outcome List(const std::string& url, std::vector<std::string>& names) {
    Start(url);
    curl_easy_setopt(handle_, CURLOPT_DIRLISTONLY, 1L);
    std::string text;
    const Outcome out = Perform([&](std::string_view bytes, long) {
      text.append(bytes);
      return text.size() < (64u << 20);
    });
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string name = text.substr(at, end - at);
      if (!name.empty() && name.back() == '\r') name.pop_back();
      if (!name.empty()) names.push_back(std::move(name));
      at = end + 1;
    }
    return out;
  }

  // The bytes of `url` from `from` on to `sink`, which gets the HTTP status with them and
  // returns false to stop; an HTTP server is asked for `length` bytes when it is not 0.
  Outcome Get(const std::string& url, uint64_t from, uint64_t length,
              const std::function<bool(std::string_view, long)>& sink) {
    Start(url);
    if (http()) {
      // A range rather than a resume: libcurl refuses a 200 answer to a resume, and that
      // answer is the one to learn from.
      if (from > 0 || length > 0) {
        const std::string range =
            std::to_string(from) + "-" + (length > 0 ? std::to_string(from + length - 1) : "");
        curl_easy_setopt(handle_, CURLOPT_RANGE, range.c_str());
      }
    } else if (ftp()) {
      // The log may grow while it is read, and some hosts tell a stale size: take what comes
      // until the server ends the transfer, never the size announced. libcurl leaves a
      // resume out when it ignores the size, so the REST is sent as a command of its own
      // before the passive mode and the RETR (which keeps it; between the data connection
      // and the RETR it upsets TLS servers).
      curl_easy_setopt(handle_, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
      if (from > 0) {
        // Binary first: servers refuse a REST in ASCII mode, which a new connection is in.
        rest_.reset(curl_slist_append(curl_slist_append(nullptr, "TYPE I"),
                                      ("REST " + std::to_string(from)).c_str()));
        curl_easy_setopt(handle_, CURLOPT_QUOTE, rest_.get());
      }
    } else {
      curl_easy_setopt(handle_, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(from));
    }
    // Only HTTP is asked for a length; elsewhere the sink stops the transfer.
    return Perform(sink);
  }

  // The failure of `out` in words.
  std::string Words(const Outcome& out) const {
    std::string words;
    switch (out.code) {
      case CURLE_COULDNT_RESOLVE_HOST:
        words = "host not found";
        break;
      case CURLE_COULDNT_CONNECT:
        words = "cannot connect (refused or unreachable)";
        break;
      case CURLE_OPERATION_TIMEDOUT:
        words = "timed out";
        break;
      case CURLE_LOGIN_DENIED:
      case CURLE_AUTH_ERROR:
        words = "login refused (check the netrc entry or the SSH key)";
        break;
      case CURLE_REMOTE_FILE_NOT_FOUND:
        words = "no such remote file";
        break;
      case CURLE_REMOTE_ACCESS_DENIED:
        words = "access to the remote file denied";
        break;
      case CURLE_USE_SSL_FAILED:
        words = "the server offers no TLS (required by --ftp-tls require)";
        break;
      case CURLE_PEER_FAILED_VERIFICATION:
        words = host_key_problem_.empty()
                    ? "the server's TLS certificate is not trusted (--ca-file FILE)"
                    : host_key_problem_;
        break;
      case CURLE_SSL_CONNECT_ERROR:
        words = "TLS handshake failed";
        break;
      case CURLE_PARTIAL_FILE:
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
      case CURLE_GOT_NOTHING:
        words = "connection lost during the transfer";
        break;
      case CURLE_HTTP_RETURNED_ERROR:
        words = "the server answered HTTP " + std::to_string(out.http);
        break;
      case CURLE_SSH:
        words = host_key_problem_.empty() ? "SSH failure" : host_key_problem_;
        break;
      case CURLE_WRITE_ERROR:
        words = "cannot write the spool";
        break;
      default:
        words = curl_easy_strerror(out.code);
    }
    if (!host_key_problem_.empty() && words != host_key_problem_) words = host_key_problem_;
    if (error_[0] != '\0' && words != host_key_problem_) {
      words += std::string(" (") + error_ + ")";
    }
    return words;
  }

  // True for a failure another try may mend.
  static bool Passing(const Outcome& out) {
    switch (out.code) {
      case CURLE_COULDNT_CONNECT:
      case CURLE_OPERATION_TIMEDOUT:
      case CURLE_PARTIAL_FILE:
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
      case CURLE_GOT_NOTHING:
      case CURLE_FTP_ACCEPT_TIMEOUT:
      case CURLE_FTP_CANT_GET_HOST:
      case CURLE_FTP_WEIRD_PASV_REPLY:
      case CURLE_FTP_WEIRD_227_FORMAT:
      case CURLE_FTP_PORT_FAILED:
      case CURLE_SSL_CONNECT_ERROR:
        return true;
      case CURLE_HTTP_RETURNED_ERROR:
        return out.http >= 500;
      default:
        return false;
    }
  }

 private:
  static size_t OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* c = static_cast<Connection*>(self);
    const size_t n = size * count;
    if (!c->query_) c->figures_.bytes += n;
    long http = 0;
    curl_easy_getinfo(c->handle_, CURLINFO_RESPONSE_CODE, &http);
    try {
      if (!c->sink_ || !c->sink_(std::string_view(data, n), http)) {
        c->stopped_ = true;
        return 0;
      }
    } catch (const FileError& e) {
      c->spool_error_ = e.what();
      return 0;
    }
    return n;
  }

  static int OnHostKey(CURL* /*easy*/, const curl_khkey* /*known*/, const curl_khkey* found,
                       curl_khmatch match, void* self) {
    auto* c = static_cast<Connection*>(self);
    if (found != nullptr && found->len > 0) {
      c->host_key_ = KeyFingerprint(reinterpret_cast<const unsigned char*>(found->key), found->len);
    }
    if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
    c->host_key_problem_ =
        std::string(match == CURLKHMATCH_MISMATCH ? "host key does not match"
                                                  : "host key unknown") +
        " (" + c->host_key_ + ") in " + c->access_.known_hosts +
        (match == CURLKHMATCH_MISMATCH
             ? ": the server was replaced, or somebody is in between; connection refused"
             : ": check the key with the host's admin, then add it to that file");
    return CURLKHSTAT_REJECT;
  }

  void Start(const std::string& url) {
    curl_easy_reset(handle_);
    // After a failure the kept connection may be out of step with the server (an answer
    // left unread): the next request opens a new one.
    if (fresh_next_) curl_easy_setopt(handle_, CURLOPT_FRESH_CONNECT, 1L);
    fresh_next_ = false;
    error_[0] = '\0';
    stopped_ = false;
    spool_error_.clear();
    ++figures_.requests;
    CURL* h = handle_;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, scheme_.c_str());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits_.connect_timeout_s);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits_.low_speed_time_s);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "barvik");
    if (!access_.netrc.empty()) {
      curl_easy_setopt(h, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
      curl_easy_setopt(h, CURLOPT_NETRC_FILE, access_.netrc.c_str());
    }
    if (!access_.ca_file.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, access_.ca_file.c_str());
    if (scheme_ == "ftp" && access_.ftp_tls_required) {
      curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    }
    if (scheme_ == "sftp") {
      curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES,
                       static_cast<long>(CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_PASSWORD));
      if (!access_.ssh_key.empty()) {
        curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, access_.ssh_key.c_str());
        const std::string pub = access_.ssh_key + ".pub";
        curl_easy_setopt(h, CURLOPT_SSH_PUBLIC_KEYFILE, Exists(pub) ? pub.c_str() : "");
      }
      curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, access_.known_hosts.c_str());
      curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &Connection::OnHostKey);
      curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, this);
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Connection::OnWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  }

  Outcome Perform(std::function<bool(std::string_view, long)> sink) {
    sink_ = std::move(sink);
    host_key_problem_.clear();
    Outcome out;
    out.code = curl_easy_perform(handle_);
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &out.http);
    if (out.code == CURLE_WRITE_ERROR && stopped_) {
      out.code = CURLE_OK;
      out.stopped = true;
    }
    if (out.code != CURLE_OK) fresh_next_ = true;
    if (!spool_error_.empty()) {
      out.code = CURLE_WRITE_ERROR;
      std::snprintf(error_, sizeof error_, "%s", spool_error_.c_str());
    }
    sink_ = nullptr;
    return out;
  }

  std::string url_;
  std::string scheme_;
  const Access& access_;
  const Limits& limits_;
  RunFigures& figures_;
  CURL* handle_;
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> binary_;  // "TYPE I"
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> rest_{nullptr, &curl_slist_free_all};
  char error_[CURL_ERROR_SIZE] = "";
  std::function<bool(std::string_view, long)> sink_;
  bool stopped_ = false;          // the sink stopped the transfer
  bool query_ = false;            // a size and time query is running
  bool fresh_next_ = false;       // the next request takes a new connection
  std::string spool_error_;       // writing the spool failed
  std::string host_key_;          // the SFTP server's key, as its fingerprint
  std::string host_key_problem_;  // why the key was refused
};

// "NAME.N" -> (NAME, N); a plain name has no number.
struct Member {
  std::string name;
  std::string base;
  uint64_t number = 0;
  bool numbered = false;
};

Member ParseMember(const std::string& name) {
  Member m{name, name, 0, false};
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return m;
  const std::string digits = name.substr(dot + 1);
  if (digits.size() > 18 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return m;
  }
  m.base = name.substr(0, dot);
  m.number = std::stoull(digits);
  m.numbered = true;
  return m;
}

// The members of a remote folder's rotated log, oldest first, as a local folder is read
// (log/LogSource.h, RotatedLogFiles); a failure in words when there is no one such log.
std::vector<std::string> RotatedMembers(const std::vector<std::string>& listing,
                                        std::string& failure, std::vector<std::string>& notes) {
  std::vector<Member> members;
  for (const std::string& raw : listing) {
    // SFTP and some FTP servers give paths; the name is the last part.
    const std::string name =
        raw.substr(raw.rfind('/') == std::string::npos ? 0 : raw.rfind('/') + 1);
    if (name.empty() || name[0] == '.') continue;
    if (name.ends_with(".gz")) {
      notes.push_back("compressed member " + name + " skipped (only plain logs are fetched)");
      continue;
    }
    members.push_back(ParseMember(name));
  }
  std::vector<std::string> bases;
  for (const Member& m : members) {
    if (m.numbered && std::find(bases.begin(), bases.end(), m.base) == bases.end()) {
      bases.push_back(m.base);
    }
  }
  if (bases.empty()) {
    std::vector<std::string> candidates;
    for (const Member& m : members) {
      if (m.name.ends_with(".log")) candidates.push_back(m.name);
    }
    if (candidates.empty()) {
      for (const Member& m : members) candidates.push_back(m.name);
    }
    if (candidates.size() == 1) return candidates;
    failure = candidates.empty() ? "no log in the remote folder"
                                 : "the remote folder holds several logs; name the file instead";
    return {};
  }
  if (bases.size() > 1) {
    failure = "the remote folder holds more than one rotated log; name the files instead";
    return {};
  }
  std::vector<Member> set;
  for (const Member& m : members) {
    if (m.base == bases.front()) set.push_back(m);
  }
  std::sort(set.begin(), set.end(),
            [](const Member& a, const Member& b) { return a.number > b.number; });
  std::vector<std::string> names;
  for (const Member& m : set) names.push_back(m.name);
  return names;
}

std::string Megabytes(uint64_t bytes) {
  return std::to_string((bytes + 512 * 1024) / (1024 * 1024)) + " MB";
}

// One run of a source: its spool and connection, and what the run may still fetch.
class Run {
 public:
  Run(Spool& spool, Connection& c, const Limits& limits, MirrorResult& result)
      : spool_(spool), c_(c), limits_(limits), result_(result) {}

  // Brings the spool up to date with the remote file `url` named `name`. A single file goes
  // on in the latest generation; a member of a remote folder (`folder`) in the one last seen
  // under its name, or else in any the run has not used yet whose head it shares (a rotated
  // member renamed). False, with failure() set, when a request failed.
  bool SyncMember(const std::string& url, const std::string& name, bool folder) {
    Info info;
    if (!Retry([&] { return c_.Query(url, info); }, name)) return false;
    Generation* same = nullptr;
    for (Generation& g : spool_.generations()) {
      if (Used(g)) continue;
      if (folder ? g.name == name : &g == spool_.Latest()) same = &g;
    }
    // Unchanged: the size and time last seen, all of it held.
    if (same != nullptr && info.size >= 0 && same->remote_size == info.size &&
        same->remote_mtime == info.mtime && same->mirrored == static_cast<uint64_t>(info.size)) {
      used_.push_back(same->number);
      return true;
    }
    if (info.size == 0) return true;  // nothing to read yet
    auto fits = [&](const Generation& g) {
      return info.size < 0 || g.mirrored <= static_cast<uint64_t>(info.size);
    };
    std::vector<int> tried;
    if (same != nullptr && same->mirrored > 0 && fits(*same)) {
      const Fetched f = Fetch(url, same->number, true);
      if (f == Fetched::kFailed) return false;
      if (f == Fetched::kDone) return Seen(name, info);
      tried.push_back(same->number);
    }
    if (folder) {
      Generation* g = MatchHead(url, name, tried, fits);
      if (g == nullptr && !failure_.empty()) return false;
      if (g != nullptr) {
        const Fetched f = Fetch(url, g->number, false);
        if (f == Fetched::kFailed) return false;
        if (f == Fetched::kDone) return Seen(name, info);
      }
    }
    // A new generation; an empty one the spool made before anything was fetched is it.
    Generation* fresh = nullptr;
    for (Generation& g : spool_.generations()) {
      if (!Used(g) && g.mirrored == 0 && g.name.empty()) fresh = &g;
    }
    const Fetched f =
        Fetch(url, fresh != nullptr ? fresh->number : spool_.NewGeneration(name).number, false);
    if (f == Fetched::kFailed) return false;
    return Seen(name, info);
  }

  const std::string& failure() const { return failure_; }

 private:
  enum class Fetched { kDone, kAnotherFile, kFailed };

  bool Used(const Generation& g) const {
    return std::find(used_.begin(), used_.end(), g.number) != used_.end();
  }

  // Notes what the server said of the file the current generation mirrors.
  bool Seen(const std::string& name, const Info& info) {
    Generation& g = *spool_.Find(current_);
    used_.push_back(g.number);
    g.name = name;
    g.remote_size = info.size;
    g.remote_mtime = info.mtime;
    // Grown since the query: the next run asks again rather than trusting the old size.
    if (info.size >= 0 && g.mirrored > static_cast<uint64_t>(info.size)) g.remote_mtime = -1;
    return true;
  }

  // Runs `request` until it succeeds, fails for good or the tries are spent; false, with the
  // failure set, when it did not succeed.
  bool Retry(const std::function<Outcome()>& request, const std::string& name) {
    int wait_ms = limits_.first_backoff_ms;
    for (int attempt = 1;; ++attempt) {
      const Outcome out = request();
      if (out.code == CURLE_OK) return true;
      if (attempt >= limits_.attempts || !Connection::Passing(out)) {
        failure_ = name + ": " + c_.Words(out) +
                   (attempt > 1 ? " (after " + std::to_string(attempt) + " tries)" : "");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
      wait_ms *= 2;
    }
  }

  // A generation not used by this run, not tried yet, no longer than the remote file, whose
  // first bytes (up to 4 KiB) are the file's: the newest such.
  template <typename Fits>
  Generation* MatchHead(const std::string& url, const std::string& name,
                        const std::vector<int>& tried, const Fits& fits) {
    std::vector<Generation*> candidates;
    for (Generation& g : spool_.generations()) {
      if (Used(g) || g.mirrored == 0 || !fits(g)) continue;
      if (std::find(tried.begin(), tried.end(), g.number) != tried.end()) continue;
      candidates.push_back(&g);
    }
    if (candidates.empty()) return nullptr;
    uint64_t want = 0;
    for (const Generation* g : candidates) {
      want = std::max(want, std::min(kHeadBytes, g->mirrored));
    }
    std::string head;
    const bool ok = Retry(
        [&] {
          head.clear();
          return c_.Get(url, 0, want, [&](std::string_view bytes, long /*http*/) {
            head.append(bytes.substr(0, std::min<size_t>(bytes.size(), want - head.size())));
            return head.size() < want;
          });
        },
        name);
    if (!ok) return nullptr;
    Generation* best = nullptr;
    for (Generation* g : candidates) {
      const uint64_t n = std::min(kHeadBytes, g->mirrored);
      if (head.size() >= n && head.compare(0, n, spool_.Head(*g, n)) == 0) best = g;
    }
    return best;
  }

  void IgnoresRanges() {
    if (!spool_.ranges_ignored) {
      result_.notes.push_back(
          "the server ignores byte ranges: every run reads the whole file and checks it "
          "against the spool");
    }
    spool_.ranges_ignored = true;
  }

  // Appends the remote bytes after generation `number`'s end. With `overlap`, the transfer
  // starts up to 4 KiB before that end and those bytes must be the ones held (else the remote
  // file is another one: kAnotherFile). A server that will not resume sends the whole file,
  // which is checked against the generation: where it differs, a new generation takes the
  // file. A remote file shorter than what is held is kAnotherFile.
  Fetched Fetch(const std::string& url, int number, bool overlap) {
    current_ = number;
    bool whole = false;  // ask for the file from its start
    for (int round = 0; round < 2; ++round) {
      bool another = false;
      bool budget_hit = false;
      bool refused = false;
      bool verified = !overlap;
      Outcome last;
      const bool ok = Retry(
          [&] {
            const uint64_t held = spool_.Find(current_)->mirrored;
            const uint64_t from = whole ? 0 : verified ? held : held - std::min(held, kHeadBytes);
            uint64_t at = from;     // the offset of the next byte received
            uint64_t check = held;  // bytes before it are compared, not appended
            bool first = true;
            last = c_.Get(url, from, 0, [&](std::string_view bytes, long http) {
              if (first && from > 0 && http == 200 && c_.http()) {
                IgnoresRanges();  // the whole file came
                at = 0;
              }
              first = false;
              while (!bytes.empty()) {
                if (at < check) {
                  const auto n = static_cast<size_t>(std::min<uint64_t>(bytes.size(), check - at));
                  if (spool_.Read(*spool_.Find(current_), at, n) == bytes.substr(0, n)) {
                    at += n;
                    bytes.remove_prefix(n);
                    continue;
                  }
                  if (at >= from && from > 0) {
                    another = true;  // the bytes before the end differ
                    return false;
                  }
                  // The whole file came and differs: a new generation takes its bytes.
                  const int old = current_;
                  current_ = spool_.NewGeneration(spool_.Find(old)->name).number;
                  for (uint64_t copied = 0; copied < at;) {
                    const std::string piece = spool_.Read(*spool_.Find(old), copied,
                                                          std::min<uint64_t>(at - copied, 1 << 20));
                    spool_.Append(*spool_.Find(current_), piece);
                    copied += piece.size();
                  }
                  check = at;
                  continue;
                }
                verified = true;
                if (limits_.max_fetch > 0 && fetched_ >= limits_.max_fetch) {
                  budget_hit = true;
                  return false;
                }
                size_t n = bytes.size();
                if (limits_.max_fetch > 0) {
                  n = static_cast<size_t>(std::min<uint64_t>(n, limits_.max_fetch - fetched_));
                }
                spool_.Append(*spool_.Find(current_), bytes.substr(0, n));
                fetched_ += n;
                at += n;
                bytes.remove_prefix(n);
              }
              if (at >= check) verified = true;
              return true;
            });
            if ((last.code == CURLE_HTTP_RETURNED_ERROR && last.http == 416) ||
                last.code == CURLE_BAD_DOWNLOAD_RESUME) {
              another = true;  // shorter than what is held
              return Outcome{};
            }
            if (last.code == CURLE_FTP_COULDNT_USE_REST || last.code == CURLE_RANGE_ERROR ||
                (last.code == CURLE_QUOTE_ERROR && from > 0)) {
              refused = true;
              return Outcome{};
            }
            return last;
          },
          spool_.Find(current_)->name);
      spool_.Flush(*spool_.Find(current_));
      if (!ok) return Fetched::kFailed;
      if (another) return Fetched::kAnotherFile;
      if (budget_hit) {
        result_.notes.push_back("fetched " + Megabytes(fetched_) +
                                " (--max-fetch); the rest follows in the next runs");
        return Fetched::kDone;
      }
      if (!refused || whole) return Fetched::kDone;
      if (!told_no_resume_) {
        result_.notes.push_back(
            "the server refuses to resume: the whole file is read and checked against the "
            "spool");
        told_no_resume_ = true;
      }
      whole = true;
    }
    return Fetched::kDone;
  }

  Spool& spool_;
  Connection& c_;
  const Limits& limits_;
  MirrorResult& result_;
  std::vector<int> used_;  // generations a member of this run continued
  std::string failure_;
  int current_ = 0;       // the generation being appended to
  uint64_t fetched_ = 0;  // bytes appended this run (the --max-fetch budget)
  bool told_no_resume_ = false;
};

}  // namespace

void GlobalInit() {
  static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)done;
}

std::string AccessProblem(Access& access) {
  const char* credentials = std::getenv("CREDENTIALS_DIRECTORY");
  const char* home = std::getenv("HOME");
  auto from_credentials = [&](const char* name) {
    return credentials != nullptr && *credentials == '/' &&
                   Exists(std::string(credentials) + "/" + name)
               ? std::string(credentials) + "/" + name
               : std::string();
  };
  // systemd's credentials folder is the service's alone; its files are not checked again.
  const bool netrc_from_systemd = access.netrc.empty() && !from_credentials("netrc").empty();
  if (access.netrc.empty()) access.netrc = from_credentials("netrc");
  if (access.netrc.empty() && home != nullptr && *home == '/' &&
      Exists(std::string(home) + "/.netrc")) {
    access.netrc = std::string(home) + "/.netrc";
  }
  if (access.ssh_key.empty()) access.ssh_key = from_credentials("ssh-key");
  if (access.known_hosts.empty()) access.known_hosts = from_credentials("known_hosts");
  if (access.known_hosts.empty()) {
    access.known_hosts =
        (home != nullptr && *home == '/' ? std::string(home) : std::string("/nonexistent")) +
        "/.ssh/known_hosts";
  }
  if (!access.netrc.empty() && !netrc_from_systemd) {
    struct stat st {};
    if (lstat(access.netrc.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      return "netrc file '" + access.netrc + "' cannot be read";
    }
    if (st.st_uid != geteuid()) {
      return "netrc file '" + access.netrc + "' is not yours; it holds passwords";
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
      return "netrc file '" + access.netrc +
             "' may be read or changed by others; it holds passwords: chmod 600 it";
    }
  }
  if (!access.ssh_key.empty() && !Exists(access.ssh_key)) {
    return "SSH key file '" + access.ssh_key + "' cannot be read";
  }
  if (!access.ca_file.empty() && !Exists(access.ca_file)) {
    return "certificate file '" + access.ca_file + "' cannot be read";
  }
  return {};
}

MirrorResult Mirror(const std::string& url, const std::string& spool_root, const Access& access,
                    const Limits& limits) {
  GlobalInit();
  MirrorResult result;
  const std::string shown = ShownUrl(url);
  result.spool = SpoolFolder(spool_root, shown);
  try {
    Spool spool(result.spool, shown);
    Connection c(url, access, limits, spool.figures);
    Run run(spool, c, limits, result);
    if (IsFolderUrl(url)) {
      std::vector<std::string> listing;
      Outcome out = c.List(url, listing);
      if (out.code != CURLE_OK) {
        result.failure = "listing: " + c.Words(out);
      } else {
        std::vector<std::string> members = RotatedMembers(listing, result.failure, result.notes);
        for (const std::string& name : members) {
          if (!run.SyncMember(url + name, name, true)) break;
        }
      }
    } else {
      const std::string name = shown.substr(shown.rfind('/') + 1);
      run.SyncMember(url, name, false);
    }
    if (result.failure.empty()) result.failure = run.failure();
    // A source that has nothing yet still reads as a log: an empty one.
    if (spool.generations().empty()) spool.NewGeneration("");
    result.figures = spool.figures;
    spool.Save();
  } catch (const FileError& e) {
    result.failure =
        std::string("spool: ") + e.what() + (e.reason().empty() ? "" : ": " + e.reason());
  }
  return result;
}

std::string Check(const std::string& url, const Access& access, const Limits& limits) {
  GlobalInit();
  RunFigures figures;
  Limits once = limits;
  once.attempts = 1;
  Connection c(url, access, once, figures);
  const std::string scheme = Scheme(url);
  std::string line = ShownUrl(url) + ": ";
  if (IsFolderUrl(url)) {
    std::vector<std::string> names;
    const Outcome out = c.List(url, names);
    if (out.code != CURLE_OK) return line + "FAILED: " + c.Words(out);
    line += "connected, logged in, listing of " + std::to_string(names.size()) + " names";
    std::string failure;
    std::vector<std::string> notes;
    const std::vector<std::string> members = RotatedMembers(names, failure, notes);
    line += failure.empty() ? ", rotated log of " + std::to_string(members.size()) + " files"
                            : ", " + failure;
    return line;
  }
  Info first;
  Outcome out = c.Query(url, first);
  if (out.code != CURLE_OK) return line + "FAILED: " + c.Words(out);
  line += "connected, logged in";
  if (scheme == "ftps" || scheme == "https" || (scheme == "ftp" && access.ftp_tls_required)) {
    line += ", TLS";
  } else if (scheme == "sftp") {
    line += ", host key " + c.host_key() + " known";
  } else {
    line += ", no encryption";
  }
  line += ", size " + (first.size >= 0 ? std::to_string(first.size) : std::string("unknown"));
  if (first.mtime >= 0) {
    const std::time_t t = static_cast<std::time_t>(first.mtime);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    line += std::string(", modified ") + text;
  } else {
    line += ", time unknown";
  }
  if (first.size > 0) {
    long status = 0;
    uint64_t got = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {  // once more on a new connection
      out =
          c.Get(url, static_cast<uint64_t>(first.size - 1), 1, [&](std::string_view b, long http) {
            status = http;
            got += b.size();
            return got < 2;
          });
      if (out.code == CURLE_OK || !Connection::Passing(out)) break;
    }
    if (out.code != CURLE_OK) {
      line += c.http() ? ", ranges FAILED: " : ", resume FAILED: ";
      line += c.Words(out);
    } else if (c.http()) {
      line += status == 206 ? ", ranges supported" : ", ranges IGNORED (whole file every run)";
    } else {
      line += ", resume supported";
    }
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  Info second;
  out = c.Query(url, second);
  if (out.code != CURLE_OK) return line + ", second probe FAILED: " + c.Words(out);
  if (first.size >= 0 && second.size >= 0) {
    const int64_t growth = second.size - first.size;
    line += growth >= 0 ? ", grew " + std::to_string(growth) + " bytes in 1 s"
                        : ", SHRANK by " + std::to_string(-growth) + " bytes in 1 s";
  }
  return line;
}

}  // namespace barvik::remote
