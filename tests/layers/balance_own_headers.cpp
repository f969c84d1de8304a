// Compiles: a file of the balance layer sees its own headers and those of
// the layers below it.
#include "balance_watch.h"
#include "host_api.h"
#include "player_values.h"
#include "reply.h"
#include "roster.h"
#include "team_orders.h"
