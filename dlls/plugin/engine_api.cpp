// The engine hook table: the plugin hooks no engine function.
#include "bounded_text.h"
#include "plugin_shell.h"
#include "server_output.h"

namespace {

const enginefuncs_t kEngineHooks{};  // all 144 entries null

// These two go to the manager's error log, without a line end.
void NullEngineTable() { ErrorLog("GetEngineFunctions called with null pengfuncsFromEngine"); }
void EngineVersionMismatch(int requested, int ours) {
  ErrorLog(FormatBounded(256, "GetEngineFunctions version mismatch; requested=%d ours=%d",
                         requested, ours));
}

}  // namespace

KEL_EXPORT int GetEngineFunctions(enginefuncs_t* table, int* interfaceVersion) noexcept {
  return HandOverTable(table, interfaceVersion, kEngineHooks, ENGINE_INTERFACE_VERSION,
                       {NullEngineTable, EngineVersionMismatch});
}
