// The stv report text, as a pure function of the two teams.
#include "values/team_values.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

RatedPlayer Marine(const std::string& name, int32_t value) { return {name, value, kMarines}; }
RatedPlayer Alien(const std::string& name, int32_t value) { return {name, value, kAliens}; }

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

TEST(TeamValuesReport, WorkedExampleComesOutExactly) {
  const std::string report = TeamValuesReport({Marine("Ann", 1500), Marine("Bo", 900)},
                                              {Alien("Cy", 1100), Alien("Di", 1100)});
  EXPECT_EQ(report,
            "Marines have 1.09x skill as aliens\n"
            "\n"
            "+-- Marines\n"
            "| 1500 - Ann\n"
            "|  900 - Bo\n"
            "|\n"
            "+-- total: 2400\n"
            "\n"
            "+-- Aliens\n"
            "| 1100 - Cy\n"
            "| 1100 - Di\n"
            "|\n"
            "+-- total: 2200\n"
            "\n"
            "+-- Top 3 Players\n"
            "| #1 Ann (marines,1500)\n"
            "| #2 Cy (aliens,1100)\n"
            "| #3 Di (aliens,1100)\n"
            "+--\n"
            "\n"
            "Worst player: Bo (marines,900)\n");
}

TEST(TeamValuesReport, NobodyOnEitherTeam) {
  EXPECT_EQ(TeamValuesReport({}, {}), "No players on either team\n");
}

TEST(TeamValuesReport, OneMarineAlone) {
  EXPECT_EQ(TeamValuesReport({Marine("Ann", 1500)}, {}),
            "Teams are a little one sided, eh?\n"
            "\n"
            "+-- Marines\n"
            "| 1500 - Ann\n"
            "|\n"
            "+-- total: 1500\n"
            "\n"
            "+-- Aliens\n"
            "|\n"
            "+-- total: 0\n"
            "\n"
            "+-- Top 1 Players\n"
            "| #1 Ann (marines,1500)\n"
            "+--\n"
            "\n");
}

TEST(TeamValuesReport, OneAlienAloneIsOneSidedToo) {
  const std::string report = TeamValuesReport({}, {Alien("Cy", 7)});
  EXPECT_EQ(FirstLine(report), "Teams are a little one sided, eh?\n");
  EXPECT_NE(report.find("+-- Marines\n|\n+-- total: 0\n\n+-- Aliens\n| 7 - Cy\n"),
            std::string::npos)
      << report;
}

// One player a side is enough to set each total.
TEST(TeamValuesReport, VerdictLine) {
  struct Case {
    int32_t marines, aliens;
    const char* verdict;
  };
  const Case cases[] = {
      {21, 20, "Teams are balanced\n"},  // exactly 5 % more is still balanced
      {20, 21, "Teams are balanced\n"},
      {20, 20, "Teams are balanced\n"},
      {22, 20, "Marines have 1.10x skill as aliens\n"},
      {20, 22, "Aliens have 1.10x skill as marines\n"},
      {10, 40, "Aliens have 4.00x skill as marines\n"},
      {9, 8, "Marines have 1.13x skill as aliens\n"},  // 1.125 exactly: away from zero
      {8, 9, "Aliens have 1.13x skill as marines\n"},
      {2400, 2200, "Marines have 1.09x skill as aliens\n"},
      {0, 5, "Teams are a little one sided, eh?\n"},
      {5, 0, "Teams are a little one sided, eh?\n"},
      {0, 0, "Teams are a little one sided, eh?\n"},
      {-10, 40, "Aliens have -4.00x skill as marines\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstLine(TeamValuesReport({Marine("m", c.marines)}, {Alien("a", c.aliens)})),
              c.verdict)
        << c.marines << " against " << c.aliens;
  }
}

TEST(TeamValuesReport, ZeroTotalTeamIsOneSided) {
  const std::string report =
      TeamValuesReport({Marine("Up", 10), Marine("Down", -10)}, {Alien("Cy", 5)});
  EXPECT_EQ(FirstLine(report), "Teams are a little one sided, eh?\n");
  EXPECT_NE(report.find("|  10 - Up\n| -10 - Down\n|\n+-- total: 0\n"), std::string::npos)
      << report;
}

TEST(TeamValuesReport, ColumnWidthIsPerTeam) {
  const std::string report = TeamValuesReport({Marine("Small", 5), Marine("Big", 12345)},
                                              {Alien("Cy", 10), Alien("Di", -40)});
  EXPECT_NE(report.find("+-- Marines\n| 12345 - Big\n|     5 - Small\n|\n+-- total: 12350\n"),
            std::string::npos)
      << report;
  // The aliens' widest value is -40 (three characters), whatever the marines hold.
  EXPECT_NE(report.find("+-- Aliens\n|  10 - Cy\n| -40 - Di\n|\n+-- total: -30\n"),
            std::string::npos)
      << report;
}

TEST(TeamValuesReport, EqualValuesKeepSlotOrderAndMarinesComeFirst) {
  const std::string report =
      TeamValuesReport({Marine("M1", 50), Marine("M2", 50)}, {Alien("A1", 50), Alien("A2", 50)});
  EXPECT_NE(report.find("| 50 - M1\n| 50 - M2\n"), std::string::npos) << report;
  EXPECT_NE(report.find("| 50 - A1\n| 50 - A2\n"), std::string::npos) << report;
  EXPECT_NE(report.find("| #1 M1 (marines,50)\n| #2 M2 (marines,50)\n| #3 A1 (aliens,50)\n"),
            std::string::npos)
      << report;
  // Among equal lowest values the worst is the one that came last.
  EXPECT_NE(report.find("Worst player: A2 (aliens,50)\n"), std::string::npos) << report;
}

