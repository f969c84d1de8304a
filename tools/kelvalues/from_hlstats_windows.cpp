// from-hlstats on Windows: the stats database is read by the Linux build
// only, which loads the MariaDB client library of the host it runs on.  A
// job that asks for it here has the wrong command line for this build.
#include "command_line.h"
#include "from_hlstats.h"

namespace kelvalues {

int RunFromHlstats(int /*argc*/, char** /*argv*/) {
  return UsageError(
      "from-hlstats is available on Linux only; run it there, or make the values file here with "
      "from-logs");
}

}  // namespace kelvalues
