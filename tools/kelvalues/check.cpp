#include "check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "command_line.h"
#include "player_values.h"
#include "shared_ids.h"
#include "values_out.h"

namespace kelvalues {

namespace {

constexpr std::size_t kShownPerKind = 20;
constexpr std::size_t kShownTextBytes = 64;
// Entries needed before quartiles say anything: with fewer, the upper
// hinge is made of the largest values themselves.
constexpr std::size_t kMinEntriesForOutliers = 5;
constexpr double kOutlierSpreads = 3.0;

enum class ValueShape { Plain, NoDigits, Junk, Clamped };

// One line as the plugin reads it, with what this check needs to know.
struct Record {
  uint64_t line;  // 1-based
  std::string key;
  std::string valueText;
  int32_t value;
  ValueShape shape;
  bool hasComma;
  bool crlf;
};

struct ReadValue {
  int32_t value;
  ValueShape shape;
};

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value as the plugin reads it, and whether that reading is likely what
// the writer meant: blanks after the digits are harmless, anything else
// there is dropped without a word.
ReadValue ParseValue(std::string_view text) {
  const ValueText read = ReadValueText(text);
  ValueShape shape = ValueShape::Plain;
  if (!read.digits) {
    shape = ValueShape::NoDigits;
  } else if (read.clamped) {
    shape = ValueShape::Clamped;
  } else if (text.find_first_not_of(" \t\r", read.end) != std::string_view::npos) {
    shape = ValueShape::Junk;
  }
  return {read.value, shape};
}

// A text from the file, fit to show: quoted, bytes outside printable ASCII
// (and quotes and backslashes) escaped, cut at kShownTextBytes.
std::string Quote(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown = "\"";
  for (const char c : text.substr(0, kShownTextBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    }
  }
  shown += '"';
  if (text.size() > kShownTextBytes) shown += "...";
  return shown;
}

// "line 3" or "lines 2-4, 7", at most kShownPerKind runs.
std::string LineList(const std::vector<uint64_t>& lines) {
  std::string text = lines.size() == 1 ? "line " : "lines ";
  std::size_t runs = 0;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t j = i;
    while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
    if (runs == kShownPerKind) {
      text += " and " + std::to_string(lines.size() - i) + " more";
      break;
    }
    if (runs > 0) text += ", ";
    text += std::to_string(lines[i]);
    if (j > i) {
      text += '-';  // appended alone: GCC 12 warns falsely of "-" + string (-Wrestrict)
      text += std::to_string(lines[j]);
    }
    ++runs;
    i = j + 1;
  }
  return text;
}

// Reads the file into records the way the plugin's loader splits it.
bool ReadRecords(const std::string& path, std::vector<Record>& records, bool& byteOrderMark) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    const bool endedByLf = !in.eof();
    if (records.empty() && !byteOrderMark && line.starts_with("\xEF\xBB\xBF")) {
      byteOrderMark = true;
      line.erase(0, 3);
    }
    if (line.empty() && !endedByLf) break;  // a mark alone is no line
    Record record{records.size() + 1, {}, {}, 0, ValueShape::Plain, false, false};
    if (endedByLf && !line.empty() && line.back() == '\r') {
      line.pop_back();
      record.crlf = true;
    }
    const std::size_t comma = line.rfind(',');
    record.hasComma = comma != std::string::npos;
    record.key = record.hasComma ? line.substr(0, comma) : line;
    const std::string_view valueText =
        record.hasComma ? std::string_view(line).substr(comma + 1) : std::string_view(line);
    const ReadValue read = ParseValue(valueText);
    record.value = read.value;
    record.shape = read.shape;
    if (read.shape != ValueShape::Plain) record.valueText = valueText;
    records.push_back(std::move(record));
  }
  return !in.bad();
}

// What unknown players are given with this average: the plugin draws
// 91..100 % of it.
std::string DefaultRange(int32_t average) {
  const int32_t low = DefaultValue(average, 9);
  const int32_t high = DefaultValue(average, 0);
  return std::to_string(std::min(low, high)) + " to " + std::to_string(std::max(low, high));
}

// The ids many players share, as the plugin lists them, and the numbered
// forms of the same kinds; an empty key is no id at all and said so.
bool IsNoPlayerId(std::string_view id) {
  return (!id.empty() && IsSharedAuthId(id)) || id.starts_with("VALVE_ID_") ||
         id.starts_with("BOT:");
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsCSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsCSpace(text.back())) text.remove_suffix(1);
  return text;
}

