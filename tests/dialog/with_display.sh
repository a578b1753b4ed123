#!/bin/bash
# Runs a window test of a Windows build under wine on a virtual X display of its own: an Xvfb
# without a window manager, a wine prefix kept for such runs, and a wine session whose desktop
# lives on that display. The command sees DISPLAY and WINEPREFIX. LAUNCHER_WINE names the wine
# command (default: wine), which also runs wineboot.
#
#   with_display.sh PREFIX [PROGRAM...] -- COMMAND [ARGUMENT...]
#
# PROGRAMs are further tools the command needs besides Xvfb (xdotool, say). Exits 77 when one
# of them or Xvfb is not installed (the test is skipped), 1 when the display or the wine session
# cannot be had, and otherwise with the command's exit code; 124 when the command did not end
# within WINDOW_TEST_SECONDS (default 480). Whatever it starts, it ends.
#
# Why a prefix of its own: wine's desktop process takes the display of the program that starts
# it and serves every program of its session. The tests without a display share the tree's
# prefix (build/<tree>/wineprefix); a dialog opened in their session finds no screen, and a
# session started here would give theirs one.
set -uo pipefail

usage() {
    echo "usage: $0 PREFIX [PROGRAM...] -- COMMAND [ARGUMENT...]" >&2
    exit 2
}

[ $# -ge 3 ] || usage
prefix="$1"
shift
required=(Xvfb)
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    required+=("$1")
    shift
done
[ $# -ge 2 ] || usage
shift

for program in "${required[@]}"; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "SKIP: $program is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done
wine="${LAUNCHER_WINE:-wine}"
for program in "$wine" wineserver flock timeout; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "with_display: $program is not installed" >&2
        exit 1
    fi
done

export WINEPREFIX="$prefix" WINEDEBUG=-all
unset DISPLAY
seconds="${WINDOW_TEST_SECONDS:-480}"
work="$(mktemp -d)"
xvfb_pid=""
command_pid=""
session=false

# shellcheck disable=SC2317  # called by the trap
finish() {
    if [ -n "$command_pid" ]; then
        kill "$command_pid" 2>/dev/null
        wait "$command_pid" 2>/dev/null
    fi
    if $session; then
        # The session ends before its display does, so that no wine program loses its screen.
        timeout 60 wineserver -k >/dev/null 2>&1
        timeout 60 wineserver -w >/dev/null 2>&1
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 143' TERM INT HUP

# One run at a time in a prefix: its session belongs to one display.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
if ! flock -w "$seconds" 9; then
    echo "with_display: $prefix stayed in use by another run for $seconds s" >&2
    exit 1
fi

if [ ! -f "$prefix/system.reg" ]; then
    echo "with_display: creating the wine prefix $prefix"
    mkdir -p "$prefix"
    timeout 300 "$wine" wineboot.exe -i </dev/null >/dev/null 2>&1 9>&-
    # Let the server that created it end and save the registry.
    timeout 120 wineserver -w >/dev/null 2>&1
    if [ ! -f "$prefix/system.reg" ]; then
        echo "with_display: wine could not create the prefix $prefix" >&2
        exit 1
    fi
fi
# A server left by a run that was killed would serve another display: end it.
timeout 60 wineserver -k >/dev/null 2>&1
timeout 60 wineserver -w >/dev/null 2>&1

# Xvfb writes the display's number to the descriptor once it accepts connections; -noreset keeps it
# from starting afresh, refusing connections meanwhile, each time its last client leaves.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 9>&- &
xvfb_pid=$!
for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
number="$(tr -dc 0-9 <"$work/display")"
if [ -z "$number" ]; then
    echo "with_display: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$number"

session=true
timeout 60 wineserver -p >/dev/null 2>&1 9>&-
# The first program of a session starts wine's services and its desktop, which live on with the
# session and inherit that program's output: let it be one whose output goes nowhere.
if ! timeout 120 "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&-; then
    echo "with_display: wine does not run programs in $prefix" >&2
    exit 1
fi

# In the background, so that a signal to this script is handled at once, not after the command.
timeout -k 10 "$seconds" "$@" 9>&- &
command_pid=$!
wait "$command_pid"
status=$?
command_pid=""
[ $status -eq 124 ] && echo "with_display: the command did not end within $seconds s" >&2
exit $status
