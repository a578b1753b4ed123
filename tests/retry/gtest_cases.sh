#!/bin/bash
# Runs a googletest program for a ctest entry and retries, one by one, the cases that failed:
#
#   gtest_cases.sh NAME -- COMMAND [ARGUMENT...]
#
# NAME is the ctest entry's. The command's last arguments go to the googletest program, so a
# retry appends --gtest_filter=<case> (a later filter replaces an earlier one). A case that
# fails and then passes is flaky: it is named ("FLAKY: NAME/case") and, when LAUNCHER_FLAKY_LOG
# names a file, appended to it for the test command's closing summary, with the last lines of
# its first failure when no allowed line excuses it. It fails the entry
# unless tests/retry/allowed.txt has a line for it whose pattern the first failure's output
# matches: a known timing dependence of a program outside the launcher. A case that fails
# twice, a program that ends without naming a failed case (a crash, a failed set-up), and an
# exit code of 77 (skipped) are passed on as they are, with no retry.
set -uo pipefail

[ $# -ge 3 ] && [ "$2" = "--" ] || { echo "usage: $0 NAME -- COMMAND [ARGUMENT...]" >&2; exit 2; }
name="$1"
shift 2
allowed="$(dirname "${BASH_SOURCE[0]}")/allowed.txt"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$@" 2>&1 | tee "$work/first"
status=${PIPESTATUS[0]}
if [ "$status" -eq 0 ] || [ "$status" -eq 77 ]; then
    exit "$status"
fi

# googletest's summary names each failed case once more after the run: "[  FAILED  ] A.B" or
# "[  FAILED  ] P/A.B/3, where GetParam() = ...".
mapfile -t cases < <(sed -n 's/^\[  FAILED  \] \([^ ,]*\)\(, where .*\)\{0,1\}$/\1/p' "$work/first" | sort -u)
if [ ${#cases[@]} -eq 0 ]; then
    echo "gtest_cases: $name ended with $status without naming a failed case: not retried"
    exit "$status"
fi

# The first line of allowed.txt whose entry pattern matches "NAME/case" and whose output
# pattern (an extended regular expression) is found in the case's first output; its reason.
allowed_reason() {
    local id="$1" output="$2" entry pattern reason
    [ -f "$allowed" ] || return 1
    while IFS='|' read -r entry pattern reason; do
        [[ -z "$entry" || "$entry" == \#* ]] && continue
        # shellcheck disable=SC2053  # the entry is a glob
        if [[ "$id" == $entry ]] && grep -Eq -- "$pattern" "$output"; then
            echo "$reason"
            return 0
        fi
    done <"$allowed"
    return 1
}

result=0
for case in "${cases[@]}"; do
    # The case's own part of the first output, from its "[ RUN      ]" to its "[  FAILED  ]".
    sed -n "/^\[ RUN      \] ${case//\//\\/}\$/,/^\[  FAILED  \] ${case//\//\\/}[ ,]/p" "$work/first" >"$work/case"
    echo "gtest_cases: $name: running $case once more"
    if "$@" --gtest_filter="$case" >"$work/again" 2>&1; then
        if reason=$(allowed_reason "$name/$case" "$work/case"); then
            line="FLAKY: $name/$case (retried: $reason)"
        else
            line="FLAKY: $name/$case (failed, then passed; not a retry tests/retry/allowed.txt allows)"
            result=1
        fi
    else
        cat "$work/again"
        line="FAILED twice: $name/$case"
        result=1
    fi
    echo "$line"
    if [ -n "${LAUNCHER_FLAKY_LOG:-}" ] && [[ "$line" == FLAKY* ]]; then
        echo "$line" >>"$LAUNCHER_FLAKY_LOG"
        # The first failure's own lines follow it, so that a log cut short still says why.
        [ "$result" -ne 0 ] && grep -v '^\[ RUN \|^\[  FAILED  \]\|^[[:space:]]*$' "$work/case" | tail -n 25 | sed 's/^/    /' >>"$LAUNCHER_FLAKY_LOG"
    fi
done
exit "$result"
