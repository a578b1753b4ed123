#!/bin/bash
# Counts the instructions of the launcher's own work with callgrind on the largest case: a
# 100,000-line configuration with AddJavaLibPath over 10,000 jars, on the null VM library.
# Prints the total and the functions that cost most; the full profile stays in
# <build>/bench/callgrind.out for callgrind_annotate. Needs valgrind.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/linux}
command -v valgrind >/dev/null || { echo "profile.sh needs valgrind (apt-get install valgrind)" >&2; exit 1; }
bash "$root/bench/run.sh" --layout-only
out="$build/bench/callgrind.out"
cd "$build/bench/work/own/bin"
BENCH_APP_SETTING="some value" valgrind --tool=callgrind --callgrind-out-file="$out" ./profile \
    >/dev/null 2>"$build/bench/callgrind.log"
grep 'refs:' "$build/bench/callgrind.log"
callgrind_annotate "$out" 2>/dev/null | sed -n '/^Ir/,$p' | head -40 |
    sed 's/std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >/std::string/g' | cut -c1-160
