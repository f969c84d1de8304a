// The engine hook table: the plugin hooks no engine function.
#include <cstring>

#include "plugin_shell.h"
#include "roster/bounded_text.h"
#include "roster/messages.h"

namespace {
const enginefuncs_t kEngineHooks{};  // all 144 entries null
}

KEL_EXPORT int GetEngineFunctions(enginefuncs_t* table, int* interfaceVersion) {
  if (!table) {
    ErrorLog("GetEngineFunctions called with null pengfuncsFromEngine");
    return 0;
  }
  if (!interfaceVersion || *interfaceVersion != ENGINE_INTERFACE_VERSION) {
    const int requested = interfaceVersion ? *interfaceVersion : 0;
    ErrorLog(FormatBounded(256, "GetEngineFunctions version mismatch; requested=%d ours=%d",
                           requested, ENGINE_INTERFACE_VERSION));
    if (interfaceVersion) *interfaceVersion = ENGINE_INTERFACE_VERSION;
    return 0;
  }
  std::memcpy(table, &kEngineHooks, sizeof(kEngineHooks));
  return 1;
}
