// The balance watch against a fake clock and fake headcounts: the balance
// rule, and the timelines of the operator notices and of autobalance, step
// by step.
#include "balance_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The watch's senses read these.
float g_now = 0.0f;
int g_marines = 0;
int g_aliens = 0;

float Now() { return g_now; }
int Headcount(TeamId team) { return team == kMarines ? g_marines : team == kAliens ? g_aliens : 0; }

TEST(BalanceRule, CountsTheHandicapTeamWithOneMore) {
  const struct {
    int marines, aliens;
    Handicap handicap;
    Balance expected;
  } cases[] = {
      {6, 4, Handicap::None, Balance::MarinesAhead},
      {5, 4, Handicap::None, Balance::Even},
      {4, 6, Handicap::None, Balance::AliensAhead},
      {0, 1, Handicap::None, Balance::Even},
      {0, 2, Handicap::None, Balance::AliensAhead},
      {5, 7, Handicap::Marines, Balance::Even},
      {6, 5, Handicap::Marines, Balance::MarinesAhead},
      {4, 7, Handicap::Marines, Balance::AliensAhead},
      {7, 5, Handicap::Aliens, Balance::Even},
      {0, 0, Handicap::None, Balance::Even},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BalanceRule(c.marines, c.aliens, c.handicap), c.expected)
        << c.marines << " against " << c.aliens << ", handicap " << static_cast<int>(c.handicap);
  }
  EXPECT_EQ(HandicapFromText("marines"), Handicap::Marines);
  EXPECT_EQ(HandicapFromText("aliens"), Handicap::Aliens);
  for (const char* text : {"", "none", "Marines", " aliens", "aliens ", "marinesaliens"})
    EXPECT_EQ(HandicapFromText(text), Handicap::None) << '"' << text << '"';
  EXPECT_EQ(HandicapFromText(nullptr), Handicap::None);
}

// What a timeline listens to: the operator notices (autobalance off), or
// autobalance arming the move (the notices unheard).
enum class Listen { Notices, Armings };

// One step of a timeline: set the clock, the teams and kel_autobalance, do
// one thing, and say what was heard in that step.
struct Step {
  float time;
  int marines, aliens;
  enum { Refresh, Frame, MapChange, Kel, Cancel } what;
  std::vector<std::string> heard;
  float autoBalance = 30.0f;  // read only when listening to armings
};

float g_autoBalance = 0.0f;
std::vector<std::string> g_heard;

float AutoBalanceSeconds() { return g_autoBalance; }
void Heard(const std::string& text) { g_heard.push_back(text); }
void Unheard(const std::string&) {}
void Arming(Balance ahead) {
  g_heard.emplace_back(ahead == Balance::MarinesAhead ? "marines" : "aliens");
}

BalanceSenses SensesFor(Listen listen) {
  if (listen == Listen::Notices) return {Now, Headcount, Heard};
  return {Now, Headcount, Unheard, AutoBalanceSeconds, Arming};
}

void Play(Listen listen, const char* story, const std::vector<Step>& steps) {
  BalanceWatch watch(SensesFor(listen));
  watch.MapStart(Handicap::None);
  for (const Step& step : steps) {
    g_now = step.time;
    g_marines = step.marines;
    g_aliens = step.aliens;
    g_autoBalance = step.autoBalance;
    g_heard.clear();
    if (step.what == Step::Refresh) watch.Refresh();
    if (step.what == Step::Frame) watch.FrameStep();
    if (step.what == Step::MapChange) watch.MapStart(Handicap::None);
    if (step.what == Step::Kel) watch.ArmDeathMove(CommandCaller::ServerConsole());
    if (step.what == Step::Cancel) {
      EXPECT_TRUE(watch.CancelDeathMove()) << story << ": nothing armed at " << step.time;
      EXPECT_FALSE(watch.Armed()) << story << ", at " << step.time;
      EXPECT_FALSE(watch.CancelDeathMove()) << story << ": cancelled twice at " << step.time;
    }
    EXPECT_EQ(g_heard, step.heard) << story << ", at " << step.time;
    if (listen == Listen::Armings && !step.heard.empty()) {
      EXPECT_TRUE(watch.Armed()) << story << ", at " << step.time;
    }
  }
}

