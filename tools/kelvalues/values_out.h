// What every kelvalues command that makes a values file shares: the id
// forms it accepts, the scale it writes on, and how it writes the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvalues {

// The plugin's form of a Steam id, "STEAM_0:X:Y", from any of the forms
// operators meet: STEAM_0:X:Y, STEAM_1:X:Y, X:Y (the stats database's form),
// [U:1:N] and a 64-bit SteamID in decimal (76561197960265728 + account).
// X must be 0 or 1 and the account (2 * Y + X, or N) a nonzero 32-bit
// number; numbers are plain decimal digits (leading zeros are dropped, no
// sign, no blanks, the text is not trimmed).  Nothing for anything else,
// among them the ids many players share (IsSharedAuthId, the plugin's list:
// BOT, HLTV, STEAM_ID_LAN, STEAM_ID_PENDING, VALVE_ID_LAN, UNKNOWN, ...)
// and other VALVE_ID_* forms.
std::optional<std::string> NormalizeSteamId(std::string_view text);

struct ValueLine {
  std::string id;  // STEAM_0:X:Y
  int32_t value;
};

// Maps each player's score, a nonnegative number proportional to his
// strength, to a value proportional to it, so that the values average
// `average`; each value is rounded, at least 1 and fits the plugin's 32-bit
// range (so the floor and the ceiling may move the average a little).  A
// score below 0 or not finite counts as 0; when every score is 0, everybody
// gets the average.  `average` itself is clamped to [1, 2^31 - 1].  The
// lines come in the order of `scores`.
std::vector<ValueLine> ScaleToAverage(const std::vector<std::pair<std::string, double>>& scores,
                                      double average);

// Writes `lines` as the plugin reads them: "ID,VALUE" lines sorted by id,
// LF ends, no byte-order mark, header or comment.  With an empty `path`
// the lines go to standard output; otherwise they go to a temporary file
// in the target's folder, renamed over the target only once complete and
// flushed; the finished file keeps the mode of the file it replaces, and a
// symbolic link at `path` keeps leading to it.  A device or pipe at `path`
// (/dev/null) is written into, never replaced; a folder is refused.  As
// CheckOutputPath says, links not of root or of the running user are not
// followed, and a folder others than its owner may write into is only
// written into by its owner.  False,
// with `error` saying why, when that failed (the target is then untouched
// and no temporary file is left).  Also false, before anything is written,
// when the lines would not make a file the plugin loads as meant: none at
// all, an id not in the exact STEAM_0:X:Y form NormalizeSteamId gives, an id
// twice, or values that sum to 0 or less.  On Windows the file is replaced
// the same way, without modes or links (write_file_windows.h).
bool WriteValuesFile(std::vector<ValueLine> lines, const std::string& path, std::string& error);

// Whether `path` may be written by WriteValuesFile as far as its links and
// its folder go: each symbolic link on the way belongs to root or to the
// user running kelvalues, and the folder the file goes in is writable by
// nobody but its owner or is the running user's own.  False, with `error`
// saying why in one line, when not.  The commands ask it before they read
// anything, so that an hour of reading does not end in a refusal.
bool CheckOutputPath(const std::string& path, std::string& error);

// The summary printed to standard error, one line ending in "\n":
//   N entries, average A, minimum L, maximum H
// with A the sum over N truncated, as the plugin computes its average;
// "0 entries\n" for no lines.
std::string Summary(const std::vector<ValueLine>& lines);

}  // namespace kelvalues
