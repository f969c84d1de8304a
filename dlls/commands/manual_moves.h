// showlast, movelast and rrr: looking at the last joiners and moving players
// by hand.  None of them keeps state between calls.
#pragma once

#include <string>

#include "reply.h"
#include "roster.h"

// Whole seconds from `joinTime` to `now`, truncated toward zero.  The float
// difference is clamped into 0..INT_MAX first (NaN reads as 0), so no clock
// value can make the conversion overflow, and a clock that went back shows
// 0 rather than a negative time.
int WholeSecondsSince(float now, float joinTime);

// The showlast text for the two entries at host time `now`: a joinTime of
// exactly 0.0 (the empty entry among them) reads as joined now, 0:00.  Cut at
// 511 characters; the names are arguments, never formats.
std::string LastJoinersReport(const RosterEntry& marine, const RosterEntry& alien, float now);

// Replies who joined each team last and how long ago.
void ShowLastJoiners(const CommandCaller& caller);
// Refreshes the balance; when uneven, sends the last joiner of the larger
// team to the ready room and tells everyone, otherwise replies why not.
void MoveLastJoiner(const CommandCaller& caller);
// Tells everyone the ready room is being emptied, then sends every named
// ready-room player "autoassign\n" with a notice of his own.
void EmptyReadyRoom(const CommandCaller& caller);
