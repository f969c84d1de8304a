#include "status_command.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "balance_protection.h"
#include "balance_watch.h"
#include "bounded_text.h"
#include "cvar_reading.h"
#include "host_api.h"
#include "join_limit.h"
#include "plugin_version.h"
#include "roster.h"
#include "skill_commands.h"

namespace {

// Whole seconds from `since` to now on the host clock, as m:ss.
std::string Duration(float since) {
  const double seconds = std::fabs(static_cast<double>(HostApi::Time()) - since);
  const auto whole = static_cast<int>(std::min(seconds, 359999.0));
  return FormatBounded(32, "%d:%02d", whole / 60, whole % 60);
}

const char* AheadWord(Balance balance) {
  switch (balance) {
    case Balance::MarinesAhead:
      return "too many marines";
    case Balance::AliensAhead:
      return "too many aliens";
    case Balance::Even:
      break;
  }
  return "even";
}

const char* SideWord(Balance balance) {
  return balance == Balance::MarinesAhead ? "marines" : "aliens";
}

// A console variable's number as the status shows it: 12 or 0.5.
std::string Number(float value) { return FormatBounded(32, "%g", static_cast<double>(value)); }

std::string TeamsLine(const BalanceWatch& watch) {
  const int marines = TeamHeadcount(kMarines);
  const int aliens = TeamHeadcount(kAliens);
  const Balance balance = BalanceRule(marines, aliens, watch.HandicapTeam());
  const char* handicap = watch.HandicapTeam() == Handicap::Marines  ? " (handicap marines)"
                         : watch.HandicapTeam() == Handicap::Aliens ? " (handicap aliens)"
                                                                    : "";
  return FormatBounded(128, "teams: marines %d, aliens %d%s: %s\n", marines, aliens, handicap,
                       AheadWord(balance));
}

std::string MoveLines(const BalanceWatch& watch) {
  std::string text = watch.Armed() ? "death-time move: armed for " + Duration(watch.ArmedSince())
                                   : std::string("death-time move: not armed");
  const float autoBalance = CvarNumber(Cvar::AutoBalance);
  text += "\nautobalance: ";
  if (!(autoBalance > 0.0f)) {
    text += "off";
  } else {
    text += Number(autoBalance) + " s";
  }
  if (watch.State() != Balance::Even) {
    text += std::string("; ") + SideWord(watch.State()) + " ahead for " +
            Duration(watch.SideAheadSince());
  }
  text += "\nimmunity: ";
  text += CvarNumber(Cvar::Immunity) > 0.0f ? "on" : "off";
  return text + "\n";
}

std::string CooldownLine() {
  const float cooldown = CvarNumber(Cvar::MoveCooldown);
  if (!(cooldown > 0.0f)) return "move cooldown: off\n";
  std::string text = "move cooldown: " + Number(cooldown) + " s; ";
  const std::vector<CoolingDownPlayer> players = PlayersCoolingDown();
  if (players.empty()) return text + "nobody held back\n";
  text += "held back:";
  for (std::size_t i = 0; i < players.size(); ++i) {
    text += (i == 0 ? " " : ", ") + players[i].name + " (" +
            std::to_string(players[i].secondsLeft) + " s)";
  }
  return text + "\n";
}

std::string JoinLimitLine() {
  bool valid = true;
  switch (JoinLimitFromText(HostApi::CvarText(Cvar::LimitJoin), valid)) {
    case JoinLimit::Count:
      return "join limit: count\n";
    case JoinLimit::Strength:
      return "join limit: count, then strength\n";
    case JoinLimit::Off:
      break;
  }
  return "join limit: off\n";
}

std::string ValuesLine() {
  std::string line = LastValuesLoadLine();
  if (line.empty()) return "values file: not read yet\n";
  if (line.back() == '\n') line.pop_back();
  // "kel: read ..." / "kel: could not read ...": the log line without its tag.
  if (line.rfind("kel: ", 0) == 0) line.erase(0, 5);
  return "values file: " + line + ", " + Duration(LastValuesLoadTime()) + " ago\n";
}

}  // namespace

void ShowStatusCommand(const CommandCaller& caller) {
  const BalanceWatch& watch = TheBalanceWatch();
  std::string report = "kel_mm " + std::string(kPluginVersion) + " status\n";
  report += TeamsLine(watch);
  report += MoveLines(watch);
  report += CooldownLine();
  report += JoinLimitLine();
  report += ValuesLine();
  const bool best =
      EvenTeamsSearchFromText(HostApi::CvarString(Cvar::EvenTeamsSearch)) == EvenTeamsSearch::Best;
  report += best ? "eventeams search: best\n" : "eventeams search: quick\n";
  ReplyInfo(caller, report);
  CopyToPlayerConsole(caller, report);
}
