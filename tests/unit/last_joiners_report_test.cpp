// The showlast elapsed-time conversion at clock values no story reaches, and
// the report's cut.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "manual_moves.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct SecondsCase {
  float now;
  float joinTime;
  int expected;
};

TEST(WholeSecondsSince, TruncatesAndClampsEveryClockValue) {
  const SecondsCase cases[] = {
      {225.6f, 100.0f, 125},
      {3735.0f, 10.0f, 3725},
      {100.0f, 100.0f, 0},
      {100.9f, 100.0f, 0},
      // Out of int's range: converting these unclamped is undefined.
      {3.0e38f, 1.0f, INT_MAX},
      {2147483648.0f, 0.0f, INT_MAX},
      {2147483520.0f, 0.0f, 2147483520},  // the largest float below 2^31
      {kInf, 1.0f, INT_MAX},
      {1.0f, -kInf, INT_MAX},
      {kNaN, 1.0f, 0},
      {1.0f, kNaN, 0},
      {kInf, kInf, 0},  // inf - inf is NaN
      // A clock that went back shows nothing rather than a negative time.
      {50.0f, 100.0f, 0},
      {1.0f, 3.0e38f, 0},
  };
  for (const SecondsCase& c : cases) {
    EXPECT_EQ(WholeSecondsSince(c.now, c.joinTime), c.expected)
        << "now " << c.now << ", joined " << c.joinTime;
  }
}

RosterEntry Entry(const std::string& name, int team, float joinTime) {
  RosterEntry entry;
  entry.name = name;
  entry.team = team;
  entry.joinTime = joinTime;
  return entry;
}

TEST(LastJoinersReport, OverflowingClockIsClampedNotUndefined) {
  EXPECT_EQ(LastJoinersReport(Entry("Bob", 1, 1.0f), Entry("Eve", 2, kNaN), 3.0e38f),
            "last marine: Bob (on for 35791394:07)\nlast alien: Eve (on for 0:00)");
}

TEST(LastJoinersReport, CutAt511Characters) {
  const std::string longName(600, 'x');
  const std::string report = LastJoinersReport(Entry(longName, 1, 1.0f), RosterEntry{}, 1.0f);
  EXPECT_EQ(report.size(), 511u);
  EXPECT_EQ(report, ("last marine: " + longName).substr(0, 511));
}

}  // namespace
