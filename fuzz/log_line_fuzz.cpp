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
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz_check.h"
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
  const std::string disagreement = kelvalues::Disagreement(text, quick);
  KEL_FUZZ_CHECK(disagreement.empty(), "the quick and the careful way disagree (" + disagreement +
                                           "): " + kel_fuzz::Shown(std::string(text)));
  // The memo, carried from line to line, against the careful way without.
  kelvalues::KillLine remembered;
  kelvalues::KillLine fresh;
  const LineKind kind = kelvalues::ReadLogLine(text, remembered, &memo);
  KEL_FUZZ_CHECK(kind == kelvalues::ReadLogLineCarefully(text, fresh),
                 "the frame memo changed what the line is: " + kel_fuzz::Shown(std::string(text)));
  if (kind == LineKind::Kill) {
    KEL_FUZZ_CHECK(remembered.time == fresh.time, "the frame memo changed the kill's time");
    for (std::string_view part :
         {remembered.killerId, remembered.killerTeam, remembered.victimId, remembered.victimTeam}) {
      KEL_FUZZ_CHECK(Inside(part, line), "a kill's part lies outside its line");
    }
    KEL_FUZZ_CHECK(!fresh.killerId.empty() && !fresh.victimId.empty(), "a kill without ids");
    KEL_FUZZ_CHECK(kelvalues::IsValidUtf8(text), "a kill line that is not UTF-8");
  }
  const uint64_t before = counts.counted;
  kelvalues::TallyLine(text, tally, counts, nullptr);
  KEL_FUZZ_CHECK(counts.counted <= before + 1, "one line counted twice");
  KEL_FUZZ_CHECK(counts.counted == before || kind == LineKind::Kill, "a line counted as no kill");
}

// What the counts of lines of each kind say; the files read differ.
auto Kinds(const kelvalues::LogCounts& c) {
  return std::make_tuple(c.lines, c.counted, c.otherEvents, c.teamKills, c.suicides, c.world,
                         c.notSteam, c.badNames, c.badUtf8, c.malformed, c.longLines);
}

// The bytes as a file, read as from-logs reads one: a piece of
// `pieceBytes` at a time, each line's end found together with its marks.
kelvalues::LogCounts ReadAsFile(const std::string& path, std::size_t pieceBytes) {
  kelvalues::KillTally tally(30);
  kelvalues::LogCounts counts;
  std::string error;
  (void)kelvalues::ReadLogFile(path, tally, counts, error, pieceBytes);
  return counts;
}

// The input as a file in memory, made once and rewritten for each input.
const std::string& FileOf(const uint8_t* data, size_t size) {
  static const int file = memfd_create("log", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(file);
  KEL_FUZZ_CHECK(file >= 0 && ftruncate(file, 0) == 0 &&
                     pwrite(file, data, size, 0) == static_cast<ssize_t>(size),
                 "cannot make the file in memory");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each line gets a buffer of exactly its size, so that reading past it is
  // a fault ASan sees.
  kelvalues::FrameMemo memo;
  kelvalues::KillTally tally(30);
  kelvalues::LogCounts counts;
  const auto* bytes = reinterpret_cast<const char*>(data);
  std::size_t start = 0;
  std::size_t longest = 0;
  while (start <= size) {
    std::size_t end = start;
    while (end < size && bytes[end] != '\n') ++end;
    CheckLine(std::vector<char>(bytes + start, bytes + end), memo, tally, counts);
    longest = std::max(longest, end - start);
    start = end + 1;
  }
  // Read as a file, every line counts as it did alone, unless the file is
  // skipped (too long) or taken for compressed.
  const bool compressed = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
  if (compressed) return 0;  // a broken stream may end at another place in other pieces
  const std::string& path = FileOf(data, size);
  // One piece holds the whole file (what from-logs reads at a time is more
  // than any input here); what counts as one line after another must not
  // depend on it.
  const kelvalues::LogCounts whole = ReadAsFile(path, size + 1);
  if (longest <= kelvalues::kMaxLineBytes) {
    KEL_FUZZ_CHECK(Kinds(whole) == Kinds(counts),
                   "a line read from a file counts otherwise than alone");
  }
  // Pieces of 1 to 64 bytes, or pieces ending up to 32 bytes before or
  // after an overlong line's first kMaxLineBytes + 1 bytes: the input's
  // last two bytes choose.  Small pieces are at least an eighth of the
  // longest line: the reader finds a cut line anew from its start after
  // each piece, so pieces of a byte would cost a long line its length
  // squared (and the target its speed).
  const uint8_t last = size > 0 ? data[size - 1] : 0;
  const uint8_t beforeLast = size > 1 ? data[size - 2] : 0;
  const std::size_t piece = (beforeLast & 0x80) == 0
                                ? std::max<std::size_t>(1 + last % 64, longest / 8)
                                : kelvalues::kMaxLineBytes - 31 + last % 64;
  KEL_FUZZ_CHECK(Kinds(ReadAsFile(path, piece)) == Kinds(whole),
                 "the file counts otherwise in pieces of " + std::to_string(piece) + " bytes");
  return 0;
}
