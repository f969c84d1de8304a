// Reading log files, plain or compressed, and folders of them, and
// counting what each line is.
#include "log_reader.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <system_error>

#include "command_line.h"
#include "line_marks.h"
#include "rating.h"

namespace kelvalues {

void CountLine(LineKind kind, const KillLine& kill, KillTally& tally, LogCounts& counts) {
  if (kind != LineKind::Blank) ++counts.lines;
  switch (kind) {
    case LineKind::Kill:
      switch (tally.Add(kill)) {
        case KillVerdict::Counted:
          ++counts.counted;
          break;
        case KillVerdict::NotSteam:
          ++counts.notSteam;
          break;
        case KillVerdict::Suicide:
          ++counts.suicides;
          break;
        case KillVerdict::TeamKill:
          ++counts.teamKills;
          break;
        case KillVerdict::Future:
          ++counts.future;
          break;
      }
      break;
    case LineKind::Suicide:
      ++counts.suicides;
      break;
    case LineKind::World:
      ++counts.world;
      break;
    case LineKind::OtherEvent:
      ++counts.otherEvents;
      break;
    case LineKind::Blank:
      break;
    case LineKind::BadName:
      ++counts.badNames;
      break;
    case LineKind::BadUtf8:
      ++counts.badUtf8;
      break;
    case LineKind::Malformed:
      ++counts.malformed;
      break;
  }
}

namespace {

void TallyMarkedLine(std::string_view line, const Marks& marks, KillTally& tally, LogCounts& counts,
                     FrameMemo* memo) {
  KillLine kill;
  CountLine(ReadMarkedLine(line, marks, kill, memo), kill, tally, counts);
}

bool IsLogName(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  auto endsWith = [&name](std::string_view end) {
    return name.size() >= end.size() &&
           name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  return endsWith(".log") || endsWith(".gz");
}

std::string UnreadablePath(const std::string& path, const std::error_code& error) {
  return QuoteArgument(path) + ": " + error.message();
}

// Adds below `folder`, at any depth, every regular file named as a log;
// each folder that cannot be read, this one or one below, goes to
// `unreadable` and the rest are still read.  Links to folders are not
// followed.
void AddLogFolder(const std::string& folder, const std::function<void(const std::string&)>& add,
                  std::vector<std::string>& unreadable) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code entryError;
    if (it->is_directory(entryError) && !it->is_symlink(entryError)) {
      AddLogFolder(it->path().string(), add, unreadable);
    } else if (IsLogName(it->path()) && it->is_regular_file(entryError)) {
      add(it->path().string());
    }
  }
  if (ec) unreadable.push_back(UnreadablePath(folder, ec));
}

// Reads the lines of a piece of a file, [at, end), that an LF ends into
// `tally` and `counts`, and returns where the rest begins: the start of a
// line the piece's end cut, at most kMaxLineBytes long.  `skipping` says
// whether the piece begins inside a line too long to read, and is left
// saying whether the next one does.  Up to 63 bytes beyond `end` must be
// readable.
const char* TallyPiece(const char* at, const char* end, KillTally& tally, LogCounts& counts,
                       FrameMemo& memo, bool& skipping) {
  while (at < end) {
    if (skipping) {
      const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
      if (!lf) break;
      skipping = false;
      at = lf + 1;
      continue;
    }
    // A line's LF is looked for only as far as the longest line read.
    const char* const stop =
        static_cast<std::size_t>(end - at) > kMaxLineBytes ? at + kMaxLineBytes + 1 : end;
    Marks marks;
    const char* const lf = FindLine(at, stop, marks);
    if (lf) {
      TallyMarkedLine(std::string_view(at, static_cast<std::size_t>(lf - at)), marks, tally, counts,
                      &memo);
      at = lf + 1;
    } else if (static_cast<std::size_t>(stop - at) > kMaxLineBytes) {
      // No LF in kMaxLineBytes + 1 bytes, even where they end exactly at
      // the piece's end: kept, they would overfill the buffer.
      ++counts.longLines;
      skipping = true;
      at = stop;
    } else {
      break;  // cut by the piece's end
    }
  }
  return at;
}

}  // namespace

void TallyLine(std::string_view line, KillTally& tally, LogCounts& counts, FrameMemo* memo) {
  KillLine kill;
  CountLine(ReadLogLine(line, kill, memo), kill, tally, counts);
}

