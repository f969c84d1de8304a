// kelvalues_synthetic_logs: writes synthetic server logs with a known
// answer (see synthetic_logs.h) into a folder, and the players' true
// strengths beside them when asked.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "synthetic_logs.h"

namespace {

constexpr const char* kUsage =
    "usage: kelvalues_synthetic_logs [--players N] [--events-per-player E | --megabytes M]\n"
    "         [--seed S] [--days D] [--servers K] [--mixing F] [--spread SD] [--noise F]\n"
    "         [--truth FILE] FOLDER\n";

template <typename Number>
bool ReadNumber(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, number);
  return status == std::errc() && stop == end;
}

int Usage(const char* why) {
  (void)std::fprintf(stderr, "kelvalues_synthetic_logs: %s\n%s", why, kUsage);
  return 2;
}

// Takes one option's value; "" when it is good, else what is wrong.
const char* SetOption(std::string_view word, std::string_view value,
                      kelvalues::SyntheticLogOptions& options, std::string& truth) {
  bool good = true;
  if (word == "--players") {
    good = ReadNumber(value, options.players) && options.players >= 2;
  } else if (word == "--events-per-player") {
    good = ReadNumber(value, options.eventsPerPlayer) && options.eventsPerPlayer > 0;
  } else if (word == "--megabytes") {
    good = ReadNumber(value, options.megabytes) && options.megabytes > 0;
  } else if (word == "--seed") {
    good = ReadNumber(value, options.seed);
  } else if (word == "--days") {
    good = ReadNumber(value, options.days) && options.days >= 1 && options.days <= 366;
  } else if (word == "--servers") {
    good = ReadNumber(value, options.servers) && options.servers >= 1;
  } else if (word == "--mixing") {
    good = ReadNumber(value, options.mixing) && options.mixing >= 0 && options.mixing <= 1;
  } else if (word == "--spread") {
    good = ReadNumber(value, options.spread) && options.spread >= 0;
  } else if (word == "--noise") {
    good = ReadNumber(value, options.noise) && options.noise >= 0 && options.noise < 1;
  } else if (word == "--truth") {
    truth = value;
  } else {
    return "unknown option";
  }
  return good ? "" : "an option's value is out of range";
}

bool WriteTruth(const std::string& path, const std::vector<kelvalues::SyntheticPlayer>& players) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  for (const auto& player : players) {
    (void)std::fprintf(file, "%s,%.6f\n", player.id.c_str(), player.logStrength);
  }
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  kelvalues::SyntheticLogOptions options;
  std::string truth;
  std::string folder;
  for (int k = 1; k < argc; ++k) {
    const std::string_view word = argv[k];
    if (word.substr(0, 2) != "--") {
      if (!folder.empty()) return Usage("one folder only");
      folder = word;
      continue;
    }
    if (k + 1 >= argc) return Usage("an option lacks its value");
    const char* wrong = SetOption(word, argv[++k], options, truth);
    if (*wrong != '\0') return Usage(wrong);
  }
  if (folder.empty()) return Usage("no folder named");

  const auto players = kelvalues::MakeSyntheticPlayers(options);
  std::string error;
  if (!kelvalues::WriteSyntheticLogs(options, players, folder, error)) {
    (void)std::fprintf(stderr, "kelvalues_synthetic_logs: %s\n", error.c_str());
    return 1;
  }
  if (!truth.empty() && !WriteTruth(truth, players)) {
    std::perror(truth.c_str());
    return 1;
  }
  return 0;
}
