// kel_limitjoin's rule over plain numbers, and the reading of its text.
#include "join_limit.h"

#include <gtest/gtest.h>

namespace {

constexpr JoinVerdict kAllowed = JoinVerdict::Allowed;

TEST(JoinLimit, TheRuleByCountThenStrength) {
  constexpr JoinLimit kOff = JoinLimit::Off;
  constexpr JoinLimit kCount = JoinLimit::Count;
  constexpr JoinLimit kStrength = JoinLimit::Strength;
  constexpr Handicap kNone = Handicap::None;
  const struct {
    const char* story;
    JoinCase join;
    JoinVerdict verdict;
  } cases[] = {
      // limit, asked, from, marines, aliens (without him), handicap, loaded, sums, his value
      {"off", {kOff, kMarines, kReadyRoom, 9, 3, kNone, false, 0, 0, 0}, kAllowed},
      {"one ahead after the join: allowed", {kCount, kMarines, kReadyRoom, 4, 4, kNone}, kAllowed},
      {"two ahead after the join: refused",
       {kCount, kMarines, kReadyRoom, 5, 4, kNone},
       JoinVerdict::MarinesTooMany},
      {"the aliens, at the edge",
       {kCount, kAliens, kReadyRoom, 3, 4, kNone},
       JoinVerdict::AliensTooMany},
      {"the smaller team is never refused by count",
       {kCount, kAliens, kReadyRoom, 5, 1, kNone},
       kAllowed},
      {"switching sides: counted out of his team",
       {kCount, kAliens, kMarines, 3, 4, kNone},  // 3/4 without him: 3/5 after
       JoinVerdict::AliensTooMany},
      {"switching to the smaller side", {kCount, kMarines, kAliens, 3, 4, kNone}, kAllowed},
      {"re-joining his own team", {kCount, kMarines, kMarines, 9, 1, kNone}, kAllowed},
      {"a team the rule does not know", {kCount, 3, kReadyRoom, 9, 1, kNone}, kAllowed},
      {"handicap marines: 4+1 against 4 is even",
       {kCount, kMarines, kReadyRoom, 3, 4, Handicap::Marines},
       kAllowed},
      {"handicap marines: 5+1 against 4 is not",
       {kCount, kMarines, kReadyRoom, 4, 4, Handicap::Marines},
       JoinVerdict::MarinesTooMany},
      {"handicap aliens lets the marines have one more",
       {kCount, kMarines, kReadyRoom, 5, 4, Handicap::Aliens},
       kAllowed},
      // Strength: sums without him, then his value.
      {"count only: strength not looked at",
       {kCount, kMarines, kReadyRoom, 4, 4, kNone, true, 5000, 3000, 1000},
       kAllowed},
      {"the stronger side, the other would be closer",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, true, 5000, 3000, 1000},
       JoinVerdict::MarinesStronger},
      {"aliens stronger",
       {kStrength, kAliens, kReadyRoom, 4, 4, kNone, true, 3000, 3500, 1000},
       JoinVerdict::AliensStronger},
      {"the weaker side",
       {kStrength, kAliens, kReadyRoom, 4, 4, kNone, true, 5000, 3000, 1000},
       kAllowed},
      {"equal sums after the join",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, true, 3000, 4000, 1000},
       kAllowed},
      {"ahead by his value, but the other way just as far",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, true, 3000, 3000, 1000},
       kAllowed},
      {"ahead by 900, the other way 1100 apart",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, true, 2900, 3000, 1000},
       kAllowed},
      {"ahead by 1100, the other way 900 apart",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, true, 3100, 3000, 1000},
       JoinVerdict::MarinesStronger},
      {"the count allows only this team: strength gives way",
       {kStrength, kMarines, kReadyRoom, 3, 4, kNone, true, 9000, 1000, 1000},
       kAllowed},
      {"the count refuses first",
       {kStrength, kMarines, kReadyRoom, 5, 4, kNone, true, 1000, 9000, 1000},
       JoinVerdict::MarinesTooMany},
      {"values not loaded: count only",
       {kStrength, kMarines, kReadyRoom, 4, 4, kNone, false, 5000, 3000, 1000},
       kAllowed},
      {"switching sides by strength: his value leaves the other team",
       {kStrength, kMarines, kAliens, 4, 4, kNone, true, 3500, 3000, 1000},
       JoinVerdict::MarinesStronger},
      {"a missing player's drawn default counts like any value",
       {kStrength, kAliens, kReadyRoom, 2, 2, kNone, true, 1800, 1900, 929},
       JoinVerdict::AliensStronger},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeJoin(c.join), c.verdict) << c.story;
  }
  EXPECT_STREQ(JoinVerdictText(JoinVerdict::MarinesTooMany),
               "Marines have too many players - join the Aliens");
  EXPECT_STREQ(JoinVerdictText(JoinVerdict::AliensStronger),
               "Aliens are stronger - join the Marines");
  EXPECT_STREQ(JoinVerdictText(kAllowed), "");
}

TEST(JoinLimit, TheWholeTextIsOneNumberElseOff) {
  const struct {
    const char* text;
    JoinLimit limit;
    bool valid;
  } cases[] = {
      {"0", JoinLimit::Off, true},        {"1", JoinLimit::Count, true},
      {"2", JoinLimit::Strength, true},   {" 2 ", JoinLimit::Strength, true},
      {"+1", JoinLimit::Count, true},     {"2.0", JoinLimit::Strength, true},
      {"002", JoinLimit::Strength, true}, {"1.", JoinLimit::Count, true},
      {"2m", JoinLimit::Off, false},      {"3", JoinLimit::Off, false},
      {"12", JoinLimit::Off, false},      {"1.5", JoinLimit::Off, false},
      {"-1", JoinLimit::Off, false},      {"", JoinLimit::Off, false},
      {"on", JoinLimit::Off, false},      {"0x1", JoinLimit::Off, false},
      {".5", JoinLimit::Off, false},      {"2 2", JoinLimit::Off, false},
  };
  for (const auto& c : cases) {
    bool valid = !c.valid;
    EXPECT_EQ(JoinLimitFromText(c.text, valid), c.limit) << '"' << c.text << '"';
    EXPECT_EQ(valid, c.valid) << '"' << c.text << '"';
  }
  bool valid = true;
  EXPECT_EQ(JoinLimitFromText(nullptr, valid), JoinLimit::Off);
  EXPECT_FALSE(valid);
}

}  // namespace