struct KeyLines {
  std::vector<std::size_t> records;  // indices into the records, in order
};

// The findings of one kind, in the order of their lines.
struct Findings {
  std::vector<std::string> items;
  bool doNotInstall = false;  // what they tell of makes the file unfit to use
  void Emit(std::string& out) const {
    for (std::size_t i = 0; i < items.size() && i < kShownPerKind; ++i) {
      out += "warning: " + items[i] + "\n";
    }
    if (items.size() > kShownPerKind) {
      out +=
          "warning: ... and " + std::to_string(items.size() - kShownPerKind) + " more like these\n";
    }
  }
};

class Checker {
 public:
  // The key index points into the records: no copies.
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;
  Checker(std::vector<Record> records, bool byteOrderMark)
      : records_(std::move(records)), byteOrderMark_(byteOrderMark) {
    for (std::size_t i = 0; i < records_.size(); ++i) {
      sum_ += records_[i].value;
      auto [slot, added] = keyIndex_.try_emplace(records_[i].key, keys_.size());
      if (added) keys_.emplace_back();
      keys_[slot->second].records.push_back(i);
    }
    average_ = AverageOf(sum_, keys_.size());
  }

  int64_t Sum() const { return sum_; }
  int32_t Average() const { return average_; }
  std::size_t Lines() const { return records_.size(); }
  std::size_t DistinctKeys() const { return keys_.size(); }

  // True when the plugin's store holds exactly what these records give:
  // the same keys, each with its last line's value, and the same average.
  bool AgreesWith(PlayerValues& store) const {
    if (store.EntryCount() != keys_.size() || store.Average() != average_) return false;
    for (const KeyLines& key : keys_) {
      const Record& last = records_[key.records.back()];
      if (store.ValueOf(last.key) != last.value) return false;
    }
    return store.EntryCount() == keys_.size();  // no default was drawn
  }

  // The warnings, one "warning: " line each; gives how many kinds fired,
  // and sets `doNotInstall` when one of them makes the file unfit to use.
  int Warn(std::string& out, bool& doNotInstall) const {
    int kinds = 0;
    auto grouped = [&](const std::vector<uint64_t>& lines, const std::string& text) {
      if (lines.empty()) return;
      out += "warning: " + LineList(lines) + ": " + text + "\n";
      ++kinds;
    };
    auto each = [&](const Findings& findings) {
      if (findings.items.empty()) return;
      findings.Emit(out);
      doNotInstall = doNotInstall || findings.doNotInstall;
      ++kinds;
    };
    if (byteOrderMark_) {
      grouped({1},
              "the file starts with a byte-order mark; the plugin skips it, other programs may "
              "read it as part of the first id");
    }
    grouped(LinesWhere([](const Record& r) { return r.crlf; }),
            "CR LF line ends; the plugin reads them as LF ends");
    grouped(LinesWhere([](const Record& r) { return !r.hasComma && r.key.empty(); }),
            "blank line; the plugin reads it as an entry with an empty id and value 0, which "
            "lowers the average");
    each(NoCommaLines());
    each(ValueFindings());
    each(IdFindings(true));
    each(IdFindings(false));
    each(DuplicateFindings());
    each(OutlierFindings());
    each(SumFindings());
    return kinds;
  }

 private:
  template <typename Test>
  std::vector<uint64_t> LinesWhere(Test test) const {
    std::vector<uint64_t> lines;
    for (const Record& r : records_) {
      if (test(r)) lines.push_back(r.line);
    }
    return lines;
  }

  Findings NoCommaLines() const {
    Findings found;
    for (const Record& r : records_) {
      if (r.hasComma || r.key.empty()) continue;
      found.items.push_back("line " + std::to_string(r.line) + ": no comma; the plugin reads " +
                            Quote(r.key) + " as an id with the value " + std::to_string(r.value));
    }
    return found;
  }

  Findings ValueFindings() const {
    Findings found;
    for (const Record& r : records_) {
      if (!r.hasComma || r.shape == ValueShape::Plain) continue;
      std::string text = "line " + std::to_string(r.line) + ": value " + Quote(r.valueText);
      switch (r.shape) {
        case ValueShape::NoDigits:
          text += " has no digits; the plugin reads it as 0";
          break;
        case ValueShape::Junk:
          text +=
              " has other text after its digits; the plugin reads it as " + std::to_string(r.value);
          break;
        case ValueShape::Clamped:
          text += " is beyond the 32-bit range; the plugin reads it as " + std::to_string(r.value);
          break;
        case ValueShape::Plain:
          break;
      }
      found.items.push_back(std::move(text));
    }
    return found;
  }

