// Mirroring remote logs into spools with libcurl, the only transfer code of Barvik: FTP,
// FTPS (implicit TLS; explicit TLS on ftp:// with `ftp_tls_required`), SFTP (libssh2), HTTP
// and HTTPS.
//
// One run of a source asks for the remote size and time (a folder: its listing, then each
// member's); when they match what the spool holds, nothing is transferred. Otherwise the first
// 4 KiB are read and compared with the spool's (a changed head is another file), then only the
// bytes after the mirrored end are fetched. A smaller remote file, a changed head, an HTTP 416
// or an offset beyond the end starts a new generation; a server that refuses to resume or
// ignores ranges sends the whole file, which is checked against the spool and only its new
// bytes appended. See docs/remote-logs.md.
//
// Failures never throw: connect and low-speed time-outs end a stuck transfer, transient
// failures are tried again with back-off, what arrived before a failure is kept, and the
// result names what failed in words. No text made here holds a password.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "remote/Spool.h"

namespace barvik::remote {

// How to log in and what to trust. Holds file names only, never a secret.
struct Access {
  std::string netrc;        // a netrc file with the logins (checked by AccessProblem); "": none
  std::string ssh_key;      // SFTP: private key file; its public key beside it as FILE.pub
  std::string known_hosts;  // SFTP: known hosts file; "": the default (AccessProblem fills it)
  std::string ca_file;      // TLS: certificates to trust besides the system's
  bool ftp_tls_required = false;  // ftp://: explicit TLS or no transfer at all
};

// Fills the defaults of `access` (a netrc, SSH key and known hosts file from systemd's
// $CREDENTIALS_DIRECTORY when there are such files and none is given; else ~/.netrc when it
// exists and ~/.ssh/known_hosts) and checks them: empty when they can be used, else why not.
// A netrc file must be this user's regular file that neither group nor others may read
// (one from systemd's credentials folder, which only the service can reach, is taken as is).
std::string AccessProblem(Access& access);

struct Limits {
  uint64_t max_fetch = 0;       // bytes one run may fetch of one source; 0: no limit
  int attempts = 3;             // tries of a transfer that failed for a passing reason
  int first_backoff_ms = 1000;  // the wait before the second try, doubled after each
  long connect_timeout_s = 20;
  long low_speed_time_s = 30;  // a transfer below 1 byte/s for this long is given up
};

struct MirrorResult {
  std::string spool;               // the spool folder (exists even when the run failed)
  std::string failure;             // what failed, in words; empty when all went well
  std::vector<std::string> notes;  // things worth telling once (a server ignores ranges)
  RunFigures figures;
};

// Brings the spool of `url` under `spool_root` up to date. `url` must have passed
// UrlProblem.
MirrorResult Mirror(const std::string& url, const std::string& spool_root, const Access& access,
                    const Limits& limits);

// Probes `url` without keeping anything: connects, logs in, checks TLS or the host key,
// asks for the size and time twice a second apart, tries a resume (or range) of the last
// byte. One line, safe to paste into a bug report: no password, no file contents.
std::string Check(const std::string& url, const Access& access, const Limits& limits);

// Sets up libcurl once per process (before threads).
void GlobalInit();

}  // namespace barvik::remote
