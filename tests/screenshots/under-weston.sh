#!/bin/sh
# Runs a program under a Wayland compositor of its own: weston's headless backend,
# drawing with pixman, on a socket in XDG_RUNTIME_DIR. Exits with the program's
# status, or 96 when weston did not come up.
set -u
socket=pelamo-weston-$$
log=$XDG_RUNTIME_DIR/$socket.log
weston --backend=headless-backend.so --use-pixman --no-config --idle-time=0 \
    --socket="$socket" --width=1600 --height=1200 >"$log" 2>&1 &
weston=$!
tries=0
until [ -S "$XDG_RUNTIME_DIR/$socket" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 150 ] || ! kill -0 $weston 2>/dev/null; then
        cat "$log" >&2
        kill $weston 2>/dev/null
        exit 96
    fi
    sleep 0.1
done
WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@"
status=$?
kill $weston
wait $weston 2>/dev/null
exit $status
