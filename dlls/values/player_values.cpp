#include "player_values.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "host_api.h"

namespace {

// The file is read in pieces of this size, so a file of any size costs a
// fixed read buffer plus what its records need.  The fuzz build makes it
// small, so that short inputs cross the ends of pieces.
#ifdef KEL_VALUES_READ_PIECE
constexpr std::size_t kChunkBytes = KEL_VALUES_READ_PIECE;
#else
constexpr std::size_t kChunkBytes = std::size_t{256} * 1024;
#endif
static_assert(kChunkBytes >= 3, "a byte-order mark must fit in the first piece");
// Key storage reserved up front, from the file's size: a file of distinct
// ids needs about its own size.  Capped, because a huge file (or one of few
// keys repeated) may need far less, and the reservation is only a guess
// that spares copies while the storage grows.
constexpr std::size_t kMaxKeyReserve = std::size_t{64} * 1024 * 1024;
constexpr std::size_t kInitialSlots = 64;
// Every value lies in [-2^31, 2^31 - 1], so the 64-bit sum of fewer than
// 2^32 lines cannot overflow.  A file of that many lines (4 GiB of empty
// lines at the least) is no player values file; its load fails.
constexpr uint64_t kMaxLines = std::numeric_limits<uint32_t>::max();

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The blanks atoi skips in the "C" locale.  Tested byte by byte rather than
// with isspace, which is locale-dependent and undefined for negative chars.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi over a bounded text, clamped to the 32-bit range instead of being
// undefined beyond it.  Stops at the first byte that is not a digit (a NUL
// included, as atoi on a C string would).
int32_t ParseValue(std::string_view text) { return ReadValueText(text).value; }

// A fast 64-bit multiply-mix over 8-byte words, folded to 32 bits.  Only
// this process ever sees the hashes, so the byte order of the words does
// not matter.
uint32_t HashKey(std::string_view key) {
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
  const char* p = key.data();
  std::size_t n = key.size();
  uint64_t h = 0x243F6A8885A308D3ull ^ (static_cast<uint64_t>(n) * kMul);
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * kMul;
    h ^= h >> 29;
    p += 8;
    n -= 8;
  }
  uint64_t tail = 0;
  if (n > 0) std::memcpy(&tail, p, n);
  h = (h ^ tail) * 0xFF51AFD7ED558CCDull;
  h ^= h >> 32;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

#if defined(__i386__) && defined(__GLIBC__)
// glibc 2.33 gave fstat a new symbol version, which older C libraries refuse
// to load; the stat wrapper every glibc since 2.2 keeps (stat version 3, the
// i386 layout) gives the same answer.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): glibc's name
extern "C" int __fxstat64(int version, int fd, struct stat64* status);
__asm__(".symver __fxstat64,__fxstat64@GLIBC_2.2");
using FileStatus = struct stat64;
bool StatusOf(int fd, FileStatus& status) { return __fxstat64(3, fd, &status) == 0; }
#elif !defined(_WIN32)
using FileStatus = struct stat;
bool StatusOf(int fd, FileStatus& status) { return fstat(fd, &status) == 0; }
#endif

// The log's words for a load that failed.
const char* FailureReason(ValuesLoad outcome) {
  switch (outcome) {
    case ValuesLoad::NoSuchFile:
      return "no such file";
    case ValuesLoad::NotARegularFile:
      return "not a regular file";
    case ValuesLoad::NoValues:
      return "no values";
    case ValuesLoad::CannotBeRead:
    case ValuesLoad::Loaded:
      break;
  }
  return "cannot be read";
}

// True when `path` names a folder, whether or not it may be read.
bool NamesAFolder(const std::string& path) {
#ifdef _WIN32
  struct _stat64 info;
  return _stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
#else
  // O_PATH opens a folder without needing leave to read it.
  const int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
#endif
}

// Opens `path` for reading if it is a regular file, and gives a hint of the
// key storage its records need: its size, capped.  Everything else fails as
// if missing: a directory (what an empty kel_playervaluesfile names) would
// only fail later on its first read, and a pipe or a device (/dev/zero, a
// FIFO) could block or never end.  Binary mode: the store handles CR LF
// itself, and the Windows text mode would also stop at the first Ctrl-Z.
std::FILE* OpenRegularFile(const std::string& path, std::size_t& sizeHint, ValuesLoad& failure) {
#ifdef _WIN32
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    failure = ValuesOpenFailure(errno, path);
    return nullptr;
  }
  struct _stat64 info;
  if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFREG) == 0) {
    failure = ValuesLoad::NotARegularFile;
    std::fclose(file);
    return nullptr;
  }
