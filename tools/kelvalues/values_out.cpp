#include "values_out.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kelvalues {

namespace {

// Account ids are 32 bits; STEAM_0:X:Y is account 2 * Y + X.
constexpr uint64_t kMaxAccount = std::numeric_limits<uint32_t>::max();
// A 64-bit SteamID of an individual account on the public universe is this
// base plus the account id (universe 1, type individual, instance 1).
constexpr uint64_t kSteamId64Base = 76561197960265728ull;

// A whole decimal number of at most 20 digits, nothing else around it; no
// sign, no blanks.  Nothing when it does not fit 64 bits.
std::optional<uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t number = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end) return std::nullopt;
  return number;
}

// The plugin's form of account `account`; nothing for account 0, which no
// player has.
std::optional<std::string> FromAccount(uint64_t account) {
  if (account == 0 || account > kMaxAccount) return std::nullopt;
  return "STEAM_0:" + std::to_string(account & 1) + ":" + std::to_string(account >> 1);
}

// "X:Y" with X 0 or 1 and Y a number such that 2 * Y + X is an account.
std::optional<std::string> FromPair(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<uint64_t> x = ParseDecimal(text.substr(0, colon));
  const std::optional<uint64_t> y = ParseDecimal(text.substr(colon + 1));
  if (!x || !y || *x > 1 || *y > kMaxAccount / 2) return std::nullopt;
  return FromAccount(*y * 2 + *x);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string ErrnoText(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// The folder a temporary file beside `path` goes in, with its final '/'.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes all of `text` to `fd`, through short writes and interruptions.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t wrote = write(fd, text.data(), text.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

// The mode the finished file gets: the target's own when it exists (so an
// operator's permissions survive the nightly run), else what a plain
// create would give under the umask.  The temporary file starts at 0600.
mode_t ModeFor(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string Render(const std::vector<ValueLine>& lines) {
  std::string text;
  text.reserve(lines.size() * 28);
  for (const ValueLine& line : lines) {
    text += line.id;
    text += ',';
    text += std::to_string(line.value);
    text += '\n';
  }
  return text;
}

// The sorted lines are fit for the plugin: each id in its exact form (a
// comma or a line end in one would split or shift records), no id twice
// (the plugin would count both values in its sum but the id once), and a
// positive sum (the plugin refuses a file whose sum is 0, and an empty file
// over yesterday's would leave the balancer without values).
bool CheckLines(const std::vector<ValueLine>& lines, std::string& error) {
  if (lines.empty()) {
    error = "no values to write";
    return false;
  }
  int64_t sum = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<std::string> normal = NormalizeSteamId(lines[i].id);
    if (!normal || *normal != lines[i].id) {
      error = "not a STEAM_0:X:Y id: " + lines[i].id.substr(0, 64);
      return false;
    }
    if (i > 0 && lines[i].id == lines[i - 1].id) {
      error = "id given twice: " + lines[i].id;
      return false;
    }
    sum += lines[i].value;
  }
  if (sum <= 0) {
    error = "the values sum to " + std::to_string(sum) + "; the plugin would not load them";
    return false;
  }
  return true;
}

bool WriteToStandardOutput(const std::string& text, std::string& error) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  return true;
}

// A device or a pipe that exists (/dev/null, /dev/stdout, a FIFO another
// job reads) is written into, never replaced: a file renamed over it would
// take the device's place, for every program on the machine.
bool WriteIntoDevice(const std::string& path, const std::string& text, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("cannot write", path, errno);
    return false;
  }
  bool ok = WriteAll(fd, text);
  int failure = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (!ok) error = ErrnoText("cannot write", path, failure);
  return ok;
}

// The file a symbolic link at `path` leads to, so that the link survives
// the rename; `path` itself when it is no link or leads nowhere.
std::string ResolvedPath(const std::string& path) {
  struct stat link {};
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string resolved = real;
  std::free(real);
  return resolved;
}

