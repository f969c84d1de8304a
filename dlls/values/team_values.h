// The `stv` report of both teams' strength, as a text: a function of the
// two teams' rated players only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rated_player.h"

// The report text, every line ended by "\n".  Pure: a function of the two
// lists only.  "No players on either team\n" when both are empty.  Totals
// are summed in 64 bits, so large values neither wrap nor change the
// verdict; within the 32-bit range nothing differs from 32-bit sums.
std::string TeamValuesReport(std::vector<RatedPlayer> marines, std::vector<RatedPlayer> aliens);

// ---- pieces of the report, exposed for tests ----------------------------

// Characters of `value` in plain decimal, the minus sign included
// (1500 -> 4, -40 -> 3, 0 -> 1).
int ValueWidth(int32_t value);

// numerator / denominator as a real division rounded once to single
// precision (to nearest, ties to even).  A double division followed by a
// conversion to float would round twice and can land on the wrong float when
// the double quotient sits exactly between two floats; this does not.
// `denominator` must not be 0; both should be below 2^53 in magnitude so
// that they convert to double exactly (team totals are far below that).
float SingleRatio(int64_t numerator, int64_t denominator);

// `factor` in fixed notation with exactly two decimals, rounded to nearest
// on the float's exact binary value, an exact half away from zero (1.125 ->
// "1.13", -1.125 -> "-1.13"; 2.675f, which is just below 2.675, -> "2.67").
// A negative factor keeps its sign even when it rounds to zero ("-0.00"),
// as printf writes it.  Non-finite values are written as printf writes them.
std::string FormatFactor(float factor);
