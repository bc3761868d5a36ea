// The batch run without a display: analyse a log, write the report into a folder, with the
// status texts, per-line errors and failures on `err` instead of on a window. Returns the
// process exit status: kExitOk only when the report was written completely, kExitUsage when
// the log is missing or cannot be read (nothing is written then), kExitFailure when the
// export failed or memory ran out, kExitBusy when another run holds the folder,
// kExitSourcesFailed when LOG is a URL that could not be fetched (the report is made from
// what earlier runs fetched). A QApplication (offscreen platform) must exist.
#pragma once

#include <iosfwd>
#include <string>

namespace barvik {

class Workspace;

int RunHeadlessBatch(Workspace& workspace, const std::string& log, const std::string& dir,
                     std::ostream& err);

}  // namespace barvik
