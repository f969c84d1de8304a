// The balance rule and the handicap setting, over plain numbers.
#include <gtest/gtest.h>

#include "commands/balance.h"

namespace {

struct RuleCase {
  int marines;
  int aliens;
  int handicapTeam;
  int expected;
};

TEST(BalanceRule, HeadcountsWithAndWithoutHandicap) {
  const RuleCase cases[] = {
      // no handicap (-1 after a map start, 0 before the first one)
      {6, 4, -1, 1},
      {5, 4, -1, -1},
      {4, 6, -1, 2},
      {0, 1, -1, -1},
      {0, 2, -1, 2},
      {0, 0, -1, -1},
      {2, 0, 0, 1},
      {4, 5, 0, -1},
      // handicap marines: even from one more marine to two fewer
      {5, 7, 1, -1},
      {6, 5, 1, 1},
      {4, 7, 1, 2},
      {5, 5, 1, -1},
      {5, 4, 1, 1},
      // handicap aliens, mirrored
      {7, 5, 2, -1},
      {5, 6, 2, 2},
      {7, 4, 2, 1},  // 7 against 5
  };
  for (const RuleCase& c : cases) {
    EXPECT_EQ(BalanceRule(c.marines, c.aliens, c.handicapTeam), c.expected)
        << c.marines << " marines, " << c.aliens << " aliens, handicap " << c.handicapTeam;
  }
}

TEST(HandicapTeamFromText, OnlyTheExactLowerCaseNamesCount) {
  EXPECT_EQ(HandicapTeamFromText("marines"), 1);
  EXPECT_EQ(HandicapTeamFromText("aliens"), 2);
  for (const char* text : {"Marines", " marines", "marines ", "MARINES", "Aliens", "alien", "none",
                           "", "1", "marinesaliens"}) {
    EXPECT_EQ(HandicapTeamFromText(text), -1) << '"' << text << '"';
  }
  EXPECT_EQ(HandicapTeamFromText(nullptr), -1);
}

}  // namespace
