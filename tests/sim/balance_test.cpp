// Stories of the imbalance watch and the death-time move, told through the
// simulated server with the real plugin loaded.
#include <string>
#include <vector>

#include "balance_story.h"
#include "balance_watch.h"

namespace {

using balance_story::BalanceStory;
using balance_story::Strings;

constexpr const char* kTooManyMarines = "ADMIN NOTICE: Too many marines\n";
constexpr const char* kTooManyAliens = "ADMIN NOTICE: Too many aliens\n";
constexpr const char* kNextMarine = "Teams unbalanced - next Marine to die goes to the ReadyRoom\n";
constexpr const char* kNextAlien = "Teams unbalanced - next Alien to die goes to the ReadyRoom\n";

std::string SentForBalance(const std::string& name) {
  return name + " died -- sent to the Ready Room for balance\n";
}

// ---- the balance rule, read through kel on the server console ------------

class BalanceRuleStory : public BalanceStory {
 protected:
  void SetUp() override {
    BalanceStory::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    for (int i = 1; i <= 12; ++i) pool_.push_back(Join("P" + std::to_string(i), 0));
  }
  // Puts the first `marines` pooled players on team 1, the next `aliens` on
  // team 2 and the rest in the ready room, then asks kel.
  std::string KelReplyFor(int marines, int aliens) {
    for (int i = 0; i < static_cast<int>(pool_.size()); ++i)
      server.SetTeam(pool_[i], i < marines ? 1 : i < marines + aliens ? 2 : 0);
    server.ClearObservations();
    EXPECT_TRUE(server.ServerCommand({"kel"}));
    return server.ConsoleLines().empty() ? "" : server.ConsoleLines().front();
  }

  std::vector<int> pool_;
};

struct RuleCase {
  int marines, aliens;
  const char* reply;
};
constexpr const char* kEven = kTeamsBalanced;
constexpr const char* kMarinesAhead = "Marine team is unbalanced";
constexpr const char* kAliensAhead = "Alien team is unbalanced";

TEST_F(BalanceRuleStory, WithoutHandicap) {
  const RuleCase cases[] = {{6, 4, kMarinesAhead},
                            {5, 4, kEven},
                            {4, 6, kAliensAhead},
                            {0, 1, kEven},
                            {0, 2, kAliensAhead}};
  for (const RuleCase& c : cases)
    EXPECT_EQ(KelReplyFor(c.marines, c.aliens), c.reply) << c.marines << "/" << c.aliens;
}

TEST_F(BalanceRuleStory, HandicapMarinesCountsOneMoreFromTheNextMap) {
  server.SetCvar("kel_handicapteam", "marines");
  // Read at map start only: until then 5/7 still favours the aliens.
  EXPECT_EQ(KelReplyFor(5, 7), kAliensAhead);
  server.ChangeMap();
  const RuleCase cases[] = {{5, 7, kEven}, {6, 5, kMarinesAhead}, {4, 7, kAliensAhead}};
  for (const RuleCase& c : cases)
    EXPECT_EQ(KelReplyFor(c.marines, c.aliens), c.reply) << c.marines << "/" << c.aliens;
}

TEST_F(BalanceRuleStory, HandicapAliens) {
  server.SetCvar("kel_handicapteam", "aliens");
  server.ChangeMap();
  const RuleCase cases[] = {{7, 5, kEven}, {5, 6, kAliensAhead}, {7, 4, kMarinesAhead}};
  for (const RuleCase& c : cases)
    EXPECT_EQ(KelReplyFor(c.marines, c.aliens), c.reply) << c.marines << "/" << c.aliens;
}

TEST_F(BalanceRuleStory, HandicapTextIsExactAndCaseSensitive) {
  for (const char* text : {"Marines", " marines", "marines ", "none"}) {
    server.SetCvar("kel_handicapteam", text);
    server.ChangeMap();
    EXPECT_EQ(KelReplyFor(5, 7), kAliensAhead) << '"' << text << '"';
    EXPECT_EQ(KelReplyFor(6, 5), kEven) << '"' << text << '"';
  }
}

// ---- operator notices ---------------------------------------------------

// Runs the frame at exactly `time` and then the first frame after it.
void FrameAtAndJustAfter(kelsim::SimServer& server, float time, float step) {
  server.SetTime(time);
  server.Frame(0.0f);
  server.Frame(step);
}

TEST_F(BalanceStory, LastingImbalanceNotifiesOperatorsOnceAfterFifteenSeconds) {
  const int bystander = Join("Marine1", 1);  // 1/0: even
  server.SetTime(100.0f);
  Join("Marine2", 1);  // 2/0 from 100.0
  server.RunUntil(114.0f);
  server.SetTime(115.0f);
  server.Frame(0.0f);
  EXPECT_TRUE(HudTimes(op, kTooManyMarines).empty()) << "15 s is not more than 15 s";
  server.Frame(0.05f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines), std::vector<float>{115.05f});
  server.RunUntil(400.0f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines).size(), 1u) << "one notice per imbalance";
  EXPECT_TRUE(HudTexts(bystander).empty()) << "only operators are told";
}