  // Ids in another Steam id form (`otherForms`), or no Steam ids at all.
  Findings IdFindings(bool otherForms) const {
    Findings found;
    for (const Record& r : records_) {
      if (!r.hasComma) continue;
      const std::optional<std::string> normal = NormalizeSteamId(r.key);
      if (normal && *normal == r.key) continue;
      const std::optional<std::string> meant =
          normal ? normal : NormalizeSteamId(TrimBlanks(r.key));
      if (meant.has_value() != otherForms) continue;
      std::string text = "line " + std::to_string(r.line) + ": " + Quote(r.key);
      if (meant) {
        text += " never matches a player, whose id is compared byte for byte: write " + *meant;
      } else if (IsNoPlayerId(TrimBlanks(r.key))) {
        text +=
            " is not a player's own Steam id (bots, HLTV, LAN and pending players have such ids)";
      } else {
        text += " is not a Steam id (STEAM_0:X:Y)";
      }
      found.items.push_back(std::move(text));
    }
    return found;
  }

  Findings DuplicateFindings() const {
    Findings found;
    for (const KeyLines& key : keys_) {
      if (key.records.size() < 2) continue;
      const Record& last = records_[key.records.back()];
      if (last.key.empty()) continue;  // blank lines, told above
      std::vector<uint64_t> lines;
      for (const std::size_t i : key.records) lines.push_back(records_[i].line);
      found.items.push_back(
          LineList(lines) + ": " + Quote(last.key) + " is given " + std::to_string(lines.size()) +
          " times; the plugin keeps the last value, " + std::to_string(last.value) +
          ", but adds every line's value to the sum, which skews the average");
    }
    return found;
  }

  // A line meant as an id and its value: outliers are looked for among
  // these.  A value without digits, read as 0, was no number to begin with
  // and is told of on its own.
  static bool IsEntry(const Record& r) {
    return r.hasComma && !r.key.empty() && r.shape != ValueShape::NoDigits;
  }

  Findings OutlierFindings() const {
    Findings found;
    std::vector<double> values;
    for (const Record& r : records_) {
      if (IsEntry(r)) values.push_back(r.value);
    }
    if (values.size() < kMinEntriesForOutliers) return found;
    std::sort(values.begin(), values.end());
    auto median = [&values](std::size_t from, std::size_t to) {  // of values[from, to)
      const std::size_t n = to - from;
      return n % 2 == 1 ? values[from + n / 2]
                        : (values[from + n / 2 - 1] + values[from + n / 2]) / 2;
    };
    const std::size_t n = values.size();
    const double lowerHinge = median(0, (n + 1) / 2);
    const double upperHinge = median(n / 2, n);
    const double middle = median(0, n);
    const double spread = std::max({upperHinge - lowerHinge, std::abs(middle) / 10, 1.0});
    const double low = lowerHinge - kOutlierSpreads * spread;
    const double high = upperHinge + kOutlierSpreads * spread;

    std::unordered_set<std::size_t> outliers;
    std::vector<uint64_t> lines;
    int64_t outlierSum = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const Record& r = records_[i];
      if (!IsEntry(r) || (r.value >= low && r.value <= high)) continue;
      outliers.insert(i);
      lines.push_back(r.line);
      outlierSum += r.value;
      found.items.push_back("line " + std::to_string(r.line) + ": value " +
                            std::to_string(r.value) + " lies far outside the others (the middle " +
                            "half lies from " + FormatNumber(lowerHinge) + " to " +
                            FormatNumber(upperHinge) + ")");
    }
    if (outliers.empty()) return found;
    // The effect on the default every unknown player is drawn: the plugin's
    // average with and without those lines.
    std::size_t keysLeft = 0;
    for (const KeyLines& key : keys_) {
      const bool kept = std::any_of(key.records.begin(), key.records.end(),
                                    [&](std::size_t i) { return !outliers.contains(i); });
      if (kept) ++keysLeft;
    }
    const int64_t sumLeft = sum_ - outlierSum;
    const bool one = lines.size() == 1;
    std::string effect = "without " + LineList(lines);
    if (keysLeft > 0 && sumLeft != 0) {
      const int32_t averageLeft = AverageOf(sumLeft, keysLeft);
      effect += " the average would be " + std::to_string(averageLeft) +
                " and unknown players would be given " + DefaultRange(averageLeft);
      found.doNotInstall = MovesByMoreThanHalf(averageLeft, average_);
    } else {
      effect += " the file would have no values";
      found.doNotInstall = true;
    }
    effect += (one ? "; with it" : "; with them") + std::string(" the average is ") +
              std::to_string(average_) + " and unknown players are given " + DefaultRange(average_);
    found.items.push_back(std::move(effect));
    return found;
  }

  // Whether `moved` lies more than half of `base` away from it: the
  // default every unknown player is drawn from moves as much.
  static bool MovesByMoreThanHalf(int64_t base, int64_t moved) {
    return 2 * std::abs(moved - base) > std::abs(base);
  }

  // A sum below 0 gives every unknown player a value below 0.
  Findings SumFindings() const {
    Findings found;
    found.doNotInstall = sum_ < 0;
    if (sum_ == 0) {
      found.items.emplace_back(
          "the values sum to 0; the plugin does not load a file without values");
    } else if (sum_ < 0) {
      found.items.push_back("the values sum to " + std::to_string(sum_) + "; the average is " +
                            std::to_string(average_) + ", so unknown players are given " +
                            DefaultRange(average_));
    }
    return found;
  }

  static std::string FormatNumber(double number) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.15g", number);
    return text;
  }

  std::vector<Record> records_;
  bool byteOrderMark_;
  std::unordered_map<std::string_view, std::size_t> keyIndex_;
  std::vector<KeyLines> keys_;  // in the order of their first lines
  int64_t sum_ = 0;
  int32_t average_ = 0;
};

}  // namespace

