// The calendar clock of the simulated server.
//
// The plugin reads calendar time through the C library's time(), as a real
// server's plugin does.  This file defines time() in the program that runs
// the simulated server, and the build exports it from there (see
// CMakeLists.txt), so the loaded plugin's calls resolve to it before the C
// library's: the program comes first in the order the dynamic loader
// searches.  The plugin's code stays exactly what a real server runs, and
// the simulated server owns the value: the real clock until a test or a
// scenario sets it, then the set value, advanced with every frame.
#include <ctime>
#include <optional>

#include "sim_state.h"

namespace kelsim::detail {

namespace {

// Seconds since the epoch while set; the real clock otherwise.  One per
// process, as the C library's clock is.
std::optional<double> g_calendar;

time_t RealCalendarSeconds() {
  timespec now{};
  // time() may not call itself: read the clock underneath it.
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return now.tv_sec;
}

}  // namespace

void SetCalendar(long long seconds) { g_calendar = static_cast<double>(seconds); }

void AdvanceCalendar(double seconds) {
  if (g_calendar) *g_calendar += seconds;
}

void UseRealCalendar() { g_calendar.reset(); }

bool CalendarSet() { return g_calendar.has_value(); }

long long CalendarNow() {
  return g_calendar ? static_cast<long long>(*g_calendar)
                    : static_cast<long long>(RealCalendarSeconds());
}

}  // namespace kelsim::detail

// The C library's time(), interposed for every library of this process.  It
// stands in for the C library's own, so its parameter keeps that one's name.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
time_t time(time_t* __timer) noexcept {
  const auto now = static_cast<time_t>(kelsim::detail::CalendarNow());
  if (__timer) *__timer = now;
  return now;
}