TEST_F(BalanceStory, NoticeForTooManyAliensToEveryOperator) {
  const int secondOp = JoinAsOperator("Admin2", "STEAM_0:0:2000");
  server.SetTime(50.0f);
  JoinMany("Alien", 2, 3);  // uneven from 50.0 (0/2)
  server.RunUntil(70.0f);
  EXPECT_EQ(HudTimes(op, kTooManyAliens).size(), 1u);
  EXPECT_EQ(HudTimes(secondOp, kTooManyAliens).size(), 1u);
  EXPECT_TRUE(HudTimes(op, kTooManyMarines).empty());
}

TEST_F(BalanceStory, ImbalanceThatEndsWithinFifteenSecondsBringsNoNotice) {
  Join("Marine1", 1);
  server.SetTime(100.0f);
  const int second = Join("Marine2", 1);
  server.RunUntil(110.0f);
  server.SetTeam(second, 0);  // even again at 110
  server.RunUntil(300.0f);
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Hud), 0);
}

TEST_F(BalanceStory, NextNoticeWaitsSixtySecondsAfterThePreviousCheck) {
  Join("Marine1", 1);
  server.SetTime(100.0f);
  const int second = Join("Marine2", 1);
  FrameAtAndJustAfter(server, 115.0f, 0.05f);  // first notice at 115.05
  server.SetTime(120.0f);
  server.SetTeam(second, 0);
  server.SetTime(130.0f);
  server.SetTeam(second, 1);  // uneven again at 130
  server.RunUntil(174.0f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines).size(), 1u) << "not at 145: the spacing counts";
  FrameAtAndJustAfter(server, 175.0f, 0.1f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines), (std::vector<float>{115.05f, 175.1f}));
}

TEST_F(BalanceStory, CheckThatFindsTeamsEvenSendsNothingButStillStampsItsTime) {
  Join("Marine1", 1);
  server.SetTime(100.0f);
  const int second = Join("Marine2", 1);
  server.SetTime(110.0f);
  server.SetTeamSilently(second, 0);           // even, but only the check's refresh sees it
  FrameAtAndJustAfter(server, 115.0f, 0.05f);  // the check fires, finds them even
  server.SetTime(130.0f);
  server.SetTeam(second, 1);  // uneven again at 130
  server.RunUntil(174.0f);
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Hud), 0) << "none for the even check, none at 145";
  FrameAtAndJustAfter(server, 175.0f, 0.1f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines), std::vector<float>{175.1f});
}

TEST_F(BalanceStory, NoticeTimingCountsAcrossTheClockRestartOfAMapChange) {
  const int first = Join("Marine1", 1);
  server.SetTime(100.0f);
  const int second = Join("Marine2", 1);
  FrameAtAndJustAfter(server, 115.0f, 0.05f);  // first notice at 115.05
  server.SetTime(120.0f);
  server.SetTeam(second, 0);
  // Clock back to 1.0, everyone back in the ready room; the stored times
  // stay on the old clock.
  server.ChangeMap();
  server.SetTime(5.0f);
  server.SetTeam(first, 1);
  server.SetTeam(second, 1);  // uneven at 5, 110 s before the last check
  server.RunUntil(19.0f);
  FrameAtAndJustAfter(server, 20.0f, 0.05f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines), (std::vector<float>{115.05f, 20.05f}));
}

