// Reading Half-Life server logs for the kill events players are rated by.
//
// A server writes one event a line, each framed as
//   L MM/DD/YYYY - HH:MM:SS: EVENT
// and a kill as
//   "Name<uid><STEAM_0:X:Y><team>" killed "Name<uid><STEAM_0:X:Y><team>" with "weapon"
// Everything read here is hostile text: lines are bounded, never copied
// whole, never assumed to be valid UTF-8, and nothing in them is fatal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvalues {

class KillTally;

// What one log line is to the rating.
enum class LineKind : uint8_t {
  Kill,        // a kill between two players; `KillLine` holds its parts
  Suicide,     // "..." committed suicide with "..."
  World,       // a kill by or of something that is no player (no id)
  OtherEvent,  // a well-framed line of any other kind (a connect, a chat line)
  Blank,       // an empty line, which servers never write and nobody counts
  BadName,     // a kill line whose names hold '"', '<' or '>'
  BadUtf8,     // a kill line that is not valid UTF-8
  Malformed,   // no log line's frame or date, or a kill line that does not parse
};

// The parts of a kill line, viewing the line they were read from.
struct KillLine {
  int64_t time = 0;  // the line's date and time, seconds since 1970-01-01 as if UTC
  std::string_view killerId;
  std::string_view killerTeam;
  std::string_view victimId;
  std::string_view victimTeam;
};

// The previous line's date and minute, which the next line of a log
// mostly repeats: read once, compared after (the second changes nearly
// every line).
struct FrameMemo {
  char text[21] = {};       // "L MM/DD/YYYY - HH:MM:"
  int64_t dayStart = 0;     // the date's first second, since 1970-01-01 as if UTC
  int64_t minuteStart = 0;  // the minute's
  bool valid = false;
};

// Reads one line, without its LF; a CR before the LF is ignored.  For
// LineKind::Kill `kill` is filled (ids as written, any form; teams as
// written, possibly empty); otherwise it is left in an unspecified state.
// `memo`, when given, carries the frame from one line to the next.  The
// quick way reads the line where it can, the careful way where it cannot.
LineKind ReadLogLine(std::string_view line, KillLine& kill, FrameMemo* memo = nullptr);

// The two ways ReadLogLine reads a line, as ReadLogLine does.  The careful
// way reads any line, searching its event for its words and taking it
// apart from its ends; it is the reference.  The quick way takes the lines
// servers commonly write apart from where the marks of their event stand
// ('"', '<' and '>', found in the same pass as the line's end), and
// declines (false) every other; where it reads a line it finds what the
// careful way finds: the same kind and, for a kill, the same ids, teams and
// time.
LineKind ReadLogLineCarefully(std::string_view line, KillLine& kill, FrameMemo* memo = nullptr);
bool ReadLogLineQuickly(std::string_view line, KillLine& kill, LineKind& kind,
                        FrameMemo* memo = nullptr);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Lines and files read, by what became of them.
struct LogCounts {
  uint64_t files = 0;
  uint64_t lines = 0;        // every line but blank ones
  uint64_t counted = 0;      // kills that rate two players
  uint64_t future = 0;       // kill lines dated after the tally's latest time
  uint64_t otherEvents = 0;  // well-framed lines that are no kill
  uint64_t teamKills = 0;
  uint64_t suicides = 0;         // kills of oneself and "committed suicide" lines
  uint64_t world = 0;            // kills by or of the world
  uint64_t notSteam = 0;         // kills by or of a bot, HLTV, LAN, pending or any non-Steam id
  uint64_t badNames = 0;         // kill lines with '"', '<' or '>' in a name
  uint64_t badUtf8 = 0;          // kill lines that are not valid UTF-8
  uint64_t malformed = 0;        // lines without a log line's frame, kill lines that do not parse
  uint64_t longLines = 0;        // lines longer than kMaxLineBytes, skipped unread
  uint64_t truncatedFiles = 0;   // compressed files that end early (what came before counts)
  uint64_t unreadableFiles = 0;  // files that cannot be opened or read
};

// No server writes a line this long; a longer one is skipped unread.
inline constexpr std::size_t kMaxLineBytes = 4096;

// The files to read for `paths`: each path that is a file, and below each
// folder (recursively) every regular file whose name ends in ".log" or
// ".gz", in byte order of their paths, each file once however often it is
// named.  Each file or folder among them, named or met, that cannot be
// opened or read goes to `unreadable` (its quoted path and why, in byte
// order) instead.  False, with `error` naming it, when a path names nothing
// (or no file or folder).
bool ListLogFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                  std::vector<std::string>& unreadable, std::string& error);

// The bytes ReadLogFile reads at a time, and the most it takes.
inline constexpr std::size_t kReadPieceBytes = std::size_t{1} << 18;

// Reads one file, plain or gzip-compressed (told apart by its first two
// bytes, as zlib tells them; a plain one is read without zlib), feeding
// each line to `tally` and counting it in `counts`, `pieceBytes` (1 to
// kReadPieceBytes; smaller only for tests) at a time, until the tally is
// full.  A compressed file that ends early counts as truncated, and its
// lines up to the cut are read, the cut line itself is not.  False, with
// `error` naming the file and why, when it cannot be opened or read (it is
// then counted as unreadable; the lines read before the error count).
bool ReadLogFile(const std::string& path, KillTally& tally, LogCounts& counts, std::string& error,
                 std::size_t pieceBytes = kReadPieceBytes);

// Reads `text`, the whole of a plain log, as ReadLogFile reads a plain
// file's bytes: `pieceBytes` at a time, until the tally is full.
void ReadLogText(std::string_view text, KillTally& tally, LogCounts& counts,
                 std::size_t pieceBytes = kReadPieceBytes);

// Reads one line into `tally` and `counts` (what ReadLogFile does for each).
void TallyLine(std::string_view line, KillTally& tally, LogCounts& counts,
               FrameMemo* memo = nullptr);

// Counts a line read as `kind` (`kill` its parts) into `tally` and `counts`:
// TallyLine after the reading.
void CountLine(LineKind kind, const KillLine& kill, KillTally& tally, LogCounts& counts);

}  // namespace kelvalues
