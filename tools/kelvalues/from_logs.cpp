#include "from_logs.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "command_line.h"
#include "log_reader.h"
#include "rating.h"
#include "values_out.h"

namespace kelvalues {
namespace {

template <typename Number>
bool ReadNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, number);
  return status == std::errc() && stop == end;
}

// What the reading came to, for standard error.
std::string ReadingReport(const LogCounts& c) {
  char text[1024];  // the words and 14 numbers of at most 20 digits: far less
  (void)std::snprintf(
      text, sizeof text,
      "from-logs: read %llu files, %llu lines, %llu kills counted\n"
      "from-logs: skipped %llu team kills, %llu suicides, %llu kills by or of the "
      "world, %llu with bots or non-Steam ids, %llu with '\"', '<' or '>' in a name, "
      "%llu not valid UTF-8, %llu malformed lines, %llu lines over %zu bytes\n"
      "from-logs: %llu files truncated (read up to the cut), %llu unreadable\n",
      static_cast<unsigned long long>(c.files), static_cast<unsigned long long>(c.lines),
      static_cast<unsigned long long>(c.counted), static_cast<unsigned long long>(c.teamKills),
      static_cast<unsigned long long>(c.suicides), static_cast<unsigned long long>(c.world),
      static_cast<unsigned long long>(c.notSteam), static_cast<unsigned long long>(c.badNames),
      static_cast<unsigned long long>(c.badUtf8), static_cast<unsigned long long>(c.malformed),
      static_cast<unsigned long long>(c.longLines), kMaxLineBytes,
      static_cast<unsigned long long>(c.truncatedFiles),
      static_cast<unsigned long long>(c.unreadableFiles));
  return text;
}

int Fail(const std::string& why) {
  (void)std::fprintf(stderr, "kelvalues from-logs: %s\n", why.c_str());
  return 1;
}

}  // namespace

namespace {

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
    if (ReadNumber(value, options.halfLifeDays) && std::isfinite(options.halfLifeDays) &&
        options.halfLifeDays > 0) {
      return true;
    }
    error = "--half-life takes a number of days above 0, not " + QuoteArgument(value);
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
    } else if (word != "--min-events" && word != "--half-life" && word != "--average" &&
               word != "-o") {
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
  std::vector<std::string> files;
  if (!ListLogFiles(options.logs, files, error)) return Fail(error);
  // For comparing the two ways of reading lines; both give the same file.
  if (std::getenv("KELVALUES_PORTABLE") != nullptr) SetWideMarkFinding(false);

  KillTally tally(options.halfLifeDays);
  LogCounts counts;
  for (const std::string& file : files) ReadLogFile(file, tally, counts);
  (void)std::fputs(ReadingReport(counts).c_str(), stderr);

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
      scores.emplace_back(players[i].id, fit.strength[i]);
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
