// Server log lines as kelvalues from-logs reads them: whatever the bytes, a
// line is read without a byte outside it, and the frame memo, which lets a
// line skip the date its predecessor already read, never changes what a
// line is.  A kill's ids and teams are parts of its line (any text: only a
// Steam id is counted, which the tally checks), and only kills are counted.
// The quick reading of a line finds what the careful one, its reference,
// finds (the same kind, and for a kill the same ids, teams and time), or
// declines it; the bytes read as a file count as their lines did one by
// one; and a file counts alike whatever size the pieces it is read in (a
// size the input chooses), so the pieces end at every place in and around
// lines of any length, overlong ones among them.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz_check.h"
#include "log_line.h"
#include "log_reader.h"
#include "rating.h"
#include "readings_agree.h"

namespace {

bool Inside(std::string_view part, const std::vector<char>& line) {
  return part.empty() ||
         (part.data() >= line.data() && part.data() + part.size() <= line.data() + line.size());
}

void CheckLine(const std::vector<char>& line, kelvalues::FrameMemo& memo,
               kelvalues::KillTally& tally, kelvalues::LogCounts& counts) {
  using kelvalues::LineKind;
  const std::string_view text(line.data(), line.size());
  bool quick = false;
  kelvalues::KillLine fresh;
  LineKind freshKind = LineKind::Malformed;
  kelvalues::KillLine fast;
  const std::string disagreement = kelvalues::Disagreement(text, quick, fresh, freshKind, fast);
  KEL_FUZZ_CHECK(disagreement.empty(), "the quick and the careful way disagree (" + disagreement +
                                           "): " + kel_fuzz::Shown(std::string(text)));
  // The memo, carried from line to line, against the frame read alone: the
  // frame is all of a line the memo can change.
  int64_t alone = 0;
  int64_t remembered = 0;
  const bool framed = kelvalues::ReadFrame(text, alone, nullptr);
  KEL_FUZZ_CHECK(
      kelvalues::ReadFrame(text, remembered, &memo) == framed,
      "the frame memo changed whether the line is framed: " + kel_fuzz::Shown(std::string(text)));
  KEL_FUZZ_CHECK(!framed || remembered == alone, "the frame memo changed the line's time");
  if (freshKind == LineKind::Kill) {
    // The quick way reads a copy of the line and points its parts back.
    for (const kelvalues::KillLine* kill : {&fresh, quick ? &fast : &fresh}) {
      for (std::string_view part :
           {kill->killerId, kill->killerTeam, kill->victimId, kill->victimTeam}) {
        KEL_FUZZ_CHECK(Inside(part, line), "a kill's part lies outside its line");
      }
    }
    KEL_FUZZ_CHECK(!fresh.killerId.empty() && !fresh.victimId.empty(), "a kill without ids");
    KEL_FUZZ_CHECK(kelvalues::IsValidUtf8(text), "a kill line that is not UTF-8");
  }
  const uint64_t before = counts.counted;
  kelvalues::CountLine(freshKind, fresh, tally, counts);
  KEL_FUZZ_CHECK(counts.counted <= before + 1, "one line counted twice");
  KEL_FUZZ_CHECK(counts.counted == before || freshKind == LineKind::Kill,
                 "a line counted as no kill");
}

// What the counts of lines of each kind say; the files read differ.
auto Kinds(const kelvalues::LogCounts& c) {
  return std::make_tuple(c.lines, c.counted, c.otherEvents, c.teamKills, c.suicides, c.world,
                         c.notSteam, c.badNames, c.badUtf8, c.malformed, c.longLines);
}

// A line's bytes, held so that reading past them is a fault ASan sees, as
// past a buffer of exactly their size: the bytes after them are poisoned.
// Two buffers, kept from line to line and from input to input (a buffer
// made for each line was the target's dearest cost), take turns, the one
// not in use poisoned whole, so that reading the line before is a fault
// too.
const std::vector<char>& HeldLine(const char* bytes, std::size_t size) {
  static std::vector<char> held[2];
  static std::size_t turn = 0;
  // Only a buffer's line was left unpoisoned: the bytes after it still are.
  const std::vector<char>& before = held[turn];
  ASAN_POISON_MEMORY_REGION(before.data(), before.size());
  turn ^= 1;
  std::vector<char>& line = held[turn];
  ASAN_UNPOISON_MEMORY_REGION(line.data(), std::min(size, line.capacity()));
  line.assign(bytes, bytes + size);
  ASAN_POISON_MEMORY_REGION(line.data() + size, line.capacity() - size);
  return line;
}

// The bytes as a file, read as from-logs reads a plain one: a piece of
// `pieceBytes` at a time, each line's end found together with its marks.
// What a kill comes to does not depend on the kills `tally` holds.
kelvalues::LogCounts ReadAsFile(const uint8_t* data, size_t size, std::size_t pieceBytes,
                                kelvalues::KillTally& tally) {
  kelvalues::LogCounts counts;
  kelvalues::ReadLogText(std::string_view(reinterpret_cast<const char*>(data), size), tally, counts,
                         pieceBytes);
  return counts;
}

// The size of the pieces the input is read in as a file: one piece for
// all (as from-logs reads any log of up to a megabyte), pieces of 1 to 64
// bytes, or pieces ending up to 32 bytes before or after an overlong
// line's first kMaxLineBytes + 1 bytes; the input's last two bytes choose.
// Small pieces are at least an eighth of the longest line: the reader
// finds a cut line anew from its start after each piece, so pieces of a
// byte would cost a long line its length squared (and the target its
// speed).
std::size_t PieceBytes(const uint8_t* data, size_t size, std::size_t longest) {
  const uint8_t last = size > 0 ? data[size - 1] : 0;
  const uint8_t beforeLast = size > 1 ? data[size - 2] : 0;
  if ((beforeLast & 0x80) != 0) return kelvalues::kMaxLineBytes - 31 + last % 64;
  if ((beforeLast & 0x40) != 0) return size + 1;
  return std::max<std::size_t>(1 + last % 64, longest / 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Reading past a line is a fault ASan sees (HeldLine).  `asFile` is what
  // the lines must count as when read as a file, where a line longer than
  // kMaxLineBytes is skipped unread (and counted alone into `aside`).
  kelvalues::FrameMemo memo;
  kelvalues::KillTally tally(30);
  kelvalues::LogCounts asFile;
  kelvalues::LogCounts aside;
  const auto* bytes = reinterpret_cast<const char*>(data);
  std::size_t longest = 0;
  for (std::size_t start = 0; start <= size;) {
    const auto* lf = start < size
                         ? static_cast<const char*>(std::memchr(bytes + start, '\n', size - start))
                         : nullptr;
    const std::size_t end = lf ? static_cast<std::size_t>(lf - bytes) : size;
    const bool overlong = end - start > kelvalues::kMaxLineBytes;
    CheckLine(HeldLine(bytes + start, end - start), memo, tally, overlong ? aside : asFile);
    if (overlong) ++asFile.longLines;
    longest = std::max(longest, end - start);
    start = end + 1;
  }
  // Read as a file, every line counts as it did alone.
  const std::size_t piece = PieceBytes(data, size, longest);
  KEL_FUZZ_CHECK(Kinds(ReadAsFile(data, size, piece, tally)) == Kinds(asFile),
                 "the file counts otherwise than its lines alone, in pieces of " +
                     std::to_string(piece) + " bytes");
  return 0;
}
