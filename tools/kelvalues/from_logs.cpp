#include "from_logs.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <utility>

#include "command_line.h"
#include "log_reader.h"
#include "rating.h"
#include "values_out.h"

namespace kelvalues {
namespace {

// 9999-12-31 23:59:59 UTC.
constexpr int64_t kLastLogSecond = 253402300799;
// Kill lines dated this far after the clock are a wrong clock's (a server's
// or a copied log's): servers write local time, never more than a day ahead.
constexpr int64_t kFutureSlackSeconds = 86400;

template <typename Number>
bool ReadNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, number);
  return status == std::errc() && stop == end;
}

// What the reading came to, for standard error.
std::string ReadingReport(const LogCounts& c) {
  char text[1024];  // the words and 15 numbers of at most 20 digits: far less
  (void)std::snprintf(
      text, sizeof text,
      "from-logs: read %llu files, %llu lines, %llu kills counted\n"
      "from-logs: skipped %llu team kills, %llu suicides, %llu kills by or of the "
      "world, %llu with bots or non-Steam ids, %llu with '\"', '<' or '>' in a name, "
      "%llu not valid UTF-8, %llu malformed lines, %llu lines over %zu bytes, "
      "%llu dated in the future\n"
      "from-logs: %llu files truncated (read up to the cut), %llu unreadable\n",
      static_cast<unsigned long long>(c.files), static_cast<unsigned long long>(c.lines),
      static_cast<unsigned long long>(c.counted), static_cast<unsigned long long>(c.teamKills),
      static_cast<unsigned long long>(c.suicides), static_cast<unsigned long long>(c.world),
      static_cast<unsigned long long>(c.notSteam), static_cast<unsigned long long>(c.badNames),
      static_cast<unsigned long long>(c.badUtf8), static_cast<unsigned long long>(c.malformed),
      static_cast<unsigned long long>(c.longLines), kMaxLineBytes,
      static_cast<unsigned long long>(c.future), static_cast<unsigned long long>(c.truncatedFiles),
      static_cast<unsigned long long>(c.unreadableFiles));
  return text;
}

int Fail(const std::string& why) {
  (void)std::fprintf(stderr, "kelvalues from-logs: %s\n", why.c_str());
  return 1;
}

constexpr const char* kSkipHint = " (--skip-unreadable reads on without it)";

// One line for the unreadable paths that stop the run: the first, and how
// many more there are.
std::string UnreadableStop(const std::vector<std::string>& unreadable) {
  std::string text = "cannot read " + unreadable.front();
  if (unreadable.size() > 1) text += " (and " + std::to_string(unreadable.size() - 1) + " more)";
  return text + "; nothing written" + kSkipHint;
}

// Takes the value of the option `word`; false, with `error`, when it is
// none the option takes.
bool SetOption(std::string_view word, std::string_view value, FromLogsOptions& options,
               std::string& error) {
  if (word == "-o") {
    if (!value.empty()) {
      options.output = value;
      return true;
    }
    error = "-o needs a file name";
  } else if (word == "--min-events") {
    if (ReadNumber(value, options.minEvents)) return true;
    error = "--min-events takes a whole number of 0 or more, not " + QuoteArgument(value);
  } else if (word == "--half-life") {
    if (ReadNumber(value, options.halfLifeDays) && options.halfLifeDays > 0 &&
        options.halfLifeDays <= kMaxHalfLifeDays) {
      return true;
    }
    error = "--half-life takes a number of days above 0, at most 36525 (100 years), not " +
            QuoteArgument(value);
  } else if (word == "--now") {
    int64_t now = 0;
    // Up to the year 9999, the last a log line can be dated in.
    if (ReadNumber(value, now) && now >= 0 && now <= kLastLogSecond) {
      options.now = now;
      return true;
    }
    error =
        "--now takes seconds since 1970-01-01 UTC (0 to 253402300799), not " + QuoteArgument(value);
  } else if (word == "--max-players") {
    if (ReadNumber(value, options.maxPlayers) && options.maxPlayers > 0) return true;
    error = "--max-players takes a whole number above 0, not " + QuoteArgument(value);
  } else {
    if (ReadNumber(value, options.average) && options.average >= 1 &&
        options.average <= 2147483647.0) {
      return true;
    }
    error = "--average takes a number from 1 to 2147483647, not " + QuoteArgument(value);
  }
  return false;
}

}  // namespace

