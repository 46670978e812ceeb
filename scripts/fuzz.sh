#!/bin/bash
# Builds the libFuzzer targets (preset fuzz) and runs each for FUZZ_SECONDS
# (60 by default) on a copy of its seed corpus. Exits non-zero when a target
# crashes or breaks an invariant; the input that did it is kept in
# build/fuzz/artifacts/<target>/.
set -eu
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
scripts/setup.sh

cmake --preset fuzz
cmake --build --preset fuzz

build=build/fuzz
# The hosts files of fuzz_hosts_update, in memory where there is room for
# them: every update flushes to disk. Removed even after a crash.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/netsetup-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export NETSETUP_FUZZ_TMP=$scratch
targets=(fuzz_cstring fuzz_parse_line fuzz_proxy_list fuzz_hosts_update)
failed=()
for target in "${targets[@]}"; do
  echo "== $target, ${seconds} s"
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  rm -rf "$corpus" "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp fuzz/corpus/"$target"/* "$corpus"/
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" >"$build/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 60 "$build/$target.log"
    echo "!! $target failed; input kept in $artifacts/"
  else
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" || true
  fi
done

if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran ${seconds} s each without a fault"
