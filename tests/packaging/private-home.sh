# Sourced by the packaging checks. Gives the check and every program it starts a private
# home in a temporary folder, removed on exit: HOME, the XDG folders and a session bus where
# nothing listens point into it, and the desktop's and man's own settings are unset, so that
# nothing of the machine's takes part. Sets `home`; `fail` counts a failure with its reason,
# and `finish WHAT MESSAGE` ends the check.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/data" "$home/config" "$home/cache" "$home/runtime"
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
export XDG_RUNTIME_DIR=$home/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=$home/runtime/no-session-bus
export QT_QPA_PLATFORM=offscreen
unset GTK_THEME QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE XDG_CURRENT_DESKTOP DESKTOP_SESSION BASH_ENV ENV
unset MANPATH MANOPT MANROFFOPT MAN_KEEP_FORMATTING

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
finish() { # WHAT MESSAGE
    [ "$failures" -eq 0 ] || { echo "$failures $1 check(s) failed" >&2; exit 1; }
    echo "$2"
}
