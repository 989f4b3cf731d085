# Sourced by the scripts that start the monitor and drive its windows from
# another process (pictures.sh, same-output.sh), after scripts/session.sh
# and vk_session_begin: the running monitor, the window driver and a
# screenshot of one window.
monitor=""
stop_monitor() {
    [ -z "$monitor" ] && return 0
    kill "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    monitor=""
}
drive() { "$VK_WINE" "$VK_ROOT/build/x86_64/bin/vk_drive.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# A window's pixels on the virtual display, grown by a margin.
shoot_window() { # title, margin, file
    import -window root -crop "$(drive rect "$1" "$2")" +repage "$3"
}
