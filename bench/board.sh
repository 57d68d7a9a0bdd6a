#!/usr/bin/env bash
# How fast simavr runs the programmer's firmware here, and what the board costs: a whole DDR5 SPD
# read and a whole DDR5 write (1024 frames at the host's 7 ms) on dimmwand-board. Prints each
# run's wall time and processor time, and the board's own measure of simavr's speed while the
# AVR was awake (the last note of its log).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed: apt-get install time" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/spd5.bin "$work/module.bin"
head -c 1024 /dev/urandom >"$work/image.bin"
for run in $(seq "${RUNS:-3}"); do
  for what in read write; do
    if [ "$what" = read ]; then
      command=("$build/dimmwand" read '{port}' 5 -o "$work/out.bin")
    else
      command=("$build/dimmwand" write '{port}' 5 -i "$work/image.bin")
    fi
    /usr/bin/time -f "%e %U %S" -o "$work/time" \
      "$build/dimmwand-board" --spd5 "$work/module.bin" --log "$work/log" -- "${command[@]}" >/dev/null 2>&1
    read -r wall user sys <"$work/time"
    speed=$(tail -1 "$work/log" | sed 's/^# [0-9.]* //')
    echo "run $run, $what: $wall s, processor $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') s; $speed"
  done
done