const std::vector<std::string> kTooManyMarines = {"ADMIN NOTICE: Too many marines\n"};
const std::vector<std::string> kTooManyAliens = {"ADMIN NOTICE: Too many aliens\n"};
const std::vector<std::string> kArmsMarines = {"marines"};
const std::vector<std::string> kArmsAliens = {"aliens"};

TEST(BalanceWatchTimeline, NoticesFollowTheClock) {
  Play(Listen::Notices, "a lasting imbalance",
       {{100.0f, 4, 2, Step::Refresh, {}},
        {115.0f, 4, 2, Step::Frame, {}},  // not more than 15 s yet
        {115.1f, 4, 2, Step::Frame, kTooManyMarines},
        {115.2f, 4, 2, Step::Frame, {}},
        {400.0f, 4, 2, Step::Frame, {}}});  // once per imbalance

  Play(Listen::Notices, "even again before the delay",
       {{100.0f, 2, 4, Step::Refresh, {}},
        {110.0f, 3, 3, Step::Refresh, {}},
        {116.0f, 3, 3, Step::Frame, {}},
        {200.0f, 3, 3, Step::Frame, {}}});

  Play(Listen::Notices, "a second imbalance waits for the spacing",
       {{100.0f, 4, 2, Step::Refresh, {}},
        {115.1f, 4, 2, Step::Frame, kTooManyMarines},
        {120.0f, 3, 3, Step::Refresh, {}},
        {130.0f, 2, 4, Step::Refresh, {}},
        {145.1f, 2, 4, Step::Frame, {}},  // 15 s, but not 60 s since the last check
        {175.0f, 2, 4, Step::Frame, {}},
        {175.2f, 2, 4, Step::Frame, kTooManyAliens}});

  Play(Listen::Notices, "a check that finds the teams even still counts as fired",
       {{100.0f, 4, 2, Step::Refresh, {}},
        {115.1f, 3, 3, Step::Frame, {}},  // the check's own refresh finds them even
        {116.0f, 4, 2, Step::Refresh, {}},
        {131.2f, 4, 2, Step::Frame, {}},  // 60 s from the check that fired at 115.1
        {175.2f, 4, 2, Step::Frame, kTooManyMarines}});

  // The clock restarts with every map; the stored times carry over and only
  // the distance counts: at 61 on the new map the imbalance stamped at 100
  // on the old one is 39 s old.
  Play(Listen::Notices, "a map change while a notice is pending",
       {{100.0f, 4, 2, Step::Refresh, {}},
        {1.0f, 4, 2, Step::MapChange, {}},
        {10.0f, 4, 2, Step::Frame, {}},
        {61.0f, 4, 2, Step::Frame, kTooManyMarines}});
}

TEST(BalanceWatchTimeline, EvenTeamsDisarmAndClearThePendingNotice) {
  BalanceWatch watch({Now, Headcount, Heard});
  watch.MapStart(Handicap::Aliens);
  EXPECT_EQ(watch.HandicapTeam(), Handicap::Aliens);
  g_now = 10.0f;
  g_marines = 5;
  g_aliens = 4;  // counted as 5: even
  watch.Refresh();
  EXPECT_EQ(watch.State(), Balance::Even);
  EXPECT_FALSE(watch.NoticePending());
  g_marines = 7;
  watch.Refresh();
  EXPECT_EQ(watch.State(), Balance::MarinesAhead);
  EXPECT_TRUE(watch.NoticePending());
  g_aliens = 7;
  watch.Refresh(kMarines);  // a marine leaving: 6 against 7 + 1
  EXPECT_EQ(watch.State(), Balance::AliensAhead);
  EXPECT_TRUE(watch.NoticePending()) << "a flip of sides is no new imbalance";
  g_aliens = 5;
  watch.Refresh();
  EXPECT_EQ(watch.State(), Balance::Even);
  EXPECT_FALSE(watch.NoticePending());
  EXPECT_FALSE(watch.Armed());
}

