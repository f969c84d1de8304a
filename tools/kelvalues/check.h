// kelvalues check: what the plugin would make of a values file, and what in
// it an operator most likely did not mean.
#pragma once

#include <string>

namespace kelvalues {

// Exit statuses of `kelvalues check`.
// A cron job installs the file on 0 and 1, never on 3.
enum CheckStatus : int {
  kCheckClean = 0,     // the plugin would load it; nothing to warn about
  kCheckWarnings = 1,  // the plugin would load it as meant; see the warnings
  // Do not install: the plugin would not load it, or it would give unknown
  // players values far from everybody else's (an outlier moves the average
  // by more than half of what it is without it, or the values sum below 0).
  kCheckDoNotInstall = 3,
  kCheckNotLoadable = kCheckDoNotInstall,
};

struct CheckResult {
  int status;
  std::string report;  // lines ending in "\n"
};

// Loads `path` with the plugin's own loader and reads it once more, line by
// line, for the report:
//   FILE: N lines, D distinct ids, sum S, average A
//   the plugin would log: kel: read D player values from "FILE" (average A)
// (or the plugin's line about a failed load; a file that cannot be opened
// gives that line alone), then one "warning: " line for each finding, each
// naming its lines (1-based; a byte-order mark does not shift them).  Up to
// 20 lines of one kind are shown, then how many more there are.  Every
// text from the file is shown quoted, escaped and cut at 64 bytes.
//
// Outliers are entries (lines with a comma, an id and digits) whose value lies more
// than 3 times the interquartile range outside the quartiles (Tukey's
// hinges; the range taken as at least a tenth of the median, so a file of
// near-equal values has none), looked for when there are 5 entries or more.
CheckResult CheckValuesFile(const std::string& path);

// The command: argv[0] "check", argv[1] the file.  Prints the report to
// standard output; gives its status, or kExitUsage.
int RunCheck(int argc, char** argv);

}  // namespace kelvalues