// Writes, flushes and renames the temporary file `temp` over `path`;
// removes `temp` on any failure.
bool FinishFile(int fd, const std::string& temp, const std::string& path, const std::string& text,
                std::string& error) {
  bool ok = true;
  if (!WriteAll(fd, text)) {
    error = ErrnoText("cannot write", temp, errno);
    ok = false;
  } else if (fchmod(fd, ModeFor(path)) != 0 || fsync(fd) != 0) {
    error = ErrnoText("cannot flush", temp, errno);
    ok = false;
  }
  // A failed close may be a deferred write error (NFS), so it counts too.
  if (close(fd) != 0 && ok) {
    error = ErrnoText("cannot write", temp, errno);
    ok = false;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    error = ErrnoText("cannot replace", path, errno);
    ok = false;
  }
  if (!ok) {
    (void)unlink(temp.c_str());
    return false;
  }
  // The rename itself is durable once the folder is flushed; a folder that
  // refuses to be opened or flushed leaves the file complete all the same.
  const std::string folder = FolderOf(path);
  const int dirFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    (void)fsync(dirFd);
    (void)close(dirFd);
  }
  return true;
}

}  // namespace

std::optional<std::string> NormalizeSteamId(std::string_view text) {
  if (StartsWith(text, "STEAM_0:") || StartsWith(text, "STEAM_1:")) return FromPair(text.substr(8));
  if (StartsWith(text, "[U:1:") && text.size() > 6 && text.back() == ']') {
    const std::optional<uint64_t> account = ParseDecimal(text.substr(5, text.size() - 6));
    return account ? FromAccount(*account) : std::nullopt;
  }
  if (!text.empty() && text.find(':') == std::string_view::npos) {
    const std::optional<uint64_t> id64 = ParseDecimal(text);
    if (!id64 || *id64 < kSteamId64Base) return std::nullopt;
    return FromAccount(*id64 - kSteamId64Base);
  }
  return FromPair(text);
}

std::vector<ValueLine> ScaleToAverage(const std::vector<std::pair<std::string, double>>& scores,
                                      double average) {
  constexpr double kCeiling = std::numeric_limits<int32_t>::max();
  // A score that is no number or below 0 counts as 0: the player is then
  // given the floor, never a value from garbage.
  auto usable = [](double score) { return std::isfinite(score) && score > 0 ? score : 0.0; };
  if (!std::isfinite(average)) average = 1.0;
  average = std::clamp(average, 1.0, kCeiling);
  double total = 0;
  for (const auto& entry : scores) total += usable(entry.second);
  const double mean = scores.empty() ? 0 : total / static_cast<double>(scores.size());

  std::vector<ValueLine> lines;
  lines.reserve(scores.size());
  for (const auto& [id, score] : scores) {
    // With every score 0 (or the sum beyond doubles) nobody is stronger
    // than anybody: all get the average.
    const double scaled =
        mean > 0 && std::isfinite(mean) ? usable(score) / mean * average : average;
    const double value = std::clamp(std::round(scaled), 1.0, kCeiling);
    lines.push_back(ValueLine{id, static_cast<int32_t>(value)});
  }
  return lines;
}

bool WriteValuesFile(std::vector<ValueLine> lines, const std::string& path, std::string& error) {
  std::sort(lines.begin(), lines.end(),
            [](const ValueLine& a, const ValueLine& b) { return a.id < b.id; });
  if (!CheckLines(lines, error)) return false;
  const std::string text = Render(lines);
  if (path.empty()) return WriteToStandardOutput(text, error);

  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    if (S_ISDIR(existing.st_mode)) {
      error = ErrnoText("cannot replace", path, EISDIR);
      return false;
    }
    return WriteIntoDevice(path, text, error);
  }
  // A symbolic link stays: the file it names is the one replaced.
  const std::string target = ResolvedPath(path);
  // The temporary file lies in the target's folder, so the rename is one
  // atomic step on one file system: the next map start reads either the
  // old file or the whole new one.
  std::string temp = target + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("cannot create a file beside", target, errno);
    return false;
  }
  return FinishFile(fd, temp, target, text, error);
}

std::string Summary(const std::vector<ValueLine>& lines) {
  if (lines.empty()) return "0 entries\n";
  int64_t sum = 0;
  for (const ValueLine& line : lines) sum += line.value;
  const auto [low, high] =
      std::minmax_element(lines.begin(), lines.end(),
                          [](const ValueLine& a, const ValueLine& b) { return a.value < b.value; });
  return std::to_string(lines.size()) + " entries, average " +
         std::to_string(sum / static_cast<int64_t>(lines.size())) + ", minimum " +
         std::to_string(low->value) + ", maximum " + std::to_string(high->value) + "\n";
}

}  // namespace kelvalues
