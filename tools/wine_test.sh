#!/usr/bin/env bash
# Runs the Windows programs under Wine against the simulated panel. COM3 of
# a cached Wine prefix leads to the simulated panel's pseudo-terminal
# through a link that each test points at its own panel.
#
#   tools/wine_test.sh [options] TEST...
#
# Tests:
#   prepare        cross-build the Windows programs (tools/win_build.sh) and
#                  boot the Wine prefix; the others expect both
#   serial         the Win32 serial backend's tests and the run record's
#                  append-only handle (serial_win32_test.exe)
#   window-parts   the window's parts that need no screen (window_parts_test.exe),
#                  varnox-patch.exe --version and --help
#   cli-usage      varnox-patch-cli.exe with no port, a wrong port, --help, --version
#   cli-no-panel   varnox-patch-cli.exe with a panel that never answers
#   cli-release    varnox-patch-cli.exe with a panel of release 33
#   cli-update     a whole update of the smallest image (about 2 minutes)
#   cli-reconnect  the same, with the panel's adapter gone for 5 s in the
#                  EEPROM phase and again in the flash phase: COM3 follows it
#                  through the panel's link, the tool waits and carries on
#   window         varnox-patch.exe under Xvfb: start-up, port menu, an early
#                  ending; then IDENTIFY PANEL (nothing written), a run under
#                  way (refused close, screenshot) to its end: the verdict
#                  band, RUN HISTORY's rows, the OPTIONS menu open
#   window-dpi     varnox-patch.exe on a 144-dpi screen (150 %): scaled 1.5
#                  times, every text whole, at start and during an update;
#                  screenshot; then the window moved to screens of other dpis
#                  (window_dpi_change_test.exe)
#   resources      version resource and manifest in both programs, version
#                  resource in the installer
#   installer      the installer, silently: programs where the Start-menu
#                  entries point, --version; then the uninstaller removes all
#   zip            the portable zip: its files, and the tool run from it
# Options:
#   --win-build DIR    the cross build (default build-win)
#   --linux-bin DIR    varnox-panel-sim, varnox-patch-cli and pty_peer for
#                      Linux (default build-winlinux/bin)
#   --prefix DIR       the Wine prefix (default <win-build>/wine-prefix)
#   --screenshot FILE  the window test saves the window mid-update here
#   --band-screenshot FILE, --menu-screenshot FILE
#                      ... and after the update: the band, the OPTIONS menu open
#   --dpi-screenshot FILE
#                      the same for the window at 144 dpi
# The console tool's stdout and exit status are compared with the Linux
# tool's against an identical simulated panel.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }

win_build=build-win
linux_bin=build-winlinux/bin
prefix=""
screenshot=""
band_screenshot=""
menu_screenshot=""
dpi_screenshot=""
tests=()
while (($#)); do
  case "$1" in
    --win-build) win_build=$2; shift ;;
    --linux-bin) linux_bin=$2; shift ;;
    --prefix) prefix=$2; shift ;;
    --screenshot) screenshot=$2; shift ;;
    --band-screenshot) band_screenshot=$2; shift ;;
    --menu-screenshot) menu_screenshot=$2; shift ;;
    --dpi-screenshot) dpi_screenshot=$2; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "wine_test: unknown option $1" >&2; exit 2 ;;
    *) tests+=("$1") ;;
  esac
  shift
done
win_build=$(realpath -m "$win_build")
linux_bin=$(realpath -m "$linux_bin")
prefix=$(realpath -m "${prefix:-$win_build/wine-prefix}")
[[ -z "$screenshot" ]] || screenshot=$(realpath -m "$screenshot")
[[ -z "$dpi_screenshot" ]] || dpi_screenshot=$(realpath -m "$dpi_screenshot")
[[ -z "$band_screenshot" ]] || band_screenshot=$(realpath -m "$band_screenshot")
[[ -z "$menu_screenshot" ]] || menu_screenshot=$(realpath -m "$menu_screenshot")
win_bin=$win_build/bin

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and fetching them is impossible.
# No menu entries on the host's desktop for what the installer test installs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
com_link=$prefix/varnox-com3       # what COM3 leads to
ready_mark=$prefix/.varnox-ready
smallest_image=FWKAELVRXGAA0I_2x04

