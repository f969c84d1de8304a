// Compiles: a file of the values layer sees its own headers and those of
// the layers below it.
#include "even_teams.h"
#include "host_api.h"
#include "player_values.h"
#include "roster.h"
