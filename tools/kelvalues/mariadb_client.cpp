#include "mariadb_client.h"

#include <dlfcn.h>

namespace kelvalues {

namespace {

// The Connector/C 3 library under its soname, which every distribution's
// package installs (not the development link libmariadb.so).
constexpr const char* kLibrary = "libmariadb.so.3";
constexpr const char* kInstall =
    "install it: Debian or Ubuntu: apt-get install libmariadb3; CentOS, RHEL, Rocky or Alma: "
    "yum install mariadb-connector-c (CentOS 7: from EPEL)";

// The loader's own message, bounded and on one line.
std::string LoaderMessage() {
  const char* text = dlerror();
  std::string message = text == nullptr ? "" : std::string(text).substr(0, 200);
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return message;
}

template <typename Function>
bool Find(void* library, const char* name, Function& function, std::string& missing) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr && missing.empty()) missing = name;
  return function != nullptr;
}

bool FindAll(void* library, MariadbClient& client, std::string& missing) {
  // Every one is looked up, so that `missing` names the first one absent.
  bool all = true;
  all &= Find(library, "mysql_init", client.init, missing);
  all &= Find(library, "mysql_options", client.options, missing);
  all &= Find(library, "mysql_real_connect", client.realConnect, missing);
  all &= Find(library, "mysql_error", client.error, missing);
  all &= Find(library, "mysql_close", client.close, missing);
  all &= Find(library, "mysql_stmt_init", client.stmtInit, missing);
  all &= Find(library, "mysql_stmt_prepare", client.stmtPrepare, missing);
  all &= Find(library, "mysql_stmt_bind_param", client.stmtBindParam, missing);
  all &= Find(library, "mysql_stmt_execute", client.stmtExecute, missing);
  all &= Find(library, "mysql_stmt_bind_result", client.stmtBindResult, missing);
  all &= Find(library, "mysql_stmt_fetch", client.stmtFetch, missing);
  all &= Find(library, "mysql_stmt_error", client.stmtError, missing);
  all &= Find(library, "mysql_stmt_close", client.stmtClose, missing);
  all &= Find(library, "mysql_server_end", client.libraryEnd, missing);
  return all;
}

}  // namespace

const MariadbClient* LoadMariadbClient(std::string& error) {
  static MariadbClient client{};
  static bool loaded = false;
  if (loaded) return &client;
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = std::string("from-hlstats needs the MariaDB client library ") + kLibrary +
            ", which cannot be loaded (" + LoaderMessage() + "); " + kInstall;
    return nullptr;
  }
  std::string missing;
  if (!FindAll(library, client, missing)) {
    error = std::string("the MariaDB client library ") + kLibrary + " lacks " + missing +
            "; it is not Connector/C 3 or later; " + kInstall;
    (void)dlclose(library);
    return nullptr;
  }
  loaded = true;
  return &client;
}

}  // namespace kelvalues