// How a file is opened to see that it can be read: never as the controlling
// terminal, never waiting for a FIFO's writer.  Windows has neither.
#if defined(_WIN32)
constexpr int kOpenToTry = O_RDONLY;
#else
constexpr int kOpenToTry = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
#endif

bool ListLogFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                  std::vector<std::string>& unreadable, std::string& error) {
  namespace fs = std::filesystem;
  // Keyed by the canonical path, so a file named twice (or also found in a
  // folder named) is read once.
  std::set<std::string> seen;
  std::vector<std::string> found;
  const std::function<void(const std::string&)> add = [&](const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (!seen.insert(ec ? path : canonical.string()).second) return;
    // Opened once here, so that a file nobody may read stops the run
    // before hours of reading, not after.
    const int fd = open(path.c_str(), kOpenToTry);
    if (fd < 0) {
      unreadable.push_back(UnreadablePath(path, std::error_code(errno, std::generic_category())));
      return;
    }
    (void)close(fd);
    found.push_back(path);
  };
  for (const std::string& text : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(text, ec);
    if (fs::is_regular_file(status)) {
      add(text);
    } else if (fs::is_directory(status)) {
      AddLogFolder(text, add, unreadable);
    } else if (ec && ec != std::errc::no_such_file_or_directory) {
      unreadable.push_back(UnreadablePath(text, ec));
    } else {
      error = "cannot read " + QuoteArgument(text) + ": " +
              (fs::exists(status) ? "not a file or folder" : "no such file");
      return false;
    }
  }
  std::sort(found.begin(), found.end());
  std::sort(unreadable.begin(), unreadable.end());
  files = std::move(found);
  return true;
}

namespace {

// O_BINARY: Windows would otherwise take CR LF for LF, and stop at a ^Z.
#if defined(_WIN32)
constexpr int kOpenToRead = O_RDONLY | O_BINARY;
#else
constexpr int kOpenToRead = O_RDONLY | O_CLOEXEC;
#endif

// The bytes a gzip stream begins with.
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};

// A file's lines read a piece at a time: each piece goes after what was
// left of a line the previous one cut, and its whole lines are tallied.
class PieceReader {
 public:
  explicit PieceReader(std::size_t pieceBytes)
      : pieceBytes_(pieceBytes),
        // Room for the whole blocks FindLine loads beyond a piece (zeroed
        // after each read; the rest is not cleared beforehand, as a small
        // file would pay for a piece it never touches).
        buffer_(std::make_unique_for_overwrite<char[]>(pieceBytes + kMaxLineBytes + kBlock)) {}

  std::size_t PieceBytes() const { return pieceBytes_; }
  // Where the next piece goes, with room for PieceBytes().
  char* Room() const { return buffer_.get() + kept_; }

  // Tallies the lines of the `got` bytes just read at Room() that an LF
  // ends, and keeps the one the piece's end cut.
  void Take(std::size_t got, KillTally& tally, LogCounts& counts) {
    char* const end = Room() + got;
    std::memset(end, 0, kBlock);
    const char* const rest = TallyPiece(buffer_.get(), end, tally, counts, memo_, skipping_);
    kept_ = skipping_ ? 0 : static_cast<std::size_t>(end - rest);
    std::memmove(buffer_.get(), rest, kept_);
  }

  // Tallies the line the file's end cut: a plain file may simply end
  // without an LF, and its last line is whole.
  void TakeLastLine(KillTally& tally, LogCounts& counts) {
    if (kept_ > 0 && !skipping_) {
      TallyLine(std::string_view(buffer_.get(), kept_), tally, counts, &memo_);
    }
  }

  // Reads pieces from `read`, which puts up to `bytes` at `to` and says
  // how many (fewer only at the file's end, -1 for an error), until the
  // file ends or the tally is full.  False on an error.
  template <typename Read>
  bool TakeAll(Read read, KillTally& tally, LogCounts& counts) {
    while (!tally.Full()) {
      const long got = read(Room(), pieceBytes_);
      if (got < 0) return false;
      if (got == 0) break;
      Take(static_cast<std::size_t>(got), tally, counts);
    }
    return true;
  }

 private:
  std::size_t pieceBytes_;
  std::unique_ptr<char[]> buffer_;
  std::size_t kept_ = 0;  // bytes of a cut line at the buffer's start
  FrameMemo memo_;
  bool skipping_ = false;  // inside a line too long to read, until its LF
};

