// The balance watch against a fake clock and fake headcounts: the balance
// rule, and the timeline of the operator notices, step by step.
#include "balance_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The watch's senses read these.
float g_now = 0.0f;
int g_marines = 0;
int g_aliens = 0;
std::vector<std::string> g_notices;

float Now() { return g_now; }
int Headcount(TeamId team) { return team == kMarines ? g_marines : team == kAliens ? g_aliens : 0; }
void Notify(const std::string& text) { g_notices.push_back(text); }

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

// One step of a timeline: set the clock and the teams, then either refresh
// (a user-information change) or run a frame, and say which notices the
// operators got in that step.
struct Step {
  float time;
  int marines, aliens;
  enum { Refresh, Frame, MapChange } what;
  std::vector<std::string> notices;
};

void Play(const std::vector<Step>& steps, const char* story) {
  BalanceWatch watch({Now, Headcount, Notify});
  watch.MapStart(Handicap::None);
  for (const Step& step : steps) {
    g_now = step.time;
    g_marines = step.marines;
    g_aliens = step.aliens;
    g_notices.clear();
    if (step.what == Step::Refresh) watch.Refresh();
    if (step.what == Step::Frame) watch.FrameStep();
    if (step.what == Step::MapChange) watch.MapStart(Handicap::None);
    EXPECT_EQ(g_notices, step.notices) << story << ", at " << step.time;
  }
}

const std::vector<std::string> kTooManyMarines = {"ADMIN NOTICE: Too many marines\n"};
const std::vector<std::string> kTooManyAliens = {"ADMIN NOTICE: Too many aliens\n"};

TEST(BalanceWatchTimeline, NoticesFollowTheClock) {
  Play({{100.0f, 4, 2, Step::Refresh, {}},
        {115.0f, 4, 2, Step::Frame, {}},  // not more than 15 s yet
        {115.1f, 4, 2, Step::Frame, kTooManyMarines},
        {115.2f, 4, 2, Step::Frame, {}},
        {400.0f, 4, 2, Step::Frame, {}}},  // once per imbalance
       "a lasting imbalance");

  Play({{100.0f, 2, 4, Step::Refresh, {}},
        {110.0f, 3, 3, Step::Refresh, {}},
        {116.0f, 3, 3, Step::Frame, {}},
        {200.0f, 3, 3, Step::Frame, {}}},
       "even again before the delay");

  Play({{100.0f, 4, 2, Step::Refresh, {}},
        {115.1f, 4, 2, Step::Frame, kTooManyMarines},
        {120.0f, 3, 3, Step::Refresh, {}},
        {130.0f, 2, 4, Step::Refresh, {}},
        {145.1f, 2, 4, Step::Frame, {}},  // 15 s, but not 60 s since the last check
        {175.0f, 2, 4, Step::Frame, {}},
        {175.2f, 2, 4, Step::Frame, kTooManyAliens}},
       "a second imbalance waits for the spacing");

  Play({{100.0f, 4, 2, Step::Refresh, {}},
        {115.1f, 3, 3, Step::Frame, {}},  // the check's own refresh finds them even
        {116.0f, 4, 2, Step::Refresh, {}},
        {131.2f, 4, 2, Step::Frame, {}},  // 60 s from the check that fired at 115.1
        {175.2f, 4, 2, Step::Frame, kTooManyMarines}},
       "a check that finds the teams even still counts as fired");

  // The clock restarts with every map; the stored times carry over and only
  // the distance counts: at 61 on the new map the imbalance stamped at 100
  // on the old one is 39 s old.
  Play({{100.0f, 4, 2, Step::Refresh, {}},
        {1.0f, 4, 2, Step::MapChange, {}},
        {10.0f, 4, 2, Step::Frame, {}},
        {61.0f, 4, 2, Step::Frame, kTooManyMarines}},
       "a map change while a notice is pending");
}