work=$(mktemp -d)
pids=()
dpi_changed=""
cleanup() {
  local pid
  # Wine first, while its X server is still there.
  [[ -d "$prefix" ]] && wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  # The other tests expect the prefix's 96 dpi.
  [[ -z "$dpi_changed" ]] || { set_dpi 96; wineserver -k 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "wine_test: FAIL: $*" >&2; exit 1; }
note() { echo "wine_test: $*"; }

# --- preparation ---------------------------------------------------------

prepare() {
  VARNOX_JOBS=${VARNOX_JOBS:-2} bash tools/win_build.sh "$win_build" >/dev/null
  [[ -f "$ready_mark" ]] && return 0
  rm -rf "$prefix"
  note "booting a Wine prefix in $prefix"
  (unset DISPLAY; wineboot -i >/dev/null 2>&1; wineserver -w)
  # COM3: the simulated panel. Managed=N: no window manager under Xvfb, so
  # Wine places and closes its windows itself (else each box close stalls).
  cat >"$work/settings.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM3"="${com_link//\\/\\\\}"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:00000060
EOF
  (unset DISPLAY; wine regedit /S "$(winepath -w "$work/settings.reg")" >/dev/null 2>&1; wineserver -k) ||
    fail "the Wine prefix cannot be set up"
  touch "$ready_mark"
}

# The screen's dpi for the Wine programs started from now on.
set_dpi() {
  (unset DISPLAY; wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f) \
    >/dev/null 2>&1 || fail "cannot set the screen's dpi to $1"
}

require_prepared() {
  [[ -f "$ready_mark" ]] || fail "no Wine prefix in $prefix: run '$0 prepare' first"
  local program
  for program in "$win_bin/varnox-patch.exe" "$win_bin/varnox-patch-cli.exe" "$win_bin/inspect.exe" \
                 "$win_bin/serial_win32_test.exe" "$win_bin/window_parts_test.exe" \
                 "$win_bin/window_dpi_change_test.exe" \
                 "$linux_bin/varnox-panel-sim" "$linux_bin/varnox-patch-cli" \
                 "$linux_bin/pty_peer"; do
    [[ -x "$program" ]] || fail "missing $program"
  done
}

# Starts a program that prints a pseudo-terminal's path on its first line;
# sets $pty and appends the program's pid to pids.
start_peer() {
  local name=$1; shift
  mkfifo "$work/$name.fifo"
  "$@" >"$work/$name.fifo" 2>"$work/$name.err" &
  pids+=($!)
  exec {fd}<"$work/$name.fifo"
  read -r -t 10 pty <&"$fd" || fail "$name did not start: $(cat "$work/$name.err")"
  cat <&"$fd" >"$work/$name.out" &
  pids+=($!)
}

map_com3() {
  ln -sfn "$1" "$com_link"
}

# --- the serial backend ----------------------------------------------------

test_serial() {
  start_peer peer "$linux_bin/pty_peer" echo
  map_com3 "$pty"
  (unset DISPLAY; VARNOX_WINE_PORT=3 wine "$win_bin/serial_win32_test.exe") || fail "serial_win32_test.exe"
}

test_window_parts() {
  (unset DISPLAY; wine "$win_bin/window_parts_test.exe") || fail "window_parts_test.exe"
  # --version and --help answer on the output they are given, as on Linux.
  local status=0
  (unset DISPLAY; exec wine "$win_bin/varnox-patch.exe" --version) >"$work/version.out" </dev/null || status=$?
  [[ $status == 0 ]] || fail "varnox-patch.exe --version: exit status $status"
  head -1 "$work/version.out" | grep -qE '^varnox-patch [0-9]+\.[0-9]+$' ||
    fail "varnox-patch.exe --version: '$(cat "$work/version.out")'"
  (unset DISPLAY; exec wine "$win_bin/varnox-patch.exe" --help) >"$work/help.out" </dev/null ||
    fail "varnox-patch.exe --help failed"
  grep -qF 'COM1=\\.\COM12' "$work/help.out" || fail "varnox-patch.exe --help: $(cat "$work/help.out")"
}

# --- the console tool --------------------------------------------------------

# Runs the Linux tool on one simulated panel and the Windows tool on another,
# both started with the simulated panel's arguments "$@", at the same time;
# then compares what they wrote and how they ended.
run_both_tools() {
  local name=$1 want_status=$2; shift 2
  start_peer "$name-linux-panel" "$linux_bin/varnox-panel-sim" "$@"
  local linux_pty=$pty linux_panel=${pids[-2]}
  start_peer "$name-windows-panel" "$linux_bin/varnox-panel-sim" "$@"
  local windows_panel=${pids[-2]}
  map_com3 "$pty"
  local started=$SECONDS
  # The simulated panels take the carried stand-ins; these runs are kept out of any run record.
  VARNOX_ALLOW_STAND_IN=1 "$linux_bin/varnox-patch-cli" --no-record "$linux_pty" >"$work/linux.out" 2>"$work/linux.err" </dev/null &
  local linux_tool=$!
  (unset DISPLAY; export VARNOX_ALLOW_STAND_IN=1; exec wine "$win_bin/varnox-patch-cli.exe" --no-record COM3) >"$work/windows.out" 2>"$work/windows.err" </dev/null &
  local windows_tool=$!
  local linux_status=0 windows_status=0
  wait "$linux_tool" || linux_status=$?
  wait "$windows_tool" || windows_status=$?
  note "$name: Linux tool $linux_status, Windows tool $windows_status, $((SECONDS - started)) s"
  if ! cmp -s "$work/linux.out" "$work/windows.out"; then
    diff -u --label linux "$work/linux.out" --label windows "$work/windows.out" >&2 || true
    fail "$name: the Windows tool's log differs from the Linux tool's"
  fi
  [[ $windows_status == "$want_status" ]] || fail "$name: exit status $windows_status, expected $want_status"
  [[ $linux_status == "$want_status" ]] || fail "$name: the Linux tool's exit status $linux_status, expected $want_status"
  panel_pids=("$linux_panel" "$windows_panel")
}

expect_log() {
  local name=$1 expected=$2
  cmp -s <(printf '%b' "$expected") "$work/windows.out" ||
    { diff -u <(printf '%b' "$expected") "$work/windows.out" >&2 || true; fail "$name: unexpected log"; }
}

# The help's paragraphs on what PORT names and on stopping differ by platform;
# the rest of the texts does not.
common_usage() { sed '/^PORT /,/^$/d; /^The run record: /,/^$/d; /^  130 stopped/,$d' "$1"; }

# Usage errors and help: stdout, stderr and exit status as the Linux tool's,
# apart from the platform's own paragraphs.
test_cli_usage() {
  local args want linux windows
  # --help last: the checks after the loop read its output.
  for args in "" "COM257" "COM1 COM2" "--version" "--help"; do
    want=2; [[ $args == --help || $args == --version ]] && want=0
    linux=0; windows=0
    # shellcheck disable=SC2086  # the arguments split on purpose
    "$linux_bin/varnox-patch-cli" $args >"$work/linux.out" 2>"$work/linux.err" </dev/null || linux=$?
    # shellcheck disable=SC2086
    (unset DISPLAY; exec wine "$win_bin/varnox-patch-cli.exe" $args) >"$work/windows.out" 2>"$work/windows.err" </dev/null || windows=$?
    [[ $windows == "$want" && $linux == "$want" ]] ||
      fail "usage '$args': exit status $windows (Linux $linux), expected $want"
    cmp -s <(common_usage "$work/linux.out") <(common_usage "$work/windows.out") ||
      fail "usage '$args': stdout differs from Linux"
    cmp -s <(common_usage "$work/linux.err") <(common_usage "$work/windows.err") ||
      fail "usage '$args': stderr differs from Linux"
  done
  grep -qxF 'PORT   COM1 .. COM256 (any letter case) or \\.\COMn: the Windows serial' "$work/windows.out" ||
    fail "help: PORT is not described as the Windows port"
  grep -q "Ctrl-Break" "$work/windows.out" || fail "help: Ctrl-Break is not described"
  ! grep -q "/dev/" "$work/windows.out" || fail "help: the Windows tool names Linux devices"
  # The system's ports, from the registry, none opened.
  (unset DISPLAY; exec wine "$win_bin/varnox-patch-cli.exe" --list-ports) >"$work/ports.out" 2>"$work/ports.err" </dev/null ||
    fail "--list-ports: exit status $?"
  head -n 1 "$work/ports.out" | grep -q '^PORT .* BY-ID$' || fail "--list-ports: no table header"
  [[ ! -s $work/ports.err ]] || fail "--list-ports: wrote to stderr"
}

test_cli_no_panel() {
  run_both_tools no-panel 1 --fault silent:read-memory:1
  expect_log no-panel '\nErrore Lettura da centrale : No Answer\n\n'
}

test_cli_release() {
  run_both_tools release 1 --identity 00000B210000
  expect_log release '\nERRORE : La versione della centrale è successiva al presente aggiornamento\n\nERROR : Panel release earlier than this patch\n\n'
}

test_cli_update() {
  run_both_tools update 0 --as "$smallest_image" --verify "$smallest_image"
  grep -qx "UPDATING PROCESS STARTED" "$work/windows.out" || fail "update: no update in the log"
  grep -qx "PANEL VERIFIED: $smallest_image" "$work/windows.out" || fail "update: the panel was not verified"
  # The simulated panels served the identity read after the restart; stopped,
  # they compare their memory with the image.
  local pid status
  for pid in "${panel_pids[@]}"; do
    status=0
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || status=$?
    [[ $status == 0 ]] || fail "update: a panel does not hold the image (varnox-panel-sim status $status)"
  done
  grep -h . "$work"/update-*-panel.err >&2 || true
}

# While the adapter is away COM3's link leads nowhere, or to a terminal that
# is gone: the re-opens fail or open a device that refuses its line, and each
# counts as "not back yet" until it is back.
test_cli_reconnect() {
  rm -f "$com_link"  # the panel keeps the link itself, moved as its adapter returns
  start_peer reconnect-panel "$linux_bin/varnox-panel-sim" --as "$smallest_image" --verify "$smallest_image" \
    --link "$com_link" --return-after 5000 --fault pull-return:write-eeprom:300 --fault pull-return:flash:100
  local panel=${pids[-2]} status=0
  (unset DISPLAY; export VARNOX_ALLOW_STAND_IN=1; exec wine "$win_bin/varnox-patch-cli.exe" --no-record COM3) \
    >"$work/windows.out" 2>"$work/windows.err" </dev/null || status=$?
  [[ $status == 0 ]] || { cat "$work/windows.out" "$work/windows.err" >&2; fail "reconnect: exit status $status"; }
  [[ $(grep -cx "PORTA SERIALE RICOLLEGATA , SERIAL PORT RECONNECTED" "$work/windows.out") == 2 ]] ||
    { cat "$work/windows.out" >&2; fail "reconnect: not reconnected once in each phase"; }
  ! grep -q "Impossibile accedere alla porta seriale" "$work/windows.err" || fail "reconnect: the port box was shown"
  grep -qx "PANEL VERIFIED: $smallest_image" "$work/windows.out" || fail "reconnect: the panel was not verified"
  status=0
  kill -TERM "$panel" 2>/dev/null || true
  wait "$panel" || status=$?
  [[ $status == 0 ]] || fail "reconnect: the panel does not hold the image (varnox-panel-sim status $status)"
}

# --- the window ----------------------------------------------------------

inspect() { wine "$win_bin/inspect.exe" "$@"; }

# The value of KEY in a state dump.
value_of() { sed -n "s/^$2=//p" "$1" | head -1; }

expect_value() {
  local dump=$1 key=$2 want=$3 got
  got=$(value_of "$dump" "$key")
  [[ "$got" == "$want" ]] || fail "window: $key is '$got', expected '$want'"
}

start_display() {
  # A second window test in one run starts its own X server.
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  local waited=0
  until [[ -s "$work/display" ]]; do
    sleep 0.1
    ((++waited < 100)) || fail "Xvfb did not start"
  done
  export DISPLAY=:$(head -1 "$work/display")
}

# Starts the window with the arguments "$@" (--no-record unless $record is set).
start_window() {
  # The simulated panel takes the carried stand-ins; the test's runs are kept
  # out of any run record but the one the test makes.
  [[ -n "${record:-}" ]] || set -- --no-record "$@"
  VARNOX_ALLOW_STAND_IN=1 wine "$win_bin/varnox-patch.exe" "$@" >/dev/null 2>&1 &
  pids+=($!)
  inspect state >"$work/state.txt" || fail "window: it did not open"
  cp "$work/state.txt" "$work/startup-state.txt"
  local origin
  origin=$(value_of "$work/state.txt" client.origin)
  client_x=${origin%,*}
  client_y=${origin#*,}
}

# Opens the port menu, checks which items the probe greyed and chooses COM3.
choose_com3_in_menu() {
  xdotool mousemove $((client_x + 40)) $((client_y - 10)) click 1
  local popup="" waited=0
  while [[ -z "$popup" ]]; do
    sleep 0.2
    popup=$(xdotool search --onlyvisible --name '^$' 2>/dev/null | while read -r id; do
      geometry=$(xdotool getwindowgeometry "$id" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p;s/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' | tr '\n' ' ')
      read -r x y w h <<<"$geometry"
      # The popup hangs below the menu bar, at the client area's top.
      if ((y >= client_y - 2 && y <= client_y + 4 && w < 200)); then echo "$x $y $w $h"; fi
    done | head -1)
    ((++waited < 25)) || fail "window: the port menu did not open"
  done
  read -r menu_x menu_y menu_w menu_h <<<"$popup"
  import -window root "$work/menu.png"
  # Eight rows between 3-pixel borders; an enabled item has black text, a
  # greyed one none.
  local row_height=$(((menu_h - 6) / 8)) port darkest
  for port in 2 3 4 5 6 7 8; do
    darkest=$(convert "$work/menu.png" -crop "$((menu_w - 8))x$((row_height - 4))+$((menu_x + 4))+$((menu_y + 3 + (port - 1) * row_height + 2))" \
      -colorspace Gray -format '%[fx:minima.r]' info:)
    if [[ $port == 3 ]]; then
      awk "BEGIN{exit !($darkest < 0.25)}" || fail "window: COM3 is greyed in the menu"
    else
      awk "BEGIN{exit !($darkest >= 0.25)}" || fail "window: COM$port is not greyed in the menu"
    fi
  done
  # Items are taken in turn from the top, greyed ones included.
  xdotool key Down Down Down Return
}

# Clicks the middle of Button5, where the start-up state shows it.
press_continue() {
  local place x y w h
  place=$(value_of "$work/startup-state.txt" Button5.place)
  IFS=', x' read -r x y w h <<<"$place"
  # Wine takes a click where the pointer already was for the same one again.
  xdotool mousemove $((client_x + 300)) $((client_y + 150))
  sleep 0.2
  xdotool mousemove $((client_x + x + w / 2)) $((client_y + y + h / 2)) click 1
}

# Saves the window's frame, as it is on the screen, to FILE.
save_window() {
  local frame geometry x y w h
  frame=$(xdotool search --name '^Varnox PATCH' | head -1)
  import -window root "$work/screen.png"
  geometry=$(xdotool getwindowgeometry "$frame" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p;s/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' | tr '\n' ' ')
  read -r x y w h <<<"$geometry"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$1"
}

# A run record in the prefix's user profile holding one run of an earlier
# version (no phases, no technician), and no stored window choices.
fresh_user_state() {
  wine reg delete 'HKCU\Software\varnox-patch' /f >/dev/null 2>&1 || true
  local folder
  folder=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
  record_file=$(winepath -u "$folder" 2>/dev/null)/varnox-patch/runs.jsonl
  mkdir -p "${record_file%/*}"
  printf '%s\n' '{"record":1,"start":"2025-03-14T09:26:53Z","end":"2025-03-14T09:27:01Z","program":"varnox-patch","version":"2.03","port":"COM1","identity_before":"00 00 0B 21 00 00","failed_attempts":{"eeprom":0,"handshake":0,"microkernel":0,"flash":0},"reopens":0,"ending":"release-rejected","verification":"not-run","exit_status":1}' >"$record_file"
}

test_window() {
  set_dpi 96  # whatever an interrupted window-dpi test left
  start_display
  # Phase 1: a panel of release 33, refused at once.
  start_peer window-panel "$linux_bin/varnox-panel-sim" --identity 00000B210000
  map_com3 "$pty"
  start_window
  local state=$work/state.txt
  expect_value "$state" caption "Varnox PATCH 2.04 h "
  expect_value "$state" client 633x362
  expect_value "$state" style.minimizebox 0
  expect_value "$state" style.maximizebox 0
  expect_value "$state" style.sizable 0
  expect_value "$state" menu.present 1
  expect_value "$state" Button5.text CONTINUE
  expect_value "$state" Button5.enabled 1
  expect_value "$state" Gauge1.visible 0
  expect_value "$state" DEBUG_BOX.text "INFO BOX"
  expect_value "$state" Label1.visible 0
  expect_value "$state" ComboBox1.visible 0
  local control
  for control in panelTypebox Address FlashAddress ErrorCounter; do
    expect_value "$state" "$control.enabled" 0
    expect_value "$state" "$control.text" ""
  done
  local place
  for place in "Button5 8,136 185x33" "Messaggio 232,8 385x217" "DEBUG_BOX 16,232 601x97" \
               "Gauge1 0,337 633x25" "panelTypebox 8,40 241x21" "Address 520,8 73x21" \
               "FlashAddress 520,32 73x21" "ErrorCounter 520,58 75x21"; do
    expect_value "$state" "${place%% *}.place" "${place#* }"
  done
  expect_value "$state" log.lines 8
  grep '^log\.' "$state" >"$work/startup-log.txt"
  diff -u - "$work/startup-log.txt" <<'EOF' || fail "window: start-up log"
log.lines=8
log.1=
log.2=Connettere La centrale alla porta seriale ed inserire il ponticello programmazione da PC sulla centrale
log.3=
log.4=Connect Panel to serial port and insert PC programming Jumper on panel
log.5=
log.6=ATTENZIONE ! : I dati di programmazione verranno cancellati e la centrale sarà riportata ai dati di fabbrica
log.7=
log.8=WARNING!: Panel configuration will be deleted and panel will be dafulted to factory settings
EOF

  choose_com3_in_menu
  press_continue
  inspect wait-line "ERROR : Panel release earlier than this patch" 15 || fail "window: no release ending"
  inspect wait-idle 5 || fail "window: Button5 not enabled after the release ending"
  inspect state >"$state"
  grep '^log\.' "$state" >"$work/release-log.txt"
  diff -u - "$work/release-log.txt" <<'EOF' || fail "window: release ending's log"
log.lines=5
log.1=
log.2=ERRORE : La versione della centrale è successiva al presente aggiornamento
log.3=
log.4=ERROR : Panel release earlier than this patch
log.5=
EOF
  # The band in the gauge's place: grey, nothing was written.
  expect_value "$state" Gauge1.visible 0
  expect_value "$state" band.visible 1
  expect_value "$state" band.text "CENTRALE NON MODIFICATA , PANEL UNCHANGED"
  expect_value "$state" Button5.enabled 1
  note "window: start-up, port menu and release ending as expected"

  # The port has gone since the probe: the error box, with the reason
  # (Wine still opens the dangling COM3 but cannot configure it), holds the
  # run until it is closed; then the identity read finds no answer.
  ln -sfn /nonexistent/varnox-port "$com_link"
  press_continue
  inspect wait-box 10 >"$work/box.txt" || { inspect state | grep -E "^log\.|Button5" >&2 || true; fail "window: no error box for a port that is gone"; }
  expect_value "$work/box.txt" box.title Error
  grep -q '^box.text=Impossibile accedere alla porta seriale$' "$work/box.txt" &&
    grep -q '^COM3: ' "$work/box.txt" || fail "window: error box: $(cat "$work/box.txt")"
  sleep 1
  inspect state >"$state"
  # The log was emptied, and nothing more is written while the box is open.
  expect_value "$state" log.1 ""
  expect_value "$state" log.lines 1
  xdotool key Return
  inspect wait-line "Errore Lettura da centrale : No Answer" 10 || fail "window: no identity-read ending"
  inspect wait-idle 5 || fail "window: Button5 not enabled after the identity-read ending"
  note "window: error box for a missing port, run held until it closed"

  # Phase 2: a panel that takes the update, its run kept in the record.
  wineserver -k
  fresh_user_state
  start_peer update-panel "$linux_bin/varnox-panel-sim" --as "$smallest_image" --transcript "$work/wire.txt"
  map_com3 "$pty"
  record=1 start_window
  choose_com3_in_menu
  # IDENTIFY PANEL: the facts in the log; the only request on the wire is the identity read.
  inspect menu "IDENTIFY PANEL"
  inspect wait-line "firmware: $smallest_image" 15 || { inspect state | grep '^log\.' >&2; fail "window: IDENTIFY PANEL"; }
  [[ $(awk '$2 == ">" { $1 = ""; print }' "$work/wire.txt" | sort -u | wc -l) == 1 ]] ||
    { cat "$work/wire.txt" >&2; fail "window: IDENTIFY PANEL sent more than the identity read"; }
  inspect wait-idle 5 || fail "window: Button5 not enabled after IDENTIFY PANEL"
  note "window: IDENTIFY PANEL named the firmware and wrote nothing"
  press_continue
  inspect wait-line "PLEASE WAIT..." 15 || fail "window: the update did not start"
  sleep 8  # the gauge and the EEPROM address move on
  inspect state >"$state"
  expect_value "$state" Button5.enabled 0
  expect_value "$state" Gauge1.visible 1
  expect_value "$state" panelTypebox.text "$smallest_image"
  [[ -n "$(value_of "$state" Address.text)" ]] || fail "window: no EEPROM address during the update"
  (($(value_of "$state" Gauge1.position) > 0)) || fail "window: the gauge does not move"
  if [[ -n "$screenshot" ]]; then
    save_window "$screenshot"
    note "window: screenshot in $screenshot"
  fi
  # Closing is refused while the update runs.
  xdotool key --window "$(xdotool search --name '^Varnox PATCH' | head -1)" alt+F4
  inspect wait-box 10 >"$work/box.txt" || fail "window: no box when closing during the update"
  expect_value "$work/box.txt" box.title varnox-patch
  grep -q "An update is in progress: interrupting it can leave the panel unusable" "$work/box.txt" ||
    fail "window: the close box does not warn: $(cat "$work/box.txt")"
  xdotool key Return
  sleep 1
  inspect state >"$state" || fail "window: closed during the update"
  expect_value "$state" Button5.enabled 0
  note "window: run under way, close refused"

  # The run's end: the verdict band in the gauge's place.
  inspect wait-line "PANEL VERIFIED: $smallest_image" 240 || fail "window: the update did not complete"
  local waited=0
  until inspect state >"$state" && [[ $(value_of "$state" band.visible) == 1 ]]; do
    sleep 0.5
    ((++waited < 20)) || break
  done
  expect_value "$state" band.text "AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED"
  expect_value "$state" band.place "0,337 633x25"
  expect_value "$state" Gauge1.visible 0
  [[ -z "$band_screenshot" ]] || { save_window "$band_screenshot"; note "window: screenshot in $band_screenshot"; }
  # RUN HISTORY...: newest first, the run just made above the earlier version's.
  inspect menu "RUN HISTORY..."
  inspect read-history 10 >"$work/history.txt" || fail "window: no RUN HISTORY dialog"
  expect_value "$work/history.txt" history.rows 2
  grep -qx "history.row.1=2 | .* | COM3 | .* | $smallest_image (stand-in) | completed | verified | 0" "$work/history.txt" &&
    grep -qx "history.row.2=1 | 2025-03-14 .* | COM1 | .* | release-rejected | .* | 1" "$work/history.txt" ||
    { cat "$work/history.txt" >&2; fail "window: RUN HISTORY's rows"; }
  note "window: green band after the update, RUN HISTORY with both runs"
  if [[ -n "$menu_screenshot" ]]; then
    # The port menu open, then Right: the OPTIONS menu beside it.
    xdotool mousemove $((client_x + 40)) $((client_y - 10)) click 1
    sleep 1
    xdotool key Right
    sleep 1
    save_window "$menu_screenshot"
    xdotool key Escape Escape
    note "window: screenshot in $menu_screenshot"
  fi
}

# Checks that KEY of a state dump, "x,y wxh" or "wxh", is the designed one scaled
# 1.5 times, give or take a pixel for each edge's rounding.
expect_scaled_place() {
  local dump=$1 key=$2 designed=$3 got
  got=$(value_of "$dump" "$key")
  awk -v got="$got" -v want="$designed" 'BEGIN {
    n = split(got, g, /[, x]/)
    if (n != split(want, w, /[, x]/)) exit 1
    for (i = 1; i <= n; i++) if (g[i] - w[i] * 1.5 > 1 || w[i] * 1.5 - g[i] > 1) exit 1
  }' || fail "window-dpi: $key is '$got', expected 1.5 times '$designed'"
}

# The window checks its controls from outside: inside their parents, no
# overlaps, every text whole.
expect_fit() {
  inspect fit >"$work/fit.txt" || { cat "$work/fit.txt" >&2; fail "window-dpi: $1: controls do not fit"; }
}

test_window_dpi() {
  set_dpi 144
  dpi_changed=1
  start_display
  start_peer dpi-panel "$linux_bin/varnox-panel-sim" --as "$smallest_image"
  map_com3 "$pty"
  # Port 1, chosen at start, leads to COM3: no menu to open.
  start_window 'COM1=\\.\COM3'
  local state=$work/state.txt
  expect_value "$state" dpi 144
  expect_scaled_place "$state" client 633x362
  local place
  for place in "Image1 32,24 105x85" "Button5 8,136 185x33" "Messaggio 232,8 385x217" \
               "DEBUG_BOX 16,232 601x97" "Gauge1 0,337 633x25" "panelTypebox 8,40 241x21" \
               "Address 520,8 73x21" "FlashAddress 520,32 73x21" "ErrorCounter 520,58 75x21"; do
    expect_scaled_place "$state" "${place%% *}.place" "${place#* }"
  done
  expect_fit "at start"
  note "window-dpi: scaled 1.5 times at start, every control fits"

  # During an update the fields and the gauge show their texts.
  press_continue
  inspect wait-line "PLEASE WAIT..." 15 ||
    { inspect state | grep -E '^(log\.|Button5)' >&2 || true; fail "window-dpi: the update did not start"; }
  sleep 6  # the gauge and the EEPROM address move on
  inspect state >"$state"
  expect_value "$state" Gauge1.visible 1
  expect_value "$state" panelTypebox.text "$smallest_image"
  [[ -n "$(value_of "$state" Address.text)" ]] || fail "window-dpi: no EEPROM address during the update"
  expect_fit "during the update"
  save_window "$work/window.png"
  [[ -z "$dpi_screenshot" ]] || { cp "$work/window.png" "$dpi_screenshot"; note "window-dpi: screenshot in $dpi_screenshot"; }
  note "window-dpi: every control fits during the update"
  wineserver -k
  wine "$win_bin/window_dpi_change_test.exe" || fail "window_dpi_change_test.exe"
  wineserver -k
  set_dpi 96
  dpi_changed=""
}

# --- what is handed out ------------------------------------------------------

project_version() { sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win_build/CMakeCache.txt"; }

# Builds one of the targets windows_installer and windows_zip; prints its file.
build_artefact() {
  cmake --build "$win_build" --target "$1" >"$work/$1.log" 2>&1 || { cat "$work/$1.log" >&2; fail "cannot build $1"; }
  local version
  version=$(project_version)
  case "$1" in
    windows_installer) echo "$win_build/dist/varnox-patch-$version-setup.exe" ;;
    windows_zip) echo "$win_build/dist/varnox-patch-$version-windows-x64.zip" ;;
  esac
}

# The resources of one .exe, decompiled to resource-script text.
resources_of() {
  x86_64-w64-mingw32-windres -i "$1" -O rc >"$work/resources.rc" 2>&1 || fail "$(basename "$1"): resources unreadable"
}

expect_version_value() {
  local name=$1 key=$2 want=$3
  grep -qF "VALUE \"$key\", \"$want\"" "$work/resources.rc" ||
    fail "$name: $key is not '$want': $(grep -F "VALUE \"$key\"" "$work/resources.rc")"
}

test_resources() {
  local version program
  version=$(project_version)
  for program in varnox-patch varnox-patch-cli; do
    resources_of "$win_bin/$program.exe"
    expect_version_value "$program" ProductName "Varnox Patch"
    expect_version_value "$program" ProductVersion "$version"
    expect_version_value "$program" FileVersion "$version"
    expect_version_value "$program" OriginalFilename "$program.exe"
    grep -q 'VALUE "FileDescription", "Varnox Patch.*fire-alarm control panels"' "$work/resources.rc" ||
      fail "$program: no description"
    # The manifest: resource 1 of type 24, the one the loader reads for a process.
    grep -qx '1 24 /\* RT_MANIFEST \*/' "$work/resources.rc" || fail "$program: no application manifest"
    grep -q 'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""' "$work/resources.rc" ||
      fail "$program: the manifest does not ask for common controls 6"
    # Per-monitor v2 since Windows 10 1607, else per-monitor (8.1), else the system's dpi.
    grep -q '<dpiAwareness xmlns=""http://schemas.microsoft.com/SMI/2016/WindowsSettings"">PerMonitorV2, PerMonitor</dpiAwareness>' \
      "$work/resources.rc" && grep -q '<dpiAware xmlns=""http://schemas.microsoft.com/SMI/2005/WindowsSettings"">true/pm</dpiAware>' \
      "$work/resources.rc" || fail "$program: the manifest does not declare per-monitor DPI awareness"
  done
  # The window's own resources are still there beside the added ones.
  resources_of "$win_bin/varnox-patch.exe"
  grep -q 'Type: group icon' "$work/resources.rc" || fail "varnox-patch: the icon is gone"
  grep -q 'Type: rcdata' "$work/resources.rc" || fail "varnox-patch: the logo is gone"

  resources_of "$(build_artefact windows_installer)"
  expect_version_value installer ProductName "Varnox Patch"
  expect_version_value installer ProductVersion "$version"
}

# The entries of the all-users Start-menu folder, NAME|TARGET|ARGUMENTS|DIRECTORY;
# status 1 when the folder does not exist.
menu_entries() {
  local status=0
  (unset DISPLAY; wine "$win_bin/shortcut_info.exe" "Varnox Patch") >"$work/menu.txt" || status=$?
  tr -d '\r' <"$work/menu.txt"
  return "$status"
}

# The first line of the console tool's --version, run under Wine.
version_answer() {
  (unset DISPLAY; wine "$1" --version) >"$work/version.txt" </dev/null || fail "$1 --version: exit status $?"
  head -1 "$work/version.txt" | tr -d '\r'
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\varnox-patch'

test_installer() {
  local version setup
  version=$(project_version)
  setup=$(build_artefact windows_installer)
  [[ -x "$win_bin/shortcut_info.exe" ]] || fail "missing $win_bin/shortcut_info.exe"
  local folder='C:\Program Files\Varnox Patch' unix_folder
  unix_folder=$(winepath -u "$folder")
  [[ "$unix_folder" == "$prefix"/* ]] || fail "installer: $folder is not in the prefix: $unix_folder"
  # What a failed earlier run may have left in the cached prefix.
  if [[ -e "$unix_folder/uninstall.exe" ]]; then
    (unset DISPLAY; wine "$folder\uninstall.exe" /S) || true
    wineserver -w
  fi

  (unset DISPLAY; wine "$setup" /S) || fail "installer: exit status $?"
  wineserver -w
  local entries=$work/entries.txt
  menu_entries >"$entries" || fail "installer: no Start-menu folder"
  cut -d'|' -f1 "$entries" | sort >"$work/names.txt"
  printf '%s\n' "Uninstall Varnox Patch" "Varnox Patch" "Varnox Patch console" | sort |
    diff -u - "$work/names.txt" || fail "installer: Start-menu entries"
  local name target arguments directory
  while IFS='|' read -r name target arguments directory; do
    case "$name" in
      "Varnox Patch console")
        # A console in the programs' folder, which starts the tool's help there.
        [[ "$target" == *'\cmd.exe' && "$arguments" == *varnox-patch-cli.exe* && "$directory" == "$folder" ]] ||
          fail "installer: '$name' runs '$target $arguments' in '$directory'"
        target="$directory\varnox-patch-cli.exe" ;;
      "Varnox Patch") [[ "$target" == "$folder\varnox-patch.exe" ]] || fail "installer: '$name' points to '$target'" ;;
      *) [[ "$target" == "$folder\uninstall.exe" ]] || fail "installer: '$name' points to '$target'" ;;
    esac
    [[ -f "$(winepath -u "$target")" ]] || fail "installer: '$name' points to a missing $target"
  done <"$entries"
  [[ "$(version_answer "$folder\varnox-patch-cli.exe")" == "varnox-patch-cli $version" ]] ||
    fail "installer: varnox-patch-cli.exe --version: $(cat "$work/version.txt")"
  wine reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q "REG_SZ *$version\$" ||
    fail "installer: no uninstall entry for $version"
  note "installer: programs in $folder, where the Start-menu entries point"

  # The uninstaller runs on from a copy in TEMP: wait for that too.
  (unset DISPLAY; wine "$folder\uninstall.exe" /S) || fail "uninstaller: exit status $?"
  wineserver -w
  [[ ! -e "$unix_folder" ]] || fail "uninstaller: left $(ls "$unix_folder")"
  local status=0
  menu_entries >"$entries" || status=$?
  [[ $status == 1 ]] || fail "uninstaller: the Start-menu folder stays: $(cat "$entries")"
  ! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "uninstaller: the uninstall entry stays"
  note "installer: the uninstaller removed the programs, the entries and the uninstall entry"
}

test_zip() {
  local version zip
  version=$(project_version)
  zip=$(build_artefact windows_zip)
  unzip -Z1 "$zip" | sort >"$work/zip.txt"
  printf "varnox-patch-$version/%s\n" "" README.txt varnox-patch-cli.exe varnox-patch.exe | sort |
    diff -u - "$work/zip.txt" || fail "zip: unexpected files"
  unzip -q "$zip" -d "$work/portable"
  local folder=$work/portable/varnox-patch-$version
  cmp -s "$folder/varnox-patch.exe" "$win_bin/varnox-patch.exe" || fail "zip: varnox-patch.exe is not the one built"
  grep -q $'\r$' "$folder/README.txt" || fail "zip: README.txt without Windows line ends"
  [[ "$(version_answer "$folder/varnox-patch-cli.exe")" == "varnox-patch-cli $version" ]] ||
    fail "zip: varnox-patch-cli.exe --version: $(cat "$work/version.txt")"
}

# --- main ------------------------------------------------------------------

((${#tests[@]})) || { usage; exit 2; }
for test in "${tests[@]}"; do
  started=$SECONDS
  case "$test" in
    prepare) prepare ;;
    serial) require_prepared; test_serial ;;
    window-parts) require_prepared; test_window_parts ;;
    cli-usage) require_prepared; test_cli_usage ;;
    cli-no-panel) require_prepared; test_cli_no_panel ;;
    cli-release) require_prepared; test_cli_release ;;
    cli-update) require_prepared; test_cli_update ;;
    cli-reconnect) require_prepared; test_cli_reconnect ;;
    window) require_prepared; test_window ;;
    window-dpi) require_prepared; test_window_dpi ;;
    resources) require_prepared; test_resources ;;
    installer) require_prepared; test_installer ;;
    zip) require_prepared; test_zip ;;
    *) fail "unknown test $test" ;;
  esac
  # Each test leaves no Wine process behind.
  wineserver -k 2>/dev/null || true
  note "$test passed ($((SECONDS - started)) s)"
done
