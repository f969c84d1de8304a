// The frame hook's balance work runs on every server frame.  While no notice
// is pending and no move is armed it must stay two flag tests: a few
// nanoseconds, with no host call and no allocation.
#include <benchmark/benchmark.h>

#include "balance_watch.h"

namespace {

void BM_BalanceStartFrameIdle(benchmark::State& state) {
  // Nothing bound to a host: the flags are at their load-time values, so
  // neither the notice check nor the scan runs.
  if (TheBalanceWatch().Armed()) {
    state.SkipWithError("the death-time move is armed; not the idle path");
    return;
  }
  for (auto _ : state) {
    BalanceStartFrame();
  }
}
BENCHMARK(BM_BalanceStartFrameIdle);

}  // namespace
