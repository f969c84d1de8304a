#include "operators.h"

#include <string>

#include "host_api.h"

namespace {

bool IsIdChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':';
}

}  // namespace

bool ServerOpsListHoldsId(std::string_view list, std::string_view id) {
  if (id.empty()) return false;
  for (std::size_t at = list.find(id); at != std::string_view::npos; at = list.find(id, at + 1)) {
    const std::size_t end = at + id.size();
    const bool wholeBefore = at == 0 || !IsIdChar(list[at - 1]);
    const bool wholeAfter = end == list.size() || !IsIdChar(list[end]);
    if (wholeBefore && wholeAfter) return true;
  }
  return false;
}

bool IsServerOperator(edict_t* entity) {
  if (!entity) return false;
  const std::string id = HostApi::PlayerAuthId(entity);
  // Read afresh at every test: a change of the list counts at once.
  return ServerOpsListHoldsId(HostApi::CvarString(Cvar::ServerOps), id);
}
