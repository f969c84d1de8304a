#!/bin/sh
# Reading speed and peak memory of kelvalues from-logs against a plain
# Python script with the re module (parse_kills.py), side by side on the
# same synthetic logs (500 players), each pinned to one core, the logs read
# once beforehand so both find them in the page cache.  from-logs runs
# twice: as it is (with AVX-512 where the processor has it) and with
# KELVALUES_PORTABLE=1 (SSE2 only, as on any x86-64); both must write the
# same file.
#
#   bench/kelvalues/run.sh [MEGABYTES...]    default: 100 1000
#
# Builds the optimised native build (preset bench, build/bench).  Needs
# about twice the largest size free under $TMPDIR (default /tmp).
set -eu
cd "$(dirname "$0")/../.."
sizes=${*:-100 1000}

cmake --preset bench >/dev/null
cmake --build build/bench -j2 --target kelvalues kelvalues_synthetic_logs
kelvalues=build/bench/tools/kelvalues/kelvalues
synthetic_logs=build/bench/bench/kelvalues/kelvalues_synthetic_logs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "SECONDS KILOBYTES" of peak resident memory for a command.
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" taskset -c 0 "$@" 2>"$work/stderr" >/dev/null || {
    cat "$work/stderr" >&2
    exit 1
  }
  cat "$work/time"
}

echo "| logs (MB) | kill lines | from-logs (s) | from-logs (MB/s) | from-logs peak RSS (MB) | SSE2 only (s) | Python re (s) | Python (MB/s) | Python peak RSS (MB) | speed-up | SSE2 only speed-up |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for size in $sizes; do
  logs=$work/logs
  rm -rf "$logs"
  mkdir "$logs"
  "$synthetic_logs" --players 500 --megabytes "$size" --noise 0.02 --seed 1 "$logs"
  bytes=$(cat "$logs"/*.log | wc -c)
  cat "$logs"/*.log >/dev/null
  set -- $(measure "$kelvalues" from-logs --half-life 30 "$logs" -o "$work/values.txt")
  ours_s=$1 ours_kb=$2
  counted=$(sed -n 's/.* \([0-9]*\) kills counted$/\1/p' "$work/stderr")
  set -- $(measure env KELVALUES_PORTABLE=1 "$kelvalues" from-logs --half-life 30 "$logs" \
             -o "$work/portable.txt")
  portable_s=$1
  if ! cmp -s "$work/values.txt" "$work/portable.txt"; then
    echo "run.sh: the SSE2 way wrote another file than the default way" >&2
    exit 1
  fi
  set -- $(measure python3 bench/kelvalues/parse_kills.py "$logs")
  python_s=$1 python_kb=$2
  python_counted=$(sed -n 's/.* \([0-9]*\) kills counted.*/\1/p' "$work/stderr")
  if [ "$counted" != "$python_counted" ]; then
    echo "run.sh: from-logs counted $counted kills, parse_kills.py $python_counted" >&2
    exit 1
  fi
  awk -v b="$bytes" -v k="$counted" -v os="$ours_s" -v ok="$ours_kb" -v ps="$python_s" \
      -v pk="$python_kb" -v ss="$portable_s" 'BEGIN {
    mb = b / 1e6
    printf "| %.0f | %d | %.2f | %.0f | %.1f | %.2f | %.2f | %.1f | %.1f | %.1fx | %.1fx |\n", mb, k,
           os, mb / os, ok / 1024, ss, ps, mb / ps, pk / 1024, ps / os, ps / ss }'
done