TEST(BalanceWatchTimeline, EvenTeamsDisarmAndClearThePendingNotice) {
  BalanceWatch watch({Now, Headcount, Notify});
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

float g_autoBalance = 0.0f;
std::vector<std::string> g_armings;

float AutoBalanceSeconds() { return g_autoBalance; }
void Arming(Balance ahead) {
  g_armings.push_back(ahead == Balance::MarinesAhead ? "marines" : "aliens");
}

// One step of an autobalance timeline: as Step, plus kel_autobalance's value
// and the side autobalance arms the move for in that step ("" for none).
struct AutoStep {
  float time;
  int marines, aliens;
  enum { Refresh, Frame, MapChange, Kel, Cancel } what;
  float autoBalance;
  std::string arms;
};

void PlayAuto(const std::vector<AutoStep>& steps, const char* story) {
  BalanceWatch watch({Now, Headcount, Notify, AutoBalanceSeconds, Arming});
  watch.MapStart(Handicap::None);
  for (const AutoStep& step : steps) {
    g_now = step.time;
    g_marines = step.marines;
    g_aliens = step.aliens;
    g_autoBalance = step.autoBalance;
    g_armings.clear();
    if (step.what == AutoStep::Refresh) watch.Refresh();
    if (step.what == AutoStep::Frame) watch.FrameStep();
    if (step.what == AutoStep::MapChange) watch.MapStart(Handicap::None);
    if (step.what == AutoStep::Kel) watch.ArmDeathMove(CommandCaller::ServerConsole());
    if (step.what == AutoStep::Cancel) {
      EXPECT_TRUE(watch.CancelDeathMove()) << story << ": nothing armed at " << step.time;
      EXPECT_FALSE(watch.Armed()) << story << ", at " << step.time;
      EXPECT_FALSE(watch.CancelDeathMove()) << story << ": cancelled twice at " << step.time;
    }
    const std::vector<std::string> expected =
        step.arms.empty() ? std::vector<std::string>{} : std::vector<std::string>{step.arms};
    EXPECT_EQ(g_armings, expected) << story << ", at " << step.time;
    if (!step.arms.empty()) {
      EXPECT_TRUE(watch.Armed()) << story << ", at " << step.time;
    }
  }
}

TEST(AutoBalanceTimeline, ArmsOnceTheSameSideHasBeenAheadLongEnough) {
  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {129.9f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {130.0f, 6, 4, AutoStep::Frame, 30.0f, "marines"},
            {130.1f, 6, 4, AutoStep::Frame, 30.0f, ""},  // once per count
            {500.0f, 6, 4, AutoStep::Frame, 30.0f, ""}},
           "a lasting imbalance");

  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {120.0f, 4, 6, AutoStep::Refresh, 30.0f, ""},  // the other side ahead: a new count
            {130.0f, 4, 6, AutoStep::Frame, 30.0f, ""},
            {150.0f, 4, 6, AutoStep::Frame, 30.0f, "aliens"}},
           "a change of sides starts the count again");

  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {110.0f, 5, 4, AutoStep::Refresh, 30.0f, ""},
            {115.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {130.0f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {145.0f, 6, 4, AutoStep::Frame, 30.0f, "marines"}},
           "even teams end the count");

  // The count's own refresh sees what no user-information change reported.
  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {130.0f, 5, 4, AutoStep::Frame, 30.0f, ""},
            {200.0f, 6, 4, AutoStep::Frame, 30.0f, ""}},
           "teams even at the check");
}

TEST(AutoBalanceTimeline, OffAtZeroAndCountingFromWhenTheSideWentAhead) {
  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 0.0f, ""},
            {200.0f, 6, 4, AutoStep::Frame, 0.0f, ""},
            {201.0f, 6, 4, AutoStep::Frame, -30.0f, ""},
            {202.0f, 6, 4, AutoStep::Frame, 120.0f, ""},  // ahead for 102 s only
            {220.0f, 6, 4, AutoStep::Frame, 120.0f, "marines"}},
           "switched on during an imbalance");

  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {110.0f, 6, 4, AutoStep::Kel, 30.0f, ""},
            {130.0f, 6, 4, AutoStep::Frame, 30.0f, ""}},
           "an operator's kel came first");

  // kel_cancel ends the count too: autobalance arms nothing again until the
  // teams change, here the other side going ahead.
  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {110.0f, 6, 4, AutoStep::Kel, 30.0f, ""},
            {115.0f, 6, 4, AutoStep::Cancel, 30.0f, ""},
            {130.0f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {200.0f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {210.0f, 4, 6, AutoStep::Refresh, 30.0f, ""},
            {240.0f, 4, 6, AutoStep::Frame, 30.0f, "aliens"}},
           "an operator's kel, then kel_cancel");
}

// The host clock restarts with every map: the count starts again on the new
// map's clock, and the map start's disarming is undone once it is due.
TEST(AutoBalanceTimeline, AMapChangeStartsTheCountAgain) {
  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {120.0f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {1.0f, 6, 4, AutoStep::MapChange, 30.0f, ""},
            {20.0f, 6, 4, AutoStep::Frame, 30.0f, ""},
            {31.0f, 6, 4, AutoStep::Frame, 30.0f, "marines"}},
           "a map change during the count");

  PlayAuto({{100.0f, 6, 4, AutoStep::Refresh, 30.0f, ""},
            {130.0f, 6, 4, AutoStep::Frame, 30.0f, "marines"},
            {1.0f, 6, 4, AutoStep::MapChange, 30.0f, ""},
            {31.0f, 6, 4, AutoStep::Frame, 30.0f, "marines"}},
           "a map change after the move was armed");

  BalanceWatch watch({Now, Headcount, Notify, AutoBalanceSeconds, Arming});
  watch.MapStart(Handicap::None);
  g_now = 1.0f;
  g_marines = 5;
  g_aliens = 5;
  watch.Refresh();
  watch.MapStart(Handicap::None);
  EXPECT_FALSE(watch.AutoBalanceCounting()) << "even teams: nothing to count at a map start";
}

}  // namespace