// ---- autobalance ----------------------------------------------------------

TEST(AutoBalanceTimeline, ArmsOnceTheSameSideHasBeenAheadLongEnough) {
  Play(Listen::Armings, "a lasting imbalance",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {129.9f, 6, 4, Step::Frame, {}},
        {130.0f, 6, 4, Step::Frame, kArmsMarines},
        {130.1f, 6, 4, Step::Frame, {}},  // once per count
        {500.0f, 6, 4, Step::Frame, {}}});

  Play(Listen::Armings, "a change of sides starts the count again",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {120.0f, 4, 6, Step::Refresh, {}},  // the other side ahead: a new count
        {130.0f, 4, 6, Step::Frame, {}},
        {150.0f, 4, 6, Step::Frame, kArmsAliens}});

  Play(Listen::Armings, "even teams end the count",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {110.0f, 5, 4, Step::Refresh, {}},
        {115.0f, 6, 4, Step::Refresh, {}},
        {130.0f, 6, 4, Step::Frame, {}},
        {145.0f, 6, 4, Step::Frame, kArmsMarines}});

  // The count's own refresh sees what no user-information change reported.
  Play(Listen::Armings, "teams even at the check",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {130.0f, 5, 4, Step::Frame, {}},
        {200.0f, 6, 4, Step::Frame, {}}});
}

TEST(AutoBalanceTimeline, OffAtZeroAndCountingFromWhenTheSideWentAhead) {
  Play(Listen::Armings, "switched on during an imbalance",
       {{100.0f, 6, 4, Step::Refresh, {}, 0.0f},
        {200.0f, 6, 4, Step::Frame, {}, 0.0f},
        {201.0f, 6, 4, Step::Frame, {}, -30.0f},
        {202.0f, 6, 4, Step::Frame, {}, 120.0f},  // ahead for 102 s only
        {220.0f, 6, 4, Step::Frame, kArmsMarines, 120.0f}});

  Play(Listen::Armings, "an operator's kel came first",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {110.0f, 6, 4, Step::Kel, {}},
        {130.0f, 6, 4, Step::Frame, {}}});

  // kel_cancel ends the count too: autobalance arms nothing again until the
  // teams change, here the other side going ahead.
  Play(Listen::Armings, "an operator's kel, then kel_cancel",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {110.0f, 6, 4, Step::Kel, {}},
        {115.0f, 6, 4, Step::Cancel, {}},
        {130.0f, 6, 4, Step::Frame, {}},
        {200.0f, 6, 4, Step::Frame, {}},
        {210.0f, 4, 6, Step::Refresh, {}},
        {240.0f, 4, 6, Step::Frame, kArmsAliens}});
}

// The host clock restarts with every map: the count starts again on the new
// map's clock, and the map start's disarming is undone once it is due.
TEST(AutoBalanceTimeline, AMapChangeStartsTheCountAgain) {
  Play(Listen::Armings, "a map change during the count",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {120.0f, 6, 4, Step::Frame, {}},
        {1.0f, 6, 4, Step::MapChange, {}},
        {20.0f, 6, 4, Step::Frame, {}},
        {31.0f, 6, 4, Step::Frame, kArmsMarines}});

  Play(Listen::Armings, "a map change after the move was armed",
       {{100.0f, 6, 4, Step::Refresh, {}},
        {130.0f, 6, 4, Step::Frame, kArmsMarines},
        {1.0f, 6, 4, Step::MapChange, {}},
        {31.0f, 6, 4, Step::Frame, kArmsMarines}});

  BalanceWatch watch(SensesFor(Listen::Armings));
  watch.MapStart(Handicap::None);
  g_now = 1.0f;
  g_marines = 5;
  g_aliens = 5;
  watch.Refresh();
  watch.MapStart(Handicap::None);
  EXPECT_FALSE(watch.AutoBalanceCounting()) << "even teams: nothing to count at a map start";
}

}  // namespace
