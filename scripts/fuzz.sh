#!/bin/bash
# Builds the libFuzzer targets (preset fuzz) and runs each on a copy of its
# checked-in corpus, fuzz/corpus/<target>/. Two ways:
#
#   scripts/fuzz.sh          the long random campaign, for people to run:
#                            FUZZ_SECONDS (600) per target from a random seed.
#   scripts/fuzz.sh --fixed  what the test command runs: the corpus replayed,
#                            then FUZZ_RUNS (50000) inputs from a fixed seed.
#                            The same commit gives the same inputs and result.
#
# Exits non-zero when a target crashes or breaks an invariant; the input that
# did it is kept in build/fuzz/artifacts/<target>/. Every such input is fixed
# (in the code, or in the invariant where the invariant asked for more than
# the tool promises) and then added to fuzz/corpus/<target>/, so that the
# fixed run replays it from then on.
set -eu
cd "$(dirname "$0")/.."
fixed=false
[ "${1:-}" = --fixed ] && fixed=true
seconds=${FUZZ_SECONDS:-600}
runs=${FUZZ_RUNS:-50000}
scripts/setup.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

build=build/fuzz
# The hosts files of fuzz_hosts_update, in memory where there is room for
# them: every update flushes to disk. Removed even after a crash.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/netsetup-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export NETSETUP_FUZZ_TMP=$scratch

common=(-rss_limit_mb=2048 -timeout=25 -print_final_stats=1)
if $fixed; then
  # Nothing that changes from run to run may steer the fuzzer: the compared
  # values it records include addresses (no randomised layout, and the same
  # environment, which lies on the stack), the fake of Windows names its
  # temporary files after the process id (a namespace of its own, so always
  # the same id), and the corpus reload and allocator purge run by the clock
  # (both off).
  pin=(unshare --pid --fork setarch --addr-no-randomize
    env -i PATH=/usr/bin:/bin NETSETUP_FUZZ_TMP="$scratch")
  common+=(-seed=1 -runs="$runs" -reload=0 -purge_allocator_interval=-1)
  what="the corpus and $runs inputs from seed 1"
else
  pin=()
  common+=(-max_total_time="$seconds")
  what="$seconds s"
fi

targets=(fuzz_cstring fuzz_parse_line fuzz_proxy_list fuzz_hosts_update fuzz_connection_settings)
failed=()
for target in "${targets[@]}"; do
  echo "== $target, $what"
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  rm -rf "$corpus" "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  cp fuzz/corpus/"$target"/* "$corpus"/
  if ! "${pin[@]}" "$build/fuzz/$target" "${common[@]}" -artifact_prefix="$artifacts/" "$corpus" \
      >"$build/$target.log" 2>&1; then
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
echo "fuzzing: ${#targets[@]} targets ran $what each without a fault"
