#!/usr/bin/env bash
# Fuzzes the frame codec, the memory requests, the bootloader phase, the lock
# file reader, the port list's sysfs reading and the run record reader with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, each for a
# bounded time, starting from the seed corpus in tests/fuzz/corpus/<target>/.
# Fails when a target crashes, leaks, times out or breaks an expectation; the
# input that did it is left in build/fuzz/crashes/ for the corpus replay.
#
#   tools/fuzz.sh                 # every target, 60 s each
#   FUZZ_SECONDS=600 tools/fuzz.sh fuzz_cobs
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build/fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_cobs fuzz_memory_requests fuzz_bootloader_replies fuzz_lock_file fuzz_sysfs_attributes fuzz_run_records)
fi
# Targets that work through files saturate early: less time, unless asked.
declare -A short=([fuzz_lock_file]=20 [fuzz_sysfs_attributes]=30 [fuzz_run_records]=30)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARNOX_FUZZ=ON -DVARNOX_SANITIZE=ON -DVARNOX_BUILD_UI=OFF >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]}"

# One fuzzer byte decides one loader reply, and a run has over 550 of them:
# long inputs from the start reach the flash phase.
declare -A extra=([fuzz_bootloader_replies]="-len_control=0 -max_len=700")

mkdir -p "$build/crashes"
status=0
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder; the seeds in the repository stay as they are.
  work="$build/corpus/$target"
  mkdir -p "$work"
  target_seconds=$seconds
  [[ -n ${FUZZ_SECONDS:-} || -z ${short[$target]:-} ]] || target_seconds=${short[$target]}
  echo "fuzz: $target for ${target_seconds}s"
  # shellcheck disable=SC2086
  if ! "$build/bin/$target" "$work" "tests/fuzz/corpus/$target" ${extra[$target]:-} \
      -max_total_time="$target_seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/crashes/$target-" 2>"$build/$target.log"; then
    echo "fuzz: $target FAILED, see $build/$target.log and $build/crashes/" >&2
    tail -n 40 "$build/$target.log" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/$target.log" | tail -n 2 || true
done
exit $status
