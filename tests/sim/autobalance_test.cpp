// Stories of the balancing switches through the simulated server with the
// real plugin loaded: autobalance arming the death-time move by itself,
// operators' immunity, and the switch cooldown on the simulated calendar.
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
  server.RunUntil(150.0f);
  EXPECT_EQ(server.LogLines().size(), 1u);
  server.RunUntil(161.0f);
  EXPECT_EQ(server.LogLines(), (Strings{kArmedForMarines, kArmedForMarines}));
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

// ---- switch cooldown ----------------------------------------------------------

TEST_F(BalanceStory, SwitchCooldownSparesPlayersMovedRecentlyOnTheCalendar) {
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

  server.SetCvar("kel_switchcooldown", "60");
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

}  // namespace
