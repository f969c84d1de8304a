// kelvalues from-logs as an operator runs it: its options, what ages and
// the event threshold do to the file, and how well it ranks players of
// known strength.
#include "from_logs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "log_reader.h"
#include "rating.h"
#include "synthetic_logs.h"
#include "temp_folder.h"

namespace kelvalues {
namespace {

int RunCommand(std::vector<std::string> words) {
  words.insert(words.begin(), "from-logs");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return RunFromLogs(static_cast<int>(words.size()), argv.data());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, int> ReadValues(const std::string& path) {
  std::map<std::string, int> values;
  std::istringstream lines(ReadText(path));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t comma = line.find(',');
    values[line.substr(0, comma)] = std::stoi(line.substr(comma + 1));
  }
  return values;
}

// `count` kills of `victim` by `killer` on `date`, a second apart.
std::string Kills(const char* date, int count, const char* killer, const char* victim) {
  std::string text;
  for (int k = 0; k < count; ++k) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "L %s - 20:%02d:%02d: \"K<1><%s><team_one>\" killed \"V<2><%s><team_two>\" "
                  "with \"rifle\"\n",
                  date, k / 60 % 60, k % 60, killer, victim);
    text += line;
  }
  return text;
}

TEST(FromLogs, RefusesWhatMakesNoSense) {
  TempFolder temp;
  const std::string log = temp.path() + "/a.log";
  std::ofstream(log) << Kills("05/01/2024", 25, "STEAM_0:0:1", "STEAM_0:0:2")
                     << Kills("05/01/2024", 25, "STEAM_0:0:2", "STEAM_0:0:1");
  const std::string out = temp.path() + "/player_values.txt";
  struct Case {
    std::vector<std::string> words;
    int status;
  };
  const Case cases[] = {
      {{}, 2},
      {{"-o", out}, 2},
      {{log, "-o"}, 2},
      {{log, "--half-life", "0"}, 2},
      {{log, "--half-life", "-3"}, 2},
      {{log, "--half-life", "nan"}, 2},
      {{log, "--half-life", "30days"}, 2},
      {{log, "--min-events", "-1"}, 2},
      {{log, "--average", "0.5"}, 2},
      {{log, "--average", "3e9"}, 2},
      {{log, "--verbose"}, 2},
      {{log, "--half-life", "36526"}, 2},  // beyond 100 years
      {{log, "--half-life", "1e300"}, 2},
      {{log, "--now", "-1"}, 2},
      {{log, "--now", "253402300800"}, 2},  // after the year 9999
      {{log, "--max-players", "0"}, 2},
      {{temp.path() + "/missing.log", "-o", out}, 1},
      // Two players are more than one: stopped, nothing written.
      {{log, "--max-players", "1", "-o", out}, 1},
      // Nobody reaches 100 counted events: nothing is written.
      {{log, "--min-events", "100", "-o", out}, 1},
      {{log, "--max-players", "2", "--half-life", "36525", "--now", "1714608000", "-o", out}, 0},
      {{log, "--half-life", "30", "--average", "500", "--min-events", "50", "-o", out}, 0},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const std::string& w : c.words) words += w + " ";
    SCOPED_TRACE(words);
    std::ofstream(out, std::ios::binary) << "yesterday's file\n";
    EXPECT_EQ(RunCommand(c.words), c.status);
    if (c.status != 0) {
      EXPECT_EQ(ReadText(out), "yesterday's file\n");
    }
  }
  EXPECT_EQ(ReadText(out), "STEAM_0:0:1,500\nSTEAM_0:0:2,500\n");
}

