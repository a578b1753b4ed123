#!/bin/bash
# Builds the win32, win64 and linux trees and runs all their tests: each tree's unit tests (the
# Windows ones under wine), then, in the linux tree, the process tests against all three
# launchers, and once more against the linux launcher under valgrind (process_linux_valgrind).
# Then the linux-asan tree (AddressSanitizer and UndefinedBehaviorSanitizer) runs the unit and
# process tests, and the fuzz targets run for a bounded time each. Exits non-zero when any
# build or test fails.
#
# On a machine that runs 64-bit programs only, Wine's 32-bit loader cannot start: there every
# wine call goes through its 64-bit loader (scripts/wine64), the win32 tree is built and its
# files checked, and the tests that would start 32-bit programs are reported as skipped, by
# ctest and in the closing summary. LAUNCHER_NO_32BIT=1 runs everything as on such a machine
# (scripts/without_32bit.sh makes the 32-bit programs fail here as they fail there).
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

if [ "${LAUNCHER_NO_32BIT:-}" = 1 ]; then
    if unshare --mount true 2>/dev/null; then
        exec env -u LAUNCHER_NO_32BIT bash scripts/without_32bit.sh bash scripts/test.sh "$@"
    fi
    echo "==> LAUNCHER_NO_32BIT: cannot make 32-bit programs fail here (no mount namespace); only skipping them"
fi

# Whether this machine runs 32-bit programs, found out once: Wine's 32-bit loader starts.
if [ "${LAUNCHER_NO_32BIT:-}" = 1 ]; then
    loader_says=LAUNCHER_NO_32BIT=1
    runs_32bit=OFF
elif loader_says=$(/usr/lib/wine/wine --version 2>&1); then
    runs_32bit=ON
else
    runs_32bit=OFF
fi
if [ "$runs_32bit" = ON ]; then
    wine=wine wineboot=wineboot wineprefix=wineprefix
else
    # The loader's complaint, without the shell's "test.sh: line N: " before it.
    loader_says=${loader_says%%$'\n'*}
    if [ -e /usr/lib/wine/wine ] || [ "${LAUNCHER_NO_32BIT:-}" = 1 ]; then
        no_32bit_reason="this machine runs 64-bit programs only (${loader_says#*: line [0-9]*: })"
    else
        no_32bit_reason="Wine's 32-bit half (wine32) is not installed (scripts/setup.sh says why)"
    fi
    echo "==> $no_32bit_reason: wine runs through its 64-bit loader, and no 32-bit Windows program runs"
    # Prefixes of their own, without wine's 32-bit half (cmake/wine.cmake names them too).
    wine=$PWD/scripts/wine64/wine wineboot=$PWD/scripts/wine64/wineboot wineprefix=wineprefix-wine64
fi

export WINEDEBUG=-all
# No test may wait on a window: only the dialog test brings its own X server.
unset DISPLAY
jobs=2
failed=()

# One wine prefix per Windows tree (build/<preset>/$wineprefix), created once, with a server
# kept alive for the whole run.
servers=()
stop_servers() {
    for prefix in "${servers[@]}"; do
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    done
}
trap stop_servers EXIT

