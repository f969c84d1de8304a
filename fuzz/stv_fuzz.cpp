// The `stv` report over arbitrary teams: up to 64 players (a server's
// maxClients at most) with arbitrary names and values, the 32-bit extremes
// among them.  Besides the report itself, the two number routines under its
// verdict are checked against exact references: the single-precision ratio
// (correctly rounded, ties to even) and the two-decimal factor (an exact
// half away from zero, otherwise as printf writes it).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "team_values.h"

namespace {

int32_t ConsumeValue(FuzzedDataProvider& in) {
  static constexpr int32_t kNotable[] = {
      0, 1, -1, INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1, 1000, 21, 20};
  if (in.ConsumeBool()) return in.PickValueInArray(kNotable);
  return in.ConsumeIntegral<int32_t>();
}

std::string TeamWord(const RatedPlayer& player) {
  return player.team == kMarines ? "marines" : "aliens";
}

std::string Ranked(const RatedPlayer& player) {
  return player.name + " (" + TeamWord(player) + "," + std::to_string(player.value) + ")\n";
}

// Whether `result` is |n| / |d| rounded to the nearest float, ties to even,
// with the sign of n / d.  |n|, |d| <= 2^38 keeps every product below exact
// in long double's 64-bit significand.
void CheckSingleRatio(int64_t n, int64_t d) {
  const float result = SingleRatio(n, d);
  const std::string what = "SingleRatio(" + std::to_string(n) + ", " + std::to_string(d) + ")";
  KEL_FUZZ_CHECK(std::signbit(result) == ((n < 0) != (d < 0)), what + " sign");
  const long double un = std::fabs(static_cast<long double>(n));
  const long double ud = std::fabs(static_cast<long double>(d));
  const float r = std::fabs(result);
  if (un == 0) {
    KEL_FUZZ_CHECK(r == 0.0f, what);
    return;
  }
  const long double below = (static_cast<long double>(r) + std::nextafter(r, 0.0f)) / 2;
  const long double above = (static_cast<long double>(r) + std::nextafter(r, HUGE_VALF)) / 2;
  KEL_FUZZ_CHECK(below * ud <= un && un <= above * ud, what + " not nearest");
  if (below * ud == un || above * ud == un) {
    int exponent;
    const float significand = std::frexp(r, &exponent);
    const auto bits = static_cast<int64_t>(std::ldexp(significand, FLT_MANT_DIG));
    KEL_FUZZ_CHECK(bits % 2 == 0, what + " tie not to even");
  }
}

void CheckFormatFactor(float factor) {
  const std::string text = FormatFactor(factor);
  char printed[64];
  std::snprintf(printed, sizeof printed, "%.2f", static_cast<double>(factor));
  std::string expected = printed;
  if (std::isfinite(factor)) {
    // printf rounds exact halves to even; the report rounds them away from
    // zero.  An exact half needs fraction bits, so |factor| < 2^23 there.
    const long double hundredths = std::fabs(static_cast<long double>(factor)) * 100;
    if (hundredths - std::floor(hundredths) == 0.5L) {
      const auto whole = static_cast<long long>(std::floor(hundredths)) + 1;
      std::snprintf(printed, sizeof printed, "%s%lld.%02lld", std::signbit(factor) ? "-" : "",
                    whole / 100, whole % 100);
      expected = printed;
    }
  }
  KEL_FUZZ_CHECK(text == expected, "FormatFactor gave " + text + " expected " + expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);

  {
    constexpr int64_t kLimit = int64_t{1} << 38;
    const int64_t n = in.ConsumeIntegralInRange<int64_t>(-kLimit, kLimit);
    const int64_t d = in.ConsumeIntegralInRange<int64_t>(-kLimit, kLimit);
    if (d != 0) CheckSingleRatio(n, d);
    CheckFormatFactor(in.ConsumeBool() ? in.ConsumeFloatingPoint<float>()
                                       : static_cast<float>(in.ConsumeIntegral<int32_t>()) / 1000);
  }

  std::vector<RatedPlayer> marines;
  std::vector<RatedPlayer> aliens;
  const int count = in.ConsumeIntegralInRange(0, 64);
  for (int k = 0; k < count; ++k) {
    RatedPlayer player;
    player.team = in.ConsumeBool() ? kMarines : kAliens;
    player.value = ConsumeValue(in);
    player.name = in.ConsumeRandomLengthString(40);
    (player.team == kMarines ? marines : aliens).push_back(player);
  }

  const std::string report = TeamValuesReport(marines, aliens);
  if (marines.empty() && aliens.empty()) {
    KEL_FUZZ_CHECK(report == "No players on either team\n", report);
    return 0;
  }
  KEL_FUZZ_CHECK(!report.empty() && report.back() == '\n', "report without final line end");

  int64_t marineTotal = 0;
  int64_t alienTotal = 0;
  for (const RatedPlayer& player : marines) marineTotal += player.value;
  for (const RatedPlayer& player : aliens) alienTotal += player.value;

  const std::string verdict = report.substr(0, report.find('\n') + 1);
  if (marineTotal == 0 || alienTotal == 0) {
    KEL_FUZZ_CHECK(verdict == "Teams are a little one sided, eh?\n", verdict);
  } else {
    KEL_FUZZ_CHECK(verdict == "Teams are balanced\n" || verdict.rfind("Marines have ", 0) == 0 ||
                       verdict.rfind("Aliens have ", 0) == 0,
                   verdict);
    CheckSingleRatio(marineTotal, alienTotal);
    CheckSingleRatio(alienTotal, marineTotal);
  }

  const std::string totals = "|\n+-- total: " + std::to_string(marineTotal) + "\n\n+-- Aliens\n";
  KEL_FUZZ_CHECK(report.find(totals) != std::string::npos, "marine total, expected " + totals);
  const std::size_t shown = std::min<std::size_t>(marines.size() + aliens.size(), 3);
  const std::string alienEnd = "|\n+-- total: " + std::to_string(alienTotal) + "\n\n+-- Top " +
                               std::to_string(shown) + " Players\n";
  KEL_FUZZ_CHECK(report.find(alienEnd) != std::string::npos, "alien total, expected " + alienEnd);

  // Highest first, ties in the given order (marines first): the reference
  // ranks by value descending and position ascending.
  std::vector<RatedPlayer> everyone = marines;
  everyone.insert(everyone.end(), aliens.begin(), aliens.end());
  std::vector<std::size_t> order(everyone.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (everyone[a].value != everyone[b].value) return everyone[a].value > everyone[b].value;
    return a < b;
  });
  std::string top;
  for (std::size_t k = 0; k < shown; ++k) {
    top += "| #" + std::to_string(k + 1) + " " + Ranked(everyone[order[k]]);
  }
  top += "+--\n\n";
  if (everyone.size() > 1) top += "Worst player: " + Ranked(everyone[order.back()]);
  KEL_FUZZ_CHECK(report.size() >= top.size() &&
                     report.compare(report.size() - top.size(), top.size(), top) == 0,
                 "ranking, expected the report to end in " + kel_fuzz::Shown(top));
  return 0;
}
