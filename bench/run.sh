#!/bin/bash
# Builds what the benchmark needs in the linux tree and runs it.
#   bash bench/run.sh            full mode: bounds enforced, exit code 1 when one is missed
#   bash bench/run.sh --quick    fewer rounds and sizes; misses are marked, never fatal
# Other options go to the driver (--rounds N, --only java|own|cache, --dump). BENCH_BUILD_DIR
# names another build tree (default build/linux).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/linux}
if [ -f "$build/CMakeCache.txt" ]; then
    # A tree configured before the benchmark existed learns of it here.
    cmake -S "$root" -B "$build" >/dev/null
else
    cmake --preset linux -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" --target bench_driver -j2 >/dev/null
exec "$build/bench/bench_driver" "$@"
