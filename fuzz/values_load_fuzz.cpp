// The player values loader over arbitrary file bytes.  The bytes are written
// to a file and loaded; a plain reading of the same bytes, written here from
// the file format alone, says what the store must then hold.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "player_values.h"

namespace {

std::string g_path;
int g_fd = -1;

// The loader reads in pieces of this size (the fuzz build's, set for the
// whole build); a prefix of filler lines puts the input's own bytes across a
// piece boundary.
#ifndef KEL_VALUES_READ_PIECE
#error "the fuzz build sets the loader's piece size"
#endif
constexpr std::size_t kLoaderChunk = KEL_VALUES_READ_PIECE;

struct Reference {
  std::map<std::string, int32_t> values;
  std::vector<std::string> keysInOrder;  // of the first and last lines
  int64_t sum = 0;
};

// atoi, with values past the 32-bit range at its ends.
int32_t ReferenceValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() &&
         std::string_view(" \t\n\v\f\r").find(text[i]) != std::string_view::npos &&
         text[i] != '\0') {
    ++i;
  }
  int64_t sign = 1;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++] == '-' ? -1 : 1;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), int64_t{1} << 40);
  }
  return static_cast<int32_t>(std::clamp<int64_t>(sign * magnitude, INT32_MIN, INT32_MAX));
}

Reference Read(std::string_view file) {
  Reference ref;
  // A UTF-8 byte-order mark at the very start is no part of the first key.
  if (file.substr(0, 3) == "\xEF\xBB\xBF") file.remove_prefix(3);
  std::vector<std::string> keys;
  auto record = [&](std::string_view line, bool endedByLf) {
    if (endedByLf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t comma = line.rfind(',');
    const std::string key(comma == std::string_view::npos ? line : line.substr(0, comma));
    const int32_t value =
        ReferenceValue(comma == std::string_view::npos ? line : line.substr(comma + 1));
    ref.sum += value;
    ref.values[key] = value;
    keys.push_back(key);
  };
  std::size_t start = 0;
  for (std::size_t lf; (lf = file.find('\n', start)) != std::string_view::npos; start = lf + 1) {
    record(file.substr(start, lf - start), true);
  }
  if (start < file.size()) record(file.substr(start), false);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (k < 4 || k + 4 >= keys.size()) ref.keysInOrder.push_back(keys[k]);
  }
  return ref;
}

void WriteFile(const std::string& bytes) {
  KEL_FUZZ_CHECK(ftruncate(g_fd, 0) == 0, "ftruncate");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = pwrite(g_fd, bytes.data() + done, bytes.size() - done, done);
    KEL_FUZZ_CHECK(n > 0, "pwrite");
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = kel_fuzz::ScratchDirectory() + "/kel_values_fuzz.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  g_fd = mkstemp(buffer.data());
  if (g_fd < 0) std::abort();
  g_path = buffer.data();
  std::atexit([] { unlink(g_path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string file(reinterpret_cast<const char*>(data), size);
  // Inputs that start with two 0xFF bytes follow one long filler record of
  // about one loader piece (shortened by the third byte), so that their own
  // lines straddle the boundary between two pieces.  One record keeps it
  // cheap; the filler's line end is dropped now and then, so that the
  // input's first line continues a line begun in the piece before.
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xFF) {
    const std::size_t fill = kLoaderChunk - data[2];
    std::string padded(fill, 'k');
    padded[fill - 3] = ',';
    padded[fill - 2] = '1';
    if (data[2] % 2 == 0) padded[fill - 1] = '\n';
    padded.append(file, 3);
    file.swap(padded);
  }
  WriteFile(file);
  const Reference ref = Read(file);
  const bool expectLoaded = !ref.values.empty() && ref.sum != 0;

  PlayerValues store;
  // One input in four loads twice, to see that a load over a filled table
  // gives the same store.
  const int rounds = size % 4 == 0 ? 2 : 1;
  for (int round = 0; round < rounds; ++round) {
    const ValuesLoad outcome = store.LoadFile(g_path);
    const bool loaded = outcome == ValuesLoad::Loaded;
    KEL_FUZZ_CHECK(loaded == expectLoaded, "load result, sum " + std::to_string(ref.sum));
    KEL_FUZZ_CHECK(loaded || outcome == ValuesLoad::NoValues, "a readable file failed otherwise");
    if (!loaded) {
      KEL_FUZZ_CHECK(store.EntryCount() == 0 && store.Average() == 0, "failed load kept entries");
      break;
    }
    KEL_FUZZ_CHECK(store.EntryCount() == ref.values.size(),
                   "entries " + std::to_string(store.EntryCount()) + " expected " +
                       std::to_string(ref.values.size()));
    const int64_t average = ref.sum / static_cast<int64_t>(ref.values.size());
    KEL_FUZZ_CHECK(
        store.Average() == std::clamp<int64_t>(average, INT32_MIN, INT32_MAX),
        "average " + std::to_string(store.Average()) + " expected " + std::to_string(average));
    for (const std::string& key : ref.keysInOrder) {
      KEL_FUZZ_CHECK(store.ValueOf(key) == ref.values.at(key), "value of " + kel_fuzz::Shown(key));
    }
  }

  // A path that does not open leaves the store as it was.
  const std::size_t entries = store.EntryCount();
  const int32_t average = store.Average();
  KEL_FUZZ_CHECK(!store.Load(g_path + ".missing"), "missing file loaded");
  KEL_FUZZ_CHECK(store.EntryCount() == entries && store.Average() == average,
                 "missing file changed the store");

  // An unknown key gets 91..100 % of the average, once, and keeps it.
  std::string unknown = "unknown";
  while (ref.values.count(unknown)) unknown += '!';
  const int32_t given = store.ValueOf(unknown);
  bool plausible = false;
  for (int r = 0; r < 10; ++r) {
    plausible |= given == static_cast<int32_t>((1.0 - r * 0.01) * store.Average());
  }
  KEL_FUZZ_CHECK(plausible, "default " + std::to_string(given) + " for average " +
                                std::to_string(store.Average()));
  KEL_FUZZ_CHECK(store.ValueOf(unknown) == given, "default not kept");
  KEL_FUZZ_CHECK(store.EntryCount() == entries + 1, "default not counted");
  return 0;
}
