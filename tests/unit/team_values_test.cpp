// The stv report text, as a pure function of the two teams.
#include "team_values.h"

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
