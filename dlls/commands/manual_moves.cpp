#include "manual_moves.h"

#include <climits>
#include <string>

#include "balance_protection.h"
#include "balance_watch.h"
#include "bounded_text.h"
#include "chat.h"
#include "host_api.h"
#include "standard_log.h"
#include "team_orders.h"

namespace {

// The last joiner of `team` to the ready room, or the reply that says why not.
void MoveLastOf(const CommandCaller& caller, TeamId team) {
  const bool marines = team == kMarines;
  // Operators while kel_immunity is on, players moved within
  // kel_move_cooldown, and players already sent elsewhere and not yet moved
  // are passed over; with nobody else the last joiner is unknown.
  const RosterEntry last = LastJoiner(team, LeftAloneByMoveLast);
  if (last.name.empty()) {
    ReplyAlert(caller, marines ? "Last marine player unknown - can't balance"
                               : "Last alien player unknown - can't balance");
    return;
  }
  // LastJoiner has already found this name on the server; the second look-up
  // is what gives us his entity.
  edict_t* player = FindPlayerByName(last.name);
  if (!player) {
    ReplyAlert(caller, marines ? "Doh, can't boot the last marine player\n"
                               : "Doh, can't boot the last alien player\n");
    return;
  }
  NoticeAll(FormatBounded(300,
                          "Teams unbalanced - last player that joined (%s) is now in the ready "
                          "room\n",
                          last.name.c_str()),
            kChatArea);
  SendToReadyRoomForBalance(player, "kel_movelast");
}

}  // namespace

int WholeSecondsSince(float now, float joinTime) {
  // Converting a float outside int's range is undefined; NaN fails every
  // comparison and so lands on 0.
  const double elapsed = static_cast<double>(now) - static_cast<double>(joinTime);
  if (!(elapsed > 0.0)) return 0;
  if (elapsed >= 2147483648.0) return INT_MAX;
  return static_cast<int>(elapsed);
}

std::string LastJoinersReport(const RosterEntry& marine, const RosterEntry& alien, float now) {
  const float marineSince = marine.joinTime == 0.0f ? now : marine.joinTime;
  const float alienSince = alien.joinTime == 0.0f ? now : alien.joinTime;
  const int marineSeconds = WholeSecondsSince(now, marineSince);
  const int alienSeconds = WholeSecondsSince(now, alienSince);
  return FormatBounded(512, "last marine: %s (on for %d:%02d)\nlast alien: %s (on for %d:%02d)",
                       marine.name.c_str(), marineSeconds / 60, marineSeconds % 60,
                       alien.name.c_str(), alienSeconds / 60, alienSeconds % 60);
}

void ShowLastJoiners(const CommandCaller& caller) {
  const RosterEntry marine = LastJoiner(kMarines);
  const RosterEntry alien = LastJoiner(kAliens);
  ReplyAlert(caller, LastJoinersReport(marine, alien, HostApi::Time()));
}

void MoveLastJoiner(const CommandCaller& caller) {
  RefreshBalance();
  const Balance balance = TheBalanceWatch().State();
  if (balance == Balance::Even) {
    ReplyAlert(caller, kTeamsBalanced);
    return;
  }
  MoveLastOf(caller, TeamAhead(balance));
}

void EmptyReadyRoom(const CommandCaller& /*caller*/) {
  NoticeAll("Ready Room is being cleaned out\n", kChatArea);
  HostApi::ForEachClientSlot([](int /*slot*/, edict_t* entity) {
    entvars_t* vars = HostApi::PlayerVars(entity);
    if (!vars || HostApi::Team(vars) != kReadyRoom) return;
    const std::string name = HostApi::NetName(vars);
    if (name.empty()) return;
    if (ImmuneOperator(entity)) return;       // kel_immunity: he stays in the ready room
    if (HasTeamOrderInForce(entity)) return;  // sent to a team already (rrr twice in a frame)
    NoticeAll(FormatBounded(300, "sending %s to a random team\n", name.c_str()), kChatArea);
    SendTeamOrder(entity, TeamOrder::AutoAssign);
    LogPlayerAction(entity, "kel_rrr");
  });
}
