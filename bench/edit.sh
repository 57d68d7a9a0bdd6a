#!/usr/bin/env bash
# The careful write on a real-paced line: the emulator delivers answers at 115200 baud after a
# programmer read time (READ_MS, default 20 ms: a 400 kHz I2C read of a whole DDR5 SPD area).
#
# 1. A DDR5 checksum repair: the module differs from the image in its two base-checksum bytes.
#    `write --changed --verify` against a plain `write` of the same image; both must leave the
#    module byte-identical to the image. Goal: at least 15 times faster.
# 2. The cost of --verify: a 16-byte DDR4 write with and without --verify, against a plain read
#    of the DDR4 area. Goal: the difference at most 1.05 times the read.
# Medians of RUNS runs (default 5). Prints its figures; never fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
emu=$build/dimmwand-emu tool=$build/dimmwand
runs=${RUNS:-5} read_ms=${READ_MS:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$emu" --export "$work"
line=(--line-rate --read-time "$read_ms")

# Seconds taken by one run of the emulator with the tool; a failed run stops the benchmark.
seconds() {
  local start end
  start=$(date +%s%N)
  "$emu" "${line[@]}" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  end=$(date +%s%N)
  calc "($end - $start) / 1000000000"
}
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.4f", v[int((NR + 1) / 2)] }'; }
repeat() { for _ in $(seq "$runs"); do "$@"; done | median; }

# The module: the image with a broken base checksum.
cp "$work/spd5.bin" "$work/image.bin"
broken() { cp "$work/image.bin" "$work/module.bin"; printf '\x00\x00' | dd of="$work/module.bin" bs=1 seek=510 conv=notrunc 2>/dev/null; }
same() { cmp -s "$work/module.bin" "$work/image.bin" && echo yes || echo NO; }

broken
plain=$(seconds --spd5 "$work/module.bin" --save -- "$tool" write '{port}' 5 -i "$work/image.bin")
plain_same=$(same)
edit_runs=()
for _ in $(seq "$runs"); do
  broken
  edit_runs+=("$(seconds --spd5 "$work/module.bin" --save -- "$tool" write '{port}' 5 -i "$work/image.bin" --changed --verify)")
done
edit=$(printf '%s\n' "${edit_runs[@]}" | median)
edit_same=$(same)
printf 'DDR5 checksum repair, line rate, read time %s ms:\n' "$read_ms"
printf '  write                     %8.4f s  module equals image: %s\n' "$plain" "$plain_same"
printf '  write --changed --verify  %8.4f s  module equals image: %s  (median of %s)\n' "$edit" "$edit_same" "$runs"
printf '  speed-up %.1fx (goal: at least 15x)\n' "$(calc "$plain / $edit")"

head -c 16 "$work/spd4.bin" >"$work/head4.bin"
read4=$(repeat seconds -- "$tool" read '{port}' 4)
write4=$(repeat seconds -- "$tool" write '{port}' 4 -i "$work/head4.bin")
verify4=$(repeat seconds -- "$tool" write '{port}' 4 -i "$work/head4.bin" --verify)
printf 'Cost of --verify on DDR4, line rate, read time %s ms (medians of %s):\n' "$read_ms" "$runs"
printf '  read                      %8.4f s\n' "$read4"
printf '  write of 16 bytes         %8.4f s\n' "$write4"
printf '  the same with --verify    %8.4f s\n' "$verify4"
printf '  --verify costs %.4f s = %.3f x the read (goal: at most 1.05)\n' \
  "$(calc "$verify4 - $write4")" "$(calc "($verify4 - $write4) / $read4")"
