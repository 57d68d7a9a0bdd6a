#!/usr/bin/env bash
# Cost of a whole DDR5 SPD read: the emulator running the read, against the emulator running
# `true`, in the same hyperfine run. The difference is the tool's own time for the read.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
command -v hyperfine >/dev/null || { echo "hyperfine is needed: apt-get install hyperfine" >&2; exit 1; }
hyperfine -N --warmup 10 --runs "${RUNS:-200}" \
  "$build/dimmwand-emu -- true" \
  "$build/dimmwand-emu -- $build/dimmwand read {port} 5"
