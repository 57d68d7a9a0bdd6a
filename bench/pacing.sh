#!/usr/bin/env bash
# Pacing of a block write: writes a full DDR5 SPD image (1024 frames) to the emulator and
# measures, from the emulator's frame log, the gaps between frame arrivals.
# The first-to-last time divided by 1023 x 7 ms should lie between 1.00 and 1.01: each pause ends
# 7 ms after its frame went out, so the time spent between frames does not add up.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for run in $(seq "${RUNS:-3}"); do
  "$build/dimmwand-emu" --log "$log" -- "$build/dimmwand" write '{port}' 5 -i samples/spd5.bin >/dev/null 2>&1
  span=$(awk '$11 == "WriteByte" { if (!n++) first = $1; last = $1 } END { printf "%d %.6f", n, last - first }' "$log")
  awk '$11 == "WriteByte" { if (n++) printf "%.6f\n", ($1 - prev) * 1000; prev = $1 }' "$log" | sort -n |
    awk -v run="$run" -v span="$span" '
      { g[++m] = $1 }
      END {
        split(span, s, " ")
        printf "run %d: %d frames in %.4f s, ratio %.4f; gap ms: median %.4f, min %.4f, p1 %.4f, p99 %.4f, max %.4f\n",
               run, s[1], s[2], s[2] / (m * 0.007), g[int((m + 1) / 2)], g[1], g[int(m * 0.01) + 1], g[int(m * 0.99)], g[m]
      }'
done
