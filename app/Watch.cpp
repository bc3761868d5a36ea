#include "app/Watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>

#ifdef __linux__
#include <sys/inotify.h>
#endif

#include "log/LogSource.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

volatile std::sig_atomic_t stop_requested = 0;
std::array<int, 2> wake_pipe = {-1, -1};
struct sigaction previous_int {};
struct sigaction previous_term {};
struct sigaction previous_hup {};

void OnStopSignal(int /*signal*/) {
  stop_requested = 1;
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already wakes the reader.
  [[maybe_unused]] const ssize_t n = write(wake_pipe[1], &byte, 1);
}

// Milliseconds left until `deadline`, at least 0.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Polls `fds` until one is readable or `milliseconds` passed; true when one is readable.
bool PollFor(std::array<pollfd, 2>& fds, nfds_t count, int milliseconds) {
  for (;;) {
    const int n = poll(fds.data(), count, milliseconds);
    if (n >= 0) return n > 0;
    if (errno != EINTR) return false;
    if (stop_requested != 0) return true;
  }
}

void Drain(int fd) {
  std::array<char, 4096> buffer{};
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
}

}  // namespace

StopSignals::StopSignals() {
  stop_requested = 0;
  if (pipe2(wake_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) wake_pipe = {-1, -1};
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_int);
  sigaction(SIGTERM, &action, &previous_term);
  // A closed terminal or a service manager's reload: stopped as cleanly as by SIGTERM.
  sigaction(SIGHUP, &action, &previous_hup);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &previous_int, nullptr);
  sigaction(SIGTERM, &previous_term, nullptr);
  sigaction(SIGHUP, &previous_hup, nullptr);
  for (int& fd : wake_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

bool StopSignals::requested() { return stop_requested != 0; }

int StopSignals::wake_fd() { return wake_pipe[0]; }

std::string InputFingerprint(const std::vector<std::string>& operands) {
  std::string fingerprint;
  std::vector<std::string> files;
  try {
    files = ExpandLogOperands(operands);
  } catch (const std::exception&) {
    files = operands;  // an unreadable folder: its own state stands for it
  }
  for (const std::string& file : files) {
    fingerprint += file;
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) {
      fingerprint += "\t-\n";
      continue;
    }
    fingerprint += '\t' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
                   std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
                   std::to_string(st.st_mtim.tv_nsec) + '\n';
  }
  return fingerprint;
}

ChangeWaiter::ChangeWaiter(const std::vector<std::string>& operands) {
#ifdef __linux__
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;
  std::set<std::string> folders;
  for (const std::string& operand : operands) {
    std::error_code ec;
    const fs::path path(operand);
    if (fs::is_directory(path, ec)) {
      folders.insert(path.string());
    } else {
      folders.insert(path.has_parent_path() ? path.parent_path().string() : ".");
    }
  }
  constexpr uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                               IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
  for (const std::string& folder : folders) {
    if (inotify_add_watch(fd_, folder.c_str(), kEvents) < 0) {
      // A folder that cannot be watched: the timer alone decides.
      close(fd_);
      fd_ = -1;
      return;
    }
  }
#else
  (void)operands;
#endif
}

ChangeWaiter::~ChangeWaiter() {
  if (fd_ >= 0) close(fd_);
}

void ChangeWaiter::Wait(int seconds) const {
  if (fd_ < 0) {
    Sleep(seconds);
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::array<pollfd, 2> fds = {pollfd{StopSignals::wake_fd(), POLLIN, 0}, pollfd{fd_, POLLIN, 0}};
  if (StopSignals::requested() || !PollFor(fds, 2, MillisecondsUntil(deadline))) return;
  if (StopSignals::requested()) return;
  // A change: wait until the folders have been quiet for a quarter second (or the period
  // ends), so that a writer's burst gives one run rather than many.
  constexpr int kQuietMilliseconds = 250;
  do {
    Drain(fd_);
    fds[1].revents = 0;
  } while (!StopSignals::requested() &&
           PollFor(fds, 2, std::min(kQuietMilliseconds, MillisecondsUntil(deadline))) &&
           MillisecondsUntil(deadline) > 0);
}

void ChangeWaiter::Sleep(int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::array<pollfd, 2> fds = {pollfd{StopSignals::wake_fd(), POLLIN, 0}, pollfd{-1, 0, 0}};
  while (!StopSignals::requested() && MillisecondsUntil(deadline) > 0) {
    PollFor(fds, 1, MillisecondsUntil(deadline));
  }
}

}  // namespace barvik