CheckResult CheckValuesFile(const std::string& path) {
  PlayerValues store;
  const ValuesLoad outcome = store.LoadFile(path);
  const std::string logLine = "the plugin would log: " + ValuesLoadLogLine(path, outcome, store);
  if (outcome != ValuesLoad::Loaded && outcome != ValuesLoad::NoValues) {
    return {kCheckNotLoadable, logLine};
  }

  std::vector<Record> records;
  bool byteOrderMark = false;
  if (!ReadRecords(path, records, byteOrderMark)) {
    return {kCheckNotLoadable, logLine + "kelvalues: cannot read " + path + " again\n"};
  }
  const Checker checker(std::move(records), byteOrderMark);
  std::string report = path + ": " + std::to_string(checker.Lines()) + " lines, " +
                       std::to_string(checker.DistinctKeys()) + " distinct ids, sum " +
                       std::to_string(checker.Sum()) + ", average " +
                       std::to_string(checker.Average()) + "\n" + logLine;
  bool doNotInstall = false;
  int kinds = checker.Warn(report, doNotInstall);
  if (outcome == ValuesLoad::Loaded && !checker.AgreesWith(store)) {
    report +=
        "warning: this check read the file differently from the plugin's loader (did it change "
        "meanwhile?); trust the line above, not the figures\n";
    ++kinds;
  }
  if (outcome != ValuesLoad::Loaded) return {kCheckNotLoadable, report};
  if (doNotInstall) {
    return {kCheckDoNotInstall,
            report +
                "kelvalues: do not install this file: unknown players would be given "
                "values far from what the others hold\n"};
  }
  return {kinds > 0 ? kCheckWarnings : kCheckClean, report};
}

int RunCheck(int argc, char** argv) {
  // "check -- FILE" for a file whose name starts with '-'.
  const bool optionsEnd = argc == 3 && std::string_view(argv[1]) == "--";
  if (argc != 2 && !optionsEnd) return UsageError("check takes one argument, the values file");
  const std::string_view file = argv[argc - 1];
  if (!optionsEnd && file.size() > 1 && file[0] == '-') {
    return UsageError("check: unknown option " + QuoteArgument(file) +
                      "; kelvalues check --help shows its usage");
  }
  const CheckResult result = CheckValuesFile(std::string(file));
  // The status stands even if the report cannot be written.
  (void)std::fwrite(result.report.data(), 1, result.report.size(), stdout);
  return result.status;
}

}  // namespace kelvalues
