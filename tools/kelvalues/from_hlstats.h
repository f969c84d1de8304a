// kelvalues from-hlstats: player values from the skill ratings of a
// community stats database (HLstatsX:CE, on MariaDB or MySQL).
#pragma once

namespace kelvalues {

// The command: argv[0] "from-hlstats", then its options:
//   --host H [--port P] | --socket PATH   where the server listens
//   --user U --password-file F           the password is F's first line
//   --database D --game G                the stats database and game code
//   [-o FILE] [--average A]              output (else standard output);
//                                        the values' average, 1000
// ("--option=value" works as well).  Reads each ranked player's skill for
// game G (players hidden from the rankings and ids merged into another
// player left out), writes one line for each of his Steam ids, all with
// his value, the values proportional to the skill with average A.
//
// Refuses a password file that every user of the machine may read.  Gives
// 0 when the file was written (summary on standard error), 1 when the
// database or the file failed (one line on standard error; the target is
// then untouched), kExitUsage on wrong arguments.
int RunFromHlstats(int argc, char** argv);

}  // namespace kelvalues
