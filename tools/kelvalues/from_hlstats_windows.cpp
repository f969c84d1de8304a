// from-hlstats on Windows: the stats database is read by the Linux build
// only, which loads the MariaDB client library of the host it runs on.
#include <cstdio>

#include "from_hlstats.h"

namespace kelvalues {

int RunFromHlstats(int /*argc*/, char** /*argv*/) {
  (void)std::fputs(
      "kelvalues: from-hlstats is available on Linux only; run it there, or make the values "
      "file here with from-logs\n",
      stderr);
  return 1;
}

}  // namespace kelvalues
