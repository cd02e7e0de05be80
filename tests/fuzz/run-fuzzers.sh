#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds each (default 30), two at a time,
# on a scratch copy of its seed corpus. Builds them first with clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer.
#   tests/fuzz/run-fuzzers.sh           the short run CI makes
#   tests/fuzz/run-fuzzers.sh 600       ten minutes each
#   FUZZ_TARGETS="WavReader UdpList" tests/fuzz/run-fuzzers.sh 60   some of them
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVANE_FUZZ=ON -DBUILD_TESTING=OFF -DKELVANE_BUILD_BENCH=OFF >/dev/null
targets=(${FUZZ_TARGETS:-AudioToBytes HandleDemodBytes BuiltinDemodulator BurstDemodulator WavReader
          UdpList SerialSettings SettingsLoad})
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {
  local name=$1
  mkdir -p "$scratch/$name"
  if "$build/bin/fuzz_$name" "$scratch/$name" "tests/fuzz/corpus/$name" \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -artifact_prefix="$scratch/$name-" >"$scratch/$name.log" 2>&1; then
    echo "fuzz_$name: clean for ${seconds}s ($(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$scratch/$name.log") runs)"
  else
    echo "fuzz_$name: FAILED" >&2
    tail -40 "$scratch/$name.log" >&2
    for crash in "$scratch/$name"-*; do
      [ -e "$crash" ] && { echo "input kept as fuzz-$name-$(basename "$crash")" >&2; cp "$crash" "fuzz-$name-$(basename "$crash")"; }
    done
    return 1
  fi
}
status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for name in "${targets[@]:i:2}"; do
    run "$name" & pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
done
exit $status
