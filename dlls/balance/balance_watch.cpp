#include "balance_watch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "balance_protection.h"
#include "bounded_text.h"
#include "chat.h"
#include "cvar_reading.h"
#include "host_api.h"
#include "hud_text.h"
#include "operators.h"
#include "standard_log.h"
#include "team_orders.h"

namespace {

constexpr float kNoticeDelay = 15.0f;    // an imbalance must last longer than this
constexpr float kNoticeSpacing = 60.0f;  // and this long since the check last fired

// AliveSeen has room for slots 1..32 only.  A host configured with more
// clients than that is beyond the engine's own ceiling; its higher slots are
// left out of the death-time move rather than moved without a record of
// whether their death was already handled (which would resend them every
// frame while they lie dead).
constexpr int kHighestTrackedSlot = kMaxRosterSlot;

// The host clock restarts with every map while the stored times carry over,
// so only the distance between the two times is meaningful.
bool LongerAgoThan(float now, float then, float seconds) { return std::fabs(now - then) > seconds; }

// Read every frame while a side is ahead: through the engine's own record,
// never a lookup by name.
float AutoBalanceSeconds() { return HostApi::CvarValue(Cvar::AutoBalance); }
bool AutoBalanceReads() { return CvarReadsAsNumber(Cvar::AutoBalance); }

// The plugin acting on its own leaves a line in the log.
void LogAutoBalanceArming(Balance ahead) {
  LogWorldTriggered("kel_autobalance", "team",
                    ahead == Balance::MarinesAhead ? "marines" : "aliens");
}

bool CountTeamOrders(int& marines, int& aliens) {
  return TheTeamOrders().CountInForce(marines, aliens, TeamAtSlot, HostApi::Time());
}

void ExpireTeamOrders(bool& ranOut, bool& left) {
  ranOut = TheTeamOrders().DropExpired(TeamAtSlot, HostApi::Time());
  left = !TheTeamOrders().Empty();
}

constinit BalanceWatch g_watch({HostApi::Time, TeamHeadcount, NotifyOperators, AutoBalanceSeconds,
                                LogAutoBalanceArming, AutoBalanceReads, CountTeamOrders,
                                ExpireTeamOrders});

}  // namespace

Balance BalanceRule(int marines, int aliens, Handicap handicap) {
  // Headcounts never exceed the slot count, so none of this can overflow.
  const int m = marines + (handicap == Handicap::Marines ? 1 : 0);
  const int a = aliens + (handicap == Handicap::Aliens ? 1 : 0);
  if (m - a < 2 && a - m < 2) return Balance::Even;
  return m > a ? Balance::MarinesAhead : Balance::AliensAhead;
}

Handicap HandicapFromText(const char* text) {
  if (!text) return Handicap::None;
  if (std::strcmp(text, "marines") == 0) return Handicap::Marines;
  if (std::strcmp(text, "aliens") == 0) return Handicap::Aliens;
  return Handicap::None;
}

TeamId TeamAhead(Balance balance) {
  switch (balance) {
    case Balance::MarinesAhead:
      return kMarines;
    case Balance::AliensAhead:
      return kAliens;
    case Balance::Even:
      break;
  }
  return kNoTeam;
}

void BalanceWatch::MapStart(Handicap handicap) {
  std::fill(std::begin(aliveSeen_), std::end(aliveSeen_), true);
  SetFlag(kArmed, false);
  SetFlag(kTeamOrders, false);  // the map start drops them
  handicap_ = handicap;
  // The count's start is a time on the old map's clock, which the new one
  // does not continue; and the move it may have armed is off now.
  if (state_ != Balance::Even) StartAutoBalanceCount();
}

void BalanceWatch::Refresh(TeamId leaving) {
  int marines = senses_.headcount(kMarines);
  int aliens = senses_.headcount(kAliens);
  if (leaving == kMarines) --marines;
  if (leaving == kAliens) --aliens;
  const bool awaitingOrders =
      senses_.countTeamOrders != nullptr && senses_.countTeamOrders(marines, aliens);
  Store(BalanceRule(marines, aliens, handicap_), awaitingOrders);
}

