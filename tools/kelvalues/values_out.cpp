#include "values_out.h"

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>

#include "write_file_windows.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "shared_ids.h"

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

#if !defined(_WIN32)
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
#endif

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
#if defined(_WIN32)
  // The lines as they are: text mode would end each with CR LF.
  (void)std::fflush(stdout);
  (void)_setmode(_fileno(stdout), _O_BINARY);
#endif
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno);
    return false;
  }
  return true;
}

#if !defined(_WIN32)
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

// A link kelvalues follows for -o: one the running user or root made, as
// the kernel's protected_symlinks rule has it for shared folders.  Another
// user's link may have been planted to have a root job replace a file of
// the planter's choosing.
bool IsTrustedLink(const struct stat& link) { return link.st_uid == 0 || link.st_uid == geteuid(); }

// The parts of `path` between its slashes, the last first.
std::vector<std::string> PartsLastFirst(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    const std::size_t slash = path.rfind('/');
    const std::size_t from = slash == std::string_view::npos ? 0 : slash + 1;
    if (from < path.size()) parts.emplace_back(path.substr(from));
    path = path.substr(0, slash == std::string_view::npos ? 0 : slash);
  }
  return parts;
}

// The folder a relative path starts from, "" for the root.
bool WalkStart(const std::string& path, std::string& done, std::string& error) {
  done.clear();
  if (!path.empty() && path.front() == '/') return true;
  char* const cwd = getcwd(nullptr, 0);
  if (cwd == nullptr) {
    error = ErrnoText("cannot find the folder of", path, errno);
    return false;
  }
  if (std::strcmp(cwd, "/") != 0) done = cwd;
  std::free(cwd);
  return true;
}

// Puts the parts of the link at `link` in front of `rest`, the root
// starting `done` anew when the link's text is absolute.
bool FollowLink(const std::string& link, std::string& done, std::vector<std::string>& rest,
                std::string& error) {
  char target[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
    error = ErrnoText("cannot follow", link, length < 0 ? errno : ENAMETOOLONG);
    return false;
  }
  if (target[0] == '/') done.clear();
  for (std::string& part : PartsLastFirst(std::string_view(target, length))) {
    rest.push_back(std::move(part));
  }
  return true;
}

// Whether the path `next` is a trusted link last in the path that leads to
// neither a regular file nor a folder: a device, written into as it is.
bool IsDeviceLink(const std::string& next, bool last) {
  struct stat end {};
  return last && stat(next.c_str(), &end) == 0 && !S_ISREG(end.st_mode) && !S_ISDIR(end.st_mode);
}

// `path` as an absolute path without links, "." or "..", walked part by
// part as the kernel does, each link followed only when trusted.  A
// trusted link that is the last part and leads to neither a regular file
// nor a folder (/dev/stdout, /proc/self/fd/1) is where the walk stops: it
// is written into as a device.  Parts that do not exist are taken as they
// are.
bool ResolveOutputPath(const std::string& path, std::string& resolved, std::string& error) {
  std::string done;  // the parts walked, "" for the root
  if (!WalkStart(path, done, error)) return false;
  std::vector<std::string> rest = PartsLastFirst(path);
  constexpr int kMaxLinks = 40;  // the kernel's own limit
  int links = 0;
  while (!rest.empty()) {
    const std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      if (!done.empty()) done.resize(done.rfind('/'));  // `done` starts with '/'
      continue;
    }
    std::string next = done;
    next += '/';
    next += part;
    struct stat info {};
    if (lstat(next.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      done = std::move(next);
      continue;
    }
    if (!IsTrustedLink(info)) {
      error = "will not follow the symbolic link " + next + ": it belongs to user " +
              std::to_string(info.st_uid) +
              ", and -o follows only links of root or of the user running kelvalues";
      return false;
    }
    if (IsDeviceLink(next, rest.empty())) {
      done = std::move(next);
      break;
    }
    if (++links > kMaxLinks) {
      error = ErrnoText("cannot follow", next, ELOOP);
      return false;
    }
    if (!FollowLink(next, done, rest, error)) return false;
  }
  resolved = done.empty() ? "/" : done;
  return true;
}

// The folder a file is written into may be written by nobody but its
// owner, unless the owner is the one running kelvalues (as logrotate has
// it): anyone else who may write there may swap the file for a link, or
// replace it, between this run's checks and its rename.
bool CheckFolder(const std::string& file, std::string& error) {
  const std::string folder = FolderOf(file);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || info.st_uid == geteuid() ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) == 0) {
    return true;  // a folder that cannot be looked at fails the write itself
  }
  error = "will not write into " + folder + ": users other than its owner (user " +
          std::to_string(info.st_uid) + ") may write there (chmod go-w it, or run kelvalues " +
          "as its owner)";
  return false;
}

// The file `path` names for -o, every link in it followed, once it passes
// the rules for links and folders above.
bool OutputTarget(const std::string& path, std::string& target, std::string& error) {
  return ResolveOutputPath(path, target, error) && CheckFolder(target, error);
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
#endif

}  // namespace

std::optional<std::string> NormalizeSteamId(std::string_view text) {
  // The plugin's own list of ids many players carry: none of them fits a
  // form below, and none may ever become one player's value.
  if (IsSharedAuthId(text)) return std::nullopt;
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
#if defined(_WIN32)
  return WriteFileWhole(path, text, error);
#else
  // A symbolic link stays: the file it names is the one replaced.
  std::string target;
  if (!OutputTarget(path, target, error)) return false;
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    if (S_ISDIR(existing.st_mode)) {
      error = ErrnoText("cannot replace", path, EISDIR);
      return false;
    }
    return WriteIntoDevice(target, text, error);
  }
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
#endif
}

bool CheckOutputPath([[maybe_unused]] const std::string& path,
                     [[maybe_unused]] std::string& error) {
#if defined(_WIN32)
  // The links and shared folders these rules are about are Linux's; Windows
  // tells what it refuses when the file is written.
  return true;
#else
  std::string target;
  return OutputTarget(path, target, error);
#endif
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