#else
  // Non-blocking, so that opening a FIFO does not wait for a writer; it has
  // no effect on the reads of a regular file.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    failure = ValuesOpenFailure(errno, path);
    return nullptr;
  }
  FileStatus info;
  const bool known = StatusOf(fd, info);
  std::FILE* file = known && S_ISREG(info.st_mode) ? fdopen(fd, "rb") : nullptr;
  if (!file) {
    failure =
        known && !S_ISREG(info.st_mode) ? ValuesLoad::NotARegularFile : ValuesLoad::CannotBeRead;
    close(fd);
    return nullptr;
  }
#endif
  sizeHint = info.st_size > 0 ? static_cast<std::size_t>(std::min<uint64_t>(
                                    static_cast<uint64_t>(info.st_size), kMaxKeyReserve))
                              : 0;
  // Reads go straight into the caller's large buffer.  Should the stream
  // refuse, it keeps its own buffer, which costs a copy and nothing else.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

}  // namespace

ValuesLoad ValuesOpenFailure(int error, const std::string& path) {
  if (error == ENOENT || error == ENOTDIR) return ValuesLoad::NoSuchFile;
  if (error == EACCES && NamesAFolder(path)) return ValuesLoad::NotARegularFile;
  return ValuesLoad::CannotBeRead;
}

ValueText ReadValueText(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulates until the magnitude is past every 32-bit value; further
  // digits only keep it there.
  constexpr int64_t kPastRange = int64_t{1} << 32;
  int64_t magnitude = 0;
  const std::size_t firstDigit = i;
  for (; i < n && IsDigit(text[i]); ++i) {
    if (magnitude < kPastRange) magnitude = magnitude * 10 + (text[i] - '0');
  }
  const int64_t wide = negative ? -magnitude : magnitude;
  const int32_t value = ClampToInt32(wide);
  return {value, i, i > firstDigit, value != wide};
}

int32_t AverageOf(int64_t sum, std::size_t distinct) {
  return distinct == 0 ? 0 : ClampToInt32(sum / static_cast<int64_t>(distinct));
}

int32_t DefaultValue(int32_t average, int r) {
  // In double precision: (1.0 - 0.07) * 1000 is just below 930 and must
  // truncate to 929.  The i386 build does its double arithmetic in SSE2, not
  // in the x87 unit's extended precision, which would give 930.
  const double share = 1.0 - r * 0.01;
  const double product = share * average;
  return static_cast<int32_t>(product);
}

std::string PlayerValuesPath(std::string_view pluginPath, std::string_view fileName) {
  const std::size_t slash = pluginPath.find_last_of("/\\");
  std::string path(pluginPath.substr(0, slash == std::string_view::npos ? 0 : slash + 1));
  path += fileName;
  return path;
}

std::string PlayerValuesPath() {
  return PlayerValuesPath(HostApi::PluginPath(), HostApi::CvarString(Cvar::PlayerValuesFile));
}

PlayerValues& PlayerValues::Instance() {
  static PlayerValues store;
  return store;
}

bool PlayerValues::Load(const std::string& path) { return LoadFile(path) == ValuesLoad::Loaded; }

