// kelvalues from-logs: rates every Steam id from the kills in server logs
// and writes the player values file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvalues {

// The command line `from-logs [--min-events N] [--half-life DAYS]
// [--average A] [-o FILE] LOG...`, argv[0] being "from-logs".  Reads every
// LOG (files, and folders of .log and .gz files below them), rates the
// players, writes the values of those with at least N counted kills and
// deaths, and prints what it read and the values' summary to standard
// error.  Exit status: 0 written; 1 nothing written (a LOG that cannot be
// read, no player with enough events, the file could not be written); 2 a
// usage error, said in one line.
int RunFromLogs(int argc, char** argv);

struct FromLogsOptions {
  uint64_t minEvents = 20;
  double halfLifeDays = 0;  // 0: every kill counts the same
  double average = 1000;
  std::string output;  // empty: standard output
  std::vector<std::string> logs;
};

// Reads the options of the command line above; false with `error` saying
// what is wrong (one line) when they make no sense.
bool ParseFromLogsOptions(int argc, char** argv, FromLogsOptions& options, std::string& error);

}  // namespace kelvalues
