#!/bin/sh
# Reading speed and peak memory of kelvalues from-logs against two Python
# yardsticks, the plain one (parse_kills.py, the re module) and a tuned one
# (parse_kills_tuned.py), and against cat, which only reads the files: all
# on the same synthetic logs (500 players, ids drawn as real ones), each
# pinned to one core, the logs read once beforehand so every program finds
# them in the page cache.  The four run one after the other, ROUNDS times
# over, so a busy moment of the machine falls on all of them alike; the
# table gives each one's median CPU time (user + system) with its range,
# and the median of the rounds' ratios.  All three counters must count the
# same kills.
#
#   bench/kelvalues/run.sh [-r ROUNDS] [MEGABYTES...]    default: -r 5 100 1000
#
# Builds the optimised native build (preset bench, build/bench).  Needs
# about twice the largest size free under $TMPDIR (default /tmp).
set -eu
cd "$(dirname "$0")/../.."
rounds=5
if [ "${1-}" = "-r" ]; then
  rounds=$2
  shift 2
fi
sizes=${*:-100 1000}

cmake --preset bench >/dev/null
cmake --build build/bench -j2 --target kelvalues kelvalues_synthetic_logs
kelvalues=build/bench/tools/kelvalues/kelvalues
synthetic_logs=build/bench/tests/kelvalues/kelvalues_synthetic_logs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command pinned to core 0 and appends "PROGRAM CPU-SECONDS
# PEAK-KILOBYTES" to $work/times; its standard error stays in $work/stderr.
measure() {
  program=$1
  shift
  /usr/bin/time -f "$program %U %S %M" -a -o "$work/times.raw" taskset -c 0 "$@" \
    2>"$work/stderr" >/dev/null || {
    cat "$work/stderr" >&2
    exit 1
  }
}

# The kills a counter's last line of standard error reports.
counted() {
  sed -n 's/.* \([0-9]*\) kills counted.*/\1/p' "$work/stderr"
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo
echo "| logs (MB) | kill lines | program | CPU median (s) | range (s) | MB/s | peak RSS (MB) | median ratio of the rounds | ratio range |"
echo "|---:|---:|---|---:|---:|---:|---:|---:|---:|"
for size in $sizes; do
  logs=$work/logs
  rm -rf "$logs"
  mkdir "$logs"
  "$synthetic_logs" --players 500 --megabytes "$size" --noise 0.02 --seed 1 "$logs"
  bytes=$(cat "$logs"/*.log | wc -c)
  : >"$work/times.raw"
  round=0
  while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    measure from-logs "$kelvalues" from-logs --half-life 30 "$logs" -o "$work/values.txt"
    ours=$(sed -n 's/.* \([0-9]*\) kills counted$/\1/p' "$work/stderr")
    measure python-re python3 bench/kelvalues/parse_kills.py "$logs"
    plain=$(counted)
    measure python-tuned python3 bench/kelvalues/parse_kills_tuned.py "$logs"
    tuned=$(counted)
    measure cat cat "$logs"/*.log
    if [ "$ours" != "$plain" ] || [ "$ours" != "$tuned" ]; then
      echo "run.sh: kills counted: from-logs $ours, parse_kills.py $plain," \
           "parse_kills_tuned.py $tuned" >&2
      exit 1
    fi
  done
  # Each program's rounds, in order: "PROGRAM ROUND CPU KB".
  awk '{ n[$1]++; print $1, n[$1], $2 + $3, $4 }' "$work/times.raw" >"$work/times"
  awk -v b="$bytes" -v k="$ours" '
    function median(list, count,   sorted, i, j, t) {
      for (i = 1; i <= count; i++) sorted[i] = list[i]
      for (i = 1; i <= count; i++)
        for (j = i + 1; j <= count; j++)
          if (sorted[j] < sorted[i]) { t = sorted[i]; sorted[i] = sorted[j]; sorted[j] = t }
      low = sorted[1]; high = sorted[count]
      return count % 2 ? sorted[(count + 1) / 2] : (sorted[count / 2] + sorted[count / 2 + 1]) / 2
    }
    { cpu[$1, $2] = $3; if ($4 > peak[$1]) peak[$1] = $4; rounds = $2 }
    END {
      mb = b / 1e6
      split("from-logs python-re python-tuned cat", programs, " ")
      for (p = 1; p <= 4; p++) {
        name = programs[p]
        for (r = 1; r <= rounds; r++) list[r] = cpu[name, r]
        m = median(list, rounds); lo = low; hi = high
        # The rounds ratio: a yardstick against from-logs, from-logs against cat.
        for (r = 1; r <= rounds; r++) {
          ours = cpu["from-logs", r] > 0 ? cpu["from-logs", r] : 0.01
          other = cpu[name, r] > 0 ? cpu[name, r] : 0.01
          ratio[r] = name == "cat" ? ours / other : other / ours
        }
        rm = median(ratio, rounds)
        what = name == "from-logs" ? "-" : sprintf("%.1fx", rm)
        span = name == "from-logs" ? "-" : sprintf("%.1f-%.1fx", low, high)
        if (name == "cat") what = what " of cat"
        printf "| %.0f | %d | %s | %.2f | %.2f-%.2f | %.0f | %.1f | %s | %s |\n", mb, k, name, m,
               lo, hi, mb / (m > 0 ? m : 0.01), peak[name] / 1024, what, span
      }
    }' "$work/times"
done
echo
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; the programs ran on core 0"
