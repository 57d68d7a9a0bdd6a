#!/usr/bin/env bash
# Pacing of a block write: a full DDR5 SPD image (1024 frames) written to the emulator, by the
# native build and by the Windows build under wine (when build-win/dimmwand.exe is there), each
# on the machine as it is and with two busy loops beside it. Each run reports the shortest gap
# between two frames and the first-to-last span over 1023 x 7 ms, stamped on both sides:
#   emulator  when the emulator read the frame from its pseudo-terminal (late when the machine
#             is busy: the kernel hands pseudo-terminal input on in a worker thread, and two
#             frames read together show a gap of 0);
#   host      when the tool's write call for the frame entered the kernel, in a second write
#             under perf trace where perf runs (otherwise "-"); perf slows each write call a
#             little, so the span to judge is the emulator's.
# The pause is 7 ms from one frame's write to the next, and never less than the EEPROM's write
# cycle (5 ms) after the frame left the port. On a quiet machine the span comes out within 2 %
# of 1023 x 7 ms natively.
#   bench/pacing.sh            BUILD=build WIN_BUILD=build-win RUNS=1
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
win_build=${WIN_BUILD:-build-win}
work=$(mktemp -d)
busy=()
emu=
cleanup() {
  [ -n "$emu" ] && kill "$emu" 2>/dev/null
  for p in "${busy[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
cp samples/spd5.bin "$work/spd5.bin"
perf_ok=false
perf trace -a -e write -o "$work/probe" -- true >/dev/null 2>&1 && perf_ok=true

kinds=(native)
if [ -x "$win_build/dimmwand.exe" ] && command -v wine >/dev/null; then
  kinds+=(wine)
  export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/$win_build/wineprefix}
  wineserver -p5 >/dev/null 2>&1 || true  # one server for every run, gone 5 s after the last
  wine "$win_build/dimmwand.exe" --version >/dev/null 2>&1 || true  # a warm wine: the first runs are slow
fi

# One write of the image by KIND, the emulator logging the frames; under perf trace with TRACE=yes.
write_once() {  # KIND TRACE
  local kind=$1 trace=$2
  # Byte writes answered at once: an emulator asleep in a write cycle would stamp the next frame late.
  "$build/dimmwand-emu" --write-cycle 0 --log "$work/frames.log" >"$work/port" &
  emu=$!
  for _ in $(seq 500); do [ -s "$work/port" ] && break; sleep 0.02; done
  local port command
  port=$(head -n 1 "$work/port")
  if [ "$kind" = native ]; then
    command=("$PWD/$build/dimmwand" write "$port" 5 -i spd5.bin)
  else
    ln -sfn "$port" "$WINEPREFIX/dosdevices/com9"
    command=(wine "$PWD/$win_build/dimmwand.exe" write COM9 5 -i spd5.bin)
  fi
  [ "$trace" = yes ] && command=(perf trace -a -e write -o "$work/trace" -- "${command[@]}")
  (cd "$work" && "${command[@]}" >/dev/null 2>&1)
  kill "$emu"
  wait "$emu" 2>/dev/null || true
  emu=
}

one_run() {  # KIND LOOPS RUN
  local kind=$1 loops=$2 run=$3
  for _ in $(seq "$loops"); do
    (while :; do :; done) &
    busy+=($!)
  done
  write_once "$kind" no
  local received
  received=$(awk '$11 == "WriteByte" { print $1 }' "$work/frames.log" | gaps)
  # The host's side in a second write under perf trace (which slows every write call a little):
  # the tool's nine-byte writes to the descriptor most of them went to.
  local host=-
  if $perf_ok; then
    write_once "$kind" yes
    local comm=dimmwand
    [ "$kind" = wine ] && comm=dimmwand.exe
    grep -E " $comm/[0-9]+ write\(fd: [0-9]+, buf: [^,]+, count: 9\)" "$work/trace" |
      sed -E 's/^ *([0-9.]+) .*write\(fd: ([0-9]+),.*/\2 \1/' >"$work/writes" || true
    local fd
    fd=$(awk '{ print $1 }' "$work/writes" | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')
    host=$(awk -v fd="$fd" '$1 == fd { printf "%.6f\n", $2 / 1000 }' "$work/writes" | sort -n | gaps)
  fi
  for p in "${busy[@]}"; do kill "$p" 2>/dev/null; done
  busy=()
  printf '%-6s %d busy loops, run %d, load %s\n  emulator: %s\n  host:     %s\n' "$kind" "$loops" "$run" \
    "$(cut -d' ' -f1 /proc/loadavg)" "$received" "$host"
}

# Times in seconds, one a line, in order: the frame count, the shortest gap, and the span's ratio.
gaps() {
  awk '{ t[++n] = $1 }
       END {
         if (n < 2) { printf "%d frames", n; exit }
         for (i = 2; i <= n; i++) { g = t[i] - t[i - 1]; if (i == 2 || g < m) m = g }
         printf "%d frames, shortest gap %.3f ms, span %.4f s = %.4f x 1023 x 7 ms", n, m * 1000, t[n] - t[1], (t[n] - t[1]) / ((n - 1) * 0.007)
       }'
}

echo "host stamps: $($perf_ok && echo "perf trace" || echo "none (perf trace does not run here)"); the load is the one-minute load average after each run"
for kind in "${kinds[@]}"; do
  for loops in 0 2; do
    for run in $(seq "${RUNS:-1}"); do one_run "$kind" "$loops" "$run"; done
  done
done
