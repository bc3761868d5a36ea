// The large generated log the benchmarks share: about 1,000,000 lines (some 100 MB) with a
// few hundred players, written once to a file in the temporary folder and reused.
#pragma once

#include <string>

namespace barvik {

// Path of the log with `lines` lines; generated on first use.
std::string BenchLogPath(size_t lines = 1000000, int players = 300);

}  // namespace barvik
