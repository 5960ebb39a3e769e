#!/usr/bin/env bash
# The Windows window under Wine, driven by keys as a person would: called
# by scripts/test-windows.sh after the cross build, or alone once
# build-windows/ holds kv9update.exe and the setup program.
#  1. a private Wine prefix whose COM1 is the simulated module's pty and
#     whose fonts draw Japanese (Wine's own defaults draw boxes);
#  2. kv9update.exe on Xvfb: the port dialog lists COM1, Return finds the
#     module, Ctrl+U updates it; the run's record holds the stage lines, the
#     simulated flash holds the image, and a screenshot is kept;
#  3. a module that refuses its fifth programming frame: the NG window stays
#     with its advice until "確認";
#  4. the setup program installs and uninstalls silently.
# Needs: wine, xvfb, xdotool, fonts-ipafont (installed when missing).
set -euo pipefail
# Only the simulated modules' ports in the Wine prefix, not the machine's.
source "$(dirname "$0")/wine-private-dev.sh"
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
native=${KV9_NATIVE_BUILD:-$root/build}
[ -x "$native/sim/kv9sim" ] || native=$out/native
exe=$out/win32/kv9update.exe
work=$out/window-e2e
step_start=$SECONDS
step() { echo "test-windows-window: $* (at $((SECONDS - step_start)) s)"; }
fail() { echo "test-windows-window: FAILED: $*" >&2; exit 1; }

