// The plugin manager's utility table.  Only the three entries this plugin is
// meant to use are provided; the rest trap.
#include "sim_state.h"

namespace kelsim::detail {

namespace {

// The manager formats into a fixed buffer and always ends the text with a
// line end of its own: a text that already ends in "\n" gives an extra empty
// line, and a text over the buffer is cut to make room for the line end.
std::string ManagerLine(const char* format, va_list args) {
  std::string text = FormatInto(kManagerFormatBuffer, format, args);
  if (text.size() > kManagerFormatBuffer - 2) text.resize(kManagerFormatBuffer - 2);
  return text + "\n";
}

bool CheckPlugin(const plugin_info_t* plid, const char* entry) {
  if (!plid) {
    g_state->HostError(std::string(entry) + ": null plugin id");
    return false;
  }
  if (!g_state->info || plid != g_state->info) {
    // The manager finds the calling plugin by this pointer; a wrong one
    // would name another plugin or none.
    g_state->HostError(std::string(entry) + ": plugin id is not the one Meta_Query gave");
  }
  return true;
}

// NOLINTNEXTLINE(cert-dcl50-cpp): the host table's C variadic signature
void LogConsole(plid_t plid, const char* format, ...) {
  if (!CheckPlugin(plid, "pfnLogConsole")) return;
  if (!format) {
    g_state->HostError("pfnLogConsole: null format");
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string line = ManagerLine(format, args);
  va_end(args);
  g_state->ConsolePrint(line);
}

// NOLINTNEXTLINE(cert-dcl50-cpp): the host table's C variadic signature
void LogError(plid_t plid, const char* format, ...) {
  if (!CheckPlugin(plid, "pfnLogError")) return;
  if (!format) {
    g_state->HostError("pfnLogError: null format");
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string line = ManagerLine(format, args);
  va_end(args);
  g_state->ErrorPrint(line);
}

const char* GetPluginPath(plid_t plid) {
  CheckPlugin(plid, "pfnGetPluginPath");
  return g_state->pluginPath.c_str();
}

}  // namespace

void FillMetamodUtils(mutil_funcs_t& utils) {
  FillTrapTable(reinterpret_cast<HostFn*>(&utils), sizeof(utils) / sizeof(HostFn),
                TrapTable::MetamodUtils);
  utils.pfnLogConsole = LogConsole;
  utils.pfnLogError = LogError;
  utils.pfnGetPluginPath = GetPluginPath;
}

}  // namespace kelsim::detail
