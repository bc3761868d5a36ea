// The pieces of `barvik-cli watch`: stop requests by signal, the identity of the input files,
// and the wait for the next change (inotify where the system has it, else a timer).
#pragma once

#include <string>
#include <vector>

namespace barvik {

// While one lives, SIGINT, SIGTERM and SIGHUP do not end the process; they are noted instead, and
// wake a ChangeWaiter. The previous handlers come back when it goes.
class StopSignals {
 public:
  StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals();

  // True once a stop signal arrived.
  static bool requested();
  // Readable once a stop signal arrived (for poll).
  static int wake_fd();
};

// What tells a changed input from an unchanged one: for every file the LOG operands stand
// for (a folder's rotated members included), its name, device, inode, size and modification
// time. Growing, rotation and replacement all change it; a missing operand shows as such.
std::string InputFingerprint(const std::vector<std::string>& operands);

// Waits for the inputs to change. With inotify it watches the operands' folders (a folder
// operand itself), so a rotation that renames or creates files is seen at once; otherwise,
// or when inotify cannot be set up, it simply sleeps.
class ChangeWaiter {
 public:
  explicit ChangeWaiter(const std::vector<std::string>& operands);
  ChangeWaiter(const ChangeWaiter&) = delete;
  ChangeWaiter& operator=(const ChangeWaiter&) = delete;
  ~ChangeWaiter();

  // Returns after `seconds`, after a change in a watched folder (once it has been quiet for
  // a moment, so that a burst of writes gives one run), or at a stop request.
  void Wait(int seconds) const;
  // Returns after `seconds` or at a stop request, whatever changes meanwhile.
  static void Sleep(int seconds);

  bool uses_inotify() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // the inotify instance, or -1
};

}  // namespace barvik