// ---- kel and the death-time move -----------------------------------------

TEST_F(BalanceStory, KelWithEvenTeamsArmsNothing) {
  const std::vector<int> marines = JoinMany("Marine", 1, 5);
  JoinMany("Alien", 2, 4);
  server.ClearObservations();
  EXPECT_EQ(server.Say(op, "/kel"), MRES_SUPERCEDE);
  EXPECT_EQ(HudTexts(op), Strings{kTeamsBalanced});
  EXPECT_EQ(CountEvents(kelsim::Event::Kind::Chat), 0);

  server.Kill(marines[0]);
  server.Frame();
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[0]).empty());
}

TEST_F(BalanceStory, KelSendsTheNextDyingMarinesUntilTheTeamsAreEven) {
  const std::vector<int> marines = JoinMany("Marine", 1, 7);
  const std::vector<int> aliens = JoinMany("Alien", 2, 4);
  server.Kill(marines[0]);  // dead before the command: not taken for this death
  server.ClearObservations();

  server.Say(op, "/kel");
  EXPECT_EQ(HudTexts(op), Strings{"Marine team is unbalanced"});
  EXPECT_EQ(ChatTexts(aliens[0]), Strings{kNextMarine});
  EXPECT_EQ(ChatTexts(op), Strings{kNextMarine});
  EXPECT_EQ(server.Client(op).chat.front().destination, 3);
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[0]).empty());

  server.Kill(aliens[1]);
  server.Kill(marines[3]);
  server.Frame();
  EXPECT_TRUE(ClientCommands(aliens[1]).empty()) << "aliens are left alone";
  EXPECT_EQ(ClientCommands(marines[3]), Strings{"readyroom\n"});
  EXPECT_EQ(ChatTexts(aliens[0]).back(), SentForBalance("Marine4"));
  server.Frame();  // the game moves him: 6/4, still armed
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[3]), Strings{"readyroom\n"}) << "one death, one move";

  server.Respawn(marines[0]);
  server.Frame();  // seen alive: his next death counts
  server.Kill(marines[0]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[0]), Strings{"readyroom\n"});
  server.Frame();  // moved: 5/4, even, the move is off

  server.Kill(marines[1]);
  server.Frame();
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[1]).empty());
}

// A player sent to the ready room counts as gone from his team until the
// game has moved him, so deaths in one frame send only as many players as
// the count needs.
TEST_F(BalanceStory, TwoMarinesDyingInOneFrameSendOnlyOne) {
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);
  server.ServerCommand({"kel"});
  server.Kill(marines[1]);
  server.Kill(marines[4]);
  server.Frame();
  // The higher slot goes first; with him counted gone the teams are even.
  EXPECT_EQ(ClientCommands(marines[4]), Strings{"readyroom\n"});
  EXPECT_TRUE(ClientCommands(marines[1]).empty());
  server.Frame();  // the game moves him: 5/4
  EXPECT_EQ(server.Team(marines[4]), 0);
  server.Respawn(marines[1]);
  server.Frame();
  server.Kill(marines[1]);
  server.Frame();
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[1]).empty()) << "the move is off";
}

// A client that never sends "readyroom" back: a few seconds later he counts
// on his team again, and the move, which waited for him, takes the next
// death.
TEST_F(BalanceStory, AMoveTheGameNeverCarriesOutCountsAgainAfterAFewSeconds) {
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);
  server.ServerCommand({"kel"});
  server.SetIgnoresClientCommands(marines[5], true);
  server.Kill(marines[5]);
  server.Kill(marines[2]);
  server.Frame();
  EXPECT_EQ(ClientCommands(marines[5]), Strings{"readyroom\n"});
  EXPECT_TRUE(ClientCommands(marines[2]).empty());
  const float sent = server.Time();
  server.RunUntil(sent + 4.5f);
  EXPECT_EQ(server.Team(marines[5]), 1);
  EXPECT_TRUE(ClientCommands(marines[2]).empty()) << "still waiting for Marine6's move";
  server.RunUntil(sent + 5.5f);
  EXPECT_EQ(ClientCommands(marines[2]), Strings{"readyroom\n"});
  EXPECT_EQ(ClientCommands(marines[5]), Strings{"readyroom\n"}) << "his death was handled";
}