ValuesLoad PlayerValues::LoadFile(const std::string& path) {
  std::size_t sizeHint = 0;
  ValuesLoad failure = ValuesLoad::CannotBeRead;
  std::FILE* file = OpenRegularFile(path, sizeHint, failure);
  if (!file) return failure;

  // Every load that reads a file starts from an empty table, even after a
  // failed load: entries of earlier files must not survive into this one
  // nor dilute its average.
  Clear();
  int64_t sum = 0;
  (void)keys_.Reserve(sizeHint);  // only a guess; the storage grows as needed
  const bool ok = ReadRecords(file, sizeHint, sum);
  (void)std::fclose(file);  // read only: nothing is lost if closing fails

  if (!ok || sum == 0 || count_ == 0) {
    Clear();
    return ok ? ValuesLoad::NoValues : ValuesLoad::CannotBeRead;
  }
  average_ = AverageOf(sum, count_);
  return ValuesLoad::Loaded;
}

std::string ValuesLoadLogLine(std::string_view path, ValuesLoad outcome,
                              const PlayerValues& store) {
  // Bounded: the path comes from the plugin manager and a console variable.
  const std::string_view shownPath = path.substr(0, 255);
  std::string line;
  if (outcome == ValuesLoad::Loaded) {
    line = "kel: read " + std::to_string(store.EntryCount()) + " player values from \"";
    line += shownPath;
    line += "\" (average " + std::to_string(store.Average()) + ")\n";
    return line;
  }
  line = "kel: could not read player values from \"";
  line += shownPath;
  line += "\": ";
  line += FailureReason(outcome);
  line += '\n';
  return line;
}

ValuesLoad PlayerValues::Reload(const std::string& path) {
  const ValuesLoad outcome = LoadFile(path);
  loaded_ = outcome == ValuesLoad::Loaded;
  if (loaded_) HostApi::SeedRandom(static_cast<unsigned>(HostApi::CalendarSeconds()));
  return outcome;
}

bool PlayerValues::IsLoaded() const { return loaded_; }

int32_t PlayerValues::ValueOf(const std::string& key) {
  bool kept = false;
  return ValueOf(key, kept);
}

int32_t PlayerValues::ValueOf(const std::string& key, bool& kept) {
  kept = true;
  if (!slots_.empty()) {
    const Slot& slot = Find(key, HashKey(key));
    if (slot.key != kNoKey) return slot.value;
  }
  const int32_t value = DefaultValue(average_, HostApi::Random() % 10);
  // Out of memory, the default is given unkept rather than fail the command.
  kept = Set(key, value);
  return value;
}

std::size_t PlayerValues::MemoryBytes() const {
  return slots_.capacity() * sizeof(Slot) + keys_.capacity();
}

void PlayerValues::Clear() {
  // Released, not cleared: the memory of a large file is given back.
  slots_.Release();
  keys_.Release();
  count_ = 0;
  average_ = 0;
  ++generation_;
}

std::string_view PlayerValues::KeyAt(uint32_t offset) const {
  uint32_t length;
  std::memcpy(&length, keys_.data() + offset, sizeof length);
  return {keys_.data() + offset + sizeof length, length};
}

PlayerValues::Slot& PlayerValues::Find(std::string_view key, uint32_t hash) {
  // Linear probing; the table is never more than 3/4 full, so a free slot
  // ends every search.
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.key == kNoKey) return slot;
    if (slot.hash == hash && KeyAt(slot.key) == key) return slot;
  }
}

bool PlayerValues::Grow() {
  const std::size_t size = slots_.empty() ? kInitialSlots : slots_.size() * 2;
  CheckedBuffer<Slot> grown;
  if (size > std::numeric_limits<std::size_t>::max() / 2 || !grown.Assign(size, Slot{0, kNoKey, 0}))
    return false;
  Slot* const cells = grown.data();
  if (cells == nullptr) return false;  // never, after Assign; said for the analyzer
  const std::size_t mask = size - 1;
  for (std::size_t k = 0; k < slots_.size(); ++k) {
    const Slot& slot = slots_[k];
    if (slot.key == kNoKey) continue;
    std::size_t i = slot.hash & mask;
    while (cells[i].key != kNoKey) i = (i + 1) & mask;
    cells[i] = slot;
  }
  slots_.Swap(grown);
  return true;
}

