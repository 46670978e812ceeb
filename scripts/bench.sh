#!/bin/bash
# Builds the benchmarks (preset bench, Release) and runs them: Set and
# Remove settings as whole processes beside the raw limit of a hosts-file
# update (read, write a new file, flush it to disk, rename it over the
# original), and the check of /check /machine beside a raw read of the file,
# at 256, 10 000, 200 000 and 1 000 000 lines; then the proxy list, and
# /set /allusers on PCs of 1, 30 and 300 profiles.
# Arguments go to bench_hosts: --rounds N, and line counts in place of those
# four. NETSETUP_BENCH_DIR chooses the folder of the hosts files: the
# temporary folder by default, on disk like a real hosts file.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset bench
cmake --build --preset bench
build/bench/bench/bench_hosts "$@"
build/bench/bench/bench_proxy
build/bench/bench/bench_profiles
