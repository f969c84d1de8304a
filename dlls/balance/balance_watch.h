// The balance watch: the balance rule, the operator notices about a lasting
// imbalance, the death-time move armed by `kel`, and autobalance, which arms
// that move by itself once one side has stayed ahead for kel_autobalance
// seconds.
//
// One object holds all of it and lives as long as the library; it is
// touched only on the server thread, inside host callbacks.  The map start
// resets what a new map resets (MapStart); every server frame runs its
// frame step.
#pragma once

#include <cstdint>
#include <string>

#include "reply.h"
#include "roster.h"

// Which side has too many players, by the balance rule.
enum class Balance : int8_t { Even, MarinesAhead, AliensAhead };

// The answer to `kel` and `movelast` while the teams are even.
inline constexpr char kTeamsBalanced[] = "Teams are balanced!";
// The team counted with one extra player (kel_handicapteam).
enum class Handicap : int8_t { None, Marines, Aliens };

// The balance rule over plain headcounts: the handicap team counts one
// extra player; a difference below 2 either way is even, otherwise the
// larger side is ahead.
Balance BalanceRule(int marines, int aliens, Handicap handicap);
// kel_handicapteam's text as a handicap: exactly "marines" or exactly
// "aliens"; anything else (other case, blanks, null) is none.
Handicap HandicapFromText(const char* text);
// The team number of the side that is ahead: kMarines or kAliens; kNoTeam
// when even.
TeamId TeamAhead(Balance balance);

// What the watch reads and does outside itself: the host clock, the team
// headcounts, the operators' screens and autobalance's setting and log.
// The plugin's watch uses the live server; tests give their own.  Without
// the autobalance senses, autobalance is off.
struct BalanceSenses {
  float (*now)();
  int (*headcount)(TeamId team);
  void (*notifyOperators)(const std::string& text);
  // kel_autobalance: the seconds one side must stay ahead; 0 or less is off.
  float (*autoBalanceSeconds)() = nullptr;
  // Told, with the side ahead, right before autobalance arms the move.
  void (*autoBalanceArming)(Balance ahead) = nullptr;
  // Asked only once the count is due: false when kel_autobalance's text is
  // no number as a whole, which is off whatever the seconds read.  Asking
  // then keeps the counting frames cheap.
  bool (*autoBalanceReads)() = nullptr;
  // The headcounts as they will be once the team changes the plugin has
  // ordered are carried out (see team_orders.h); true when an order still
  // to be carried out was counted.  Without it, headcounts are as they are.
  bool (*countTeamOrders)(int& marines, int& aliens) = nullptr;
  // Drops the orders that are no longer to be waited for; `ranOut` is set
  // when one ran out of time with the player still where he was, `left`
  // when orders remain.
  void (*expireTeamOrders)(bool& ranOut, bool& left) = nullptr;
};

class BalanceWatch {
 public:
  explicit constexpr BalanceWatch(const BalanceSenses& senses) : senses_(senses) {}

  // Map start: every AliveSeen set, the move disarmed, `handicap` taken.
  // The balance state and the notice timing carry over.  Autobalance counts
  // afresh from the new map's clock (which restarts with every map) when
  // the teams are uneven, and may arm the disarmed move again.
  void MapStart(Handicap handicap);
  // RefreshBalance: the rule over the current headcounts, the player who is
  // leaving (his team `leaving`, or kNoTeam) left out, and the players the
  // plugin has ordered to another team counted there.  Going from even to
  // uneven sets the pending notice and stamps the time; going from uneven
  // to even clears the pending notice.  Going uneven or changing sides
  // starts autobalance's count; going even ends it.  Finding the teams even
  // disarms the death-time move, unless they are even only once ordered
  // moves are carried out: the move then waits for them, and goes on if
  // one of them runs out of time.
  void Refresh(TeamId leaving = kNoTeam);
  // The plugin has ordered a team change: the frame step watches the
  // orders until none is left, and refreshes when one runs out of time.
  void WatchTeamOrders() { SetFlag(kTeamOrders, true); }
  // The pfnStartFrame work: the team orders while any is left, the notice
  // check, autobalance's check while uneven, then the death-time move's
  // scan while armed.  While the teams
  // are even and nothing is armed it costs one test.
  void FrameStep() {
    if (frameWork_ != 0) [[unlikely]] {
      FrameWork();
    }
  }
  // The `kel` command: refreshes, arms the move, records who is alive, and
  // answers the caller (kTeamsBalanced disarms again) and, when
  // uneven, announces the move to every player.
  void ArmDeathMove(const CommandCaller& caller);
  // The `kel_cancel` command: turns an armed death-time move off, whether
  // or not the teams are even, and ends autobalance's count, so that it
  // arms nothing again until the teams change (even, or the other side
  // ahead) or a map starts.  False when the move was not armed.
  bool CancelDeathMove();

