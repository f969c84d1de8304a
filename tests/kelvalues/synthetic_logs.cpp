#include "synthetic_logs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <set>

namespace kelvalues {
namespace {

constexpr int64_t kStartDay = 19723;  // 2024-01-01, in days since 1970-01-01

struct Civil {
  int year, month, day;
};

// The date of a day number (Howard Hinnant's civil_from_days).
Civil CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

struct FileCloser {
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

class LogWriter {
 public:
  LogWriter(std::string folder, std::string& error) : folder_(std::move(folder)), error_(error) {}

  // Starts the line of second `second` since the first day's midnight,
  // opening that day's file when it is a new day.
  bool Frame(int64_t second) {
    const int64_t day = kStartDay + second / 86400;
    if (!file_ || day != day_) {
      if (!Close()) return false;
      day_ = day;
      date_ = CivilFromDays(day);
      char name[32];
      (void)std::snprintf(name, sizeof name, "/L%02d%02d000.log", date_.month, date_.day);
      const std::string path = folder_ + name;
      file_.reset(std::fopen(path.c_str(), "w"));
      if (!file_) {
        error_ = path + ": " + std::strerror(errno);
        return false;
      }
    }
    const int64_t inDay = second % 86400;
    line_.resize(64);
    const int n = std::snprintf(line_.data(), line_.size(),
                                "L %02d/%02d/%04d - %02d:%02d:%02d: ", date_.month, date_.day,
                                date_.year, static_cast<int>(inDay / 3600),
                                static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    line_.resize(static_cast<std::size_t>(n));
    return true;
  }
  std::string& Line() { return line_; }
  bool End() {
    line_ += '\n';
    written_ += line_.size();
    return std::fwrite(line_.data(), 1, line_.size(), file_.get()) == line_.size() || Failed();
  }
  bool Close() {
    if (file_ && std::fclose(file_.release()) != 0) return Failed();
    return true;
  }
  uint64_t Written() const { return written_; }

 private:
  bool Failed() {
    error_ = folder_ + ": " + std::strerror(errno);
    return false;
  }

  std::string folder_;
  std::string& error_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  int64_t day_ = 0;
  Civil date_{};
  std::string line_;
  uint64_t written_ = 0;
};

void AppendPlayer(std::string& line, const SyntheticPlayer& player, std::size_t uid,
                  const char* team) {
  line += '"';
  line += player.name;
  line += '<';
  line += std::to_string(uid);
  line += "><";
  line += player.id;
  line += "><";
  line += team;
  line += ">\"";
}

constexpr const char* kWeapons[] = {"rifle", "knife", "shotgun", "claws", "slash", "spit"};
constexpr const char* kTeams[] = {"team_one", "team_two"};

// A line no rating may count, of one of the kinds servers and damaged files
// hold.
void AppendNoise(std::string& line, std::mt19937_64& random,
                 const std::vector<SyntheticPlayer>& players) {
  std::uniform_int_distribution<std::size_t> pick(0, players.size() - 1);
  const std::size_t a = pick(random);
  const std::size_t b = (a + 1 + pick(random) % (players.size() - 1)) % players.size();
  const SyntheticPlayer& p = players[a];
  const SyntheticPlayer& q = players[b];
  switch (random() % 9) {
    case 0:  // chat
      AppendPlayer(line, p, a + 1, "team_one");
      line += " say \"gg\"";
      break;
    case 1:  // team kill
      AppendPlayer(line, p, a + 1, "team_one");
      line += " killed ";
      AppendPlayer(line, q, b + 1, "team_one");
      line += " with \"rifle\"";
      break;
    case 2:  // a kill of himself
      AppendPlayer(line, p, a + 1, "team_two");
      line += " killed ";
      AppendPlayer(line, p, a + 1, "team_two");
      line += " with \"blast\"";
      break;
    case 3:
      AppendPlayer(line, p, a + 1, "team_one");
      line += " committed suicide with \"world\"";
      break;
    case 4:  // a bot
      line += "\"[BOT] Grunt<99><BOT><team_two>\" killed ";
      AppendPlayer(line, q, b + 1, "team_one");
      line += " with \"claws\"";
      break;
    case 5: {  // cut short, as a crash leaves the last line
      AppendPlayer(line, p, a + 1, "team_one");
      line += " killed ";
      AppendPlayer(line, q, b + 1, "team_two");
      line.resize(line.size() - 12);
      break;
    }
    case 6:  // a quote in a name
      line += "\"Big \"Q\"<7><STEAM_0:1:4242><team_one>\" killed ";
      AppendPlayer(line, q, b + 1, "team_two");
      line += " with \"rifle\"";
      break;
    case 7:  // bytes that are no UTF-8
      line += "\"J\xFF\xFEy<8><STEAM_0:0:4343><team_one>\" killed ";
      AppendPlayer(line, q, b + 1, "team_two");
      line += " with \"rifle\"";
      break;
    default:  // a LAN id
      line += "\"Lanny<9><STEAM_ID_LAN><team_two>\" killed ";
      AppendPlayer(line, q, b + 1, "team_one");
      line += " with \"slash\"";
      break;
  }
}

// The players split into `count` servers by strength, equal runs of ranks.
struct Servers {
  std::vector<std::vector<std::size_t>> members;
  std::vector<std::size_t> of;  // by player
};

Servers ServersByStrength(const std::vector<SyntheticPlayer>& players, int count) {
  const std::size_t n = players.size();
  std::vector<std::size_t> byStrength(n);
  std::iota(byStrength.begin(), byStrength.end(), 0);
  std::sort(byStrength.begin(), byStrength.end(), [&players](std::size_t a, std::size_t b) {
    return players[a].logStrength < players[b].logStrength;
  });
  const auto servers = static_cast<std::size_t>(std::clamp<int>(count, 1, 1000));
  Servers split{std::vector<std::vector<std::size_t>>(servers), std::vector<std::size_t>(n)};
  for (std::size_t rank = 0; rank < n; ++rank) {
    const std::size_t server = rank * servers / n;
    split.members[server].push_back(byStrength[rank]);
    split.of[byStrength[rank]] = server;
  }
  return split;
}

// A kill between a and b, the killer drawn from their strengths, on
// opposite teams.
void AppendKill(std::string& line, std::mt19937_64& random,
                const std::vector<SyntheticPlayer>& players, std::size_t a, std::size_t b) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double aWins = 1.0 / (1.0 + std::exp(players[b].logStrength - players[a].logStrength));
  const auto [killer, victim] = unit(random) < aWins ? std::pair{a, b} : std::pair{b, a};
  const std::size_t side = random() % 2;
  AppendPlayer(line, players[killer], killer + 1, kTeams[side]);
  line += " killed ";
  AppendPlayer(line, players[victim], victim + 1, kTeams[1 - side]);
  line += " with \"";
  line += kWeapons[random() % std::size(kWeapons)];
  line += '"';
}

}  // namespace

std::vector<SyntheticPlayer> MakeSyntheticPlayers(const SyntheticLogOptions& options) {
  std::mt19937_64 random(options.seed);
  std::normal_distribution<double> strength(0.0, options.spread);
  std::vector<SyntheticPlayer> players;
  // Account numbers as real ones are: up to 31 bits, so that Y mostly has
  // eight or nine digits, and scattered (consecutive ones would hash too
  // well, and short ones read too fast, to measure by).  Drawn from a
  // stream of their own, so the strengths do not depend on them.
  std::mt19937_64 accountRandom(options.seed ^ 0xACC0);
  std::uniform_int_distribution<uint32_t> accountNumber(40'000'000, 2'000'000'000);
  std::set<uint32_t> accounts;
  for (int k = 0; k < options.players; ++k) {
    SyntheticPlayer player;
    uint32_t account = 0;
    do {
      account = accountNumber(accountRandom);
    } while (!accounts.insert(account).second);
    player.id = "STEAM_0:" + std::to_string(account % 2) + ":" + std::to_string(account / 2);
    player.name = (k % 7 == 0 ? "[clan] Player " : "Player") + std::to_string(k);
    if (k % 11 == 0) player.name += " J\xC3\xBCrgen";  // valid UTF-8 beyond ASCII
    player.logStrength = strength(random);
    players.push_back(std::move(player));
  }
  return players;
}

bool WriteSyntheticLogs(const SyntheticLogOptions& options,
                        const std::vector<SyntheticPlayer>& players, const std::string& folder,
                        std::string& error) {
  const std::size_t count = players.size();
  if (count < 2) {
    error = "at least two players are needed";
    return false;
  }
  std::mt19937_64 random(options.seed ^ 0x5DEECE66DULL);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<std::size_t> anyone(0, count - 1);

  const Servers servers = ServersByStrength(players, options.servers);
  auto opponentOf = [&](std::size_t a) {
    const std::vector<std::size_t>& home = servers.members[servers.of[a]];
    const bool mixed = unit(random) < options.mixing || home.size() < 2;
    for (;;) {
      const std::size_t b =
          mixed ? anyone(random)
                : home[std::uniform_int_distribution<std::size_t>(0, home.size() - 1)(random)];
      if (b != a) return b;
    }
  };

  const double span = options.days * 86400.0;
  const bool bySize = options.megabytes > 0;
  const double target =
      bySize ? options.megabytes * 1e6 : static_cast<double>(count) * options.eventsPerPlayer / 2;
  LogWriter writer(folder, error);
  for (double done = 0; done < target;) {
    if (!writer.Frame(static_cast<int64_t>(done / target * span))) return false;
    std::string& line = writer.Line();
    if (unit(random) < options.noise) {
      AppendNoise(line, random, players);
    } else {
      const std::size_t a = anyone(random);
      AppendKill(line, random, players, a, opponentOf(a));
      if (!bySize) done += 1;
    }
    if (!writer.End()) return false;
    if (bySize) done = static_cast<double>(writer.Written());
  }
  return writer.Close();
}

double SpearmanCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  auto ranks = [n](const std::vector<double>& values) {
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&values](std::size_t x, std::size_t y) { return values[x] < values[y]; });
    std::vector<double> rank(n);
    for (std::size_t k = 0; k < n;) {
      std::size_t end = k;
      while (end < n && values[order[end]] == values[order[k]]) ++end;
      for (std::size_t t = k; t < end; ++t) rank[order[t]] = static_cast<double>(k + end - 1) / 2;
      k = end;
    }
    return rank;
  };
  const std::vector<double> ra = ranks(a);
  const std::vector<double> rb = ranks(b);
  const double mean = (static_cast<double>(n) - 1) / 2;
  double cov = 0;
  double va = 0;
  double vb = 0;
  for (std::size_t k = 0; k < n; ++k) {
    cov += (ra[k] - mean) * (rb[k] - mean);
    va += (ra[k] - mean) * (ra[k] - mean);
    vb += (rb[k] - mean) * (rb[k] - mean);
  }
  return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
}

}  // namespace kelvalues
