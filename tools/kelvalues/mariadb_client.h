// The MariaDB client library, as from-hlstats uses it: loaded at run time,
// and only by that command, so that the program runs on hosts that have no
// database client at all (check and from-logs never need it).
#pragma once

#include <mysql.h>

#include <string>

namespace kelvalues {

// The library's functions that from-hlstats calls, with the types of its
// header (Connector/C 3, the ABI of libmariadb.so.3).
struct MariadbClient {
  decltype(&mysql_init) init;
  decltype(&mysql_options) options;
  decltype(&mysql_real_connect) realConnect;
  decltype(&mysql_error) error;
  decltype(&mysql_close) close;
  decltype(&mysql_stmt_init) stmtInit;
  decltype(&mysql_stmt_prepare) stmtPrepare;
  decltype(&mysql_stmt_bind_param) stmtBindParam;
  decltype(&mysql_stmt_execute) stmtExecute;
  decltype(&mysql_stmt_bind_result) stmtBindResult;
  decltype(&mysql_stmt_fetch) stmtFetch;
  decltype(&mysql_stmt_error) stmtError;
  decltype(&mysql_stmt_close) stmtClose;
  decltype(&mysql_server_end) libraryEnd;  // what mysql_library_end names
};

// The client library, loaded once and kept for the life of the process.
// Null when it is not installed or lacks a function; `error` then says,
// as one line, what to install on the usual systems.
const MariadbClient* LoadMariadbClient(std::string& error);

}  // namespace kelvalues
