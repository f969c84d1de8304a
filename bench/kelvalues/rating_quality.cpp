// kelvalues_rating_quality: how well from-logs' values rank players by
// their true strength on synthetic logs, against a plain kill/death ratio
// of the same logs, as the kills per player grow (docs/benchmarks.md).
//
//   kelvalues_rating_quality [--players N] [--seeds K] [--mixing F] [EVENTS...]
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "log_reader.h"
#include "rating.h"
#include "synthetic_logs.h"
#include "values_out.h"

namespace {

struct Correlations {
  double values = 0;
  double killDeath = 0;
};

// Generates one set of logs, reads it as from-logs does (every player with
// a counted kill or death) and correlates with the true strengths.
Correlations Measure(const kelvalues::SyntheticLogOptions& options, const std::string& folder) {
  const auto players = kelvalues::MakeSyntheticPlayers(options);
  std::string error;
  if (!kelvalues::WriteSyntheticLogs(options, players, folder, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  if (!kelvalues::ListLogFiles({folder}, files, unreadable, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  kelvalues::KillTally tally;
  kelvalues::LogCounts counts;
  for (const std::string& file : files) (void)kelvalues::ReadLogFile(file, tally, counts, error);
  for (const std::string& file : files) std::filesystem::remove(file);
  const kelvalues::Fit fit = kelvalues::FitStrengths(tally);

  std::vector<std::pair<std::string, double>> scores;
  std::vector<double> killDeath;
  for (std::size_t i = 0; i < tally.Players().size(); ++i) {
    const auto& p = tally.Players()[i];
    scores.emplace_back(p.Id(), fit.strength[i]);
    killDeath.push_back(static_cast<double>(p.kills) /
                        static_cast<double>(p.deaths != 0 ? p.deaths : 1));
  }
  const auto lines = kelvalues::ScaleToAverage(scores, 1000);
  std::vector<double> truth;
  std::vector<double> values;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (const auto& player : players) {
      if (player.id == lines[i].id) truth.push_back(player.logStrength);
    }
    values.push_back(lines[i].value);
  }
  return {kelvalues::SpearmanCorrelation(values, truth),
          kelvalues::SpearmanCorrelation(killDeath, truth)};
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, number);
  return status == std::errc() && stop == end;
}

}  // namespace

int main(int argc, char** argv) {
  kelvalues::SyntheticLogOptions options;
  int seeds = 3;
  std::vector<double> events;
  for (int k = 1; k < argc; ++k) {
    const std::string_view word = argv[k];
    bool good = true;
    if (word == "--players" && k + 1 < argc) {
      good = ReadNumber(std::string_view(argv[++k]), options.players) && options.players >= 2;
    } else if (word == "--seeds" && k + 1 < argc) {
      good = ReadNumber(std::string_view(argv[++k]), seeds) && seeds >= 1;
    } else if (word == "--mixing" && k + 1 < argc) {
      good = ReadNumber(std::string_view(argv[++k]), options.mixing);
    } else {
      double e = 0;
      good = ReadNumber(word, e) && e > 0;
      events.push_back(e);
    }
    if (!good) {
      (void)std::fprintf(stderr,
                         "usage: kelvalues_rating_quality [--players N] [--seeds K] "
                         "[--mixing F] [EVENTS...]\n");
      return 2;
    }
  }
  if (events.empty()) events = {10, 20, 50, 100, 200, 400};

  char pattern[] = "/tmp/kelvalues-quality-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string folder = pattern;
  std::printf("%d players, %d servers, mixing %.2f, mean of %d seeds\n", options.players,
              options.servers, options.mixing, seeds);
  std::printf("| events per player | Spearman, from-logs values | Spearman, kills/deaths |\n");
  std::printf("|---:|---:|---:|\n");
  for (const double e : events) {
    options.eventsPerPlayer = e;
    Correlations sum;
    for (int s = 1; s <= seeds; ++s) {
      options.seed = static_cast<uint64_t>(s);
      const Correlations c = Measure(options, folder);
      sum.values += c.values;
      sum.killDeath += c.killDeath;
    }
    std::printf("| %g | %.3f | %.3f |\n", e, sum.values / seeds, sum.killDeath / seeds);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
