#include "join_limit.h"

#include <cmath>

#include "balance_protection.h"
#include "bounded_text.h"
#include "cvar_reading.h"
#include "dispatcher.h"
#include "host_api.h"
#include "hud_text.h"
#include "player_values.h"
#include "server_output.h"
#include "slot_values.h"
#include "standard_log.h"
#include "team_orders.h"

namespace {

constexpr float kAlertSpacing = 1.0f;  // a held join key gets one alert a second

// When each slot last read a refusal; a negative time is never.
float g_lastAlert[kSlotTableSize];

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The limit kel_limitjoin sets now; the console hears once a map of a text
// that sets none.
JoinLimit CurrentLimit() {
  const char* text = HostApi::CvarText(Cvar::LimitJoin);
  bool valid = true;
  const JoinLimit limit = JoinLimitFromText(text, valid);
  if (!valid && FirstCvarNoticeThisMap(Cvar::LimitJoin)) {
    ConsoleReply(FormatBounded(256,
                               "kel: %s \"%.64s\" is not 0, 1 or 2; it takes 0 (off, the default), "
                               "1 (count) or 2 (count, then strength), and 0 is used",
                               ConsoleVariableOf(Cvar::LimitJoin).name, text));
  }
  return limit;
}

TeamOrder TeamCommandOf(const char* word) {
  if (EqualsIgnoringCase(word, "jointeamone")) return TeamOrder::JoinMarines;
  if (EqualsIgnoringCase(word, "jointeamtwo")) return TeamOrder::JoinAliens;
  if (EqualsIgnoringCase(word, "autoassign")) return TeamOrder::AutoAssign;
  if (EqualsIgnoringCase(word, "readyroom")) return TeamOrder::ReadyRoom;
  return TeamOrder::None;
}

// What the rule needs of the server now, for `player` asking for `asked`:
// everyone else's headcounts (ordered moves counted where they go) and,
// for the strength limit with the values loaded, the sums of the values
// stv uses.
JoinCase ReadJoinCase(edict_t* player, JoinLimit limit, TeamId asked, TeamId from) {
  JoinCase join;
  join.limit = limit;
  join.asked = asked;
  join.from = from;
  join.handicap = TheBalanceWatch().HandicapTeam();
  join.valuesLoaded = limit == JoinLimit::Strength && PlayerValues::Instance().IsLoaded();
  SlotValues& values = TheSlotValues();
  HostApi::ForEachClientSlot([&](int slot, edict_t* entity) {
    if (entity == player) return;
    entvars_t* vars = HostApi::PlayerVars(entity);
    if (!vars) return;
    const int team = HostApi::Team(vars);
    if (team != kMarines && team != kAliens) return;
    (team == kMarines ? join.marines : join.aliens) += 1;
    // As stv: a player without a name is in no report.
    if (!join.valuesLoaded || HostApi::NetName(vars)[0] == '\0') return;
    (team == kMarines ? join.marineSum : join.alienSum) += values.ValueOf(slot, entity);
  });
  const int slot = HostApi::IndexOfEdict(player);
  TheTeamOrders().CountInForce(join.marines, join.aliens, TeamAtSlot, HostApi::Time(), slot);
  if (join.valuesLoaded) join.value = values.ValueOf(slot, player);
  return join;
}

// Bots are never refused, nor operators while kel_immunity is on.
bool Exempt(edict_t* player) {
  return HostApi::IsFakeClient(HostApi::EdictVars(player)) || ImmuneOperator(player);
}

// The alert (at most one a second to a player) and the log line, always.
void TellRefused(edict_t* player, JoinVerdict verdict, TeamId asked) {
  const int slot = HostApi::IndexOfEdict(player);
  const float now = HostApi::Time();
  if (slot >= 1 && slot <= kMaxRosterSlot) {
    float& last = g_lastAlert[slot];
    if (last < 0.0f || !(std::fabs(now - last) < kAlertSpacing)) {
      last = now;
      HudAlert(player, JoinVerdictText(verdict));
    }
  }
  LogPlayerAction(player, "kel_joinrefused", "team", asked == kMarines ? "1" : "2");
}

}  // namespace

JoinLimit JoinLimitFromText(const char* text, bool& valid) {
  valid = false;
  if (!text) return JoinLimit::Off;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  if (*p == '+') ++p;
  if (!IsDigit(*p)) return JoinLimit::Off;
  // Leading zeros are read away; a number of more than one other digit is
  // no setting whatever it says.
  while (*p == '0' && IsDigit(p[1])) ++p;
  const char whole = *p++;
  if (IsDigit(*p)) return JoinLimit::Off;
  if (*p == '.') {
    ++p;
    while (*p == '0') ++p;
    if (IsDigit(*p)) return JoinLimit::Off;  // a fraction: no setting
  }
  while (IsBlank(*p)) ++p;
  if (*p != '\0' || whole > '2') return JoinLimit::Off;
  valid = true;
  return whole == '0' ? JoinLimit::Off : whole == '1' ? JoinLimit::Count : JoinLimit::Strength;
}

