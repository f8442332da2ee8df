#!/usr/bin/env bash
# The console tool through real serial drivers: a QEMU guest (TCG) running
# Debian's own kernel, whose ftdi_sio driver drives QEMU's FTDI FT232 model
# (usb-serial, USB 0403:6001) and whose 8250 driver drives a 16550
# (isa-serial), each wired to a varnox-panel-sim on this machine. The guest
# mounts this machine's root read-only through virtio-9p and runs the built
# tool in a chroot; adapters are plugged and pulled through QEMU's monitor,
# and QEMU's trace shows what the guest's driver programmed into them.
#
#   tools/vm_test.sh [CASE...]      (all cases when none is named)
#
# Cases (the smallest image; --fast unless said otherwise):
#   1  list-ports     --list-ports names the FTDI adapter, driver, USB id and
#                     serial, and leaves it unopened
#   2a fast-ftdi      a whole update through ftdi_sio
#   2b fast-8250      a whole update through the 8250 UART
#   3  replug         the adapter pulled in the EEPROM phase and in the flash
#                     phase, back after 5 s each time: completed, verified
#   4  other-adapter  pulled in the flash phase, another adapter (another
#                     serial number) plugged in its place: not taken, the run
#                     ends as with a pulled adapter
#   5  pulled         pulled for good in the flash phase: the flash failure
#                     after the 10 s wait
#   6  default        a whole update in the default mode through ftdi_sio
#
# Each case checks the exit status, the log and the boxes, the panel's memory
# afterwards (varnox-panel-sim --verify) and the line settings the driver
# programmed (38400 baud, 8 data bits, even parity, 1 stop bit, no flow
# control). One guest boot serves all cases. Prints one line per case (PASS,
# FAIL, XFAIL, XPASS and its seconds) and exits 1 when any case failed.
#
# Environment: VARNOX_BUILD (default build/check) holds bin/varnox-patch-cli
# and bin/varnox-panel-sim; VARNOX_VM_CACHE (default
# ~/.cache/varnox-patch/vm) keeps the guest's kernel between runs. The last
# run's files (console, QEMU trace, each case's log, trace and wire
# transcript) stay in <build>/vm.
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C # the decimal point of EPOCHREALTIME and awk

# Case 4 needs an opener that refuses an adapter of another identity under
# the pulled one's name. On a tree without it, "fail" runs the case as an
# expected failure (XFAIL; a pass is then XPASS, which fails the run).
other_adapter_expected=pass

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }

all_cases=(1 2a 2b 3 4 5 6)
declare -A case_alias=([list-ports]=1 [fast-ftdi]=2a [fast-8250]=2b [replug]=3 [other-adapter]=4
  [pulled]=5 [default]=6)
cases=()
for arg in "$@"; do
  case "$arg" in
    -h | --help) usage; exit 0 ;;
    1 | 2a | 2b | 3 | 4 | 5 | 6) cases+=("$arg") ;;
    2) cases+=(2a 2b) ;;
    *)
      [[ -n ${case_alias[$arg]:-} ]] || { echo "vm_test: unknown case $arg" >&2; exit 2; }
      cases+=("${case_alias[$arg]}")
      ;;
  esac
