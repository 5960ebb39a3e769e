#!/usr/bin/env bash
# Tests the Windows program under Wine:
#  1. installs mingw-w64 and Wine when missing, cross-builds (build-windows.sh);
#  2. runs the Windows test suites under Wine, in a private prefix;
#  3. starts the Linux kv9sim on a pty, makes it the Wine port COM7, runs the
#     Win32 port's own suite on it, and runs kv9flash.exe against it (version, update, an S-record update, a refused
#     programming frame, two ports at once, an FTDI adapter's latency advice), checking that the
#     log lines and exit codes are those
#     of the Linux kv9flash against the same module, that the port is listed
#     from the registry, and that the simulated flash holds exactly the image;
#  4. drives the window kv9update.exe by keys on Xvfb against kv9sim as COM1
#     and installs and uninstalls the setup program (test-windows-window.sh).
set -euo pipefail
# Only the simulated modules' ports in the Wine prefix, not the machine's.
source "$(dirname "$0")/wine-private-dev.sh"
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
step_start=$SECONDS
step() { echo "test-windows: $* (at $((SECONDS - step_start)) s)"; }

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64)
command -v wine >/dev/null || need+=(wine)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v makensis >/dev/null || need+=(nsis)
if [ ${#need[@]} -gt 0 ]; then
  step "installing ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

step "cross build"
bash scripts/build-windows.sh

# The Linux programs the Windows one is compared with.
if [ -f build/build.ninja ]; then
  native=$root/build
else
  native=$out/native
  [ -f "$native/build.ninja" ] || cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV9_BUILD_GUI=OFF -DKV9_BUILD_TESTS=OFF >/dev/null
fi
step "native kv9sim and kv9flash"
cmake --build "$native" --target kv9sim kv9flash >/dev/null

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEARCH=win64
# No .NET or browser engine: the prefix needs neither, and fetching them would
# need the network.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

step "Windows test suites under Wine"
failed=0
for suite in "$out"/tests/*/*.exe; do
  [ "$(basename "$suite")" = kv9_win_port_tests.exe ] && continue  # needs the port, below
  if wine "$suite" --gtest_brief=1 >"$out/$(basename "$suite" .exe).log" 2>&1; then
    echo "  $(basename "$suite"): $(tr -d '\r' <"$out/$(basename "$suite" .exe).log" | grep -E '^\[  PASSED  \]')"
  else
    echo "  $(basename "$suite"): FAILED"
    tr -d '\r' <"$out/$(basename "$suite" .exe).log" | tail -30
    failed=1
  fi
done
[ $failed -eq 0 ] || { echo "test-windows: a test suite failed"; exit 1; }

# --- kv9flash.exe against the simulated module ---------------------------
work=$out/e2e
rm -rf "$work"
mkdir -p "$work/ports"
export KV9_PORT_DIR=$work/ports
com=7
sim_pid=""
com2=8
sim2_pid=""
stop_sim() {
  local pid
  for pid in "$sim_pid" "$sim2_pid"; do
    [ -n "$pid" ] || continue
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  sim_pid=""
  sim2_pid=""
}
trap stop_sim EXIT

# start_sim NAME [kv9sim options]: a fresh module that dumps to $work/NAME.
start_sim() {
  local name=$1
  shift
  "$native/sim/kv9sim" --com $com --port-dir "$KV9_PORT_DIR" --dump "$work/$name" "$@" \
    >"$work/$name.sim.out" 2>"$work/$name.sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q "ready on" "$work/$name.sim.out" 2>/dev/null && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "test-windows: kv9sim did not start"; cat "$work/$name.sim.err"; exit 1
}

# start_second_sim NAME [kv9sim options]: another module, on COM$com2.
start_second_sim() {
  local name=$1
  shift
  "$native/sim/kv9sim" --com $com2 --port-dir "$KV9_PORT_DIR" --dump "$work/$name" "$@" \
    >"$work/$name.sim.out" 2>"$work/$name.sim.err" &
  sim2_pid=$!
  for _ in $(seq 100); do
    grep -q "ready on" "$work/$name.sim.out" 2>/dev/null && return 0
    kill -0 "$sim2_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "test-windows: the second kv9sim did not start"; cat "$work/$name.sim.err"; exit 1
}

# Wine's own port table: a COM entry under Wine\Ports becomes a device and a
# SERIALCOMM value at the next start of the Wine server. It points at the
# link the simulator publishes, so every fresh simulator is the same port.
step "mapping COM$com to the simulator's pty"
start_sim probe
wine reg add 'HKLM\Software\Wine\Ports' /v "COM$com" /t REG_SZ /d "$KV9_PORT_DIR/COM$com" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v "COM$com2" /t REG_SZ /d "$KV9_PORT_DIR/COM$com2" /f >/dev/null
# Links of earlier runs (the machine's /dev/ttyS0 among them) go; the Wine
# server makes the ones it lists anew.
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
wineserver -k || true
wineserver -w || true
# This starts the Wine server that serves the rest of the run. It takes the
# pty as its controlling terminal and writes a report of its objects each
# time a simulator hangs up; that goes to a file, not into the test's output.
wine "$out/cli/kv9flash.exe" ports 2>"$work/wineserver.log" | tr -d '\r' >"$work/ports.txt"
if ! grep -q "^COM$com	\\\\\\\\.\\\\COM$com	" "$work/ports.txt"; then
  echo "test-windows: COM$com is not in the registry's port list:"; cat "$work/ports.txt"; exit 1
fi
echo "  ports: $(grep "^COM$com" "$work/ports.txt" | tr '\t' ' ')"
# The simulated modules' ports and nothing else: a port of the machine would
# be opened by a search.
if [ "$KV9_WINE_PRIVATE_DEV" = done ] && [ "$(grep -c '^COM' "$work/ports.txt")" != 2 ]; then
  echo "test-windows: the prefix lists other ports than COM$com and COM$com2:"; cat "$work/ports.txt"; exit 1
fi
# The Win32 port itself on that port: frames both ways, reopening, exclusive use.
if ! KV9_TEST_PORT=COM$com wine "$out/tests/windows/kv9_win_port_tests.exe" --gtest_brief=1 >"$work/port_tests.log" 2>&1; then
  echo "  kv9_win_port_tests.exe: FAILED"; tr -d '\r' <"$work/port_tests.log" | tail -30; exit 1
fi
echo "  kv9_win_port_tests.exe: $(tr -d '\r' <"$work/port_tests.log" | grep -E '^\[  PASSED  \]')"
stop_sim

# run_case NAME EXPECTED_EXIT [kv9sim options] -- [kv9flash arguments]
run_case() {
  local name=$1 expect=$2
  shift 2
  local sim_args=()
  while [ "$1" != "--" ]; do sim_args+=("$1"); shift; done
  shift
  local rc
  start_sim "$name.linux" "${sim_args[@]}"
  rc=0; "$native/cli/kv9flash" --port "COM$com" "$@" >"$work/$name.linux.out" 2>"$work/$name.linux.err" || rc=$?
  echo $rc >"$work/$name.linux.rc"
  stop_sim
  start_sim "$name.win" "${sim_args[@]}"
  rc=0; wine "$out/cli/kv9flash.exe" --port "COM$com" "$@" >"$work/$name.win.raw" 2>"$work/$name.win.err" || rc=$?
  echo $rc >"$work/$name.win.rc"
  stop_sim
  tr -d '\r' <"$work/$name.win.raw" >"$work/$name.win.out"
  local bad=0
  if [ "$(cat "$work/$name.linux.rc")" != "$expect" ]; then
    echo "  $name: Linux kv9flash exited $(cat "$work/$name.linux.rc"), expected $expect"; bad=1
  fi
  if [ "$rc" != "$expect" ]; then echo "  $name: kv9flash.exe exited $rc, expected $expect"; bad=1; fi
  if ! diff -u "$work/$name.linux.out" "$work/$name.win.out" >"$work/$name.diff"; then
    echo "  $name: log lines differ from the Linux build:"; cat "$work/$name.diff"; bad=1
  fi
  if [ $bad -ne 0 ]; then
    echo "  kv9flash.exe stderr:"; tr -d '\r' <"$work/$name.win.err"
    exit 1
  fi
  echo "  $name: exit $rc, $(wc -l <"$work/$name.win.out") log lines as on Linux"
}

# same_flash NAME EXPECTED_FILE: the first bytes of the module's flash (all
# but the resident loader's 16 KB) are exactly the expected image.
same_flash() {
  local name=$1 expected=$2 size=245760
  if ! cmp -n $size "$work/$name.win/flash.bin" "$expected"; then
    echo "test-windows: $name: the simulated flash is not the image"; exit 1
  fi
  cmp -n $size "$work/$name.win/flash.bin" "$work/$name.linux/flash.bin"
  echo "  $name: flash holds exactly the image ($size bytes compared)"
}

step "kv9flash.exe against kv9sim"
run_case version 0 -- version
run_case update 0 -- update
same_flash update "$native/generated/resources/hexdata1.bin"

# An S-record file: 4 KB at the start of the area in S3 records, an S7
# termination record; everything else in the area stays erased.
python3 - "$work/image.mot" "$work/image.expected" <<'EOF'
import random, sys
random.seed(16)
data = bytes(random.randrange(256) for _ in range(4096))
start = 0xFFFC0000
def rec(kind, addr, payload):
    body = bytes([len(payload) + 5]) + addr.to_bytes(4, "big") + payload
    return f"S{kind}" + body.hex().upper() + f"{0xFF - (sum(body) & 0xFF):02X}"
lines = [rec(3, start + i, data[i:i + 32]) for i in range(0, len(data), 32)]
lines.append(rec(7, start, b""))
open(sys.argv[1], "w").write("\r\n".join(lines) + "\r\n")
open(sys.argv[2], "wb").write(data + b"\xFF" * (262144 - len(data)))
EOF
run_case image 0 -- --image "$work/image.mot" update
same_flash image "$work/image.expected"

# The fifth programming frame is refused: stage NG, the advice, exit 1.
run_case write-refused 1 --error-reply boot:50/5=53 -- update

# Two modules at once, the second refusing its fifth programming frame: each
# port's lines (COM7: ..., COM8: ...) and the table's rows but their times as
# on Linux, exit 1, and the first module holds the image.
run_several() {
  local side rc
  for side in linux win; do
    start_sim "several.$side"
    start_second_sim "several8.$side" --error-reply boot:50/5=53
    rc=0
    if [ $side = linux ]; then
      "$native/cli/kv9flash" --port "COM$com" --port "COM$com2" update \
        >"$work/several.linux.out" 2>"$work/several.linux.err" || rc=$?
    else
      wine "$out/cli/kv9flash.exe" --port "COM$com" --port "COM$com2" update \
        >"$work/several.win.raw" 2>"$work/several.win.rawerr" || rc=$?
      tr -d '\r' <"$work/several.win.raw" >"$work/several.win.out"
      tr -d '\r' <"$work/several.win.rawerr" >"$work/several.win.err"
    fi
    echo $rc >"$work/several.$side.rc"
    stop_sim
  done
  local bad=0 p
  for side in linux win; do
    if [ "$(cat "$work/several.$side.rc")" != 1 ]; then
      echo "  several: $side exited $(cat "$work/several.$side.rc"), expected 1"; bad=1
    fi
    grep -E "^COM($com|$com2) +" "$work/several.$side.err" | sed -E 's/ +[0-9.]+ s$//' >"$work/several.$side.table" || true
  done
  for p in "COM$com" "COM$com2"; do
    grep "^$p: " "$work/several.linux.out" >"$work/several.linux.$p" || true
    grep "^$p: " "$work/several.win.out" >"$work/several.win.$p" || true
    if [ ! -s "$work/several.linux.$p" ] || ! diff -u "$work/several.linux.$p" "$work/several.win.$p"; then
      echo "  several: $p's log lines differ from the Linux build"; bad=1
    fi
  done
  # The children's CR LF is the parent's own end of line, not a CR more.
  if grep -q $'\r\r' "$work/several.win.raw" "$work/several.win.rawerr"; then
    echo "  several: lines end in CR CR LF"; bad=1
  fi
  if [ "$(wc -l <"$work/several.linux.table")" != 2 ] ||
     ! diff -u "$work/several.linux.table" "$work/several.win.table"; then
    echo "  several: the table differs from the Linux build"; bad=1
  fi
  if [ $bad -ne 0 ]; then echo "  kv9flash.exe stderr:"; cat "$work/several.win.err"; exit 1; fi
  same_flash several "$native/generated/resources/hexdata1.bin"
  echo "  several: exit 1, $(wc -l <"$work/several.win.out") log lines of both ports and the table's rows as on Linux"
}
run_several
stop_sim

# COM7 as an FTDI adapter with the driver's default latency timer, the
# module behind a 16 ms adapter: the port list shows the timer, and the
# update succeeds with the advice once in the log and once on stderr.
ftdi_key='HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+KV9TEST7A\0000\Device Parameters'
wine reg add "$ftdi_key" /v PortName /t REG_SZ /d "COM$com" /f >/dev/null
wine reg add "$ftdi_key" /v LatencyTimer /t REG_DWORD /d 16 /f >/dev/null
start_sim ftdi.win --adapter-latency 16
wine "$out/cli/kv9flash.exe" ports 2>/dev/null | tr -d '\r' >"$work/ftdi.ports.txt"
rc=0; wine "$out/cli/kv9flash.exe" --port "COM$com" update >"$work/ftdi.win.raw" 2>"$work/ftdi.win.rawerr" || rc=$?
stop_sim
wine reg delete "${ftdi_key%\\0000*}" /f >/dev/null
tr -d '\r' <"$work/ftdi.win.raw" >"$work/ftdi.win.out"
tr -d '\r' <"$work/ftdi.win.rawerr" >"$work/ftdi.win.err"
bad=0
grep -q "^COM$com	.*	latency timer 16 ms$" "$work/ftdi.ports.txt" || { echo "  ftdi: no latency timer in the port list"; bad=1; }
[ "$rc" = 0 ] || { echo "  ftdi: kv9flash.exe exited $rc"; bad=1; }
[ "$(grep -cx "COM$com : USBシリアル変換器(FTDI)の待ち時間(Latency Timer)が16msです。" "$work/ftdi.win.out")" = 1 ] &&
  [ "$(grep -cx "  このままではアップデートが約9.3秒長くかかります。" "$work/ftdi.win.out")" = 1 ] &&
  [ "$(grep -cx "  \[Port Settings\]→\[Advanced...\]の\[Latency Timer (msec)\]を1にしてください。" "$work/ftdi.win.out")" = 1 ] ||
  { echo "  ftdi: the advice is not once in the log"; bad=1; }
[ "$(grep -c "^note: COM$com: the FTDI adapter's latency timer is 16 ms" "$work/ftdi.win.err")" = 1 ] ||
  { echo "  ftdi: the note is not once on stderr"; bad=1; }
if [ $bad -ne 0 ]; then cat "$work/ftdi.win.out" "$work/ftdi.win.err"; exit 1; fi
echo "  ftdi: exit 0, the latency timer listed, the advice once in the log and once on stderr"
wineserver -k 2>/dev/null || true

step "the window kv9update.exe and the setup program"
KV9_NATIVE_BUILD=$native bash scripts/test-windows-window.sh
step "passed"
