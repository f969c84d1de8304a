#include "from_hlstats.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command_line.h"
#include "mariadb_client.h"
#include "values_out.h"

namespace kelvalues {

namespace {

constexpr int kExitFailed = 1;
constexpr double kDefaultAverage = 1000;
constexpr unsigned kDefaultPort = 3306;
constexpr std::size_t kMaxPasswordBytes = 4096;
// A stats database answers in seconds; a server that does not should not
// hang the nightly job.
constexpr unsigned kConnectTimeoutSeconds = 15;
constexpr unsigned kReadTimeoutSeconds = 300;
// Unique ids are varchar(64); room for every byte of 64 characters in
// utf8mb4 and one more, so a longer text shows as truncated.
constexpr unsigned long kIdBufferBytes = 4 * 64 + 1;

struct Options {
  std::string host;
  std::string socket;
  unsigned port = kDefaultPort;
  std::string user;
  std::string passwordFile;
  std::string database;
  std::string game;
  std::string output;
  double average = kDefaultAverage;
};

// One database row's worth for an id, before scaling.
struct Rating {
  int64_t skill;
  int64_t lastEvent;
};

struct Counts {
  uint64_t rows = 0;
  uint64_t notSteamIds = 0;  // bots, LAN ids and whatever else is no Steam id
  uint64_t malformed = 0;    // a NULL skill or id, or an id too long
  uint64_t twice = 0;        // ids that two rows name in the same form
};

std::optional<unsigned> ParsePort(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long port = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-' || port == 0 || port > 65535) {
    return std::nullopt;
  }
  return static_cast<unsigned>(port);
}

std::optional<double> ParseAverage(const std::string& text) {
  char* end = nullptr;
  const double average = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(average) || average < 1 ||
      average > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return average;
}

// Fills `options` from the arguments; a message when they are wrong.
std::optional<std::string> ParseOptions(int argc, char** argv, Options& options) {
  std::string port;
  std::string average;
  const std::map<std::string_view, std::string*> fields = {
      {"--host", &options.host},
      {"--socket", &options.socket},
      {"--port", &port},
      {"--user", &options.user},
      {"--password-file", &options.passwordFile},
      {"--database", &options.database},
      {"--game", &options.game},
      {"-o", &options.output},
      {"--average", &average}};
  std::map<std::string_view, bool> given;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    std::optional<std::string_view> value;
    const std::size_t equals = argument.find('=');
    if (argument.starts_with("--") && equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
      argument = argument.substr(0, equals);
    }
    const auto field = fields.find(argument);
    if (field == fields.end()) return "from-hlstats: unknown argument " + QuoteArgument(argv[i]);
    if (!value) {
      if (i + 1 >= argc) return "from-hlstats: " + std::string(argument) + " needs a value";
      value = argv[++i];
    }
    if (given[field->first]) return "from-hlstats: " + std::string(argument) + " given twice";
    given[field->first] = true;
    *field->second = *value;
  }
  if (options.host.empty() == options.socket.empty()) {
    return std::string("from-hlstats: give either --host or --socket");
  }
  for (const char* required : {"--user", "--password-file", "--database", "--game"}) {
    if (!given[required]) return "from-hlstats: " + std::string(required) + " is required";
  }
  if (given["--port"]) {
    if (!options.socket.empty()) return std::string("from-hlstats: --port goes with --host");
    const std::optional<unsigned> number = ParsePort(port);
    if (!number) return "from-hlstats: --port must be 1 to 65535, not " + QuoteArgument(port);
    options.port = *number;
  }
  if (given["--average"]) {
    const std::optional<double> number = ParseAverage(average);
    if (!number) {
      return "from-hlstats: --average must be a number from 1 to 2147483647, not " +
             QuoteArgument(average);
    }
    options.average = *number;
  }
  return std::nullopt;
}

// Reads `fd` until its end or until `size` bytes; false on a read error.
bool ReadUpTo(int fd, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The password in the text of its file: the first line, its line end
// dropped.  `whole` tells whether the text is all of the file.
std::optional<std::string> PasswordFromText(std::string_view text, bool whole,
                                            const std::string& path, std::string& password) {
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos && !whole) {
    return "the password file " + path + " holds no line of a password's length";
  }
  text = text.substr(0, lineEnd);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.find('\0') != std::string_view::npos) {
    return "the password in " + path + " holds a NUL byte";
  }
  password = text;
  return std::nullopt;
}

