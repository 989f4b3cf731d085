#!/usr/bin/env bash
# The substitute driver in the project's Wine prefix:
#   driver.sh install    copy the freshly built veskora.sys and register the service
#   driver.sh start      start it (the device \\.\veskora appears)
#   driver.sh stop       stop it (the device goes away)
#   driver.sh uninstall  stop it, remove the service and the file
# Every command may be repeated; one that finds its work done does nothing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

SERVICE=veskora
BUILT="$VK_ROOT/build/x86_64/bin/veskora.sys"
WIN_PATH='C:\windows\system32\drivers\veskora.sys'
INSTALLED="$WINEPREFIX/drive_c/windows/system32/drivers/veskora.sys"

# sc's output goes through a file: Wine's background services may be started
# by this very call and would keep a pipe open for as long as they run.
sc_out=$(mktemp)
trap 'rm -f "$sc_out"' EXIT

run_sc() {
    "$VK_WINE" sc "$@" </dev/null >"$sc_out" 2>&1
}

# STOPPED, RUNNING, ..., or NONE when the service does not exist.
state() {
    if ! run_sc query "$SERVICE"; then
        echo NONE
        return
    fi
    local s
    s=$(tr -d '\r' <"$sc_out" | awk '/STATE/ {print $4; exit}')
    echo "${s:-NONE}"
}

wait_for() { # wanted state
    local i
    for i in $(seq 100); do
        [ "$(state)" = "$1" ] && return 0
        sleep 0.1
    done
    echo "driver: $SERVICE did not reach $1" >&2
    return 1
}

start() {
    case "$(state)" in
        RUNNING) return 0 ;;
        NONE) echo "driver: not installed (driver.sh install)" >&2; return 1 ;;
    esac
    run_sc start "$SERVICE" || { cat "$sc_out" >&2; }
    wait_for RUNNING
}

stop() {
    case "$(state)" in
        NONE | STOPPED) return 0 ;;
    esac
    run_sc stop "$SERVICE" || true
    wait_for STOPPED
}

install() {
    [ -f "$BUILT" ] || { echo "driver: $BUILT is not built" >&2; return 1; }
    "$VK_ROOT/scripts/prefix.sh"
    local was
    was=$(state)
    if ! cmp -s "$BUILT" "$INSTALLED"; then
        # A running driver keeps its image mapped: replace the file, never
        # rewrite it in place, and restart the service on the new image.
        [ "$was" = RUNNING ] && stop
        mkdir -p "$(dirname "$INSTALLED")"
        cp "$BUILT" "$INSTALLED.new"
        mv -f "$INSTALLED.new" "$INSTALLED"
        [ "$was" = RUNNING ] && start
    fi
    if [ "$was" = NONE ]; then
        run_sc create "$SERVICE" type= kernel start= demand binPath= "$WIN_PATH" \
            || { cat "$sc_out" >&2; return 1; }
    fi
    return 0
}

uninstall() {
    [ "$(state)" = NONE ] && { rm -f "$INSTALLED"; return 0; }
    stop
    run_sc delete "$SERVICE" || { cat "$sc_out" >&2; return 1; }
    rm -f "$INSTALLED"
}

case "${1:-}" in
    install | start | stop | uninstall) "$1" ;;
    *) echo "usage: $0 install|start|stop|uninstall" >&2; exit 2 ;;
esac
