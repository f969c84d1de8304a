#include "team_values.h"

// Filled by the team values work.
void ShowTeamValues(const CommandCaller&) {}