// Reads up to `bytes` of `fd` into `to`: fewer only at the file's end.
// The count, or -1 (errno says why).
long ReadUpTo(int fd, char* to, std::size_t bytes) {
  std::size_t got = 0;
  while (got < bytes) {
#if defined(_WIN32)
    const int now = read(fd, to + got, static_cast<unsigned>(bytes - got));
#else
    const ssize_t now = read(fd, to + got, bytes - got);
#endif
    if (now < 0 && errno == EINTR) continue;
    if (now < 0) return -1;
    if (now == 0) break;
    got += static_cast<std::size_t>(now);
  }
  return static_cast<long>(got);
}

bool Unreadable(const std::string& path, const char* why, LogCounts& counts, std::string& error) {
  ++counts.unreadableFiles;
  error = "cannot read " + QuoteArgument(path) + ": " + why;
  return false;
}

// Reads a gzip-compressed file through zlib's stream.
bool ReadCompressedLog(const std::string& path, KillTally& tally, LogCounts& counts,
                       std::string& error, std::size_t pieceBytes) {
  struct Closer {
    void operator()(gzFile_s* file) const { gzclose(file); }
  };
  const std::unique_ptr<gzFile_s, Closer> file(gzopen(path.c_str(), "rb"));
  if (!file) return Unreadable(path, std::strerror(errno), counts, error);
  // zlib's buffers (this much in, twice as much out) sized to the pieces:
  // a test's small pieces need no 192 KB.
  gzbuffer(file.get(),
           static_cast<unsigned>(std::clamp<std::size_t>(pieceBytes / 4, 8192, 1u << 16)));
  PieceReader reader(pieceBytes);
  const bool read = reader.TakeAll(
      [&file](char* to, std::size_t bytes) {
        return static_cast<long>(gzread(file.get(), to, static_cast<unsigned>(bytes)));
      },
      tally, counts);
  int zlibError = Z_OK;
  const char* const zlibText = gzerror(file.get(), &zlibError);
  if (zlibError == Z_BUF_ERROR) {
    // The compressed data ends early: the last line was cut, so it is not read.
    ++counts.truncatedFiles;
    return true;
  }
  if (!read || zlibError != Z_OK) {
    return Unreadable(path,
                      zlibError == Z_ERRNO || zlibText == nullptr ? std::strerror(errno) : zlibText,
                      counts, error);
  }
  reader.TakeLastLine(tally, counts);
  return true;
}

}  // namespace

void ReadLogText(std::string_view text, KillTally& tally, LogCounts& counts,
                 std::size_t pieceBytes) {
  PieceReader reader(std::clamp<std::size_t>(pieceBytes, 1, kReadPieceBytes));
  (void)reader.TakeAll(
      [&text](char* to, std::size_t bytes) {
        const std::size_t got = std::min(bytes, text.size());
        if (got == 0) return 0L;
        std::memcpy(to, text.data(), got);
        text.remove_prefix(got);
        return static_cast<long>(got);
      },
      tally, counts);
  reader.TakeLastLine(tally, counts);
}

bool ReadLogFile(const std::string& path, KillTally& tally, LogCounts& counts, std::string& error,
                 std::size_t pieceBytes) {
  ++counts.files;
  pieceBytes = std::clamp<std::size_t>(pieceBytes, 1, kReadPieceBytes);
  const int fd = open(path.c_str(), kOpenToRead);
  if (fd < 0) return Unreadable(path, std::strerror(errno), counts, error);
  struct Closer {
    int fd;
    ~Closer() { (void)close(fd); }
  } closer{fd};
  // Told apart by the first two bytes, as zlib tells them; a compressed
  // file is opened again by zlib, so that its messages name the path.  A
  // plain one, nearly every log, is read with no zlib stream at all.
  char magic[sizeof kGzipMagic];
  const long sniffed = ReadUpTo(fd, magic, sizeof magic);
  if (sniffed == sizeof magic && std::memcmp(magic, kGzipMagic, sizeof magic) == 0) {
    return ReadCompressedLog(path, tally, counts, error, pieceBytes);
  }
  if (sniffed < 0 || lseek(fd, 0, SEEK_SET) != 0) {
    return Unreadable(path, std::strerror(errno), counts, error);
  }
  PieceReader reader(pieceBytes);
  if (!reader.TakeAll([fd](char* to, std::size_t bytes) { return ReadUpTo(fd, to, bytes); }, tally,
                      counts)) {
    return Unreadable(path, std::strerror(errno), counts, error);
  }
  reader.TakeLastLine(tally, counts);
  return true;
}

}  // namespace kelvalues
