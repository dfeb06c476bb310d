#!/bin/sh
# Runs a test program on a virtual X display of its own with openbox as the window manager, so that
# window tests see what a real window manager does with the program's windows (frames, focus,
# transients, minimising). Usage: RunUnderWindowManager.sh PROGRAM [ARGUMENTS...]
set -u
display_file=$(mktemp)
# -displayfd picks a free display number and writes it once the server is ready, so that several runs
# may share the machine.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
tries=0
while [ ! -s "$display_file" ] && [ $tries -lt 200 ]; do
    tries=$((tries + 1))
    sleep 0.05
done
display=$(head -n 1 "$display_file")
rm -f "$display_file"
if [ -z "$display" ]; then
    echo "Xvfb did not start" >&2
    kill "$xvfb_pid" 2>/dev/null
    exit 1
fi
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
openbox_pid=$!
tries=0
while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ]; then
        echo "openbox did not start" >&2
        break
    fi
    sleep 0.05
done
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$openbox_pid" "$xvfb_pid" 2>/dev/null
wait "$openbox_pid" "$xvfb_pid" 2>/dev/null
exit $status