TEST(TeamValuesReport, TopBlockCapsAtThreeAndWorstIsLowest) {
  const std::string report = TeamValuesReport({Marine("a", 1), Marine("b", 9), Marine("c", 3)},
                                              {Alien("d", 7), Alien("e", 5)});
  EXPECT_NE(report.find("+-- Top 3 Players\n| #1 b (marines,9)\n| #2 d (aliens,7)\n"
                        "| #3 e (aliens,5)\n+--\n\nWorst player: a (marines,1)\n"),
            std::string::npos)
      << report;
  EXPECT_EQ(report.substr(report.size() - 28), "Worst player: a (marines,1)\n");
}

TEST(TeamValuesReport, TwoPlayersShowTopTwoAndAWorstLine) {
  const std::string report = TeamValuesReport({Marine("a", 3)}, {Alien("b", 4)});
  EXPECT_NE(report.find("+-- Top 2 Players\n| #1 b (aliens,4)\n| #2 a (marines,3)\n+--\n\n"
                        "Worst player: a (marines,3)\n"),
            std::string::npos)
      << report;
}

TEST(TeamValuesReport, NamesAreWrittenAsTheyAre) {
  const std::string report = TeamValuesReport({Marine("100%s", 3), Marine("%n%n", 2)}, {});
  EXPECT_NE(report.find("| 3 - 100%s\n| 2 - %n%n\n"), std::string::npos) << report;
}

// 32-bit totals would wrap here: two marines at the limit sum to 2^32 - 2,
// which as a 32-bit sum is -2 and would hand the aliens the verdict.
TEST(TeamValuesReport, LargeTotalsDoNotWrap) {
  const int32_t top = std::numeric_limits<int32_t>::max();
  const std::string report =
      TeamValuesReport({Marine("x", top), Marine("y", top)}, {Alien("z", top)});
  EXPECT_EQ(FirstLine(report), "Marines have 2.00x skill as aliens\n");
  EXPECT_NE(report.find("+-- total: 4294967294\n"), std::string::npos) << report;

  const int32_t bottom = std::numeric_limits<int32_t>::min();
  const std::string low =
      TeamValuesReport({Marine("x", bottom), Marine("y", bottom)}, {Alien("z", 1)});
  EXPECT_NE(low.find("+-- total: -4294967296\n"), std::string::npos) << low;
  EXPECT_NE(low.find("| -2147483648 - x\n"), std::string::npos) << low;
}

TEST(ValueWidth, CountsDigitsAndSign) {
  EXPECT_EQ(ValueWidth(1500), 4);
  EXPECT_EQ(ValueWidth(-40), 3);
  EXPECT_EQ(ValueWidth(0), 1);
  EXPECT_EQ(ValueWidth(std::numeric_limits<int32_t>::max()), 10);
  EXPECT_EQ(ValueWidth(std::numeric_limits<int32_t>::min()), 11);
}

TEST(FormatFactor, TwoDecimalsWithExactHalvesAwayFromZero) {
  struct Case {
    float factor;
    const char* text;
  };
  const Case cases[] = {
      {2.0f, "2.00"},      {1.2345f, "1.23"},  {1.0909091f, "1.09"},
      {1.125f, "1.13"},                         // printf gives 1.12 (half to even)
      {0.125f, "0.13"},                         // printf gives 0.12
      {0.375f, "0.38"},    {-1.125f, "-1.13"},  // away from zero on the negative side too
      {2.675f, "2.67"},                         // the float is just below 2.675: no half
      {1.005f, "1.00"},                         // likewise just below
      {0.005f, "0.00"},    {0.5f, "0.50"},     {0.0f, "0.00"},
      {99.995f, "100.00"},  // the float is just above 99.995
      {4.0f, "4.00"},      {1.1f, "1.10"},     {1e10f, "10000000000.00"},
      {-0.001f, "-0.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFactor(c.factor), c.text) << c.factor;
}

TEST(SingleRatio, RoundsTheTrueQuotientOnce) {
  EXPECT_EQ(SingleRatio(9, 8), 1.125f);
  EXPECT_EQ(SingleRatio(2400, 2200), 1.0909091f);
  EXPECT_EQ(SingleRatio(-10, 40), -0.25f);
  EXPECT_EQ(SingleRatio(10, -40), -0.25f);
  EXPECT_EQ(SingleRatio(-40, -10), 4.0f);
}

// 715827876 / 536870915 in double lands exactly halfway between two floats;
// converting that double to float picks the even neighbour
// 1.3333332538604736, but the true quotient lies above the halfway point.
TEST(SingleRatio, DoubleRoundingRegression) {
  const float expected = std::bit_cast<float>(std::bit_cast<uint32_t>(1.3333332538604736f) + 1);
  EXPECT_EQ(static_cast<double>(expected), 1.3333333730697632);
  EXPECT_EQ(SingleRatio(715827876, 536870915), expected);
  EXPECT_EQ(SingleRatio(-715827876, 536870915), -expected);
  // and the other direction: the true quotient below the halfway point
  EXPECT_EQ(static_cast<double>(SingleRatio(894784869, 536870915)), 1.6666666269302368);
  EXPECT_EQ(static_cast<double>(SingleRatio(715827874, 1073741827)), 0.6666666865348816);
}

}  // namespace
