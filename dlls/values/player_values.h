// The store of per-player skill values, loaded from the player values file.
//
// The file is a text file of one record a line: a key (a player's
// authentication id, compared as exact bytes), a comma, and a whole-number
// value.  Its format, as this store reads it:
//   - A line ends at LF; a CR right before the LF belongs to the line end, so
//     CR LF files read like LF files.  A last line without a line end is
//     still read; the empty rest after a final LF is no line.
//   - The LAST comma on a line separates key and value, so a key may itself
//     hold commas.  The key is everything before it, unchanged.
//   - The value is read as atoi reads it (leading blanks, an optional sign,
//     decimal digits up to the first other byte; no digits gives 0), except
//     that values beyond the 32-bit signed range are clamped to its ends.
//   - A line without a comma is both the key and the value text ("1234"
//     gives key "1234", value 1234; "abc" gives key "abc", value 0).
//   - An empty line is a record with the empty key and the value 0.
//   - No comments; a line of any length (512 bytes and more included) is one
//     record; NUL and non-UTF-8 bytes are ordinary key bytes.
//   - A later line with the same key replaces the earlier value, but every
//     line's value counts in the sum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "checked_buffer.h"

// Path of the player values file: the directory of the plugin library (up to
// and including the last '/' or '\' of the path the plugin manager reports,
// which on Windows may use either; nothing when it has none) followed by the text of
// kel_playervaluesfile, unchanged.  An empty kel_playervaluesfile thus names
// the library's directory, which fails to load.
std::string PlayerValuesPath();
// The same rule over given texts: PlayerValuesPath() is
// PlayerValuesPath(plugin library path, kel_playervaluesfile).
std::string PlayerValuesPath(std::string_view pluginPath, std::string_view fileName);

// How the store reads a record's value text: as atoi reads it (leading
// blanks, an optional sign, decimal digits up to the first other byte; no
// digits gives 0), clamped to the 32-bit signed range.  `end` is the offset
// just past the last byte read; `digits` says whether there was any digit,
// `clamped` whether the digits went beyond the range.
struct ValueText {
  int32_t value;
  std::size_t end;
  bool digits;
  bool clamped;
};
ValueText ReadValueText(std::string_view text);

// The average the store keeps: `sum` over `distinct` keys, truncated toward
// zero, clamped to the 32-bit signed range (0 for no keys).
int32_t AverageOf(int64_t sum, std::size_t distinct);

// The default an unknown key is given when the draw is `r` (0..9):
// (1.0 - r * 0.01) * average in double precision, truncated toward zero.
int32_t DefaultValue(int32_t average, int r);

// What a load of the values file came to.
enum class ValuesLoad {
  Loaded,
  NoSuchFile,       // the path names nothing
  NotARegularFile,  // a directory, a device, a pipe
  CannotBeRead,     // no permission, a read error, memory ran out
  NoValues,         // its values sum to 0 (an empty file among them)
};

// What a values file that would not open came to, from the open's errno:
// ENOENT and ENOTDIR name nothing; a folder is NotARegularFile however the
// open refused it (msvcrt's fopen refuses a folder with EACCES before any
// type check could run, as Linux does a folder it may not read); anything
// else CannotBeRead.
ValuesLoad ValuesOpenFailure(int error, const std::string& path);

class PlayerValues {
 public:
  // The plugin's one store, made on first use: not loaded, empty, average 0.
  // Tests and benchmarks may make stores of their own.
  static PlayerValues& Instance();

