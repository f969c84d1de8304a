// Stories of the balancing switches through the simulated server with the
// real plugin loaded: autobalance arming the death-time move by itself,
// operators' immunity, and the move cooldown on the simulated calendar.
#include <string>
#include <vector>

#include "balance_story.h"

namespace {

using balance_story::BalanceStory;
using balance_story::Strings;

constexpr const char* kNextMarine = "Teams unbalanced - next Marine to die goes to the ReadyRoom\n";
constexpr const char* kArmedForMarines = "World triggered \"kel_autobalance\" (team \"marines\")\n";
constexpr long long kCalendar = 1'700'000'000;

// ---- autobalance ----------------------------------------------------------

TEST_F(BalanceStory, AutoBalanceArmsTheMoveOnceAsKelFromTheConsoleWould) {
  server.SetCvar("kel_autobalance", "30");
  server.SetTime(100.0f);
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);  // 6/4: marines ahead from 100
  server.ClearObservations();

  server.RunUntil(129.8f);
  EXPECT_TRUE(server.LogLines().empty());
  EXPECT_TRUE(server.ConsoleLines().empty());
  server.RunUntil(130.1f);
  EXPECT_EQ(server.LogLines(), Strings{kArmedForMarines});
  EXPECT_EQ(server.ConsoleLines(), Strings{"Marine team is unbalanced"});
  EXPECT_EQ(ChatTexts(marines[0]), Strings{kNextMarine});
  EXPECT_EQ(HudTexts(op), Strings{"ADMIN NOTICE: Too many marines\n"})
      << "only the notice at 115: the console's kel answers on the console";

  server.Kill(marines[2]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[2]), Strings{"readyroom\n"});
  server.Frame();   // 5/4: even, the move is off
  Join("Late", 1);  // 6/4 again: a new imbalance, a new count
  const std::string moved = "\"Marine3<4><STEAM_0:1:3><team_one>\" triggered \"kel_deathmove\"\n";
  server.RunUntil(150.0f);
  EXPECT_EQ(server.LogLines(), (Strings{kArmedForMarines, moved}));
  server.RunUntil(161.0f);
  EXPECT_EQ(server.LogLines(), (Strings{kArmedForMarines, moved, kArmedForMarines}));
}

// Five marines against three: one too many.  Four marines dying in one
// frame once autobalance has armed the move send one of them, and the
// aliens never get ahead.
TEST_F(BalanceStory, AutoBalanceMovesOneOfFourMarinesDyingInOneFrame) {
  server.SetCvar("kel_autobalance", "30");
  server.SetTime(100.0f);
  const std::vector<int> marines = JoinMany("Marine", 1, 5);
  JoinMany("Alien", 2, 3);
  server.ClearObservations();
  server.RunUntil(130.1f);
  ASSERT_EQ(server.LogLines(), Strings{kArmedForMarines});

  for (int i = 0; i < 4; ++i) server.Kill(marines[i]);
  server.Frame();
  server.RunUntil(200.0f);
  int moved = 0;
  for (int slot : marines) moved += static_cast<int>(ClientCommands(slot).size());
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(ClientCommands(marines[3]), Strings{"readyroom\n"}) << "the highest slot";
  EXPECT_EQ(server.Team(marines[3]), 0);
  EXPECT_EQ(server.LogLines(),
            (Strings{kArmedForMarines,
                     "\"Marine4<5><STEAM_0:1:4><team_one>\" triggered \"kel_deathmove\"\n"}))
      << "autobalance never arms for the aliens";
}

// ---- immunity ---------------------------------------------------------------

TEST_F(BalanceStory, ImmuneOperatorIsPassedOverForGood) {
  server.SetCvar("kel_immunity", "1");
  server.SetTeam(op, 1);
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);  // 7/4 with the operator: one move leaves them uneven
  server.ServerCommand({"kel"});

  server.Kill(op);
  server.Frame();
  EXPECT_TRUE(ClientCommands(op).empty());
  // Switched off while he still lies dead: the death passed over stays so.
  server.SetCvar("kel_immunity", "0");
  server.Frame();
  EXPECT_TRUE(ClientCommands(op).empty());

  server.Kill(marines[1]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[1]), Strings{"readyroom\n"});

  // Without immunity, an operator's next death is taken like anyone's.
  server.Respawn(op);
  server.Frame();
  server.Kill(op);
  server.Frame();
  EXPECT_EQ(ClientCommands(op), Strings{"readyroom\n"});
}

// ---- move cooldown ------------------------------------------------------------

