#include "ui/BatchRun.h"

#include <ostream>

#include "app/Cli.h"
#include "app/Workspace.h"
#include "core/FileError.h"
#include "ui/OffscreenImageSource.h"

namespace barvik {
namespace {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

int RunHeadlessBatch(Workspace& ws, const std::string& log, const std::string& dir,
                     std::ostream& err) {
  std::string activity, progress;
  ws.hooks.status_changed = [&] {
    if (ws.status(kPanelActivity) != activity) {
      activity = ws.status(kPanelActivity);
      if (!activity.empty()) err << "barvik: " << activity << "\n";
    }
    if (ws.status(kPanelProgress) != progress) {
      progress = ws.status(kPanelProgress);
      if (!progress.empty()) err << "barvik: exporting player " << progress << "\n";
    }
  };
  ws.hooks.line_error = [&](const std::string& message) {
    err << "barvik: " << OneLine(message) << "\n";
  };
  ws.options().dest_dir = dir;
  try {
    if (!ws.RunAnalysis(log)) {
      err << "barvik: " << FileError::CannotOpen(log).what() << "\n";
      return kExitUsage;
    }
  } catch (const std::exception& e) {
    err << "barvik: " << OneLine(e.what()) << "\n";
    return kExitUsage;
  }
  try {
    OffscreenImageSource images(ws);
    ws.ButtonHTMLClick(images);
  } catch (const std::exception& e) {
    err << "barvik: " << OneLine(e.what()) << "\n";
    return kExitFailure;
  }
  err << "barvik: report written to " << dir << "\n";
  return kExitOk;
}

}  // namespace barvik
