#include "balance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "host_api.h"
#include "roster/bounded_text.h"
#include "roster/messages.h"

namespace {

int g_balanceState = kBalanced;
int g_handicapTeam = 0;  // no team until the first map start reads the cvar
bool g_deathMoveArmed = false;
bool g_aliveSeen[kSlotTableSize] = {};
bool g_noticePending = false;
float g_imbalanceSince = 0.0f;
float g_lastNoticeTime = 0.0f;

constexpr float kNoticeDelay = 15.0f;    // an imbalance must last longer than this
constexpr float kNoticeSpacing = 60.0f;  // and this long since the check last fired

// AliveSeen has room for slots 1..32 only.  A host configured with more
// clients than that is beyond the engine's own ceiling; its higher slots are
// left out of the death-time move rather than moved without a record of
// whether their death was already handled (which would resend them every
// frame while they lie dead).
int HighestTrackedSlot() { return std::min(HostApi::MaxClients(), kMaxRosterSlot); }

// The host clock restarts with every map while the stored times carry over,
// so only the distance between the two times is meaningful.
bool LongerAgoThan(float now, float then, float seconds) { return std::fabs(now - then) > seconds; }

// Kept out of line so that the frame hook stays two tests when idle.
[[gnu::noinline]] void NoticeCheck() {
  const float now = HostApi::Time();
  if (!LongerAgoThan(now, g_imbalanceSince, kNoticeDelay) ||
      !LongerAgoThan(now, g_lastNoticeTime, kNoticeSpacing)) {
    return;
  }
  RefreshBalance();
  if (g_balanceState == kMarines) {
    NotifyOperators("ADMIN NOTICE: Too many marines\n");
  } else if (g_balanceState == kAliens) {
    NotifyOperators("ADMIN NOTICE: Too many aliens\n");
  }
  // Also when the refresh found the teams even: the check has fired.
  g_noticePending = false;
  g_lastNoticeTime = now;
}

// Stores `next` as BalanceState with the transitions of a refresh.
void StoreBalance(int next) {
  const int previous = g_balanceState;
  g_balanceState = next;
  if (previous == kBalanced && next != kBalanced) {
    g_noticePending = true;
    g_imbalanceSince = HostApi::Time();
  } else if (previous != kBalanced && next == kBalanced) {
    g_noticePending = false;
    g_deathMoveArmed = false;
  }
}

}  // namespace

int BalanceRule(int marines, int aliens, int handicapTeam) {
  // Headcounts never exceed the slot count, so none of this can overflow.
  const int m = marines + (handicapTeam == kMarines ? 1 : 0);
  const int a = aliens + (handicapTeam == kAliens ? 1 : 0);
  if (m - a < 2 && a - m < 2) return kBalanced;
  return m > a ? kMarines : kAliens;
}

int HandicapTeamFromText(const char* text) {
  if (!text) return kNoTeam;
  if (std::strcmp(text, "marines") == 0) return kMarines;
  if (std::strcmp(text, "aliens") == 0) return kAliens;
  return kNoTeam;
}

int ComputeBalance() {
  return BalanceRule(TeamHeadcount(kMarines), TeamHeadcount(kAliens), g_handicapTeam);
}

void RefreshBalance() { StoreBalance(ComputeBalance()); }

void RefreshBalanceOnDisconnect(edict_t* leaving) {
  int marines = TeamHeadcount(kMarines);
  int aliens = TeamHeadcount(kAliens);
  // TeamHeadcount has counted him when his slot is a player slot in use with
  // a game object; take him off the same count.
  const int slot = HostApi::IndexOfEdict(leaving);
  if (slot >= 1 && HostApi::EntityOfIndex(slot) == leaving) {
    const int team = HostApi::Team(HostApi::GameObjectVars(PlayerAtSlot(slot)));
    if (team == kMarines) --marines;
    if (team == kAliens) --aliens;
  }
  StoreBalance(BalanceRule(marines, aliens, g_handicapTeam));
}

void SnapshotAlive() {
  for (int slot = HighestTrackedSlot(); slot >= 1; --slot) {
    entvars_t* vars = HostApi::GameObjectVars(PlayerAtSlot(slot));
    if (!vars) continue;
    g_aliveSeen[slot] = HostApi::DeadFlag(vars) == 0;
  }
}

void DeathMoveScan() {
  for (int slot = HighestTrackedSlot(); slot >= 1; --slot) {
    entvars_t* vars = HostApi::GameObjectVars(PlayerAtSlot(slot));
    // The larger side is read anew for every slot: a refresh below may flip it.
    if (!vars || HostApi::Team(vars) != g_balanceState) continue;

    const bool alive = HostApi::DeadFlag(vars) == 0;
    if (alive) {
      g_aliveSeen[slot] = true;
      continue;
    }
    if (!g_aliveSeen[slot]) continue;  // this death was handled already

    RefreshBalance();
    if (g_balanceState == kBalanced) return;  // the refresh has disarmed the move

    // The game moves him only when his client sends the command back, so
    // later refreshes in this frame still count him on his old team.
    HostApi::SendClientCommand(HostApi::ContainingEntity(vars), "readyroom\n");
    const std::string name = HostApi::NetName(vars);
    NoticeAll(FormatBounded(256, "%s died -- sent to the Ready Room for balance\n", name.c_str()),
              3);
    g_aliveSeen[slot] = false;
  }
}

void ArmDeathMove(const CommandCaller& caller) {
  RefreshBalance();
  g_deathMoveArmed = true;
  SnapshotAlive();
  switch (g_balanceState) {
    case kMarines:
      ReplyAlert(caller, "Marine team is unbalanced");
      NoticeAll("Teams unbalanced - next Marine to die goes to the ReadyRoom\n", 3);
      break;
    case kAliens:
      ReplyAlert(caller, "Alien team is unbalanced");
      NoticeAll("Teams unbalanced - next Alien to die goes to the ReadyRoom\n", 3);
      break;
    default:
      ReplyAlert(caller, "Teams are balanced!");
      g_deathMoveArmed = false;
      break;
  }
}

void BalanceStartFrame() {
  if (g_noticePending) [[unlikely]] {
    NoticeCheck();
  }
  if (g_deathMoveArmed) [[unlikely]] {
    DeathMoveScan();
  }
}

void BalanceMapStart() {
  std::fill(std::begin(g_aliveSeen), std::end(g_aliveSeen), true);
  g_deathMoveArmed = false;
  g_handicapTeam = HandicapTeamFromText(HostApi::CvarString("kel_handicapteam"));
}

int BalanceState() { return g_balanceState; }
int HandicapTeam() { return g_handicapTeam; }
bool DeathMoveArmed() { return g_deathMoveArmed; }
