// Console variables read as operators expect them, and the one notice a map
// the server console gets of a value that does not read.
#pragma once

#include "console_variables.h"

// True the first time in this map that it is asked for `variable`: each
// variable whose value does not read is told of once a map, by the first
// read that finds it so.  ResetCvarNotices (at every map start) makes every
// variable tellable again.
bool FirstCvarNoticeThisMap(Cvar variable);
void ResetCvarNotices();

// True when the whole of `text` is a decimal number: an optional sign, then
// digits with an optional fraction ("30", "-1", "2.5", ".5", "7.").  Blanks,
// exponents, hexadecimal, "inf" and trailing words ("2m") are no number,
// though the engine's atof would read a value from them.
bool IsDecimalNumber(const char* text);

// True when one of the plugin's variables holds a number as a whole
// (IsDecimalNumber); otherwise the server console is told once a map:
//   kel: NAME "TEXT" is not a number; the default "DEFAULT" is used
bool CvarReadsAsNumber(Cvar variable);
// The number one of the plugin's variables holds: the engine's value when
// its whole text is a number, else the value of its default (told as
// above).  The text is only looked at, never parsed again.
float CvarNumber(Cvar variable);

// The variables read as numbers this way.  The map start tells of each one
// whose text is no number (TellNumberCvarsThatDoNotRead), so that a bad
// value is said once a map even when nothing reads it.
inline constexpr Cvar kNumberCvars[] = {Cvar::AutoBalance, Cvar::Immunity, Cvar::MoveCooldown};
void TellNumberCvarsThatDoNotRead();