bool PlayerValues::Set(std::string_view key, int32_t value) {
  const uint32_t hash = HashKey(key);
  Slot* slot = nullptr;
  if (!slots_.empty()) {
    slot = &Find(key, hash);
    if (slot->key != kNoKey) {
      slot->value = value;
      return true;
    }
  }
  // Offsets are 32-bit; kNoKey itself must stay unused.
  const std::size_t offset = keys_.size();
  if (uint64_t{offset} + sizeof(uint32_t) + key.size() >= kNoKey) return false;
  if (slot == nullptr || (count_ + 1) * 4 > slots_.size() * 3) {
    if (!Grow()) return false;
    slot = &Find(key, hash);
  }
  const auto length = static_cast<uint32_t>(key.size());
  const char* lengthBytes = reinterpret_cast<const char*>(&length);
  if (!keys_.Append(lengthBytes, sizeof length)) return false;
  if (!keys_.Append(key.data(), key.size())) {
    keys_.Truncate(offset);
    return false;
  }
  *slot = Slot{hash, static_cast<uint32_t>(offset), value};
  ++count_;
  return true;
}

// One reading loop with the line carried across chunk ends: split up, the
// carry would be spread over two functions.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
bool PlayerValues::ReadRecords(std::FILE* file, std::size_t fileSize, int64_t& sum) {
  uint64_t lines = 0;
  // One line is one record however long it is; `endedByLf` tells whether a
  // CR before the end belongs to a CR LF line end.
  auto record = [&](std::string_view line, bool endedByLf) {
    if (++lines > kMaxLines) return false;
    if (endedByLf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t comma = line.rfind(',');
    std::string_view key = line;
    std::string_view valueText = line;
    if (comma != std::string_view::npos) {
      key = line.substr(0, comma);
      valueText = line.substr(comma + 1);
    }
    const int32_t value = ParseValue(valueText);
    sum += value;
    return Set(key, value);  // false when memory runs out
  };

  // A small file needs no more than its size and one byte, which lets the
  // second read see the end at once; a size of 0 may be unknown.  Should the
  // file grow meanwhile, it is just read in more pieces.
  CheckedBuffer<char> buffer;
  if (!buffer.Assign(fileSize == 0 ? kChunkBytes : std::min(kChunkBytes, fileSize + 1), '\0')) {
    return false;
  }
  CheckedBuffer<char> partial;  // a line begun in an earlier chunk
  auto partialLine = [&partial] { return std::string_view(partial.data(), partial.size()); };
  bool atStart = true;
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    if (got == 0) break;
    const char* p = buffer.data();
    const char* const end = p + got;
    // A read of a regular file comes short only at its end, and the first
    // piece holds at least 3 bytes (or the whole file), so a mark at the
    // start is whole in it.
    if (atStart && got >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    atStart = false;
    if (!partial.empty()) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (lf == nullptr) {
        if (!partial.Append(p, static_cast<std::size_t>(end - p))) return false;
        continue;
      }
      if (!partial.Append(p, static_cast<std::size_t>(lf - p))) return false;
      if (!record(partialLine(), true)) return false;
      partial.Clear();
      p = lf + 1;
    }
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (lf == nullptr) {
        if (!partial.Append(p, static_cast<std::size_t>(end - p))) return false;
        break;
      }
      if (!record(std::string_view(p, lf - p), true)) return false;
      p = lf + 1;
    }
  }
  if (std::ferror(file) != 0) return false;
  // The last line, when the file does not end with a line end.
  if (!partial.empty() && !record(partialLine(), false)) return false;
  return true;
}