done
((${#cases[@]})) || cases=("${all_cases[@]}")
wants() { [[ " ${cases[*]} " == *" $1 "* ]]; }

bash tools/setup.sh --vm

build=$(realpath -m "${VARNOX_BUILD:-build/check}")
cli=$build/bin/varnox-patch-cli
sim=$build/bin/varnox-panel-sim
for program in "$cli" "$sim"; do
  [[ -x $program ]] || { echo "vm_test: $program is missing; build it first" >&2; exit 2; }
done
cache=${VARNOX_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnox-patch/vm}
work=$build/vm
out=$work/out # the guest's /tmp/out (writable, shared)
image=FWKAELVRXGAA0I_2x04
serial_a=VARNOXA1
serial_b=VARNOXB2
# The fast cases' panel answers as soon as the line allows (no reply delays;
# its 5 ms EEPROM write time and the 38400-baud line stay): what is under test
# is the driver's path, and a whole update then takes half the time. The
# default-mode case keeps the panel's usual delays.
quick_panel=(--delay read=0 --delay write=0 --delay flash=0)
reconnected="PORTA SERIALE RICOLLEGATA , SERIAL PORT RECONNECTED"
port_box="Impossibile accedere alla porta seriale"
flash_box="ATTENZIONE: errore irreversibile di programmazione firmware"

# --- Processes: every one we start is ended on any way out --------------------

qemu_pid=""
panel_pids=()
stop_pid() { # PID [SIGNAL]: ends PID, waiting up to 5 s before SIGKILL
  local pid=$1 i
  kill -"${2:-TERM}" "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 50; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  local pid
  for pid in "${panel_pids[@]}"; do stop_pid "$pid"; done
  [[ -z $qemu_pid ]] || stop_pid "$qemu_pid"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- The guest ----------------------------------------------------------------

rm -rf "$work"
mkdir -p "$out"
boot_start=$EPOCHREALTIME
bash tools/vm/prepare_guest.sh "$cache" "$work"

# A simulated panel: starts it with the given options (the case's files are
# named after CASE) and sets panel_pid and panel_port.
panel_pid=""
panel_port=""
start_panel() {
  local name=$1 i
  shift
  "$sim" --as "$image" --verify "$image" --transcript "$out/$name.wire" "$@" \
    >"$out/$name.panel.out" 2>"$out/$name.panel.err" &
  panel_pid=$!
  panel_pids+=("$panel_pid")
  panel_port=""
  for ((i = 0; i < 50 && ${#panel_port} == 0; i++)); do
    sleep 0.1
    panel_port=$(head -1 "$out/$name.panel.out")
  done
  [[ -n $panel_port ]]
}
# Ends the panel (its --verify line goes to CASE.panel.err) and sets panel_status.
panel_status=""
stop_panel() {
  kill -TERM "$panel_pid" 2>/dev/null || true
  local i
  for ((i = 0; i < 50; i++)); do
    kill -0 "$panel_pid" 2>/dev/null || break
    sleep 0.1
  done
  panel_status=0
  if kill -0 "$panel_pid" 2>/dev/null; then
    panel_status=timeout
    stop_pid "$panel_pid" KILL
  else
    wait "$panel_pid" || panel_status=$?
  fi
  local pid kept=()
  for pid in "${panel_pids[@]}"; do
    [[ $pid == "$panel_pid" ]] || kept+=("$pid")
  done
  panel_pids=("${kept[@]}")
}

# The 8250's line is fixed at boot, so its panel starts first.
if wants 2b; then
  start_panel 2b "${quick_panel[@]}" || { echo "vm_test: the simulated panel did not start" >&2; exit 1; }
  uart_backend="serial,id=uart,path=$panel_port"
  uart_panel_pid=$panel_pid
  uart_panel_port=$panel_port
else
  uart_backend="null,id=uart"
fi

# QEMU's monitor (QMP) on a pipe: commands into qmp.in, answers and events
# appended to the plain file qmp.out.
mkfifo "$work/qmp.in"
: >"$work/qmp.out"
qemu-system-x86_64 -nodefaults -no-user-config -machine pc,accel=tcg -m 384 -smp 1 \
  -display none -no-reboot \
  -kernel "$work/vmlinuz" -initrd "$work/initramfs.gz" -append "console=ttyS0 panic=-1 quiet" \
  -chardev file,id=console,path="$work/console.log" -serial chardev:console \
  -chardev "$uart_backend" -device isa-serial,chardev=uart,index=1 \
  -device qemu-xhci,id=xhci \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$out",mount_tag=out,security_model=none \
  -chardev pipe,id=qmp,path="$work/qmp" -mon chardev=qmp,mode=control \
  -msg timestamp=on -D "$work/qemu-trace.log" \
  -trace 'enable=usb_serial_set_*' -trace enable=serial_update_parameters \
  >"$work/qemu.out" 2>&1 &
qemu_pid=$!
exec {qmp_fd}<>"$work/qmp.in"

qmp_count=0
qmp_error=""
qmp() { # COMMAND [ARGUMENTS-JSON]: true when QEMU returns; qmp_error says why not
  local id=q$((++qmp_count)) answer="" i
  printf '{"execute":"%s"%s,"id":"%s"}\n' "$1" "${2:+,\"arguments\":$2}" "$id" >&"$qmp_fd"
  for ((i = 0; i < 100; i++)); do
    answer=$(grep -E "\"id\": ?\"$id\"" "$work/qmp.out" || true)
    [[ -z $answer ]] || break
    sleep 0.1
  done
  [[ $answer == *'"return"'* ]] && return 0
  qmp_error="$1: ${answer:-no answer}"
  return 1
}

seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
for ((i = 0; i < 600; i++)); do
  [[ ! -e $out/ready ]] || break
  kill -0 "$qemu_pid" 2>/dev/null || break
  sleep 0.2
done
if [[ ! -e $out/ready ]] || ! qmp qmp_capabilities; then
  echo "vm_test: the guest did not come up (see $work/console.log, $work/qemu.out)" >&2
  tail -20 "$work/console.log" "$work/qemu.out" >&2 || true
  exit 1
fi
echo "vm_test: guest ready in $(seconds_since "$boot_start") s (kernel and initramfs included)"

# --- Adapters -------------------------------------------------------------------

adapter_count=0
adapter=""
plug() { # SERIAL PORT: an FT232 with that serial number on xHCI port 1, wired to PORT
  adapter=a$((++adapter_count))
  plugs+=("$EPOCHREALTIME $1")
  qmp chardev-add "{\"id\":\"line-$adapter\",\"backend\":{\"type\":\"serial\",\"data\":{\"device\":\"$2\"}}}" &&
    qmp device_add "{\"driver\":\"usb-serial\",\"id\":\"$adapter\",\"chardev\":\"line-$adapter\",\"serial\":\"$1\",\"bus\":\"xhci.0\",\"port\":\"1\"}"
}
unplug() { # pulls the adapter plugged last, and its line
  local i
  qmp device_del "{\"id\":\"$adapter\"}" || return 1
  for ((i = 0; i < 100; i++)); do
    grep -q "\"DEVICE_DELETED\".*\"device\": \"$adapter\"" "$work/qmp.out" && break
    sleep 0.1
  done
  qmp chardev-remove "{\"id\":\"line-$adapter\"}"
}

# --- Jobs in the guest ------------------------------------------------------------

# Runs the tool in the guest with ARGUMENTS, where the word PORT stands for
# "--no-record --trace CASE.trace /dev/DEVICE" (ttyUSB: the one USB serial
# adapter there, waited for up to 30 s): stdout to CASE.log, stderr to
# CASE.err. The guest ends it after LIMIT seconds.
job_start=""
start_job() { # CASE DEVICE LIMIT ARGUMENTS...
  local name=$1 device=$2 limit=$3 arguments="" argument
  shift 3
  for argument in "$@"; do
    [[ $argument == PORT ]] && arguments+=" --no-record --trace /tmp/out/$name.trace"' /dev/$device' ||
      arguments+=" $argument"
  done
  rm -f "$out/job.rc"
  cat >"$out/job.tmp" <<EOF
device=$device
if [ "\$device" = ttyUSB ]; then
  for i in \$(seq 150); do
    device=\$(ls /sys/bus/usb-serial/devices 2>/dev/null | head -1)
    [ -z "\$device" ] || break
    sleep 0.2
  done
  [ -n "\$device" ] || { echo "no USB serial adapter"; exit 125; }
fi
exec timeout -s TERM $limit chroot /host /usr/bin/env VARNOX_ALLOW_STAND_IN=1 HOME=/tmp \\
  $cli$arguments \\
  >/host/tmp/out/$name.log 2>/host/tmp/out/$name.err
EOF
  mv "$out/job.tmp" "$out/job.sh"
  job_start=$EPOCHREALTIME
}
job_ended() { [[ -e $out/job.rc ]]; }
job_status=""
wait_job() { # LIMIT: sets job_status ("timeout" when the guest did not answer)
  local i
  job_status=timeout
  for ((i = 0; i < $1 * 5; i++)); do
    if job_ended; then
      job_status=$(<"$out/job.rc")
      return 0
    fi
    kill -0 "$qemu_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
# Waits until the tool has written COUNT requests of PHASE (eeprom: any
# request; flash: 132-byte flash packets) by its trace; false when the run
# ended first or after LIMIT seconds.
wait_for_writes() { # CASE PHASE COUNT LIMIT
  local trace=$out/$1.trace i
  local filter='$2 == ">"'
  [[ $2 == eeprom ]] || filter='$2 == ">" && NF == 134'
  for ((i = 0; i < $4 * 5; i++)); do
    (($(awk "$filter" "$trace" 2>/dev/null | wc -l) >= $3)) && return 0
    job_ended && return 1
    sleep 0.2
  done
  return 1
}

# --- Checks -----------------------------------------------------------------------

problems=()
problem() { problems+=("$*"); }

# The log a run prints: MODE fast|default; ENDING completed|flash-failed;
# reconnection lines after the pulls in PULLS (eeprom, flash).
expected_log() { # MODE ENDING PULLS
  local lines=("UPDATING PROCESS STARTED" "$image" "" "UPDATING EEPROM MEMORY" "" "PLEASE WAIT...")
  [[ $3 != *eeprom* ]] || lines+=("$reconnected")
  [[ $1 != fast ]] || lines+=("VERIFYING EEPROM MEMORY" "EEPROM VERIFIED")
  lines+=("DOWNLOADING microKernel" "PLEASE WAIT..." "ERASING FLASH..." "Writing Flash " "PLEASE WAIT...")
  [[ $3 != *flash* ]] || lines+=("$reconnected")
  [[ $2 != completed ]] || lines+=("" "FLASH AGGIORNATA.. RIAVVIO CENTRALE" "FLASH UPDATED... PANEL RESTART" ""
    "ATTENDERE , PLEASE WAIT" "" "Aggiornamento Terminato" "programming END" "" ""
    "CENTRALE VERIFICATA: $image" "PANEL VERIFIED: $image")
  printf '%s\n' "${lines[@]}"
}

check_status() { [[ $job_status == "$1" ]] || problem "exit status $job_status, expected $1"; }
check_log() { # CASE MODE ENDING PULLS
  local differences
  if ! differences=$(diff <(expected_log "$2" "$3" "$4") "$out/$1.log"); then
    problem "log differs (< expected, > printed):" $'\n'"$(head -20 <<<"$differences")"
  fi
}
check_boxes() { # CASE ENDING
  if [[ $2 == completed ]]; then
    [[ ! -s $out/$1.err ]] || problem "boxes on stderr: $(head -5 "$out/$1.err")"
    return
  fi
  # The adapter stayed away: the port box once (its detail names the device),
  # then the flash box.
  local boxes
  mapfile -t boxes <"$out/$1.err"
  if ((${#boxes[@]} != 3)) || [[ ${boxes[0]} != "$port_box" || ${boxes[1]} != */dev/ttyUSB0* ||
    ${boxes[2]} != "$flash_box" ]]; then
    problem "boxes differ from the port box, its detail and the flash box:" $'\n'"$(cat "$out/$1.err")"
  fi
}
check_panel() { # CASE holds|changed
  stop_panel
  if [[ $2 == holds ]]; then
    [[ $panel_status == 0 ]] || problem "panel: $(cat "$out/$1.panel.err") (status $panel_status)"
  else
    [[ $panel_status == 3 ]] || problem "panel not changed as expected: $(cat "$out/$1.panel.err")"
  fi
}
# No EEPROM chunk or flash packet went twice: the real driver lost nothing.
check_no_retries() { # CASE
  local counts
  counts=$(awk '$2 == ">" && NF == 30 { chunks++ } $2 == ">" && NF == 134 { flash++ }
    END { print chunks + 0, flash + 0 }' "$out/$1.trace")
  [[ $counts == "677 529" ]] || problem "chunks and flash packets written: $counts, expected 677 529 (one each)"
}
# The default mode's fixed wait through the driver: no chunk goes out sooner
# than 150 ms after the one before it.
check_default_waits() { # CASE
  local shortest
  shortest=$(awk '$2 == ">" && NF == 30 { if (last != "" && (min == "" || $1 - last < min)) min = $1 - last; last = $1 }
    END { printf "%.3f", min }' "$out/$1.trace")
  awk -v s="$shortest" 'BEGIN { exit !(s >= 0.150) }' || problem "chunks only $shortest s apart, expected 0.150 s at least"
}

# What the guest's driver programmed into the adapters, from QEMU's trace.
# QEMU stamps each line with this machine's clock, and every FT232 on xHCI
# shows as dev 0:0, so the time an adapter was plugged tells whose a line is.
# Between FROM and TO: how often the baud rate or data format was set, and
# the last baud rate, data format and flow control ("0 38400 E81 flow 0").
usb_programming() { # FROM TO
  awk -v from="$1" -v to="$2" '
    { split($1, stamp, "[@:]"); t = stamp[2] + 0 }
    t < from || t >= to { next }
    /usb_serial_set_baud/ { n++; baud = $NF }
    /usb_serial_set_data/ { n++; data = $5 $8 $11; gsub(",", "", data) }
    /usb_serial_set_flow_control/ { flow = $NF }
    END { printf "%d %s %s flow %s\n", n, baud, data, flow }' "$work/qemu-trace.log"
}
# The 8250's last line settings since FROM.
uart_programming() { # FROM
  awk -v from="$1" '
    { split($1, stamp, "[@:]") }
    stamp[2] + 0 >= from && /serial_update_parameters/ { line = $0; sub(/.*serial_update_parameters /, "", line) }
    END { print line }' "$work/qemu-trace.log"
}
case_start=""
plugs=() # "TIME SERIAL" of each adapter plugged in this case
check_programmed() { # usb | uart | none
  local i from to serial settings
  case "$1" in
    none)
      settings=$(usb_programming "$case_start" "$EPOCHREALTIME")
      [[ $settings == 0* ]] || problem "the adapter was opened and programmed: $settings"
      ;;
    uart)
      settings=$(uart_programming "$case_start")
      [[ $settings == "baudrate=38400 parity='E' data=8 stop=1" ]] || problem "UART programmed: ${settings:-nothing}"
      ;;
    usb)
      # Each adapter of ours the tool opened; any other stays unopened.
      for ((i = 0; i < ${#plugs[@]}; i++)); do
        read -r from serial <<<"${plugs[i]}"
        to=$EPOCHREALTIME
        ((i + 1 == ${#plugs[@]})) || to=${plugs[i + 1]%% *}
        settings=$(usb_programming "$from" "$to")
        if [[ $serial != "$serial_a" ]]; then
          [[ $settings == 0* ]] || problem "adapter $serial was opened: $settings"
        elif [[ $settings == 0* || $settings != *" 38400 E81 flow 0" ]]; then
          problem "adapter $serial programmed (settings, baud, data, flow): $settings"
        fi
      done
      ;;
  esac
}

# --- Cases --------------------------------------------------------------------------

declare -A case_title=([1]="--list-ports names the FTDI adapter, opens nothing"
  [2a]="fast update through ftdi_sio" [2b]="fast update through the 8250 UART"
  [3]="adapter pulled in EEPROM and flash phases, back after 5 s" [4]="another adapter in the pulled one's place"
  [5]="adapter pulled for good in the flash phase" [6]="default-mode update through ftdi_sio")
# Bounds for a whole run in the guest: TCG is slow, and slower on a busy machine.
fast_limit=420
default_limit=900

case_1() {
  start_panel 1 && plug "$serial_a" "$panel_port" || { problem "set-up: $qmp_error"; return; }
  start_job 1 ttyUSB 60 --list-ports
  wait_job 90 || { problem "no end within 90 s"; return; }
  check_status 0
  local row
  row=$(grep -E '^COM1 +/dev/ttyUSB0 ' "$out/1.log" || true)
  [[ $row =~ ftdi_sio\ +0403:6001\ .*\ $serial_a\  ]] || problem "no row for the adapter: $(cat "$out/1.log")"
  check_programmed none
  stop_panel
  grep -q '^ *[0-9.]* [<>]' "$out/1.wire" && problem "bytes went to the panel"
  unplug || problem "$qmp_error"
}

# A whole update through the FTDI adapter, in MODE; the limit in seconds.
whole_update() { # CASE MODE LIMIT
  local quick=()
  [[ $2 != fast ]] || quick=("${quick_panel[@]}")
  start_panel "$1" "${quick[@]}" && plug "$serial_a" "$panel_port" || { problem "set-up: $qmp_error"; return; }
  local options=(PORT)
  [[ $2 != fast ]] || options=(--fast PORT)
  start_job "$1" ttyUSB "$3" "${options[@]}"
  wait_job $(($3 + 30)) || { problem "no end within $3 s"; return; }
  check_status 0
  check_log "$1" "$2" completed ""
  check_boxes "$1" completed
  check_no_retries "$1"
  [[ $2 == fast ]] || check_default_waits "$1"
  check_programmed usb
  check_panel "$1" holds
  unplug || problem "$qmp_error"
}

case_2a() { whole_update 2a fast "$fast_limit"; }

case_2b() {
  panel_pid=$uart_panel_pid
  panel_port=$uart_panel_port
  start_job 2b ttyS1 "$fast_limit" --fast PORT
  wait_job $((fast_limit + 30)) || { problem "no end within $fast_limit s"; return; }
  check_status 0
  check_log 2b fast completed ""
  check_boxes 2b completed
  check_no_retries 2b
  check_programmed uart
  check_panel 2b holds
}

case_3() {
  start_panel 3 "${quick_panel[@]}" && plug "$serial_a" "$panel_port" || { problem "set-up: $qmp_error"; return; }
  start_job 3 ttyUSB "$fast_limit" --fast PORT
  local phase
  for phase in eeprom flash; do
    # Mid-download (chunk 200 of 677), or flash packet 150 of 528.
    wait_for_writes 3 "$phase" $([[ $phase == eeprom ]] && echo 200 || echo 150) "$fast_limit" ||
      { problem "the run ended before the $phase phase"; break; }
    unplug || problem "$qmp_error"
    sleep 5
    plug "$serial_a" "$panel_port" || problem "$qmp_error"
  done
  wait_job $((fast_limit + 30)) || { problem "no end within $fast_limit s"; return; }
  check_status 0
  check_log 3 fast completed "eeprom flash"
  check_boxes 3 completed
  check_programmed usb
  check_panel 3 holds
  unplug || problem "$qmp_error"
}

# Pulled in the flash phase; with SERIAL, an adapter of that serial number is
# plugged into the same socket 5 s later, wired to the same panel.
pulled_in_flash() { # CASE [SERIAL]
  start_panel "$1" "${quick_panel[@]}" && plug "$serial_a" "$panel_port" || { problem "set-up: $qmp_error"; return; }
  start_job "$1" ttyUSB "$fast_limit" --fast PORT
  if ! wait_for_writes "$1" flash 50 "$fast_limit"; then
    problem "the run ended before the flash phase"
    wait_job 60 || true
    return
  fi
  unplug || problem "$qmp_error"
  local pulled=$EPOCHREALTIME
  if [[ -n ${2:-} ]]; then
    sleep 5
    plug "$2" "$panel_port" || problem "$qmp_error"
  fi
  wait_job 90 || { problem "no end within 90 s of the pull"; return; }
  local waited
  waited=$(seconds_since "$pulled")
  awk -v s="$waited" 'BEGIN { exit !(s >= 10 && s < 40) }' ||
    problem "ended $waited s after the pull, expected after the 10 s wait"
  check_status 3
  check_log "$1" fast flash-failed ""
  check_boxes "$1" flash-failed
  check_programmed usb
  check_panel "$1" changed
  if [[ -n ${2:-} ]]; then
    grep -q 'another adapter on /dev/ttyUSB' "$out/$1.trace" ||
      problem "the trace does not say that another adapter was there"
    unplug || problem "$qmp_error"
  fi
}

case_4() { pulled_in_flash 4 "$serial_b"; }
case_5() { pulled_in_flash 5; }
case_6() { whole_update 6 default "$default_limit"; }

failed=0
passed=0
for name in "${cases[@]}"; do
  problems=()
  plugs=()
  case_start=$EPOCHREALTIME
  "case_$name" || true
  verdict=PASS
  ((${#problems[@]} == 0)) || verdict=FAIL
  if [[ $name == 4 && $other_adapter_expected == fail ]]; then
    # Expected to fail until the mend is merged; a pass means: flip the setting.
    [[ $verdict == FAIL ]] && verdict=XFAIL || verdict=XPASS
  fi
  printf '%-5s %-3s %-58s %6s s\n' "$verdict" "$name" "${case_title[$name]}" "$(seconds_since "$case_start")"
  for p in "${problems[@]}"; do
    sed 's/^/      /' <<<"$p"
  done
  case "$verdict" in
    PASS | XFAIL) ((++passed)) ;;
    XPASS)
      echo "      case 4 passes: set other_adapter_expected=pass in tools/vm_test.sh"
      ((++failed))
      ;;
    *) ((++failed)) ;;
  esac
  # A job the guest never finished leaves it busy: the remaining cases cannot run.
  if [[ -n $job_start && ! -e $out/job.rc ]]; then
    echo "vm_test: the guest is still busy with case $name; the remaining cases are not run" >&2
    ((failed += ${#cases[@]} - passed - failed))
    break
  fi
  job_start=""
done

: >"$out/poweroff"
for ((i = 0; i < 100; i++)); do
  kill -0 "$qemu_pid" 2>/dev/null || break
  sleep 0.1
done
stop_pid "$qemu_pid"
qemu_pid=""
echo "vm_test: $(seconds_since "$boot_start") s in all; the files of each case are in $work/out"
echo "vm_test: $passed passed, $failed failed"
((failed == 0))
