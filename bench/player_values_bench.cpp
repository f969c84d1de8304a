// Loading the player values file, which happens on the server's main thread
// at every map start: the store against a plain getline-and-std::map loader,
// on the same generated file of 1,000,000 lines, in the same run.
//
// Memory per entry: for the store, the bytes its table holds (slot array
// and key storage, by capacity); for the baseline, the bytes its map and
// strings ask of the allocator, through a counting allocator in a separate,
// untimed load.  Neither includes malloc's own block headers, which cost the
// baseline two blocks per entry and the store none worth counting.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "player_values.h"

namespace {

constexpr int kLines = 1000000;

// A file of ids as the engine reports them, values 0..3000; made once per
// run, removed at exit.
class ValuesFile {
 public:
  ValuesFile() {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/kel_values_bench_" +
            std::to_string(static_cast<long>(getpid())) + ".txt";
    std::FILE* out = std::fopen(path_.c_str(), "wb");
    if (out == nullptr) return;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> account(0, 99999999);
    std::uniform_int_distribution<int> value(0, 3000);
    for (int i = 0; i < kLines; ++i) {
      std::fprintf(out, "STEAM_0:%d:%d,%d\n", static_cast<int>(rng() & 1), account(rng),
                   value(rng));
    }
    ok_ = std::fclose(out) == 0;
  }
  ~ValuesFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }
  bool Ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

const ValuesFile& File() {
  static const ValuesFile file;
  return file;
}

// Counts the bytes and blocks it hands out (single-threaded use only).
struct AllocCount {
  long long bytes = 0;
  long long blocks = 0;
};
AllocCount g_counted;

template <typename T>
struct CountingAllocator {
  using value_type = T;
  CountingAllocator() = default;
  template <typename U>
  CountingAllocator(const CountingAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    g_counted.bytes += static_cast<long long>(n * sizeof(T));
    ++g_counted.blocks;
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    g_counted.bytes -= static_cast<long long>(n * sizeof(T));
    --g_counted.blocks;
    std::allocator<T>().deallocate(p, n);
  }
  template <typename U>
  bool operator==(const CountingAllocator<U>&) const noexcept {
    return true;
  }
};

// The plain way: one line at a time through std::getline into an ordered
// map.  The memory figure comes from the same code over counted containers.
template <typename String, typename Map>
bool BaselineLoad(const std::string& path, Map& values, int& average) {
  std::ifstream in(path);
  if (!in) return false;
  long long sum = 0;
  String line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t comma = line.rfind(',');
    const String key = comma == String::npos ? line : line.substr(0, comma);
    const int value = std::atoi(line.c_str() + (comma == String::npos ? 0 : comma + 1));
    values[key] = value;
    sum += value;
  }
  if (sum == 0) return false;
  average = static_cast<int>(sum / static_cast<long long>(values.size()));
  return true;
}

using CountedString = std::basic_string<char, std::char_traits<char>, CountingAllocator<char>>;
using CountedMap = std::map<CountedString, int, std::less<CountedString>,
                            CountingAllocator<std::pair<const CountedString, int>>>;

void BM_BaselineGetlineMapLoad(benchmark::State& state) {
  if (!File().Ok()) {
    state.SkipWithError("cannot write the generated values file");
    return;
  }
  std::size_t entries = 0;
  for (auto _ : state) {
    auto values = std::make_unique<std::map<std::string, int>>();
    int average = 0;
    if (!BaselineLoad<std::string>(File().Path(), *values, average)) {
      state.SkipWithError("load failed");
      return;
    }
    benchmark::DoNotOptimize(average);
    state.PauseTiming();
    entries = values->size();
    values.reset();  // freeing is not part of the load
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  state.counters["entries"] = static_cast<double>(entries);

  g_counted = {};
  {
    CountedMap values;
    int average = 0;
    if (BaselineLoad<CountedString>(File().Path(), values, average)) {
      const double n = static_cast<double>(values.size());
      state.counters["bytes_per_entry"] = static_cast<double>(g_counted.bytes) / n;
      state.counters["blocks_per_entry"] = static_cast<double>(g_counted.blocks) / n;
    }
  }
}

void BM_PlayerValuesLoad(benchmark::State& state) {
  if (!File().Ok()) {
    state.SkipWithError("cannot write the generated values file");
    return;
  }
  std::size_t entries = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto store = std::make_unique<PlayerValues>();
    if (!store->Load(File().Path())) {
      state.SkipWithError("load failed");
      return;
    }
    state.PauseTiming();
    entries = store->EntryCount();
    bytes = store->MemoryBytes();
    store.reset();  // freeing is not part of the load
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["bytes_per_entry"] = static_cast<double>(bytes) / static_cast<double>(entries);
}

// Looking up the players of a full server, as stv and eventeams do.
void BM_PlayerValuesLookup(benchmark::State& state) {
  PlayerValues store;
  if (!store.Load(File().Path())) {
    state.SkipWithError("load failed");
    return;
  }
  const std::string ids[] = {"STEAM_0:1:12345678", "STEAM_0:0:7", "STEAM_ID_LAN", "BOT"};
  for (auto _ : state) {
    for (const std::string& id : ids) benchmark::DoNotOptimize(store.ValueOf(id));
  }
}

}  // namespace

BENCHMARK(BM_BaselineGetlineMapLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlayerValuesLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlayerValuesLookup);
