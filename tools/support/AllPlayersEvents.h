// Every player's events from one walk over the whole log: the reference the tests and the log
// fuzzer hold each player's scan from his index against, and the benchmarks' measure of a
// pass over all players. The product never needs them all at once.
#pragma once

#include <string>
#include <vector>

#include "core/LineError.h"
#include "stats/PlayerDetail.h"

namespace barvik {

class LogFile;

// One PlayerEvents per name, in the order of `names`, all over one shared pool, from a single
// walk over the log. Each equals what CollectPlayerEvents gives for that name alone; a name
// given twice gets two equal results. Per-line failures are reported once, as "PLAYER".
std::vector<PlayerEvents> CollectAllPlayersEvents(const LogFile& log,
                                                  const std::vector<std::string>& names,
                                                  const LineErrorReporter& report_error);

}  // namespace barvik