void BalanceWatch::Store(Balance next, bool awaitingOrders) {
  const Balance previous = state_;
  state_ = next;
  if (previous == Balance::Even && next != Balance::Even) {
    SetFlag(kNoticePending, true);
    imbalanceSince_ = senses_.now();
    StartAutoBalanceCount();
  } else if (previous != Balance::Even && next == Balance::Even) {
    SetFlag(kNoticePending, false);
    SetFlag(kAutoBalanceCounting, false);
  } else if (previous != next) {
    StartAutoBalanceCount();  // the other side is ahead now
  }
  if (next == Balance::Even && !awaitingOrders) SetFlag(kArmed, false);
}

// Kept out of line so that the frame step stays one test when idle.
[[gnu::noinline]] void BalanceWatch::FrameWork() {
  if ((frameWork_ & kTeamOrders) != 0) TeamOrdersCheck();
  if (NoticePending()) NoticeCheck();
  if (AutoBalanceCounting()) AutoBalanceCheck();
  if (Armed()) DeathMoveScan();
}

void BalanceWatch::TeamOrdersCheck() {
  bool ranOut = false;
  bool left = false;
  if (senses_.expireTeamOrders) senses_.expireTeamOrders(ranOut, left);
  if (!left) SetFlag(kTeamOrders, false);
  // The game did not carry it out: he counts where he is again.
  if (ranOut) Refresh();
}

void BalanceWatch::NoticeCheck() {
  const float now = senses_.now();
  if (!LongerAgoThan(now, imbalanceSince_, kNoticeDelay) ||
      !LongerAgoThan(now, lastNoticeTime_, kNoticeSpacing)) {
    return;
  }
  Refresh();
  if (state_ == Balance::MarinesAhead) {
    senses_.notifyOperators("ADMIN NOTICE: Too many marines\n");
  } else if (state_ == Balance::AliensAhead) {
    senses_.notifyOperators("ADMIN NOTICE: Too many aliens\n");
  }
  // Also when the refresh found the teams even: the check has fired.
  SetFlag(kNoticePending, false);
  lastNoticeTime_ = now;
}

void BalanceWatch::StartAutoBalanceCount() {
  sideAheadSince_ = senses_.now();
  SetFlag(kAutoBalanceCounting, true);
}

void BalanceWatch::AutoBalanceCheck() {
  if (!senses_.autoBalanceSeconds) return;
  const float seconds = senses_.autoBalanceSeconds();
  const auto due = [&] { return senses_.now() - sideAheadSince_ >= seconds; };
  if (!(seconds > 0.0f) || !due()) return;
  if (senses_.autoBalanceReads && !senses_.autoBalanceReads()) return;
  // The last refresh may be stale, as before an operator notice.  Even now,
  // or the other side ahead, ends this count or starts a new one.
  Refresh();
  if (!AutoBalanceCounting() || !due()) return;
  SetFlag(kAutoBalanceCounting, false);
  if (Armed()) return;  // an operator's kel came first
  if (senses_.autoBalanceArming) senses_.autoBalanceArming(state_);
  ArmDeathMove(CommandCaller::ServerConsole());
}

void BalanceWatch::SnapshotAlive() {
  HostApi::ForEachClientSlotDown(kHighestTrackedSlot, [this](int slot, edict_t* entity) {
    entvars_t* vars = HostApi::PlayerVars(entity);
    if (vars) aliveSeen_[slot] = HostApi::DeadFlag(vars) == 0;
  });
}

