// The balance rule for what the stories on the simulated server do not
// reach: the load-time handicap value 0 and a null cvar text.
#include <gtest/gtest.h>

#include "commands/balance.h"

namespace {

TEST(BalanceRule, LoadTimeHandicapZeroGivesNoTeamAnExtraPlayer) {
  EXPECT_EQ(BalanceRule(2, 0, 0), 1);
  EXPECT_EQ(BalanceRule(0, 2, 0), 2);
  EXPECT_EQ(BalanceRule(4, 5, 0), -1);
  EXPECT_EQ(BalanceRule(0, 0, 0), -1);
}

TEST(HandicapTeamFromText, NullOrInexactTextIsNoTeam) {
  EXPECT_EQ(HandicapTeamFromText(nullptr), -1);
  for (const char* text : {"", "MARINES", "alien", "aliens ", "marinesaliens"})
    EXPECT_EQ(HandicapTeamFromText(text), -1) << '"' << text << '"';
  EXPECT_EQ(HandicapTeamFromText("aliens"), 2);
}

}  // namespace