  // Reads the file at `path` into the store; true on success.  Leaves
  // `loaded` alone.
  //   - A path that does not open as a regular file (missing, unreadable, a
  //     directory, a device or pipe) gives false at once and leaves the
  //     table and the average exactly as they were.
  //   - Otherwise the table is emptied first, so after the load the store
  //     depends only on this file, whatever earlier loads left behind.
  //   - A file whose values sum to 0 (an empty file among them) gives false
  //     with an empty table and average 0; so does a read error, a file too
  //     large to hold in memory, or one of 2^32 lines or more.
  //   - Otherwise the average is the sum of all lines' values divided by the
  //     number of distinct keys, truncated toward zero, clamped to the 32-bit
  //     signed range; the sum itself never overflows.
  // Never throws.
  bool Load(const std::string& path);
  // Load, saying how it went.
  ValuesLoad LoadFile(const std::string& path);
  // loaded = Load(path); seeds the C generator (HostApi::SeedRandom) with
  // the calendar time in seconds only when that succeeded, so a failed load
  // leaves the generator's sequence running on undisturbed.  Gives how the
  // load went.
  ValuesLoad Reload(const std::string& path);
  bool IsLoaded() const;
  // The key's value.  An unknown key is given a default drawn once from the
  // C generator, r = rand() % 10, as (1.0 - r * 0.01) * average in double
  // precision truncated toward zero (91..100 % of the average; r = 7 with an
  // average of 1000 gives 929), and keeps it until the next load.  Never
  // throws: if memory for the new entry runs out, the default is given
  // without being kept.
  int32_t ValueOf(const std::string& key);
  // ValueOf, also saying whether the store keeps the value it gave: false
  // only when memory for a new entry ran out, so that a later ask draws
  // again.
  int32_t ValueOf(const std::string& key, bool& kept);
  // A number that changes whenever the table is emptied (every load that
  // reads a file), so that a copy of a value given out can tell it may be
  // out of date.  A load whose file does not open changes nothing, nor it.
  uint32_t Generation() const { return generation_; }

  // Observers for tests, benchmarks and diagnostics.
  int32_t Average() const { return average_; }
  // Distinct keys in the table (file keys plus the defaults given out).
  std::size_t EntryCount() const { return count_; }
  // Bytes of memory the table holds (slot array and key storage capacity).
  std::size_t MemoryBytes() const;

 private:
  // One open-addressing slot.  `key` is an offset into keys_, where the key
  // is stored as a 4-byte length followed by its bytes; kNoKey marks a free
  // slot.  Offsets rather than pointers keep a slot at 12 bytes on every
  // platform and survive the growth of keys_.
  struct Slot {
    uint32_t hash;
    uint32_t key;
    int32_t value;
  };
  static constexpr uint32_t kNoKey = UINT32_MAX;

  void Clear();
  // The slot of `key` (hash `hash`), or of the free slot where it belongs.
  Slot& Find(std::string_view key, uint32_t hash);
  // Sets the key's value, adding the key when new.  False when memory (or
  // the 4 GiB of key storage that 32-bit offsets reach) runs out; the table
  // is then still consistent, without the key.
  bool Set(std::string_view key, int32_t value);
  // Doubles the slot array; false (and nothing changed) when memory runs out.
  bool Grow();
  std::string_view KeyAt(uint32_t offset) const;
  // Reads all records of an open file into the (empty) table, adding every
  // value to `sum`; false on a read error or a file beyond the limits.
  // `fileSize` is the size seen at opening (0 when unknown); it only sizes
  // the read buffer.  False also when memory runs out.
  bool ReadRecords(std::FILE* file, std::size_t fileSize, int64_t& sum);

  bool loaded_ = false;
  uint32_t generation_ = 0;
  int32_t average_ = 0;
  std::size_t count_ = 0;
  CheckedBuffer<Slot> slots_;  // size 0 or a power of two
  CheckedBuffer<char> keys_;
};

// The server log's line about a load of `path` into `store`:
//   kel: read N player values from "PATH" (average A)
// with N the store's distinct ids and A its average, or
//   kel: could not read player values from "PATH": REASON
// with REASON "no such file", "not a regular file", "cannot be read" or "no
// values".  The line ends in "\n"; PATH is cut at 255 bytes.
std::string ValuesLoadLogLine(std::string_view path, ValuesLoad outcome, const PlayerValues& store);
