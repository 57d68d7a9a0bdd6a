#!/usr/bin/env bash
# Eight emulators and eight concurrent 256-byte DDR3 writes, against one write alone: the tool
# holds no shared state, so eight should take about the time of one. Every area is checked
# byte for byte afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
n=${PARALLEL:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 256 /dev/urandom >"$work/image.bin"

one_write() {  # index
  cp samples/spd3.bin "$work/module$1.bin"
  "$build/dimmwand-emu" --spd3 "$work/module$1.bin" --save -- \
    "$build/dimmwand" write '{port}' 3 -i "$work/image.bin" >/dev/null 2>"$work/err$1"
}

now() { date +%s.%N; }
start=$(now)
one_write 0
single=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')

start=$(now)
for i in $(seq 1 "$n"); do one_write "$i" & done
wait
parallel=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')

bad=0
for i in $(seq 0 "$n"); do
  cmp -s "$work/module$i.bin" "$work/image.bin" || { bad=$((bad + 1)); echo "module $i differs"; }
  grep -q . "$work/err$i" && [ "$(cat "$work/err$i")" != "写入中 256 字节 ... " ] && { bad=$((bad + 1)); cat "$work/err$i"; }
done
printf 'one write: %.3f s; %d concurrent writes: %.3f s (%.2f times one); areas wrong: %d\n' \
  "$single" "$n" "$parallel" "$(awk -v a="$parallel" -v b="$single" 'BEGIN { print a / b }')" "$bad"
[ "$bad" = 0 ]
