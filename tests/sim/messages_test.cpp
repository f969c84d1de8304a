// Stories of the output paths and the operator test, told through the
// simulated server with the real plugin loaded.
#include <string>

#include "balance_watch.h"
#include "roster_story.h"

namespace {

class Messages : public roster_story::Story {};

using roster_story::kOperatorId;
using roster_story::Strings;

constexpr const char* kCleanedOut = "Ready Room is being cleaned out\n";
constexpr int kFlKillMe = 0x40000000;

// ---- chat notices -----------------------------------------------------------

TEST_F(Messages, ChatNoticesReachEveryEligiblePlayerOnly) {
  const int plain = Join("Plain", 1);
  const int dying = Join("Dying", 1);
  server.SetFlags(dying, kFlKillMe);
  const int nameless = Join("", 1);
  const int spectator = Join("Watcher", 1);
  server.SetClassName(spectator, "spectator");
  const int gone = Join("Gone", 1);
  server.Disconnect(gone);
  const int dead = Join("Dead", 2);
  server.Kill(dead);

  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(ChatTexts(plain), Strings{kCleanedOut});
  EXPECT_EQ(ChatTexts(dead), Strings{kCleanedOut});
  for (int slot : {dying, nameless, spectator, gone}) {
    EXPECT_EQ(ChatTexts(slot), Strings{}) << "slot " << slot;
  }
  for (const auto& message : server.Client(plain).chat) EXPECT_EQ(message.destination, 3);
}

TEST_F(Messages, NoticeSwitchSilencesChatOnly) {
  const int op = server.Connect("Admin", kOperatorId);
  Join("M1", 1);
  Join("M2", 1);  // two marines, no aliens, from host time 1
  const int player = Join("Player", 0);

  server.SetCvar("qvd_disable_notice", "1");
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));  // would announce in chat
  EXPECT_EQ(ChatTexts(op), Strings{});
  EXPECT_EQ(ChatTexts(player), Strings{});
  EXPECT_EQ(server.ConsoleLines(), Strings{"Marine team is unbalanced"});  // still printed
  EXPECT_EQ(server.Say(player, "/sl"), MRES_SUPERCEDE);  // on-screen answers still go
  EXPECT_EQ(HudTexts(player).size(), 1u);
  server.RunUntil(62.0f);  // and so do operator notices
  EXPECT_EQ(HudTexts(op), Strings{"ADMIN NOTICE: Too many marines\n"});
  EXPECT_EQ(ChatTexts(op), Strings{});

  server.SetCvar("qvd_disable_notice", "0");  // read at every use
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  const Strings announced{"Teams unbalanced - next Marine to die goes to the ReadyRoom\n"};
  EXPECT_EQ(ChatTexts(op), announced);
  EXPECT_EQ(ChatTexts(player), announced);
}

TEST_F(Messages, NamelessOperatorGetsOperatorNoticesButNoChat) {
  const int op = server.Connect("", kOperatorId);
  const int other = server.Connect("Other", "STEAM_0:0:77");
  Join("M1", 1);
  Join("M2", 1);
  server.RunUntil(62.0f);
  EXPECT_EQ(HudTexts(op), Strings{"ADMIN NOTICE: Too many marines\n"});
  EXPECT_EQ(HudTexts(other), Strings{});
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(ChatTexts(op), Strings{});
  EXPECT_EQ(ChatTexts(other).front(), kCleanedOut);
}

TEST_F(Messages, ChatNoticeIsCutToFitOneUserMessage) {
  // Names reach 31 characters in the engine; a longer one must still not
  // make a notice that would stop a real server (checked at tear-down).
  const std::string name(150, 'n');
  Join("Marine1", 1);
  Join("Marine2", 1);
  const int alien = Join("Alien", 2);
  server.SetTime(50.0f);
  const int last = Join(name, 1);  // three marines against one alien
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"ml"}));
  const std::string whole =
      "Teams unbalanced - last player that joined (" + name + ") is now in the ready room\n";
  ASSERT_EQ(ChatTexts(alien).size(), 1u);
  EXPECT_EQ(ChatTexts(alien).front(), whole.substr(0, 189) + "\n");
  EXPECT_EQ(server.Client(last).commands, Strings{"readyroom\n"});
}

TEST_F(Messages, PercentInANameIsNeverAFormat) {
  const std::string name = "50%s%n%d%%";
  const int player = Join(name, 0);
  server.SetTime(20.0f);
  server.SetTeam(player, 1);
  server.SetTime(25.0f);
  EXPECT_EQ(ShowLast(),
            (Strings{"last marine: 50%s%n%d%% (on for 0:05)", "last alien:  (on for 0:00)"}));
  server.SetTeam(player, 0);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"rrr"}));
  EXPECT_EQ(ChatTexts(player), (Strings{kCleanedOut, "sending 50%s%n%d%% to a random team\n"}));
}

