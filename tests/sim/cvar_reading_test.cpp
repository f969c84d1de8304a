// The balancing switches read as the operator guide says: a value whose
// whole text is no number is off (the default), however much of a number
// the engine's atof finds at its start, and the server console hears of it
// once a map.
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "balance_story.h"

namespace {

using balance_story::BalanceStory;

constexpr long long kCalendar = 1'700'000'000;

TEST_F(BalanceStory, SwitchesWhoseTextIsNoNumberAreOffAndToldOnceAMap) {
  server.SetCalendarTime(kCalendar);
  server.SetTeam(op, 1);
  std::vector<int> marines = JoinMany("Marine", 1, 6);
  marines.push_back(op);
  JoinMany("Alien", 2, 4);  // 7/4
  server.Frame();

  // Each probe starts a map (the notices may be told again, the move is
  // off), sets the variable and says whether the switch acted.
  const auto autoBalanceArms = [&] {
    server.RunUntil(4.5f);  // 3.5 s of imbalance on the new map's clock
    const std::vector<std::string>& log = server.LogLines();
    return std::any_of(log.begin(), log.end(), [](const std::string& line) {
      return line.rfind("World triggered \"kel_autobalance\"", 0) == 0;
    });
  };
  const auto operatorSpared = [&] {
    server.ServerCommand({"kel"});
    const std::size_t before = ClientCommands(op).size();
    server.Kill(op);
    server.Frame();
    server.Frame();
    const bool spared = ClientCommands(op).size() == before;
    server.Respawn(op);
    return spared;
  };
  const auto movedPlayerSpared = [&] {
    const int last = marines[5];
    server.SetTeam(last, 0);
    server.SetTeam(last, 1);  // joined since the map start: the last marine
    server.ServerCommand({"movelast"});
    server.Frame();
    EXPECT_EQ(server.Team(last), 0);
    const std::size_t before = ClientCommands(last).size();
    server.SetTeam(last, 1);  // straight back
    server.ServerCommand({"movelast"});
    server.Frame();
    return ClientCommands(last).size() == before;
  };
  const std::map<std::string, std::function<bool()>> switchActs = {
      {"kel_autobalance", autoBalanceArms},
      {"kel_immunity", operatorSpared},
      {"kel_move_cooldown", movedPlayerSpared},
  };

  const struct {
    const char* variable;
    const char* text;
    bool on;
  } cases[] = {
      {"kel_autobalance", "2", true},       {"kel_autobalance", "2.5", true},
      {"kel_autobalance", "+2.", true},     {"kel_autobalance", "2m", false},
      {"kel_autobalance", " 2", false},     {"kel_autobalance", "0x2", false},
      {"kel_autobalance", "2e0", false},    {"kel_autobalance", "", false},
      {"kel_immunity", "1", true},          {"kel_immunity", ".5", true},
      {"kel_immunity", "1x", false},        {"kel_immunity", "yes", false},
      {"kel_immunity", "0", false},         {"kel_move_cooldown", "600", true},
      {"kel_move_cooldown", "600s", false}, {"kel_move_cooldown", "10min", false},
  };
  const auto notices = [&] {
    std::vector<std::string> lines;
    for (const std::string& line : server.ConsoleLines())
      if (line.find("is not a number") != std::string::npos) lines.push_back(line);
    return lines;
  };
  const auto told = [](const std::string& variable, const std::string& text) {
    return "kel: " + variable + " \"" + text + "\" is not a number; the default \"0\" is used";
  };
  // Set before the map starts, as server.cfg does: the map start tells of
  // a bad value, and no read in that map tells again.
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.variable) + " \"" + c.text + "\"");
    server.SetCvar(c.variable, c.text);
    server.ClearObservations();
    server.ChangeMap("map_one", kelsim::MapChange::KeepTeams);
    EXPECT_EQ(switchActs.at(c.variable)(), c.on);
    const bool number = c.on || std::string(c.text) == "0";
    EXPECT_EQ(notices(), number ? std::vector<std::string>{}
                                : std::vector<std::string>{told(c.variable, c.text)});

    // Everyone back on his team, every move forgotten, the switch off.
    server.SetCvar(c.variable, "0");
    for (const int slot : marines)
      if (server.Team(slot) == 0) server.SetTeam(slot, 1);
    server.AdvanceCalendarTime(10000.0);
  }

  // Set during a map: the first read that finds it bad tells, once.
  server.ChangeMap("map_one", kelsim::MapChange::KeepTeams);
  server.SetCvar("kel_immunity", "2x");
  server.SetCvar("kel_autobalance", "1s");
  server.ClearObservations();
  EXPECT_FALSE(operatorSpared());
  for (const int slot : marines)
    if (server.Team(slot) == 0) server.SetTeam(slot, 1);
  EXPECT_FALSE(operatorSpared());
  EXPECT_FALSE(autoBalanceArms());
  EXPECT_EQ(notices(),
            (std::vector<std::string>{told("kel_immunity", "2x"), told("kel_autobalance", "1s")}));
}

}  // namespace
