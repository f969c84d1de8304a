// The operator test's matcher over arbitrary mp_serverops texts and ids,
// against a naive reference: the id is held when it occurs somewhere with
// neither neighbour a character that can belong to an id.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "operators.h"

namespace {

bool CanBelongToId(char c) {
  return std::string_view("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_:")
             .find(c) != std::string_view::npos;
}

bool ReferenceHolds(const std::string& list, const std::string& id) {
  if (id.empty()) return false;
  for (std::size_t at = 0; at + id.size() <= list.size(); ++at) {
    if (list.compare(at, id.size(), id) != 0) continue;
    const bool before = at == 0 || !CanBelongToId(list[at - 1]);
    const bool after = at + id.size() == list.size() || !CanBelongToId(list[at + id.size()]);
    if (before && after) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const int idFrom = in.ConsumeIntegralInRange(0, 2);
  std::string id = in.ConsumeRandomLengthString(64);
  const std::string list = in.ConsumeRandomLengthString(512);
  if (idFrom == 1 && !list.empty()) {
    // Most ids of a random list never occur in it: take one from the list.
    const std::size_t at = id.size() % list.size();
    id = list.substr(at, 1 + (id.empty() ? 0 : static_cast<unsigned char>(id[0]) % 24));
  } else if (idFrom == 2) {
    // A real-looking id, sometimes a prefix of one in the list.
    id = "STEAM_0:" + std::to_string(in.ConsumeIntegralInRange(0, 1)) + ":" + id;
  }
  // NUL cuts both texts as the host would hand them over, and stays a byte
  // of them for the matcher's own sake.
  for (const bool cut : {false, true}) {
    const std::string l = cut ? std::string(list.c_str()) : list;
    const std::string i = cut ? std::string(id.c_str()) : id;
    KEL_FUZZ_CHECK(ServerOpsListHoldsId(l, i) == ReferenceHolds(l, i),
                   "id " + kel_fuzz::Shown(i) + " in " + kel_fuzz::Shown(l));
  }
  return 0;
}
