// Stories of kel_limitjoin through the simulated server with the real plugin
// loaded: joins refused at the door, a join the game makes without a
// command sent back, the joins the plugin orders itself, and who is exempt.
#include <string>
#include <vector>

#include "balance_story.h"

namespace {

using balance_story::BalanceStory;
using balance_story::Strings;

class JoinLimitStory : public BalanceStory {
 protected:
  // The refusal lines of the log since the last ClearObservations.
  Strings RefusalLines() const {
    Strings lines;
    for (const std::string& line : server.LogLines()) {
      if (line.find("kel_joinrefused") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }
  // Four marines and three aliens, and a late comer in the ready room; then
  // kel_limitjoin at `setting` and the observations cleared.
  void FourMarinesThreeAliensAndALateComer(const char* setting) {
    marines = JoinMany("Marine", 1, 4);
    aliens = JoinMany("Alien", 2, 3);
    late = Join("Late", 0);
    server.SetCvar("kel_limitjoin", setting);
    server.ClearObservations();
  }
  std::vector<int> marines, aliens;
  int late = 0;
};

constexpr const char* kMarinesTooMany = "Marines have too many players - join the Aliens";
constexpr const char* kMarinesStronger = "Marines are stronger - join the Aliens";
constexpr const char* kAliensStronger = "Aliens are stronger - join the Marines";

TEST_F(JoinLimitStory, AJoinThatPutsATeamTwoAheadIsRefusedUntilAPlayerLeaves) {
  FourMarinesThreeAliensAndALateComer("1");

  EXPECT_EQ(server.ClientCommand(late, {"jointeamone"}), MRES_SUPERCEDE);
  EXPECT_EQ(server.Team(late), 0);
  EXPECT_EQ(HudTexts(late), Strings{kMarinesTooMany});
  EXPECT_EQ(server.LogLines(),
            Strings{"\"Late<9><STEAM_0:1:8><>\" triggered \"kel_joinrefused\" (team \"1\")\n"});
  EXPECT_EQ(server.ClientCommand(late, {"readyroom"}), MRES_IGNORED) << "never refused";

  server.Disconnect(marines[0]);  // 3/3
  server.ClearObservations();
  EXPECT_EQ(server.ClientCommand(late, {"JoinTeamOne"}), MRES_IGNORED);
  EXPECT_EQ(server.Team(late), 1);
  EXPECT_TRUE(HudTexts(late).empty());
  EXPECT_TRUE(server.LogLines().empty());
  // Switching sides counts him out of his team: 4/3 becomes 5/2.
  EXPECT_EQ(server.ClientCommand(aliens[0], {"jointeamone"}), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(aliens[0]), Strings{kMarinesTooMany});
  EXPECT_EQ(server.ClientCommand(aliens[0], {"autoassign"}), MRES_IGNORED) << "never refused";
}

// A map trigger puts a player on a team: the plugin sees only the team
// change, and sends him back at once.
TEST_F(JoinLimitStory, AJoinWithoutACommandIsSentBack) {
  FourMarinesThreeAliensAndALateComer("1");

  server.SetTeam(late, 1);  // the game's own doing
  EXPECT_EQ(ClientCommands(late), Strings{"readyroom\n"});
  EXPECT_EQ(HudTexts(late), Strings{kMarinesTooMany});
  EXPECT_EQ(RefusalLines(), Strings{"\"Late<9><STEAM_0:1:8><team_one>\" triggered "
                                    "\"kel_joinrefused\" (team \"1\")\n"});
  server.Frame();
  EXPECT_EQ(server.Team(late), 0);
  server.SetTeam(late, 2);  // to the smaller side: nothing to say
  server.Frame();
  EXPECT_EQ(ClientCommands(late), Strings{"readyroom\n"});
  EXPECT_EQ(server.Team(late), 2);
}

// eventeams' joins come back as the clients' own commands, and rrr's
// autoassign as team changes; with kel_limitjoin 2 they would be refused
// if they were anyone else's.
TEST_F(JoinLimitStory, TheJoinsThePluginOrdersPass) {
  StartMapWithValues(
      "STEAM_0:1:1,3000\nSTEAM_0:1:2,500\nSTEAM_0:1:3,500\nSTEAM_0:1:4,1000\n"
      "STEAM_0:1:5,1000\nSTEAM_0:1:6,900\nSTEAM_0:0:1000,800\n");
  server.SeedRandom(7);
  const int strong = Join("Strong", 1);
  JoinMany("Weak", 2, 2);
  const int waiting = Join("Waiting", 0);
  server.SetCvar("kel_limitjoin", "2");
  server.ClearObservations();

  // The game puts both on the marines (the fewer, then a tie), the side
  // that is far stronger by the values.
  server.ServerCommand({"rrr"});
  server.Frame();
  EXPECT_EQ(server.Team(op), 1);
  EXPECT_EQ(server.Team(waiting), 1);
  EXPECT_TRUE(RefusalLines().empty());

  for (int slot : {strong, waiting, op}) server.SetTeam(slot, 0);
  Join("Other", 0);
  Join("Sixth", 0);
  server.ClearObservations();
  server.ServerCommand({"eventeams"});
  server.Frame();
  int placed = 0;
  for (int slot = 1; slot <= 7; ++slot) placed += server.Team(slot) != 0 ? 1 : 0;
  EXPECT_EQ(placed, 7);
  EXPECT_TRUE(RefusalLines().empty());
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Hud), 0);
}

TEST_F(JoinLimitStory, TheStrongerSideIsRefusedWhenTheOtherWouldBeCloser) {
  StartMapWithValues(
      "STEAM_0:1:1,3000\nSTEAM_0:1:2,1000\nSTEAM_0:1:3,1000\nSTEAM_0:1:4,1000\n"
      "STEAM_0:1:5,1000\n");
  JoinMany("Marine", 1, 2);  // 4000
  JoinMany("Alien", 2, 2);   // 2000
  late = Join("Late", 0);
  server.SetCvar("kel_limitjoin", "2");
  server.ClearObservations();
  EXPECT_EQ(server.ClientCommand(late, {"jointeamone"}), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(late), Strings{kMarinesStronger});
  EXPECT_EQ(server.ClientCommand(late, {"jointeamtwo"}), MRES_IGNORED);
  server.SetCvar("kel_limitjoin", "1");
  EXPECT_EQ(server.ClientCommand(late, {"jointeamone"}), MRES_IGNORED) << "count only";
}

// The sums are of the values stv would show now: a pending id that the
// platform validates (no hook tells of it), a slot a new connection takes
// over, and a file reloaded mid-map each change them at once.
TEST_F(JoinLimitStory, TheStrengthRuleSumsEachPlayersValueAsItIsNow) {
  const std::string known =
      "STEAM_0:1:1,1000\nSTEAM_0:1:2,1000\nSTEAM_0:1:3,1000\nSTEAM_0:1:4,1000\n";
  StartMapWithValues(known + "STEAM_0:0:5,200\nSTEAM_0:0:6,5000\n");  // average 1533
  Join("Marine", 1);
  JoinMany("Alien", 2, 2);  // 2000
  late = Join("Late", 0);
  const int pending = server.Connect("Pending", "STEAM_ID_PENDING");
  server.SetTeam(pending, 1);  // a drawn default of 1395..1533
  server.SetCvar("kel_limitjoin", "2");
  // Each probe a second after the last, so that every refusal is alerted.
  const auto refusal = [&](const char* join) {
    server.SetTime(server.Time() + 1.0f);
    server.ClearObservations();
    EXPECT_EQ(server.ClientCommand(late, {join}), MRES_SUPERCEDE) << join;
    return HudTexts(late);
  };
  EXPECT_EQ(refusal("jointeamone"), Strings{kMarinesStronger});

  server.SetAuthId(pending, "STEAM_0:0:5");  // validated: 200
  EXPECT_EQ(refusal("jointeamtwo"), Strings{kAliensStronger});

  server.SetCvar("kel_limitjoin", "0");
  server.Disconnect(pending);
  const int heavy = server.Connect("Heavy", "STEAM_0:0:6", pending);  // 5000
  ASSERT_EQ(heavy, pending);
  server.SetTeam(heavy, 1);
  server.SetCvar("kel_limitjoin", "2");
  EXPECT_EQ(refusal("jointeamone"), Strings{kMarinesStronger});

  WriteBesidePlugin(known + "STEAM_0:0:6,100\n");
  server.ServerCommand({"kel_reload"});
  EXPECT_EQ(refusal("jointeamtwo"), Strings{kAliensStronger});
}

TEST_F(JoinLimitStory, ImmuneOperatorsAndBotsAreNotRefused) {
  JoinMany("Marine", 1, 4);
  JoinMany("Alien", 2, 3);
  const int bot = server.ConnectBot("Botty");
  server.SetCvar("kel_limitjoin", "1");
  server.ClearObservations();
  EXPECT_EQ(server.ClientCommand(op, {"jointeamone"}), MRES_SUPERCEDE) << "immunity is off";
  server.SetCvar("kel_immunity", "1");
  EXPECT_EQ(server.ClientCommand(op, {"jointeamone"}), MRES_IGNORED);
  EXPECT_EQ(server.Team(op), 1);
  EXPECT_EQ(server.ClientCommand(bot, {"jointeamone"}), MRES_IGNORED);
  EXPECT_EQ(server.Team(bot), 1);
  EXPECT_EQ(RefusalLines().size(), 1u);
}

// A held join key: every refusal is logged, the alert comes at most once a
// second.
TEST_F(JoinLimitStory, AFloodOfJoinsGetsOneAlertASecond) {
  FourMarinesThreeAliensAndALateComer("1");
  const float start = server.Time();
  for (int i = 0; i < 16; ++i) server.ClientCommand(late, {"jointeamone"});
  server.SetTime(start + 0.9f);
  server.ClientCommand(late, {"jointeamone"});
  EXPECT_EQ(HudTimes(late, kMarinesTooMany), std::vector<float>{start});
  server.SetTime(start + 1.0f);
  server.ClientCommand(late, {"jointeamone"});
  EXPECT_EQ(HudTexts(late).size(), 2u);
  EXPECT_EQ(RefusalLines().size(), 18u);
}

TEST_F(JoinLimitStory, ATextThatIsNoSettingIsOffAndSaidOncePerMap) {
  FourMarinesThreeAliensAndALateComer("2m");
  const Strings said = {
      "kel: kel_limitjoin \"2m\" is not 0, 1 or 2; it takes 0 (off, the default), 1 (count) or 2 "
      "(count, then strength), and 0 is used"};
  EXPECT_EQ(server.ClientCommand(late, {"jointeamone"}), MRES_IGNORED);
  server.ClientCommand(late, {"readyroom"});
  server.ClientCommand(late, {"jointeamone"});
  EXPECT_EQ(server.ConsoleLines(), said);
  server.ChangeMap();
  EXPECT_EQ(server.ConsoleLines(), (Strings{said[0], said[0]}));
}

}  // namespace