void BalanceWatch::DeathMoveScan() {
  HostApi::ForEachClientSlotDown(kHighestTrackedSlot, [this](int slot, edict_t* entity) {
    if (state_ == Balance::Even) return;  // a refresh below has disarmed the move
    entvars_t* vars = HostApi::PlayerVars(entity);
    // The larger side is read anew for every slot: a refresh below may flip it.
    if (!vars || HostApi::Team(vars) != TeamAhead(state_)) return;

    const bool alive = HostApi::DeadFlag(vars) == 0;
    if (alive) {
      aliveSeen_[slot] = true;
      return;
    }
    if (!aliveSeen_[slot]) return;  // this death was handled already
    // Sent elsewhere already (movelast, rrr, eventeams): the refresh below
    // counts him there; his death is taken if that order runs out.
    if (HasTeamOrderInForce(entity)) return;
    // A spared player's death counts as handled: taken at a later frame
    // while still lying dead (immunity switched off, his cooldown over), he
    // would go for a death the move has passed over.
    if (SparedFromBalanceMove(entity)) {
      aliveSeen_[slot] = false;
      return;
    }

    Refresh();
    if (state_ == Balance::Even) return;

    // The game moves him only when his client sends the command back; the
    // order recorded here makes later refreshes count him as gone.
    SendToReadyRoomForBalance(entity, "kel_deathmove");
    const std::string name = HostApi::NetName(vars);
    NoticeAll(FormatBounded(256, "%s died -- sent to the Ready Room for balance\n", name.c_str()),
              kChatArea);
    aliveSeen_[slot] = false;
  });
}

void BalanceWatch::ArmDeathMove(const CommandCaller& caller) {
  Refresh();
  if (!Armed()) armedSince_ = senses_.now();
  SetFlag(kArmed, true);
  SnapshotAlive();
  switch (state_) {
    case Balance::MarinesAhead:
      ReplyAlert(caller, "Marine team is unbalanced");
      NoticeAll("Teams unbalanced - next Marine to die goes to the ReadyRoom\n", kChatArea);
      break;
    case Balance::AliensAhead:
      ReplyAlert(caller, "Alien team is unbalanced");
      NoticeAll("Teams unbalanced - next Alien to die goes to the ReadyRoom\n", kChatArea);
      break;
    case Balance::Even:
      ReplyAlert(caller, kTeamsBalanced);
      SetFlag(kArmed, false);
      break;
  }
}

bool BalanceWatch::CancelDeathMove() {
  if (!Armed()) return false;
  SetFlag(kArmed, false);
  SetFlag(kAutoBalanceCounting, false);
  return true;
}

BalanceWatch& TheBalanceWatch() { return g_watch; }

void RefreshBalance() { g_watch.Refresh(); }

void RefreshBalanceOnDisconnect(edict_t* leaving) {
  // The headcount has counted him when his slot is a player slot in use with
  // a game object; take him off the same count.
  TeamId team = kNoTeam;
  const int slot = HostApi::IndexOfEdict(leaving);
  if (slot >= 1 && PlayerAtSlot(slot) == leaving) {
    team = HostApi::Team(HostApi::PlayerVars(leaving));
  }
  // Counted out here; an order of his would count him out a second time.
  TheTeamOrders().Forget(slot);
  g_watch.Refresh(team);
}

void RefreshBalanceOnUserInfo(edict_t* entity) {
  TheTeamOrders().TeamSeen(HostApi::IndexOfEdict(entity), PlayerTeam(entity));
  g_watch.Refresh();
}

void BalanceStartFrame() { g_watch.FrameStep(); }

void ArmDeathMove(const CommandCaller& caller) { g_watch.ArmDeathMove(caller); }

void CancelDeathMoveCommand(const CommandCaller& caller) {
  ReplyAlert(caller, g_watch.CancelDeathMove() ? "Death-time move cancelled"
                                               : "Death-time move is not armed");
}

void NotifyOperators(const std::string& text) {
  HostApi::ForEachClientSlot([&text](int /*slot*/, edict_t* entity) {
    if (IsServerOperator(entity)) HudAlert(entity, text);
  });
}
