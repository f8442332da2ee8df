#!/usr/bin/env bash
# Shows a whole firmware update against the simulated panel: builds what is
# missing, starts varnox-panel-sim on a pseudo-terminal and attaches the tool
# to it. With a display, the window opens with COM1 mapped to the simulated
# panel: press CONTINUE. Without one (or with --console), the console tool
# runs the same update in the terminal.
#
#   tools/demo.sh [--console] [--as FIRMWARE_NAME] [-- extra varnox-panel-sim options]
set -euo pipefail
cd "$(dirname "$0")/.."

console=0
panel_name="FWKAELVRXGAA0I_2x04"   # the smallest image: the shortest demo (about 2 minutes)
sim_args=()
while (($#)); do
  case "$1" in
    --console) console=1 ;;
    --as) panel_name="$2"; shift ;;
    --) shift; sim_args=("$@"); break ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

if ((console == 0)) && [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "demo: no display found, so the window cannot open here."
  echo "demo: running the console front-end (varnox-patch-cli) against the simulated panel instead."
  console=1
fi

# What building and running need; the tests' packages are not.
bash tools/setup.sh
build=build/demo
targets=(varnox-panel-sim varnox-patch-cli)
((console)) || targets+=(varnox-patch)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

# The simulated panel prints the path of its pseudo-terminal on its first line.
fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/bin/varnox-panel-sim" --as "$panel_name" "${sim_args[@]}" >"$fifo" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r pty <&3 || { echo "demo: the simulated panel did not start" >&2; exit 1; }
echo "demo: simulated panel ($panel_name) on $pty"

# The simulated panel takes the carried stand-in images; a demo run is kept out of the run record.
export VARNOX_ALLOW_STAND_IN=1
if ((console)); then
  "$build/bin/varnox-patch-cli" --no-record "$pty"
else
  echo "demo: the window opens with COM1 mapped to $pty; press CONTINUE."
  "$build/bin/varnox-patch" --no-record "COM1=$pty"
fi
