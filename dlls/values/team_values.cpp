#include "team_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "roster.h"

namespace {

// A team's players, its total and the width of its value column.
struct TeamColumn {
  int64_t total = 0;
  int width = 0;
};

TeamColumn Measure(const std::vector<RatedPlayer>& team) {
  TeamColumn column;
  for (const RatedPlayer& player : team) {
    column.total += player.value;
    column.width = std::max(column.width, ValueWidth(player.value));
  }
  return column;
}

std::string VerdictLine(int64_t marines, int64_t aliens) {
  if (marines == 0 || aliens == 0) return "Teams are a little one sided, eh?\n";
  // A team counts as stronger only when it leads by more than 5 %, so
  // 21 against 20 is still balanced.
  const double m = static_cast<double>(marines);
  const double a = static_cast<double>(aliens);
  if (a + a * 0.05 < m) {
    return "Marines have " + FormatFactor(SingleRatio(marines, aliens)) + "x skill as aliens\n";
  }
  if (m + m * 0.05 < a) {
    return "Aliens have " + FormatFactor(SingleRatio(aliens, marines)) + "x skill as marines\n";
  }
  return "Teams are balanced\n";
}

const char* TeamWord(const RatedPlayer& player) {
  return player.team == kMarines ? "marines" : "aliens";
}

void AppendTeamBlock(std::string& out, const char* heading, const std::vector<RatedPlayer>& team,
                     const TeamColumn& column) {
  out += heading;
  for (const RatedPlayer& player : team) {
    const std::string digits = std::to_string(player.value);
    out += "| ";
    out.append(static_cast<std::size_t>(column.width) - digits.size(), ' ');
    out += digits;
    out += " - ";
    out += player.name;
    out += "\n";
  }
  out += "|\n+-- total: ";
  out += std::to_string(column.total);
  out += "\n\n";
}

void AppendRanked(std::string& out, const RatedPlayer& player) {
  out += player.name;
  out += " (";
  out += TeamWord(player);
  out += ",";
  out += std::to_string(player.value);
  out += ")\n";
}

// Highest value first; std::stable_sort keeps equal values in their given
// order (slot order, marines before aliens).
void SortByValue(std::vector<RatedPlayer>& players) {
  std::stable_sort(players.begin(), players.end(),
                   [](const RatedPlayer& a, const RatedPlayer& b) { return a.value > b.value; });
}

}  // namespace

int ValueWidth(int32_t value) { return static_cast<int>(std::to_string(value).size()); }

float SingleRatio(int64_t numerator, int64_t denominator) {
  const bool negative = (numerator < 0) != (denominator < 0);
  const double n = std::fabs(static_cast<double>(numerator));
  const double d = std::fabs(static_cast<double>(denominator));
  const double quotient = n / d;
  float result = static_cast<float>(quotient);
  // The double quotient is the double nearest the true one, and every point
  // halfway between two floats is a double, so the conversion can only go
  // wrong when the double quotient is such a halfway point itself.  Then the
  // sign of quotient * d - n, which fma gives with a single rounding, tells
  // on which side of it the true quotient lies.
  const double converted = result;
  if (converted != quotient) {
    const float neighbour = std::nextafter(result, quotient > converted ? HUGE_VALF : 0.0f);
    if (quotient - converted == static_cast<double>(neighbour) - quotient) {
      const double excess = std::fma(quotient, d, -n);
      if (excess > 0.0) result = std::min(result, neighbour);
      if (excess < 0.0) result = std::max(result, neighbour);
    }
  }
  return negative ? -result : result;
}

std::string FormatFactor(float factor) {
  if (!std::isfinite(factor)) {
    char text[16] = {};  // "inf", "-inf" or "nan": it cannot fail or be cut
    (void)std::snprintf(text, sizeof text, "%.2f", static_cast<double>(factor));
    return text;
  }
  // printf would round the exact binary value half to even (1.125 -> 1.12);
  // the report rounds an exact half away from zero.  A float's significand
  // has 24 bits and 100 needs 5 more, so this product is exact in double,
  // and so is the fraction below.
  const double hundredths = std::fabs(static_cast<double>(factor)) * 100.0;
  double whole = std::floor(hundredths);
  if (hundredths - whole >= 0.5) whole += 1.0;
  char buffer[64];  // the largest float has 39 integer digits
  const int length = std::snprintf(buffer, sizeof buffer, "%.0f", whole);
  // At least "0" before the point and two digits after it.
  const std::string digits = std::string(length < 3 ? 3 - length : 0, '0') + buffer;
  std::string text = std::signbit(factor) ? "-" : "";
  text.append(digits.begin(), digits.end() - 2);
  text += '.';
  text.append(digits.end() - 2, digits.end());
  return text;
}

std::string TeamValuesReport(std::vector<RatedPlayer> marines, std::vector<RatedPlayer> aliens) {
  if (marines.empty() && aliens.empty()) return "No players on either team\n";

  const TeamColumn marineColumn = Measure(marines);
  const TeamColumn alienColumn = Measure(aliens);
  std::vector<RatedPlayer> everyone;
  everyone.reserve(marines.size() + aliens.size());
  everyone.insert(everyone.end(), marines.begin(), marines.end());
  everyone.insert(everyone.end(), aliens.begin(), aliens.end());

  SortByValue(marines);
  SortByValue(aliens);
  SortByValue(everyone);

  std::string out = VerdictLine(marineColumn.total, alienColumn.total);
  out += "\n";
  AppendTeamBlock(out, "+-- Marines\n", marines, marineColumn);
  AppendTeamBlock(out, "+-- Aliens\n", aliens, alienColumn);

  const std::size_t shown = std::min<std::size_t>(everyone.size(), 3);
  out += "+-- Top ";
  out += std::to_string(shown);
  out += " Players\n";
  for (std::size_t k = 0; k < shown; ++k) {
    out += "| #";
    out += std::to_string(k + 1);
    out += " ";
    AppendRanked(out, everyone[k]);
  }
  out += "+--\n\n";

  if (everyone.size() > 1) {
    out += "Worst player: ";
    AppendRanked(out, everyone.back());
  }
  return out;
}