JoinVerdict JudgeJoin(const JoinCase& join) {
  if (join.limit == JoinLimit::Off || join.asked == join.from) return JoinVerdict::Allowed;
  if (join.asked != kMarines && join.asked != kAliens) return JoinVerdict::Allowed;
  const bool marines = join.asked == kMarines;
  const TeamId other = marines ? kAliens : kMarines;
  // The balance rule with him on `team`.
  const auto aheadWith = [&join](TeamId team) {
    return TeamAhead(BalanceRule(join.marines + (team == kMarines ? 1 : 0),
                                 join.aliens + (team == kAliens ? 1 : 0), join.handicap)) == team;
  };
  if (aheadWith(join.asked)) {
    return marines ? JoinVerdict::MarinesTooMany : JoinVerdict::AliensTooMany;
  }
  if (join.limit != JoinLimit::Strength || !join.valuesLoaded || aheadWith(other)) {
    return JoinVerdict::Allowed;
  }
  const int64_t askedSum = marines ? join.marineSum : join.alienSum;
  const int64_t otherSum = marines ? join.alienSum : join.marineSum;
  const int64_t gapHere = askedSum + join.value - otherSum;  // the team asked for ahead
  const int64_t gapThere = otherSum + join.value - askedSum;
  if (gapHere > 0 && std::llabs(gapThere) < gapHere) {
    return marines ? JoinVerdict::MarinesStronger : JoinVerdict::AliensStronger;
  }
  return JoinVerdict::Allowed;
}

const char* JoinVerdictText(JoinVerdict verdict) {
  switch (verdict) {
    case JoinVerdict::MarinesTooMany:
      return "Marines have too many players - join the Aliens";
    case JoinVerdict::AliensTooMany:
      return "Aliens have too many players - join the Marines";
    case JoinVerdict::MarinesStronger:
      return "Marines are stronger - join the Aliens";
    case JoinVerdict::AliensStronger:
      return "Aliens are stronger - join the Marines";
    case JoinVerdict::Allowed:
      break;
  }
  return "";
}

bool RefuseJoinCommand(edict_t* player) {
  const TeamOrder command = TeamCommandOf(HostApi::CommandArg(0));
  if (command == TeamOrder::None) return false;
  const JoinLimit limit = CurrentLimit();
  if (limit == JoinLimit::Off) return false;
  const bool join = command == TeamOrder::JoinMarines || command == TeamOrder::JoinAliens;
  // The plugin's own order (eventeams) comes back as his command: the same
  // word from the same slot passes.
  if (join && PluginOrderInForce(player) != command && !Exempt(player)) {
    const TeamId asked = command == TeamOrder::JoinMarines ? kMarines : kAliens;
    const TeamId from = PlayerTeam(player);
    const JoinVerdict verdict = JudgeJoin(ReadJoinCase(player, limit, asked, from));
    if (verdict != JoinVerdict::Allowed) {
      TellRefused(player, verdict, asked);
      return true;
    }
  }
  NoteOwnTeamCommand(player, command);
  return false;
}

void JudgeTeamChange(edict_t* player) {
  if (HostApi::CvarValue(Cvar::LimitJoin) == 0.0f) return;
  const TeamId team = PlayerTeam(player);
  if (team != kMarines && team != kAliens) return;
  const int slot = HostApi::IndexOfEdict(player);
  // From a team the roster knows (after a load mid-map it knows none), to
  // another, without a command or an order of the plugin's that brings it.
  const TeamId from = RecordedTeam(slot);
  if (from == kNoTeam || from == team) return;
  if (TheTeamOrders().Expects(slot, team, HostApi::Time())) return;
  const JoinLimit limit = CurrentLimit();
  if (limit == JoinLimit::Off || Exempt(player)) return;
  const JoinVerdict verdict = JudgeJoin(ReadJoinCase(player, limit, team, from));
  if (verdict == JoinVerdict::Allowed) return;
  SendTeamOrder(player, TeamOrder::ReadyRoom);
  TellRefused(player, verdict, team);
}

void JoinLimitMapStart() {
  for (float& last : g_lastAlert) last = -1.0f;
  (void)CurrentLimit();  // an invalid setting is said at once
}
