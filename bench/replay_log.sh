#!/usr/bin/env bash
# Writes a candump log of N messages (default 1,000,000) for timing canhost run --replay: the
# kuksa Model 3 trace of ../shared/realdata repeated back to back, each copy 22.1 s after the one
# before, so the log is in time order and keeps the trace's density (about 550 messages a
# second, 30 minutes for a million). Usage: bench/replay_log.sh OUT.log [N]
#
#   bench/replay_log.sh /tmp/million.log
#   /usr/bin/time -v build/release/bin/canhost run --settings /tmp/s --fast --quiet \
#     --replay /tmp/million.log --dbc 0=../shared/realdata/dbc/kuksa_Model3CAN.dbc \
#     --all-signals --signals /tmp/signals.csv
set -euo pipefail
out=${1:?usage: $0 OUT.log [messages]}
count=${2:-1000000}
trace="$(dirname "$0")/../../shared/realdata/traces/kuksa_tesla_m3_dogmode.log"
[ -f "$trace" ] || { echo "missing $trace" >&2; exit 1; }
awk -v count="$count" -v period=22.1 '
  { line[NR] = $0; sub(/^\(/, "", $1); sub(/\)$/, "", $1); t[NR] = $1 + 0 }
  END {
    n = 0
    for (copy = 0; n < count; ++copy)
      for (i = 1; i <= NR && n < count; ++i) {
        rest = line[i]; sub(/^\([^)]*\)/, "", rest)
        printf "(%.6f)%s\n", t[i] - t[1] + copy * period, rest
        ++n
      }
  }' "$trace" > "$out"