// Two players of whom A won everything long ago and B everything lately,
// and a few with about the threshold's number of events.
TEST(FromLogs, AgeAndEventThresholdShapeTheFile) {
  TempFolder temp;
  // Written newest first, so the reading order is no date order.
  std::ofstream(temp.path() + "/L0301000.log")
      << Kills("03/01/2024", 30, "STEAM_0:0:2", "STEAM_0:1:1")  // B beats A lately
      << Kills("03/01/2024", 10, "STEAM_0:1:3", "STEAM_0:0:4")  // E kills F 10 times
      << Kills("03/01/2024", 9, "STEAM_0:0:4", "STEAM_0:1:3")   // F kills E 9 times
      << Kills("03/01/2024", 1, "STEAM_0:1:3", "STEAM_0:1:5");  // E kills X once
  std::ofstream(temp.path() + "/L0101000.log")
      << Kills("01/01/2024", 30, "STEAM_0:1:1", "STEAM_0:0:2");  // A beat B long ago
  const std::string a = "STEAM_0:1:1", b = "STEAM_0:0:2", e = "STEAM_0:1:3", f = "STEAM_0:0:4",
                    x = "STEAM_0:1:5";
  const std::string out = temp.path() + "/values.txt";
  auto values = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {temp.path(), "-o", out});
    EXPECT_EQ(RunCommand(words), 0);
    return ReadValues(out);
  };
  auto ids = [](const std::map<std::string, int>& file) {
    std::vector<std::string> written;
    for (const auto& line : file) written.push_back(line.first);
    return written;
  };

  // Every kill counts the same: A and B are even.
  auto even = values({});
  EXPECT_EQ(ids(even), (std::vector<std::string>{b, a, e}));
  EXPECT_EQ(even[a], even[b]);
  // With ages, the recent wins weigh more, the more so the shorter the half-life.
  auto month = values({"--half-life", "30"});
  auto week = values({"--half-life", "7"});
  EXPECT_GT(month[b], month[a]);
  EXPECT_GT(static_cast<double>(week[b]) / week[a], static_cast<double>(month[b]) / month[a]);
  // (ids in the order of the file's sorted lines.)  E has 20 counted events
  // and F 19: the default threshold leaves F out;
  // X, with one, comes in only when nobody is left out.
  EXPECT_EQ(ids(values({"--min-events", "21"})), (std::vector<std::string>{b, a}));
  EXPECT_EQ(ids(values({"--min-events", "20"})), (std::vector<std::string>{b, a, e}));
  EXPECT_EQ(ids(values({"--min-events", "19"})), (std::vector<std::string>{b, f, a, e}));
  EXPECT_EQ(ids(values({"--min-events", "0"})), (std::vector<std::string>{b, f, a, e, x}));

  // Kills dated years ahead (a server's clock gone wrong) are skipped: they
  // neither rate anyone nor make every other kill weigh about 0.  Within a
  // day after the clock they count.
  std::ofstream(temp.path() + "/L0101999.log")
      << Kills("01/01/2031", 30, "STEAM_0:0:6", "STEAM_0:1:7")
      << Kills("01/01/2031", 25, "STEAM_0:1:7", "STEAM_0:0:6");
  const std::string g = "STEAM_0:0:6", h = "STEAM_0:1:7";
  EXPECT_EQ(values({"--half-life", "30", "--now", "1709337600"}), month);  // 2024-03-02
  EXPECT_EQ(values({"--half-life", "30"}), month);                         // the clock's now
  auto atNewYear2031 = values({"--half-life", "30", "--now", "1924992000"});
  EXPECT_EQ(ids(atNewYear2031), (std::vector<std::string>{b, g, a, e, h}));
  EXPECT_EQ(atNewYear2031[a], atNewYear2031[b]);  // 2024 has faded to nothing
}

// Synthetic logs of 500 players with about 200 counted events each, where
// players mostly meet players of their own strength: the values must rank
// them nearly as their true strengths do, and far better than a plain
// kill/death ratio of the same logs.
TEST(FromLogs, RanksPlayersOfKnownStrengthBetterThanKillsPerDeath) {
  TempFolder temp;
  SyntheticLogOptions options;
  options.players = 500;
  options.eventsPerPlayer = 200;
  options.seed = 7;
  options.noise = 0.05;
  const std::vector<SyntheticPlayer> players = MakeSyntheticPlayers(options);
  std::string error;
  ASSERT_TRUE(WriteSyntheticLogs(options, players, temp.path(), error)) << error;
  const std::string out = temp.path() + "/values.out";
  ASSERT_EQ(RunCommand({temp.path(), "--half-life", "365", "-o", out}), 0);

  const std::map<std::string, int> written = ReadValues(out);
  KillTally tally;
  LogCounts counts;
  std::vector<std::string> files;
  std::vector<std::string> unreadable;
  ASSERT_TRUE(ListLogFiles({temp.path()}, files, unreadable, error));
  for (const std::string& file : files) ReadLogFile(file, tally, counts, error);
  std::map<std::string, double> killsPerDeath;
  for (const KillTally::Player& p : tally.Players()) {
    killsPerDeath[p.Id()] =
        static_cast<double>(p.kills) / static_cast<double>(p.deaths ? p.deaths : 1);
  }
  std::vector<double> truth, values, ratio;
  for (const SyntheticPlayer& player : players) {
    const auto value = written.find(player.id);
    if (value == written.end()) continue;
    truth.push_back(player.logStrength);
    values.push_back(value->second);
    ratio.push_back(killsPerDeath.at(player.id));
  }
  EXPECT_GT(written.size(), 490u);  // hardly anyone falls under 20 events
  const double byValues = SpearmanCorrelation(values, truth);
  const double byRatio = SpearmanCorrelation(ratio, truth);
  EXPECT_GE(byValues, 0.95);
  EXPECT_GT(byValues - byRatio, 0.2) << "values " << byValues << ", kills/deaths " << byRatio;
  // The noise lines were all read and none of them counted.
  EXPECT_GT(counts.teamKills + counts.suicides + counts.notSteam + counts.badNames +
                counts.badUtf8 + counts.malformed + counts.otherEvents,
            2000u);
  EXPECT_NEAR(static_cast<double>(counts.counted), 500 * 200 / 2, 1.0);
}

}  // namespace
}  // namespace kelvalues