  Balance State() const { return state_; }
  Handicap HandicapTeam() const { return handicap_; }
  bool Armed() const { return (frameWork_ & kArmed) != 0; }
  bool NoticePending() const { return (frameWork_ & kNoticePending) != 0; }
  // The same side is ahead and autobalance has not armed the move for it.
  bool AutoBalanceCounting() const { return (frameWork_ & kAutoBalanceCounting) != 0; }
  // Host time the armed move was armed (the first kel of it), and the time
  // the side now ahead went ahead (or the map started with it ahead).
  float ArmedSince() const { return armedSince_; }
  float SideAheadSince() const { return sideAheadSince_; }

 private:
  // The flags the frame step acts on, in one byte, so that an idle frame
  // tests them at once.
  enum : uint8_t {
    kNoticePending = 1,        // an imbalance began and no notice check fired for it yet
    kArmed = 2,                // the death-time move is on
    kAutoBalanceCounting = 4,  // a side is ahead since sideAheadSince_, not acted on yet
    kTeamOrders = 8,           // ordered team changes not yet carried out or expired
  };
  void SetFlag(uint8_t flag, bool on) {
    frameWork_ = static_cast<uint8_t>(on ? frameWork_ | flag : frameWork_ & ~flag);
  }
  void FrameWork();
  // `awaitingOrders`: `next` counted ordered moves not yet carried out.
  void Store(Balance next, bool awaitingOrders);
  // Drops the orders done with; a refresh when one ran out of time.
  void TeamOrdersCheck();
  // An imbalance lasting more than 15 s, and more than 60 s since the check
  // last fired: refresh, tell the operators if still uneven, and fire.
  void NoticeCheck();
  // Starts autobalance's count at the current time.
  void StartAutoBalanceCount();
  // Once the same side has been ahead for kel_autobalance seconds (and it
  // is above 0): refresh, and if that side is still ahead, arm the move as
  // `kel` from the server console does, unless it is armed already.  Acts
  // once per count.
  void AutoBalanceCheck();
  // Records, for every present player in slots 1..32, whether he is alive.
  void SnapshotAlive();
  // One pass, highest slot first: every player of the larger team who has
  // died since he was last seen alive is sent to the ready room, each after
  // a refresh of his own; ends early once a refresh finds the teams even.
  // A refresh counts the players sent before as gone, so the pass sends
  // only as many as the count needs.  A player already ordered to another
  // team is left to that order.  Slots above 32 have no AliveSeen entry and
  // are skipped.
  void DeathMoveScan();

  BalanceSenses senses_;
  Balance state_ = Balance::Even;
  Handicap handicap_ = Handicap::None;
  uint8_t frameWork_ = 0;
  float imbalanceSince_ = 0.0f;  // host time the teams last went uneven
  float lastNoticeTime_ = 0.0f;  // host time the notice check last fired
  float sideAheadSince_ = 0.0f;  // host time autobalance's count started
  float armedSince_ = 0.0f;      // host time the death-time move was armed
  bool aliveSeen_[kSlotTableSize] = {};
};

// The plugin's one watch, over the live server.
BalanceWatch& TheBalanceWatch();

// The hooks' and commands' ways in.
void RefreshBalance();
// RefreshBalance for the pfnClientDisconnect hook.  The hook runs before the
// engine lets the player go, while he still stands in his slot on his team,
// so he is left out of the count: the refresh then sees the teams as they
// are once he has left.
void RefreshBalanceOnDisconnect(edict_t* leaving);
// RefreshBalance for the pfnClientUserInfoChanged hook: an order of the
// plugin that the game has carried out for `entity` is done with first.
void RefreshBalanceOnUserInfo(edict_t* entity);
void BalanceStartFrame();
void ArmDeathMove(const CommandCaller& caller);
// The action of `kel_cancel`: CancelDeathMove, answering "Death-time move
// cancelled" or "Death-time move is not armed".
void CancelDeathMoveCommand(const CommandCaller& caller);

// HudAlert to every connected operator.
void NotifyOperators(const std::string& text);