// The password: the first line of the file at `path`, which must be a
// regular file that not every user of the machine can read or write.
std::optional<std::string> ReadPassword(const std::string& path, std::string& password) {
  // Opened without waiting, so that a FIFO no program writes into, which
  // would block the open until one did, is refused below like any other
  // file that is no regular one.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return "cannot open the password file " + path + ": " + std::strerror(errno);
  struct stat info {};
  std::optional<std::string> error;
  char buffer[kMaxPasswordBytes + 1];
  std::size_t got = 0;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "the password file " + path + " is not a regular file";
  } else if ((info.st_mode & (S_IROTH | S_IWOTH)) != 0) {
    error = "the password file " + path + " is open to every user of this machine; chmod o-rw it";
  } else if (!ReadUpTo(fd, buffer, sizeof buffer, got)) {
    error = "cannot read the password file " + path + ": " + std::strerror(errno);
  } else {
    error =
        PasswordFromText(std::string_view(buffer, got), got <= kMaxPasswordBytes, path, password);
  }
  explicit_bzero(buffer, sizeof buffer);
  (void)close(fd);
  return error;
}

// The database's own message, fit for one line: bounded, line ends blanked,
// never empty.
std::string DatabaseMessage(const char* text) {
  if (text == nullptr || *text == '\0') {
    return "the client library gave no reason (was the connection lost?)";
  }
  std::string message = std::string(text).substr(0, 300);
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return message;
}

