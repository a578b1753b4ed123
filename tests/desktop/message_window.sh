#!/bin/bash
# A start without a terminal, on a desktop, shows its message in a real window: the Linux
# launcher, with no configuration beside it and its standard streams on files, on a virtual X
# display of its own with only xmessage on PATH. The window captioned with the application's
# title must appear while the launcher waits, and once it is closed the launcher ends as it
# would have, with message 7 on its console and exit code 7.
#
#   message_window.sh LAUNCHER
#
# Exits 77 (skipped) when Xvfb, xmessage or xdotool is not installed.
set -uo pipefail
launcher=$1
for program in Xvfb xmessage xdotool; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "SKIP: $program is not installed (scripts/setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb=
app=
cleanup() {
    [ -z "$app" ] || kill "$app" 2>/dev/null
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it once it is ready; -noreset keeps
# it from starting afresh, refusing connections meanwhile, each time its last client leaves.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FAILED: Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
display=:$(head -n 1 "$work/display")

mkdir "$work/bin" "$work/tools"
cp "$launcher" "$work/bin/app"
ln -s "$(command -v xmessage)" "$work/tools/xmessage"
title="Desktop Message Check"
env -i PATH="$work/tools" DISPLAY="$display" HOME="$work" "$work/bin/app" "--SetProductTitle=$title" \
    < /dev/null > "$work/out" 2> "$work/err" &
app=$!

window=
for _ in $(seq 200); do
    window=$(DISPLAY=$display xdotool search --name "^$title\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
failures=0
if [ -z "$window" ]; then
    echo "FAILED: no window captioned \"$title\" appeared within 20 s"
    failures=1
elif ! kill -0 "$app" 2>/dev/null; then
    echo "FAILED: the launcher did not wait for its window to be closed"
    failures=1
fi
[ -z "${MESSAGE_WINDOW_SHOT:-}" ] || [ -z "$window" ] || import -display "$display" -window root "$MESSAGE_WINDOW_SHOT"
[ -z "$window" ] || DISPLAY=$display xdotool windowkill "$window" 2>/dev/null
for _ in $(seq 100); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
    echo "FAILED: the launcher did not end within 10 s of its window's closing"
    exit 1
fi
wait "$app"
code=$?
app=
expected="Could not load config file: $work/bin/app.conf
Error: Unable to open the following configuration file:
[$work/bin/app.conf]"
[ "$code" = 7 ] || { echo "FAILED: exit code $code"; failures=1; }
[ "$(cat "$work/out")" = "$expected" ] || { echo "FAILED: the console got:"; cat "$work/out"; failures=1; }
# The window's last line names the start journal, which holds the message by then: a stand-in
# xmessage keeps the text it is given.
mkdir "$work/standin"
printf '#!/bin/sh\nfor a; do last=$a; done\nprintf "%%s" "$last" > "%s"\n' "$work/shown" > "$work/standin/xmessage"
chmod +x "$work/standin/xmessage"
env -i PATH="$work/standin" DISPLAY="$display" HOME="$work" "$work/bin/app" < /dev/null > /dev/null 2>&1
journal="$work/.config/app/app.log"
case "$(cat "$work/shown" 2>/dev/null)" in
*"

This start is recorded in $journal") ;;
*) echo "FAILED: the window's text does not end naming the journal: $(cat "$work/shown" 2>/dev/null)"; failures=1 ;;
esac
grep -q "^message 7: Unable to open the following configuration file:" "$journal" 2>/dev/null ||
    { echo "FAILED: the journal holds no record of message 7"; failures=1; }
[ "$failures" = 0 ] && echo "message_window: the message's window appeared and the start ended with 7"
exit "$failures"
