#!/usr/bin/env bash
# Builds varnox-patch and runs every test: first a build with warnings as
# errors and the whole suite (the real-time runs included), the console tool
# through real serial drivers in a virtual machine (tools/vm_test.sh), then
# the suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tests' packages, the Windows cross build's (the Wine tests) and the
# release signing's (its test with throwaway keys).
bash tools/setup.sh --test --windows --release

# Unformatted code fails the run before anything is built (tools/format.sh mends it).
bash tools/format.sh --check

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B build/check -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOX_WERROR=ON
cmake --build build/check -j "$jobs"
# The Linux programs as tools/release.sh builds them (no tests, Debian's
# flags): a release build that no longer links fails here, not on release day.
VARNOX_JOBS=$jobs bash tools/release_build.sh build/release
# The Windows programs for the Wine tests, built before the tests run.
VARNOX_JOBS=$jobs bash tools/win_build.sh
ctest --test-dir build/check --output-on-failure -j "$jobs" -LE faults
# The fault matrix sleeps through the panel's waits (the longest rows about
# three minutes), so many rows share the two cores: about five minutes in all.
ctest --test-dir build/check --output-on-failure -j 10 -L faults
# The same programs through the real ftdi_sio and 8250 drivers in a QEMU
# guest (tools/vm_test.sh; one boot, seven cases): right after the suite that
# tested them, so a fault only a real driver shows is reported before the
# long sanitizer pass; alone on the cores, as the guest's timing needs.
bash tools/vm_test.sh

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNOX_WERROR=ON -DVARNOX_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
# The real-time runs prove timing, not memory safety; they ran above.
ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE realtime

# Every fuzz target for a bounded time (60 s each) under the sanitizers.
bash tools/fuzz.sh