// A connection, closed when it goes.
class Database {
 public:
  explicit Database(const MariadbClient& client) : client_(client), db_(client.init(nullptr)) {}
  ~Database() {
    if (stmt_ != nullptr) (void)client_.stmtClose(stmt_);
    if (db_ != nullptr) client_.close(db_);
  }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  std::optional<std::string> Connect(const Options& options, const std::string& password) {
    if (db_ == nullptr) return std::string("out of memory");
    const unsigned connectTimeout = kConnectTimeoutSeconds;
    const unsigned readTimeout = kReadTimeoutSeconds;
    (void)client_.options(db_, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    (void)client_.options(db_, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    (void)client_.options(db_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const bool bySocket = !options.socket.empty();
    if (client_.realConnect(db_, bySocket ? "localhost" : options.host.c_str(),
                            options.user.c_str(), password.c_str(), options.database.c_str(),
                            bySocket ? 0 : options.port,
                            bySocket ? options.socket.c_str() : nullptr, 0) == nullptr) {
      return "cannot connect to the database: " + DatabaseMessage(client_.error(db_));
    }
    return std::nullopt;
  }

  // Reads the ranked players' skills for `game` into `ratings`, by id.
  std::optional<std::string> ReadRatings(const std::string& game,
                                         std::map<std::string, Rating>& ratings, Counts& counts) {
    // The game code is the operator's text: a parameter, never part of the
    // statement.  hideranking above 0 hides a player (hidden or banned); a
    // merged id belongs to another player now.
    static constexpr std::string_view kQuery =
        "SELECT u.uniqueId, p.skill, p.last_event"
        " FROM hlstats_PlayerUniqueIds AS u"
        " JOIN hlstats_Players AS p ON p.playerId = u.playerId"
        " WHERE u.game = ? AND p.game = ? AND COALESCE(p.hideranking, 0) = 0"
        " AND u.`merge` IS NULL";
    stmt_ = client_.stmtInit(db_);
    if (stmt_ == nullptr) return std::string("out of memory");
    if (client_.stmtPrepare(stmt_, kQuery.data(), kQuery.size()) != 0) return StatementError();

    unsigned long gameLength = game.size();
    MYSQL_BIND parameters[2] = {};
    for (MYSQL_BIND& parameter : parameters) {
      parameter.buffer_type = MYSQL_TYPE_STRING;
      parameter.buffer = const_cast<char*>(game.data());
      parameter.buffer_length = gameLength;
      parameter.length = &gameLength;
    }
    if (client_.stmtBindParam(stmt_, parameters) != 0 || client_.stmtExecute(stmt_) != 0) {
      return StatementError();
    }

    char id[kIdBufferBytes];
    unsigned long idLength = 0;
    long long skill = 0;
    long long lastEvent = 0;
    my_bool idNull = 0;
    my_bool skillNull = 0;
    my_bool lastEventNull = 0;
    my_bool idTruncated = 0;
    my_bool skillError = 0;
    my_bool lastEventError = 0;
    MYSQL_BIND columns[3] = {};
    columns[0].buffer_type = MYSQL_TYPE_STRING;
    columns[0].buffer = id;
    columns[0].buffer_length = sizeof id;
    columns[0].length = &idLength;
    columns[0].is_null = &idNull;
    columns[0].error = &idTruncated;
    columns[1].buffer_type = MYSQL_TYPE_LONGLONG;
    columns[1].buffer = &skill;
    columns[1].is_null = &skillNull;
    columns[1].error = &skillError;
    columns[2].buffer_type = MYSQL_TYPE_LONGLONG;
    columns[2].buffer = &lastEvent;
    columns[2].is_null = &lastEventNull;
    columns[2].error = &lastEventError;
    if (client_.stmtBindResult(stmt_, columns) != 0) return StatementError();

    for (;;) {
      const int fetched = client_.stmtFetch(stmt_);
      if (fetched == MYSQL_NO_DATA) break;
      if (fetched != 0 && fetched != MYSQL_DATA_TRUNCATED) return StatementError();
      ++counts.rows;
      if (idNull != 0 || idTruncated != 0 || skillNull != 0 || skillError != 0 ||
          idLength >= sizeof id) {
        ++counts.malformed;
        continue;
      }
      const std::optional<std::string> steamId = NormalizeSteamId(std::string_view(id, idLength));
      if (!steamId) {
        ++counts.notSteamIds;
        continue;
      }
      Add(*steamId, Rating{skill, lastEventNull != 0 || lastEventError != 0 ? 0 : lastEvent},
          ratings, counts);
    }
    return std::nullopt;
  }

 private:
  // Two rows may name one Steam id in different forms (1:45 and
  // STEAM_0:1:45); the player seen last is the one who plays under it now.
  static void Add(const std::string& id, const Rating& rating,
                  std::map<std::string, Rating>& ratings, Counts& counts) {
    const auto [slot, added] = ratings.try_emplace(id, rating);
    if (added) return;
    ++counts.twice;
    Rating& kept = slot->second;
    if (rating.lastEvent > kept.lastEvent ||
        (rating.lastEvent == kept.lastEvent && rating.skill > kept.skill)) {
      kept = rating;
    }
  }

  // A statement that failed because the connection did may leave its own
  // message empty and the reason with the connection.
  std::string StatementError() {
    const char* reason = client_.stmtError(stmt_);
    if (reason == nullptr || *reason == '\0') reason = client_.error(db_);
    return "the database refused the query: " + DatabaseMessage(reason);
  }

  const MariadbClient& client_;
  MYSQL* db_;
  MYSQL_STMT* stmt_ = nullptr;
};

int Fail(const std::string& message) {
  (void)std::fprintf(stderr, "kelvalues: %s\n", message.c_str());
  return kExitFailed;
}

int Run(const MariadbClient& client, const Options& options) {
  // A refused -o is told before the database is asked anything.
  if (std::string error; !options.output.empty() && !CheckOutputPath(options.output, error)) {
    return Fail(error);
  }
  std::string password;
  if (std::optional<std::string> error = ReadPassword(options.passwordFile, password)) {
    return Fail(*error);
  }
  std::map<std::string, Rating> ratings;
  Counts counts;
  {
    Database database(client);
    std::optional<std::string> error = database.Connect(options, password);
    explicit_bzero(password.data(), password.size());
    if (!error) error = database.ReadRatings(options.game, ratings, counts);
    if (error) return Fail(*error);
  }
  if (ratings.empty()) {
    return Fail("no ranked player of game " + QuoteArgument(options.game) +
                " has a Steam id in the database; nothing written");
  }
  std::vector<std::pair<std::string, double>> scores;
  scores.reserve(ratings.size());
  for (const auto& [id, rating] : ratings) {
    scores.emplace_back(id, static_cast<double>(rating.skill));
  }
  const std::vector<ValueLine> lines = ScaleToAverage(scores, options.average);
  std::string error;
  if (!WriteValuesFile(lines, options.output, error)) return Fail(error);
  (void)std::fprintf(stderr,
                     "%s%llu rows read; left out: %llu ids that are no Steam ids, %llu rows "
                     "without an id or skill; %llu ids named twice (the latest player's kept)\n",
                     Summary(lines).c_str(), static_cast<unsigned long long>(counts.rows),
                     static_cast<unsigned long long>(counts.notSteamIds),
                     static_cast<unsigned long long>(counts.malformed),
                     static_cast<unsigned long long>(counts.twice));
  return 0;
}

}  // namespace

int RunFromHlstats(int argc, char** argv) {
  Options options;
  if (const std::optional<std::string> error = ParseOptions(argc, argv, options)) {
    return UsageError(*error);
  }
  std::string error;
  const MariadbClient* client = LoadMariadbClient(error);
  if (client == nullptr) return Fail(error);
  const int status = Run(*client, options);
  client->libraryEnd();
  return status;
}

}  // namespace kelvalues
