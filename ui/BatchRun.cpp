#include "ui/BatchRun.h"

#include <ostream>

#include "app/Cli.h"
#include "app/RemoteLogs.h"
#include "app/Workspace.h"
#include "core/FileError.h"
#include "log/LogSource.h"
#include "remote/RemoteUrl.h"
#include "report/ReportFolder.h"
#include "ui/OffscreenImageSource.h"

namespace barvik {

int RunHeadlessBatch(Workspace& ws, const std::string& log, const std::string& dir,
                     std::ostream& err) {
  std::string activity, progress;
  ws.hooks.status_changed = [&] {
    if (ws.status(kPanelActivity) != activity) {
      activity = ws.status(kPanelActivity);
      if (!activity.empty()) err << "barvik: " << TerminalText(activity) << "\n";
    }
    if (ws.status(kPanelProgress) != progress) {
      progress = ws.status(kPanelProgress);
      if (!progress.empty()) err << "barvik: exporting player " << progress << "\n";
    }
  };
  ws.hooks.line_error = [&](const std::string& message) {
    err << "barvik: " << TerminalText(message) << "\n";
  };
  ws.hooks.notice = [&](const std::string& message) {
    err << "barvik: " << TerminalText(message) << "\n";
  };
  ws.options().dest_dir = dir;
  // A remote log is fetched into its spool first, which is then read like a local log.
  RemoteSources remote;
  remote.program = "barvik";
  if (std::string problem = remote.Check({log}); !problem.empty()) {
    err << "barvik: " << TerminalText(problem) << "\n";
    return kExitUsage;
  }
  const bool fetched = remote::IsRemoteName(log);
  try {
    if (fetched ? !ws.RunAnalysis(ExpandLogOperands(remote.Fetch({log}, ws.cache_folder, err)))
                : !ws.RunAnalysis(log)) {
      err << "barvik: " << TerminalText(FileError::CannotOpen(log).what()) << "\n";
      return kExitUsage;
    }
    for (const std::string& file : ws.log()->unrecognised_files()) {
      err << "barvik: " << TerminalText(UnrecognisedLogText(file)) << "\n";
    }
  } catch (const std::bad_alloc& e) {
    err << "barvik: " << FailureText(e) << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << "barvik: " << FailureText(e) << "\n";
    return kExitUsage;
  }
  try {
    OffscreenImageSource images(ws);
    ws.ButtonHTMLClick(images);
  } catch (const ReportFolderBusy& e) {
    err << "barvik: " << FailureText(e) << "\n";
    return kExitBusy;
  } catch (const std::exception& e) {
    err << "barvik: " << FailureText(e) << "\n";
    return kExitFailure;
  }
  err << "barvik: report written to " << TerminalText(dir) << "\n";
  return remote.failed() ? kExitSourcesFailed : kExitOk;
}

}  // namespace barvik