TEST_F(BalanceStory, KelOnTheConsoleForAliensAnswersThereAndAnnouncesToAll) {
  const std::vector<int> marines = JoinMany("Marine", 1, 2);
  const std::vector<int> aliens = JoinMany("Alien", 2, 5);
  server.ClearObservations();
  EXPECT_TRUE(server.ServerCommand({"kel"}));
  EXPECT_EQ(server.ConsoleLines(), Strings{"Alien team is unbalanced"});
  EXPECT_TRUE(HudTexts(op).empty());
  EXPECT_EQ(ChatTexts(marines[0]), Strings{kNextAlien});

  server.Kill(marines[0]);
  server.Kill(aliens[2]);
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[0]).empty());
  EXPECT_EQ(ClientCommands(aliens[2]), Strings{"readyroom\n"});
  EXPECT_EQ(ChatTexts(marines[1]).back(), SentForBalance("Alien3"));
}

// The disconnect hook runs while the leaver still stands on his team; the
// refresh there counts the teams as they are once he has gone.
TEST_F(BalanceStory, LeaverWhoEvensTheTeamsDisarmsAtOnce) {
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);
  const int spare = Join("Spare", 0);
  server.ServerCommand({"kel"});
  server.Disconnect(marines[5]);     // 5/4: the move is off
  server.SetTeamSilently(spare, 1);  // 6/4 again, but nobody asked for a move
  server.Kill(marines[0]);
  server.Frame();
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[0]).empty());
}

TEST_F(BalanceStory, LeaverWhoUnbalancesTheTeamsBringsANotice) {
  JoinMany("Marine", 1, 5);
  const std::vector<int> aliens = JoinMany("Alien", 2, 4);
  server.SetTime(100.0f);
  server.Disconnect(aliens[0]);  // 5/3 from 100.0, and no other refresh follows
  FrameAtAndJustAfter(server, 115.0f, 0.05f);
  EXPECT_EQ(HudTimes(op, kTooManyMarines), std::vector<float>{115.05f});
}

TEST_F(BalanceStory, MapChangeDisarms) {
  const std::vector<int> marines = JoinMany("Marine", 1, 6);
  JoinMany("Alien", 2, 4);
  server.ServerCommand({"kel"});
  server.ChangeMap();
  server.Kill(marines[0]);
  server.Frame();
  server.Frame();
  EXPECT_TRUE(ClientCommands(marines[0]).empty());
}

TEST_F(BalanceStory, NameWithPercentIsAnnouncedUnchanged) {
  JoinMany("Marine", 1, 5);
  const int odd = Join("100%s%n%d", 1);
  JoinMany("Alien", 2, 4);
  server.ServerCommand({"kel"});
  server.Kill(odd);
  server.Frame();
  EXPECT_EQ(ChatTexts(op).back(), SentForBalance("100%s%n%d"));
}

// More clients than the 33-entry AliveSeen table has room for: the slots
// above 32 are not tracked, so the move leaves them alone, and nothing reads
// or writes past the table (ASan watches the globals).
class WideBalanceStory : public BalanceStory {
 protected:
  WideBalanceStory() : BalanceStory(40) {}
};

TEST_F(WideBalanceStory, SlotsAbove32AreLeftOutOfTheDeathMove) {
  std::vector<int> marines;
  for (int slot = 33; slot <= 38; ++slot)
    marines.push_back(Join("High" + std::to_string(slot), 1, slot));
  marines.push_back(Join("Low", 1, 5));
  JoinMany("Alien", 2, 4);  // 7/4
  server.ServerCommand({"kel"});
  EXPECT_EQ(server.ConsoleLines().back(), kMarinesAhead);
  for (int slot : marines) server.Kill(slot);
  server.Frame();
  for (int slot = 33; slot <= 38; ++slot) EXPECT_TRUE(ClientCommands(slot).empty()) << slot;
  EXPECT_EQ(ClientCommands(5), Strings{"readyroom\n"});
}

}  // namespace