// ---- on-screen texts ----------------------------------------------------------

// The two on-screen styles as the client receives them: the alert (showlast's
// answer) and the info (the help).  Times are in 1/256 s.
TEST_F(Messages, OnScreenStylesEncoding) {
  const struct {
    const char* said;
    int channel, x, y, effect;
    std::vector<int> colours;  // r, g, b, a of both colours
    int fadein, fadeout, hold;
    const char* text;  // null: not compared
  } styles[] = {
      {"/sl",
       1,
       -8192,
       -8192,
       1,
       {255, 0, 0, 255, 255, 0, 0, 255},
       25,
       1024,
       1280,
       "last marine:  (on for 0:00)\nlast alien:  (on for 0:00)"},
      {"/kel_help", 2, 3276, 819, 0, {255, 255, 0, 255, 255, 255, 0, 255}, 25, 512, 2048, nullptr},
  };
  const int player = Join("Player", 0);
  for (const auto& style : styles) {
    SCOPED_TRACE(style.said);
    server.ClearObservations();
    server.Say(player, style.said);
    ASSERT_EQ(server.Client(player).hud.size(), 1u);
    const kelsim::HudMessage& hud = server.Client(player).hud.front();
    EXPECT_EQ(hud.channel, style.channel);
    EXPECT_EQ(hud.x, style.x);
    EXPECT_EQ(hud.y, style.y);
    EXPECT_EQ(hud.effect, style.effect);
    EXPECT_EQ((std::vector<int>{hud.r1, hud.g1, hud.b1, hud.a1, hud.r2, hud.g2, hud.b2, hud.a2}),
              style.colours);
    EXPECT_EQ(hud.fadein, style.fadein);
    EXPECT_EQ(hud.fadeout, style.fadeout);
    EXPECT_EQ(hud.hold, style.hold);
    EXPECT_FALSE(hud.fxTime.has_value());
    if (style.text) {
      EXPECT_EQ(hud.text, style.text);
    }
  }
}

TEST_F(Messages, OnScreenTextIsCutAt487) {
  // The showlast answer is 54 characters around the two names.
  const int viewer = Join("Viewer", 0);
  const std::string marine(200, 'm');
  Join(marine, 1);
  struct {
    std::size_t alienLength;
    std::size_t expectedLength;
  } const cases[] = {{232, 486}, {233, 487}, {234, 487}, {300, 487}};
  for (const auto& c : cases) {
    const std::string alien(c.alienLength, 'a');
    const int slot = Join(alien, 2);
    server.ClearObservations();
    server.Say(viewer, "/sl");
    ASSERT_EQ(HudTexts(viewer).size(), 1u) << c.alienLength;
    const std::string whole =
        "last marine: " + marine + " (on for 0:00)\nlast alien: " + alien + " (on for 0:00)";
    EXPECT_EQ(HudTexts(viewer).front(), whole.substr(0, c.expectedLength)) << c.alienLength;
    server.Disconnect(slot);
  }
}

// ---- operators ------------------------------------------------------------------

struct OperatorCase {
  const char* serverOps;
  const char* id;
  bool isOperator;
};

TEST_F(Messages, OperatorsAreRecognisedByWholeIdOnly) {
  const OperatorCase cases[] = {
      {"STEAM_0:1:123456", "STEAM_0:1:123456", true},
      {"STEAM_0:0:5,STEAM_0:1:123456", "STEAM_0:0:5", true},
      {"STEAM_0:0:5 STEAM_0:1:123456", "STEAM_0:1:123456", true},
      {"STEAM_0:0:5, STEAM_0:1:123456", "STEAM_0:0:5", true},
      // a part of a listed id is no operator
      {"STEAM_0:1:123456", "STEAM_0:1:12", false},
      {"STEAM_0:1:123456", "STEAM_0:1:1234567", false},
      // a player without an id is never one
      {"STEAM_0:1:123456", "", false},
      {"", "", false},
  };
  const int player = Join("Player", 0);
  for (const OperatorCase& c : cases) {
    server.SetCvar("mp_serverops", c.serverOps);  // read at every test
    server.SetAuthId(player, c.id);
    server.ClearObservations();
    const META_RES result = server.Say(player, "/kel");
    const std::string why = std::string("list \"") + c.serverOps + "\", id \"" + c.id + '"';
    if (c.isOperator) {
      EXPECT_EQ(result, MRES_SUPERCEDE) << why;
      EXPECT_EQ(HudTexts(player), Strings{kTeamsBalanced}) << why;
      EXPECT_EQ(PlayerChat(player), Strings{}) << why;
    } else {
      EXPECT_EQ(result, MRES_IGNORED) << why;
      EXPECT_EQ(HudTexts(player), Strings{}) << why;
      EXPECT_EQ(PlayerChat(player), Strings{"Player: /kel"}) << why;
    }
  }
}

}  // namespace
