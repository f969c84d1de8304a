// kelvalues from-logs: rates every Steam id from the kills in server logs
// and writes the player values file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvalues {

// The command line `from-logs [--min-events N] [--half-life DAYS]
// [--average A] [--now EPOCH] [--max-players M] [--skip-unreadable]
// [-o FILE] LOG...`, argv[0] being "from-logs".  Reads every LOG (files,
// and folders of .log and .gz files below them), rates the players, writes
// the values of those with at least N counted kills and deaths, and prints
// what it read and the values' summary to standard error.  Kill lines
// dated more than a day after the clock (or EPOCH) are not counted.  Exit
// status: 0 written; 1 nothing written (a LOG, or a file or folder in one,
// that cannot be read, unless skipped; more than M players; no player
// with enough events; the file could not be written); 2 a usage error,
// said in one line.
int RunFromLogs(int argc, char** argv);

// The longest half-life taken: 100 years.
inline constexpr double kMaxHalfLifeDays = 36525;

struct FromLogsOptions {
  uint64_t minEvents = 20;
  double halfLifeDays = 0;  // 0: every kill counts the same
  double average = 1000;
  std::optional<int64_t> now;  // none: the clock's
  uint64_t maxPlayers = 1000000;
  bool skipUnreadable = false;
  std::string output;  // empty: standard output
  std::vector<std::string> logs;
};

// Reads the options of the command line above; false with `error` saying
// what is wrong (one line) when they make no sense.
bool ParseFromLogsOptions(int argc, char** argv, FromLogsOptions& options, std::string& error);

}  // namespace kelvalues
