#!/usr/bin/env bash
# End-to-end checks of the Windows build under wine: dimmwand.exe talks to dimmwand-emu through
# a COM name that the wine prefix maps onto the emulator's pseudo-terminal.
#   e2e.sh DIMMWAND_EXE DIMMWAND_EMU NATIVE_DIMMWAND SAMPLES_DIR
set -u
abs() { (cd "$(dirname "$1")" && echo "$PWD/$(basename "$1")"); }
exe=$(abs "$1") emu=$(abs "$2") native=$(abs "$3") samples=$(abs "$4")
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefix}
work=$(mktemp -d)
emu_pid=
cleanup() {
  [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null && wait "$emu_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# One wine server for the whole run, its own output kept out of every check's: a server started
# by a check would write into that check's standard error, and stop after 3 idle seconds (a
# native run against a silent programmer is longer).
wineserver -p >/dev/null 2>&1
wine "$exe" --version >/dev/null 2>&1  # the first run creates the prefix
com="$WINEPREFIX/dosdevices/com7"

# The emulator judges no byte write too fast unless asked (wine's processes can keep it from
# reading a frame for longer than a write cycle); the pacing check below measures the frames'
# times in the log instead. As in the native end-to-end tests it answers byte writes at once: a
# late answer could join the answer to the next request.
start_emulator() {  # options...
  "$emu" --write-cycle 0 --log "$work/frames.log" "$@" >"$work/port" &
  emu_pid=$!
  # Up to 10 s: on a loaded machine the emulator can take seconds to name its port.
  for _ in $(seq 500); do [ -s "$work/port" ] && break; sleep 0.02; done
  ln -sfn "$(head -n 1 "$work/port")" "$com"
}
stop_emulator() {
  kill "$emu_pid" 2>/dev/null
  wait "$emu_pid" 2>/dev/null
  emu_pid=
}

passed=0 failed=0
# check NAME STATUS OUT ERR [emulator options...] -- dimmwand arguments...
check() {
  local name=$1 status=$2 out=$3 err=$4
  shift 4
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  start_emulator "${options[@]}"
  (cd "$work" && wine "$exe" "$@" >"$work/out" 2>"$work/err")
  local got=$?
  stop_emulator
  if [ "$got" = "$status" ] && [ "$(cat "$work/out")" = "$out" ] && [ "$(cat "$work/err")" = "$err" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: status %s (want %s)\n--- out\n%s\n--- want\n%s\n--- err\n%s\n--- want\n%s\n' \
      "$name" "$got" "$status" "$(cat "$work/out")" "$out" "$(cat "$work/err")" "$err"
  fi
}
frames() { awk '{ print $2, $3, $4, $5, $6, $7, $8, $9, $10 }' "$work/frames.log" | grep -v '^#' | tr '\n' '|'; }
expect_frames() {  # NAME EXPECTED ("AA 55 ...|AA 55 ...|")
  if [ "$(frames)" = "$2" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED %s frames: %s\n' "$1" "$(frames)"; fi
}

dump3=$("$emu" -- "$native" read '{port}' 3)
check "read DDR3" 0 "$dump3" "" -- read COM7 3
expect_frames "read DDR3" "AA 55 05 03 00 00 00 00 E4|"
check "read with the device namespace prefix" 0 "$dump3" "" -- read '\\.\COM7' 3
check "read REG to a file" 0 "已保存 128 字节: reg5.bin" "" -- read COM7 5 -t REG -o reg5.bin
cmp -s "$work/reg5.bin" "$samples/reg5.bin" && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED saved REG image"; }
check "ReadByte" 0 "0C" "" -- ReadByte COM7 4 0002
check "WriteByte" 0 "1" "" -- WriteByte COM7 5 0003 0007
expect_frames "WriteByte" "AA 55 02 05 00 03 00 07 90|"
check "write-protect" 0 "设备返回: OK" "" -- write-protect COM7 4 0045
expect_frames "write-protect" "AA 55 03 04 00 00 00 45 6C|"
printf '\x01\x02\x0B' >"$work/中文.bin"  # not text (a text file is never written), DDR3's key byte
check "write from a Chinese file name" 0 "完成" "写入中 3 字节 ... " -- write COM7 3 -i 中文.bin
expect_frames "write" "AA 55 02 03 00 00 00 01 F0|AA 55 02 03 00 01 00 02 52|AA 55 02 03 00 02 00 0B 7C|"
check "silent programmer" 1 "" "错误: 无响应" --silent -- ReadByte COM7 3 0
check "short answer" 1 "" "错误: 数据不完整: 255 / 256 字节" --short 1 -- read COM7 3
check "bad hexadecimal" 2 "" "$("$native" ReadByte COM7 3 12G4 2>&1)" -- ReadByte COM7 3 12G4
check "missing file" 1 "" "$(wine "$exe" write COM7 3 -i missing.bin 2>&1)" -- write COM7 3 -i missing.bin
# The system's reason in Chinese, wine's own text after it.
check "a system error in Chinese" 1 "" "错误: 读取 missing.bin 失败: 找不到文件或文件夹（File not found.）" \
  -- write COM7 3 -i missing.bin

# The careful write and read, each outcome as the native build gives it.
cp "$samples/spd5.bin" "$work/fixed5.bin"
printf '\x11\x22' | dd of="$work/fixed5.bin" bs=1 seek=510 conv=notrunc 2>/dev/null
native_run() {  # emulator options... -- dimmwand arguments...: the native output in native.out and native.err
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  (cd "$work" && "$emu" "${options[@]}" -- "$native" "$@" >"$work/native.out" 2>"$work/native.err")
  # Where a message names the port, the native run names its pseudo-terminal.
  sed -i 's|/dev/pts/[0-9]*|COM7|g' "$work/native.out" "$work/native.err"
}
check_as_native() {  # NAME STATUS emulator options... -- arguments (with COM7 for the port)
  local name=$1 status=$2
  shift 2
  native_run "${@//COM7/\{port\}}"
  check "$name" "$status" "$(cat "$work/native.out")" "$(cat "$work/native.err")" "$@"
}
check "careful write" 0 "$(printf '已备份 1024 字节: b.bin\n完成\n校验通过')" "写入中 2 字节（1022 字节相同，跳过） ... " \
  -- write COM7 5 -i fixed5.bin --backup b.bin --changed --verify
# The hub's registers, the backup read twice (two reads must agree), the two bytes, the read-back.
expect_frames "careful write" "AA 55 06 05 00 00 00 00 88|AA 55 05 05 00 00 00 00 D1|AA 55 05 05 00 00 00 00 D1|AA 55 02 05 01 FE 00 11 51|AA 55 02 05 01 FF 00 22 D7|AA 55 05 05 00 00 00 00 D1|"
cmp -s "$work/b.bin" "$samples/spd5.bin" && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED backup content"; }
check "existing backup" 1 "" "$(printf '错误: 备份文件已存在: b.bin\n提示: 备份从不覆盖已有的文件；换一个名字，如 --backup b-2.bin')" \
  -- write COM7 5 -i fixed5.bin --backup b.bin
check_as_native "a lost write caught" 1 --lose-writes 1FF -- write COM7 5 -i fixed5.bin --changed --verify
check_as_native "a protected block refused" 1 --protect-blocks 7 -- write COM7 5 -i fixed5.bin --changed --verify
check_as_native "a flaky read caught" 1 --flaky 2 -- read COM7 5 --verify
check_as_native "WriteByte --verify" 1 --protect-range 10 -- WriteByte COM7 4 0010 AB --verify

# What the write refuses before any write frame, and what it says after frames went out.
"$emu" -- "$native" read '{port}' 4 >"$work/spd4.txt"
cp "$samples/spd4.bin" "$work/spd4.bin"
cp "$samples/reg5.bin" "$work/protect5.bin"
printf '\xff' | dd of="$work/protect5.bin" bs=1 seek=12 conv=notrunc 2>/dev/null
printf '\x01\x02\x0B\x04' >"$work/small.bin"
check_as_native "a text dump refused" 1 -- write COM7 4 -i spd4.txt
expect_frames "a text dump refused" ""
check_as_native "another generation's image refused" 1 -- write COM7 5 -i spd4.bin --check
expect_frames "another generation's image refused" ""
check_as_native "another generation's image refused by a plain write" 1 -- write COM7 5 -i spd4.bin
expect_frames "another generation's image refused by a plain write" ""
mkdir "$work/backups"
check_as_native "a folder for a backup" 1 -- write COM7 3 -i small.bin --backup backups
check_as_native "block protection refused" 1 -- write COM7 5 -t reg -i protect5.bin --check
expect_frames "block protection refused" "AA 55 06 05 00 00 00 00 88|"
check_as_native "WriteByte answered 0" 1 --write-answer 0 -- WriteByte COM7 3 0 1
check_as_native "a write not verified" 1 --silent -- write COM7 3 -i small.bin --verify

# Ctrl-C in the middle of a block write: wine turns SIGINT into the console's Ctrl-C event.
start_emulator
(cd "$work" && exec wine "$exe" write COM7 3 -i "$(winepath -w "$samples/spd3.bin")" >"$work/out" 2>"$work/err") &
wine_pid=$!
for _ in $(seq 200); do [ "$(grep -c WriteByte "$work/frames.log")" -ge 20 ] && break; sleep 0.02; done
kill -INT "$wine_pid"
wait "$wine_pid"
got=$?
stop_emulator
sent=$(grep -c WriteByte "$work/frames.log")
if [ "$got" = 130 ] && [ "$(cat "$work/err")" = "写入中 256 字节 ... 错误: 已中断: 已写入 $sent / 256 字节" ] && [ "$sent" -lt 256 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1)); printf 'FAILED interrupt: status %s, %s frames, err:\n%s\n' "$got" "$sent" "$(cat "$work/err")"
fi

# scan --long names the same ports as scan (wine has no Ports-class devices: the other columns
# are "-").
names=$(wine "$exe" scan 2>&1 | tr -d '\r')
long=$(wine "$exe" scan --long 2>&1 | tr -d '\r')
if [ "$names" = "未找到可用串口" ]; then want_long=$names; else want_long=$(printf '%s\n' "$names" | awk '{ print $1 }'); fi
got_long=$(printf '%s\n' "$long" | awk 'NR > 1 || $1 == "未找到可用串口" { print $1 }')
[ "$got_long" = "$want_long" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); printf 'FAILED scan --long:\n%s\n' "$long"; }

# dimmwand-spd.exe on the shipped samples, a wide path among them.
spd_exe="$(dirname "$exe")/dimmwand-spd.exe"
cp "$samples/spd5.bin" "$work/内存.bin"
got=$(cd "$work" && wine "$spd_exe" check 内存.bin 2>&1)
want=$("$(dirname "$native")/dimmwand-spd" check "$samples/spd5.bin" 2>&1)
[ "$got" = "$want" ] && passed=$((passed + 1)) || { failed=$((failed + 1)); printf 'FAILED dimmwand-spd.exe check:\n%s\n--- want\n%s\n' "$got" "$want"; }

# Pacing of a 128-byte block write: the pause must stay 7 ms on Windows' coarse timer too.
# Never shorter; a 15.6 ms timer tick would double the span, while a loaded machine's late
# wake-ups add a few per cent, so the upper bound sits between the two.
check "block write pacing" 0 "完成" "写入中 128 字节 ... " -- write COM7 5 -t reg -i "$(winepath -w "$samples/reg5.bin")"
pacing=$(awk '$11 == "WriteRegByte" { if (!n++) first = $1; last = $1 } END { printf "%.4f", (last - first) / ((n - 1) * 0.007) }' "$work/frames.log")
echo "wine: 128-frame write, first to last / (127 x 7 ms) = $pacing"
awk -v r="$pacing" 'BEGIN { exit !(r >= 1.0 && r < 1.25) }' && passed=$((passed + 1)) || { failed=$((failed + 1)); echo "FAILED pacing $pacing"; }

echo "wine-e2e: $passed passed, $failed failed"
[ "$failed" = 0 ]