need=()
command -v xdotool >/dev/null || need+=(xdotool)
command -v Xvfb >/dev/null || need+=(xvfb)
[ -d /usr/share/fonts/opentype/ipafont-gothic ] || need+=(fonts-ipafont)
if [ ${#need[@]} -gt 0 ]; then
  step "installing ${need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

rm -rf "$work"
mkdir -p "$work/ports" "$work/screen"
export KV9_PORT_DIR=$work/ports WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$out/wineprefix-window
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# until SECONDS CMD...: runs CMD until it succeeds; a watchdog, not a pace.
until_ok() {
  local limit=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $limit ] || return 1
    sleep 0.2
  done
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  step "creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
step "COM1 is the simulated module; Japanese fonts"
python3 - "$work/prefix.reg" "$KV9_PORT_DIR/COM1" <<'PY'
import sys
faces = {"Tahoma": "IPAPGothic", "MS Shell Dlg": "IPAPGothic", "MS Shell Dlg 2": "IPAPGothic",
         "MS UI Gothic": "IPAPGothic", "ＭＳ Ｐゴシック": "IPAPGothic", "ＭＳ ゴシック": "IPAGothic",
         "MS Gothic": "IPAGothic", "ＭＳ 明朝": "IPAMincho", "MS Mincho": "IPAMincho"}
lines = ["Windows Registry Editor Version 5.00", "", r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
lines += [f'"{k}"="{v}"' for k, v in faces.items()]
lines += ["", r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]", '"COM1"="%s"' % sys.argv[2], ""]
# Non-ASCII names need UTF-16 with a byte order mark.
open(sys.argv[1], "w", encoding="utf-16").write("\r\n".join(lines))
PY
wine regedit /S "$(winepath -w "$work/prefix.reg")" >/dev/null 2>&1
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
wineserver -k || true
wineserver -w || true
# COM1 alone: the machine's own serial devices are not in this prefix.
if [ "$KV9_WINE_PRIVATE_DEV" = done ]; then
  serialcomm=$(wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' | grep -c 'REG_SZ' || true)
  [ "$serialcomm" = 1 ] || fail "the prefix lists $serialcomm ports, not COM1 alone"
  # That Wine session has no display; the window's must start with one.
  wineserver -k || true
  wineserver -w || true
fi

display=:$((50 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x768x24 -fbdir "$work/screen" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
until_ok 20 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

# Wine's user folder is named after the Unix user.
logs=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/kv9update/logs

# start_sim NAME [kv9sim options]
start_sim() {
  local name=$1
  shift
  "$native/sim/kv9sim" --com 1 --port-dir "$KV9_PORT_DIR" --dump "$work/$name" "$@" \
    >"$work/$name.sim.out" 2>"$work/$name.sim.err" &
  sim_pid=$!
  pids+=($sim_pid)
  until_ok 10 grep -qs "ready on" "$work/$name.sim.out" || fail "kv9sim did not start"
}
stop_sim() { kill -TERM "$sim_pid"; wait "$sim_pid" || true; }

# The one window with this exact name; fails after the watchdog.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
wait_window() {
  local w="" wanted=$1
  until_ok "$2" eval 'w=$(window_named "$wanted"); [ -n "$w" ]' || fail "no window \"$1\""
  echo "$w"
}
# The record of the newest run, once it has its outcome line ("# outcome: ...").
finished_record() {
  local f
  f=$(ls -t "$logs"/kv9update-*.log 2>/dev/null | head -1)
  [ -n "$f" ] && grep -q '^[0-9-]* [0-9:.]*  # outcome: ' "$f" && echo "$f"
}
record_has() { tr -d '\r' <"$1" | sed -E 's/^[0-9-]+ [0-9:.]+  //' | grep -qxF -- "$2" || fail "the record lacks \"$2\" ($1)"; }

# run_update NAME: the window found the module through the port dialog and
# was told to update with Ctrl+U; echoes the run's record once it ended.
run_update() {
  local name=$1 w record=""
  wine "$exe" >"$work/$name.wine.out" 2>&1 &
  app_pid=$!
  pids+=($app_pid)
  w=$(wait_window 'シリアルポートのオープン' 60)
  xdotool windowfocus --sync "$w" key Return
  main=$(wait_window 'KV9 ファームウェアアップデート for KV9X-Q508' 20)
  rm -f "$logs"/kv9update-*.log
  # Ctrl+U is ignored until the search has found the module; the record
  # appears once the update runs.
  until_ok 30 eval 'xdotool windowfocus --sync "$main" key ctrl+u; sleep 0.3; ls "$logs"/kv9update-*.log >/dev/null 2>&1' ||
    fail "$name: Ctrl+U started no update"
  until_ok 120 eval 'record=$(finished_record)' || fail "$name: the update did not end"
  cp "$record" "$work/$name.record"
}

# Ends the window through its menu (ファイル, 終了) and waits for the program.
quit_window() {
  xdotool windowfocus --sync "$main" key alt+f x
  local rc=0
  wait "$app_pid" || rc=$?
  [ $rc -eq 0 ] || fail "kv9update.exe exited $rc"
}

# The screen as a PNG, from Xvfb's frame buffer file.
screenshot() { python3 "$root/scripts/xwd_to_png.py" "$work/screen/Xvfb_screen0" "$1"; }

step "kv9update.exe updates the module found on COM1"
start_sim update
run_update update
for line in "書込設定   : OK" "ID照合     : OK" "イレース   : OK" "ライト     : OK" "ベリファイ : OK" \
            "FLASH DATA : OK" "アップデートが正常に終了しました。"; do
  record_has "$work/update.record" "$line"
done
# The progress window closes by itself after a success.
until_ok 20 eval '[ -z "$(window_named "マイコンへの書き込み")" ]' || fail "the progress window stayed after a success"
screenshot "$work/after-update.png"
quit_window
stop_sim
size=245760  # the flash but the resident loader's 16 KB
cmp -n $size "$work/update/flash.bin" "$native/generated/resources/hexdata1.bin" ||
  fail "the simulated flash is not the image"
echo "  update: record OK, flash holds exactly the image ($size bytes), screenshot $work/after-update.png"

step "a refused programming frame leaves the NG window with its advice"
start_sim refused --error-reply boot:50/5=53
run_update refused
for line in "ライト     : NG" "アップデートに失敗しました。" "ソフトを終了し、R/Wの電源を入れ直してください。" \
            "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。"; do
  record_has "$work/refused.record" "$line"
done
ng=$(wait_window 'マイコンへの書き込み' 5)
screenshot "$work/after-failure.png"
# It stays until confirmed: "確認" is its default button.
xdotool windowfocus --sync "$ng" key Return
until_ok 10 eval '[ -z "$(window_named "マイコンへの書き込み")" ]' || fail "確認 did not close the NG window"
quit_window
stop_sim
cmp -s -n $size "$work/refused/flash.bin" "$native/generated/resources/hexdata1.bin" &&
  fail "the refusing module holds the whole image"
echo "  refused: record has the NG line and the advice; the NG window stayed until 確認"

step "the module vanishes mid-write; another on the same port is found by R/Wの再検索... and updated"
start_sim vanish --disconnect-at-block 30
run_update vanish
record_has "$work/vanish.record" "アップデートに失敗しました。"
stop_sim
ng=$(wait_window 'マイコンへの書き込み' 5)
xdotool windowfocus --sync "$ng" key Return
until_ok 10 eval '[ -z "$(window_named "マイコンへの書き込み")" ]' || fail "確認 did not close the NG window"
start_sim back
rm -f "$logs"/kv9update-*.log
# ファイル, its second item "R/Wの再検索...", then the port dialog's Open.
xdotool windowfocus --sync "$main" key alt+f Down Return
w=$(wait_window 'シリアルポートのオープン' 20)
xdotool windowfocus --sync "$w" key Return
until_ok 30 eval 'xdotool windowfocus --sync "$main" key ctrl+u; sleep 0.3; ls "$logs"/kv9update-*.log >/dev/null 2>&1' ||
  fail "vanish: after the second search Ctrl+U started no update"
until_ok 120 eval 'record=$(finished_record)' || fail "vanish: the second update did not end"
record_has "$record" "アップデートが正常に終了しました。"
# The run's JSON object beside its record.
grep -q '"outcome":"ok"' "${record%.log}.json" || fail "vanish: no JSON report beside the record"
quit_window
stop_sim
cmp -n $size "$work/back/flash.bin" "$native/generated/resources/hexdata1.bin" ||
  fail "vanish: the second module's flash is not the image"
echo "  vanish: the second search opened the port afresh, the update wrote the image, the JSON is beside the record"

step "キャンセル in the start-up port dialog ends the tool"
start_sim cancel
wine "$exe" >"$work/cancel.wine.out" 2>&1 &
app_pid=$!
pids+=($app_pid)
w=$(wait_window 'シリアルポートのオープン' 60)
xdotool windowfocus --sync "$w" key Escape
until_ok 20 eval '! kill -0 "$app_pid" 2>/dev/null' || fail "Esc in the start-up port dialog left the window running"
stop_sim
echo "  cancel: the tool ended"

setup=$(ls "$out"/kv9update-*-setup.exe 2>/dev/null | head -1)
if [ -n "$setup" ]; then
  step "the setup program installs and uninstalls silently"
  dir=$WINEPREFIX/drive_c/Program\ Files/KV9Update
  wine "$setup" /S || fail "setup /S exited $?"
  wineserver -w
  for f in kv9update.exe kv9flash.exe uninstall.exe readme.txt; do [ -f "$dir/$f" ] || fail "setup left no $f"; done
  link=$(find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'KV9*.lnk' | head -1)
  [ -n "$link" ] || fail "setup made no Start-menu entry"
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KV9Update' /v DisplayName >/dev/null 2>&1 ||
    fail "setup made no entry in the installed programs"
  wine "$dir/uninstall.exe" /S || fail "uninstall /S exited $?"
  wineserver -w
  [ ! -e "$dir/kv9update.exe" ] && [ ! -e "$dir/uninstall.exe" ] || fail "uninstall left the programs"
  [ ! -e "$link" ] || fail "uninstall left the Start-menu entry"
  ! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KV9Update' >/dev/null 2>&1 ||
    fail "uninstall left the installed-programs entry"
  echo "  setup: installed into Program Files with its Start-menu entry and uninstall entry; uninstalled"
fi

step "passed"