TEST_F(BalanceStory, MoveCooldownSparesPlayersMovedRecentlyOnTheCalendar) {
  server.SetCalendarTime(kCalendar);
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);
  const int bot = server.ConnectBot("Botty");
  server.SetTeam(bot, 1);  // 7/4: the bot is the last marine

  // Moves are recorded with the cooldown still off.
  server.ServerCommand({"movelast"});
  server.Frame();  // the bot goes: 6/4
  server.SetTeam(bot, 1);
  server.Kill(marines[5]);
  server.ServerCommand({"kel"});
  server.Respawn(marines[5]);
  server.Frame();
  server.Kill(marines[5]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[5]), Strings{"readyroom\n"});
  server.Frame();                 // Marine6 goes: 6/4 with the bot
  server.SetTeam(marines[5], 1);  // and comes straight back: 7/4
  server.Respawn(marines[5]);
  server.Frame();

  server.SetCvar("kel_move_cooldown", "60");
  server.Kill(marines[5]);
  server.Kill(bot);  // bots share the id "BOT": never held back
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[5]), Strings{"readyroom\n"}) << "moved a moment ago: spared";
  EXPECT_EQ(server.Client(bot).commands, (Strings{"readyroom\n", "readyroom\n"}));
  server.Frame();  // the bot goes: 6/4

  server.AdvanceCalendarTime(60.0);  // his cooldown is over, but that death was passed over
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[5]).size(), 1u);
  server.Respawn(marines[5]);
  server.Frame();
  server.Kill(marines[5]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[5]), (Strings{"readyroom\n", "readyroom\n"}));
}

// Everyone on a LAN server has the id STEAM_ID_LAN: the cooldown holds back
// none of them for the move of one.
TEST_F(BalanceStory, PlayersSharingALanIdAreNeverHeldBack) {
  server.SetCalendarTime(kCalendar);
  server.SetCvar("kel_move_cooldown", "60");
  std::vector<int> lan;
  for (int i = 1; i <= 3; ++i) {
    lan.push_back(server.Connect("Lan" + std::to_string(i), "STEAM_ID_LAN"));
    server.SetTeam(lan.back(), 1);
  }
  Join("Alien1", 2);  // 3/1
  server.ServerCommand({"movelast"});
  server.Frame();  // Lan3 goes: 2/1
  server.SetTeam(lan[2], 1);
  server.ClearObservations();
  server.ServerCommand({"movelast"});
  EXPECT_TRUE(server.ConsoleLines().empty());
  EXPECT_EQ(ClientCommands(lan[2]), Strings{"readyroom\n"}) << "again";
  server.Frame();

  server.SetTeam(lan[2], 1);  // 3/1 again
  server.ServerCommand({"kel"});
  server.Kill(lan[0]);
  server.Kill(lan[2]);
  server.Frame();
  EXPECT_EQ(ClientCommands(lan[2]).size(), 2u) << "moved a moment ago, not held back";
  EXPECT_TRUE(ClientCommands(lan[0]).empty());
}

// movelast takes the last joiner of the larger team whom neither immunity
// nor the cooldown protects, and says it knows none when everyone is; the
// cooldown follows the id through a reconnect and ends on the calendar; rrr
// leaves an immune operator in the ready room.
TEST_F(BalanceStory, MoveLastAndRrrPassOverProtectedPlayers) {
  server.SetCalendarTime(kCalendar);
  server.SetCvar("kel_immunity", "1");
  server.SetCvar("kel_move_cooldown", "60");
  const int first = Join("First", 1);
  const int second = Join("Second", 1);
  server.SetTeam(op, 1);  // 3/0, the operator joined last
  const auto moveLast = [&] {
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"movelast"}));
    server.Frame();  // the game moves whom it was told to
  };

  moveLast();
  EXPECT_TRUE(ClientCommands(op).empty()) << "immune";
  EXPECT_EQ(ClientCommands(second), Strings{"readyroom\n"});
  server.SetTeam(second, 1);  // straight back: the last joiner again
  moveLast();
  EXPECT_TRUE(ClientCommands(second).empty()) << "cooling down";
  EXPECT_EQ(ClientCommands(first), Strings{"readyroom\n"});
  const long long firstMoved = server.CalendarTime();
  server.SetTeam(first, 1);
  moveLast();
  EXPECT_EQ(server.ConsoleLines(), Strings{"Last marine player unknown - can't balance"});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::ClientCommand), 0);

  // He leaves and comes back under the same id: still cooling down.
  server.Disconnect(first);
  const int back = server.Connect("First", "STEAM_0:1:1");  // First's id, from Join
  server.SetTeam(back, 1);
  server.AdvanceCalendarTime(static_cast<double>(firstMoved + 59 - server.CalendarTime()));
  moveLast();
  EXPECT_EQ(server.ConsoleLines(), Strings{"Last marine player unknown - can't balance"});
  server.AdvanceCalendarTime(2.0);  // 60 s and more since his move
  moveLast();
  EXPECT_EQ(ClientCommands(back), Strings{"readyroom\n"});

  server.SetTeam(op, 0);
  const int waiting = Join("Waiting", 0);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(ClientCommands(waiting), Strings{"autoassign\n"});
  EXPECT_TRUE(ClientCommands(op).empty()) << "an immune operator stays in the ready room";
}

}  // namespace
