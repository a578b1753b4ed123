#!/bin/bash
# Builds the win32, win64 and linux trees and runs all their tests: each tree's unit tests (the
# Windows ones under wine), then, in the linux tree, the process tests against all three
# launchers, and once more against the linux launcher under valgrind (process_linux_valgrind).
# Then the linux-asan tree (AddressSanitizer and UndefinedBehaviorSanitizer) runs the unit and
# process tests, and the fuzz targets run for a bounded time each. Exits non-zero when any
# build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

export WINEDEBUG=-all
# No test may wait on a window: only the dialog test brings its own X server.
unset DISPLAY
jobs=2
failed=()

# One wine prefix per Windows tree, created once, with a server kept alive for the whole run.
servers=()
stop_servers() {
    for prefix in "${servers[@]}"; do
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    done
}
trap stop_servers EXIT

start_wine() {
    local prefix="$PWD/build/$1/wineprefix"
    if [ ! -f "$prefix/system.reg" ]; then
        echo "==> creating the wine prefix $prefix"
        mkdir -p "$prefix"
        WINEPREFIX="$prefix" wineboot -i >/dev/null 2>&1
        # Let the server that created it end and save the registry.
        WINEPREFIX="$prefix" wineserver -w
    fi
    WINEPREFIX="$prefix" wineserver -p >/dev/null 2>&1 || true
    servers+=("$prefix")
    # The first program of a server session starts wine's services, which live as long as the
    # server and inherit that program's output: let it be one whose output goes nowhere, so
    # that no test's output stays open after the test has ended.
    WINEPREFIX="$prefix" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

build() {
    local preset="$1"
    shift
    echo "==> building $preset"
    if cmake --preset "$preset" "$@" && cmake --build "build/$preset" -j "$jobs"; then
        return 0
    fi
    failed+=("build $preset")
    return 1
}

run_tests() {
    local preset="$1"
    echo "==> testing $preset"
    if [ "$preset" != linux ]; then
        export WINEPREFIX="$PWD/build/$preset/wineprefix"
    fi
    ctest --test-dir "build/$preset" --output-on-failure -j "$jobs" || failed+=("tests $preset")
    unset WINEPREFIX
}

built=()
for preset in win32 win64; do
    build "$preset" && built+=("$preset")
done
build linux -DLAUNCHER_WINDOWS_TREES=ON && built+=(linux)

for preset in win32 win64; do
    start_wine "$preset"
done
for preset in "${built[@]}"; do
    run_tests "$preset"
done

# The sanitizer tree runs the unit and process suites; the benchmark and the README walk
# measure and describe the release build, which the linux tree has run them on.
if build linux-asan; then
    echo "==> testing linux-asan"
    ctest --test-dir build/linux-asan --output-on-failure -j "$jobs" -R '^(unit_tests|process_linux.*)$' ||
        failed+=("tests linux-asan")
fi

if [ -f fuzz/run.sh ]; then
    echo "==> fuzzing, ${FUZZ_SECONDS:-60} s a target"
    bash fuzz/run.sh "${FUZZ_SECONDS:-60}" || failed+=("fuzz")
fi

if [ ${#failed[@]} -ne 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
echo "All builds and tests passed."