bool ParseFromLogsOptions(int argc, char** argv, FromLogsOptions& options, std::string& error) {
  bool optionsEnd = false;
  for (int k = 1; k < argc; ++k) {
    const std::string_view word = argv[k];
    if (optionsEnd || word.empty() || word[0] != '-' || word == "-") {
      options.logs.emplace_back(word);
    } else if (word == "--") {
      optionsEnd = true;
    } else if (word == "--skip-unreadable") {
      options.skipUnreadable = true;
    } else if (word != "--min-events" && word != "--half-life" && word != "--average" &&
               word != "--now" && word != "--max-players" && word != "-o") {
      error = "unknown option " + QuoteArgument(word);
      return false;
    } else if (k + 1 >= argc) {
      error = std::string(word) + " needs a value";
      return false;
    } else if (!SetOption(word, argv[++k], options, error)) {
      return false;
    }
  }
  if (options.logs.empty()) {
    error = "no log file or folder named";
    return false;
  }
  return true;
}

int RunFromLogs(int argc, char** argv) {
  FromLogsOptions options;
  std::string error;
  if (!ParseFromLogsOptions(argc, argv, options, error)) {
    return UsageError("from-logs: " + error + "; kelvalues --help shows its usage");
  }
  if (!options.output.empty() && !CheckOutputPath(options.output, error)) return Fail(error);
  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  if (!ListLogFiles(options.logs, files, unreadable, error)) return Fail(error);
  if (!unreadable.empty() && !options.skipUnreadable) return Fail(UnreadableStop(unreadable));
  LogCounts counts;
  for (const std::string& skipped : unreadable) {
    (void)std::fprintf(stderr, "from-logs: skipped, cannot read %s\n", skipped.c_str());
    ++counts.unreadableFiles;
  }
  const int64_t now = options.now.value_or(static_cast<int64_t>(std::time(nullptr)));
  KillTally tally(options.halfLifeDays, now + kFutureSlackSeconds,
                  static_cast<std::size_t>(options.maxPlayers));
  for (const std::string& file : files) {
    if (tally.Full()) break;
    if (ReadLogFile(file, tally, counts, error)) continue;
    if (!options.skipUnreadable) return Fail(error + "; nothing written" + kSkipHint);
    (void)std::fprintf(stderr, "from-logs: skipped, %s\n", error.c_str());
  }
  (void)std::fputs(ReadingReport(counts).c_str(), stderr);
  if (tally.Full()) {
    return Fail("the logs name more than " + std::to_string(options.maxPlayers) +
                " players (--max-players); nothing written");
  }

  const Fit fit = FitStrengths(tally);
  if (!fit.converged) {
    (void)std::fprintf(stderr,
                       "from-logs: the rating did not settle in %d rounds; written as it stood\n",
                       fit.rounds);
  }
  std::vector<std::pair<std::string, double>> scores;
  const std::vector<KillTally::Player>& players = tally.Players();
  for (std::size_t i = 0; i < players.size(); ++i) {
    const uint64_t events = players[i].kills + players[i].deaths;
    if (events > 0 && events >= options.minEvents)
      scores.emplace_back(players[i].Id(), fit.strength[i]);
  }
  (void)std::fprintf(stderr,
                     "from-logs: %zu players rated (%d rounds), %zu with at least %llu counted "
                     "kills and deaths written\n",
                     players.size(), fit.rounds, scores.size(),
                     static_cast<unsigned long long>(options.minEvents));
  if (scores.empty()) {
    return Fail("no player has " + std::to_string(options.minEvents) +
                " counted kills and deaths; nothing written");
  }
  const std::vector<ValueLine> lines = ScaleToAverage(scores, options.average);
  const std::string summary = Summary(lines);
  if (!WriteValuesFile(lines, options.output, error)) return Fail(error);
  (void)std::fputs(summary.c_str(), stderr);
  return 0;
}

}  // namespace kelvalues
