#!/bin/bash
# Checks gtest_cases.sh on a stand-in googletest program whose cases fail as told: a case that
# fails twice fails the entry, one that fails once is named flaky and fails it unless the list
# of allowed retries names it and its failure, a crash is not retried, and a skip stays one.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The stand-in: FAILING names cases that fail on every run, ONCE those that fail only on their
# first run (a file per case remembers it), SAYS what a failing case prints.
cat >"$work/program" <<'PROGRAM'
#!/bin/bash
filter=""
for argument in "$@"; do [[ "$argument" == --gtest_filter=* ]] && filter=${argument#--gtest_filter=}; done
[ -n "${STATUS:-}" ] && { echo "${SAYS:-}"; exit "$STATUS"; }
failed=()
for case in A.Passes B.Fails/0 C.Once; do
    [ -n "$filter" ] && [ "$filter" != "$case" ] && continue
    echo "[ RUN      ] $case"
    if [[ " ${FAILING:-} " == *" $case "* ]] || { [[ " ${ONCE:-} " == *" $case "* ]] && [ ! -e "$WORK/$case" ] && mkdir -p "$(dirname "$WORK/$case")" && touch "$WORK/$case"; }; then
        echo "${SAYS:-}"
        echo "[  FAILED  ] $case (1 ms)"
        failed+=("$case")
    else
        echo "[       OK ] $case (1 ms)"
    fi
done
[ ${#failed[@]} -eq 0 ] && exit 0
echo "[  FAILED  ] ${#failed[@]} tests, listed below:"
for case in "${failed[@]}"; do echo "[  FAILED  ] $case, where GetParam() = 1"; done
exit 1
PROGRAM
chmod +x "$work/program"

failures=0
# check NAME EXPECTED-STATUS EXPECTED-FLAKY-LINE VARIABLES...: one run of gtest_cases.sh.
check() {
    local name="$1" expected="$2" flaky="$3"
    shift 3
    rm -rf "$work/state" "$work/flaky"
    mkdir "$work/state"
    env WORK="$work/state" LAUNCHER_FLAKY_LOG="$work/flaky" "$@" \
        bash "$here/gtest_cases.sh" "$name" -- "$work/program" >"$work/out" 2>&1
    local status=$?
    local logged
    logged="$(cat "$work/flaky" 2>/dev/null)"
    if [ "$status" -ne "$expected" ] || [ "$logged" != "$flaky" ]; then
        echo "FAIL: $name $*: exit $status (expected $expected), flaky log '$logged' (expected '$flaky')"
        cat "$work/out"
        failures=$((failures + 1))
    fi
}

check all_pass 0 ""
check twice 1 "" FAILING=B.Fails/0
check once 1 "FLAKY: once/C.Once (failed, then passed; not a retry tests/retry/allowed.txt allows)" ONCE=C.Once
check process_win64 0 "FLAKY: process_win64/C.Once (retried: wine's command interpreter did not start the program)" \
    ONCE=C.Once "SAYS=Can't recognize 'x.exe' as an internal or external command, or batch script."
# A flaky case that is not allowed is followed by its first failure's own lines.
check process_win64 1 $'FLAKY: process_win64/C.Once (failed, then passed; not a retry tests/retry/allowed.txt allows)\n    other' \
    ONCE=C.Once SAYS=other
check process_linux 1 "FLAKY: process_linux/C.Once (failed, then passed; not a retry tests/retry/allowed.txt allows)
    Can't recognize 'x.exe' as an internal or external command, or batch script." \
    ONCE=C.Once "SAYS=Can't recognize 'x.exe' as an internal or external command, or batch script."
check mixed 1 "FLAKY: mixed/C.Once (failed, then passed; not a retry tests/retry/allowed.txt allows)" ONCE=C.Once FAILING=B.Fails/0
check crash 139 "" STATUS=139
check skipped 77 "" STATUS=77
[ "$failures" -eq 0 ] && echo "gtest_cases.sh: every check passed"
[ "$failures" -eq 0 ]