start_wine() {
    local prefix="$PWD/build/$1/$wineprefix"
    if [ ! -f "$prefix/system.reg" ]; then
        echo "==> creating the wine prefix $prefix"
        mkdir -p "$prefix"
        WINEPREFIX="$prefix" "$wineboot" -i >/dev/null 2>&1
        # Let the server that created it end and save the registry.
        WINEPREFIX="$prefix" wineserver -w
    fi
    WINEPREFIX="$prefix" wineserver -p >/dev/null 2>&1 || true
    servers+=("$prefix")
    # The first program of a server session starts wine's services, which live as long as the
    # server and inherit that program's output: let it be one whose output goes nowhere, so
    # that no test's output stays open after the test has ended.
    WINEPREFIX="$prefix" "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# The seconds each step took, for the closing summary.
timings=()
timed() {
    local what="$1" began=$SECONDS status
    shift
    "$@"
    status=$?
    timings+=("$what $((SECONDS - began)) s")
    return "$status"
}

# build PRESET [CMAKE-ARGUMENT...] [-- TARGET...]: configures and builds the tree (the targets
# named, else all).
build() {
    local preset="$1" configure=() targets=()
    shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && shift && for target in "$@"; do targets+=(--target "$target"); done
    echo "==> building $preset"
    if timed "build $preset" eval 'cmake --preset "$preset" -DLAUNCHER_RUN_32BIT="$runs_32bit" "${configure[@]}" &&
        cmake --build "build/$preset" -j "$jobs" "${targets[@]}"'; then
        return 0
    fi
    failed+=("build $preset")
    return 1
}

# ctest, its output also in $ctest_log.
ctest_logged() {
    ctest "$@" | tee "$ctest_log"
}

# run_tests PRESET [CTEST-ARGUMENT...]
run_tests() {
    local preset="$1"
    echo "==> testing $preset"
    if [[ "$preset" == win* ]]; then
        export WINEPREFIX="$PWD/build/$preset/$wineprefix"
    fi
    # No entry runs twice: a googletest case that fails runs once more by itself
    # (tests/retry/gtest_cases.sh), and one that then passes is named in the closing summary as
    # flaky and fails its entry, unless tests/retry/allowed.txt names its outside cause.
    timed "tests $preset" ctest_logged --test-dir "build/$preset" --output-on-failure -j "$jobs" "${@:2}" ||
        failed+=("tests $preset")
    unset WINEPREFIX
    # ctest ends with the tests that did not run: "  12 - process_win32 (Skipped)".
    skipped+=($(sed -n "s|^[[:space:]]*[0-9]* - \([^ ]*\) (Skipped)\$|$preset/\1|p" "$ctest_log"))
}

ctest_log=$(mktemp)
# Where tests/retry/gtest_cases.sh names the cases that failed and then passed.
export LAUNCHER_FLAKY_LOG
LAUNCHER_FLAKY_LOG=$(mktemp)
skipped=()
built=()
for preset in win32 win64; do
    build "$preset" && built+=("$preset")
done
build linux -DLAUNCHER_WINDOWS_TREES=ON && built+=(linux)

# The win32 tree's prefix serves only 32-bit programs.
[ "$runs_32bit" = ON ] && start_wine win32
start_wine win64
for preset in "${built[@]}"; do
    run_tests "$preset"
done

# The sanitizer tree runs the unit suites and its shards of the process suite with the leak
# check (cmake/test_variants.cmake), and the real-JDK launches without it; the benchmark, the
# walks and the package measure and describe the release build, which the linux tree has run
# them on: only what its tests start is built.
if build linux-asan -- unit_tests stamp_unit_tests process_tests; then
    run_tests linux-asan -R '^(unit_tests|stamp_unit_tests|process_linux.*)$'
fi

# Each fuzz target replays its whole corpus, then fuzzes FUZZ_SECONDS (fuzz/README.md: fuzzing long).
if [ -f fuzz/run.sh ]; then
    echo "==> fuzzing, ${FUZZ_SECONDS:-5} s a target after its corpus"
    timed fuzz bash fuzz/run.sh "${FUZZ_SECONDS:-5}" || failed+=("fuzz")
fi

rm -f "$ctest_log"
# Every retried case, allowed or not, is named here, where it cannot scroll out of sight.
if [ -s "$LAUNCHER_FLAKY_LOG" ]; then
    cat "$LAUNCHER_FLAKY_LOG"
fi
rm -f "$LAUNCHER_FLAKY_LOG"
echo "Times: ${timings[*]/%/,} $((SECONDS / 60)) min $((SECONDS % 60)) s in all"
if [ ${#skipped[@]} -ne 0 ]; then
    reason="their reasons in build/<tree>/Testing/Temporary/LastTest.log"
    [ "$runs_32bit" = ON ] || reason=$no_32bit_reason
    echo "SKIPPED, not run (${reason}): ${skipped[*]}"
fi
if [ ${#failed[@]} -ne 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
echo "All builds and tests passed."
