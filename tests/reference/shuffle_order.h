// Where the even-teams shuffle puts each entry of the pool, worked out the
// way the plugin shuffles: it swaps position i with rand() % (i + 1) for
// i = 1..n-1, drawing from the C library's generator (HostApi::Random is
// rand()), which a test process shares with the plugin it loads.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <numeric>
#include <utility>
#include <vector>

// shuffled[k] is unshuffled[order[k]] after srand(seed).  Leaves the
// generator where the plugin's shuffle of n entries would.
inline std::vector<std::size_t> ShuffleOrder(unsigned seed, std::size_t n) {
  std::srand(seed);
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  for (std::size_t i = 1; i < n; ++i) {
    const auto drawn = static_cast<unsigned>(std::rand());
    std::swap(order[i], order[drawn % (i + 1)]);
  }
  return order;
}
