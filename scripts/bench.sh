#!/bin/bash
# Builds the benchmarks (preset bench, Release) and runs them. Arguments go
# to the benchmark, e.g. --benchmark_filter=Hosts; NETSETUP_BENCH_DIR
# chooses the folder of the hosts files (the temporary folder by default).
set -eu
cd "$(dirname "$0")/.."
packages=(libbenchmark-dev)
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

cmake --preset bench
cmake --build --preset bench
build/bench/bench/bench_update "$@"
