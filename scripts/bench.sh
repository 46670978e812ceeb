#!/bin/bash
# Builds the benchmarks (preset bench, Release) and runs them. Arguments go
# to the benchmark, e.g. --benchmark_filter=Hosts; NETSETUP_BENCH_DIR
# chooses the folder of the hosts files (the temporary folder by default).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset bench
cmake --build --preset bench
build/bench/bench/bench_update "$@"
