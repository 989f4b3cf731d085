# Sourced by the test and run commands: prepares the Wine prefix, keeps one
# wineserver alive for fast starts, installs and starts the substitute driver
# when it has been built, and undoes what it started on vk_session_end.
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/emulation.sh"

# One session at a time: they share the prefix, the wineserver and the
# driver's settings, and a session's end stops the wineserver under any
# other. The owner's process id is kept in a file; a session waits for a
# living owner to end and takes over from one that has gone.
VK_SESSION_OWNER_FILE=""
vk_session_claim() {
    local owner="$VK_ROOT/build/session.owner" pid said=0
    mkdir -p "$VK_ROOT/build"
    while ! (set -o noclobber; echo $$ >"$owner") 2>/dev/null; do
        pid=$(cat "$owner" 2>/dev/null || true)
        if [ "$pid" = $$ ]; then
            break
        elif [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            [ $said = 1 ] || echo "waiting for the Wine session of process $pid to end" >&2
            said=1
            sleep 1
        elif [ "$(cat "$owner" 2>/dev/null || true)" = "$pid" ]; then
            rm -f "$owner"  # its owner has gone, unless another took it meanwhile
        fi
    done
    VK_SESSION_OWNER_FILE=$owner
}

# The arguments of the wineserver that serves this prefix ("-p" for one
# that stays, "-p0" for one that Wine started by itself), empty when none
# runs: a server works in a directory named after the prefix's device and
# inode.
vk_prefix_server_args() {
    local dir p
    dir=server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")
    for p in $(pgrep -x "$(basename "$VK_WINESERVER")" || true); do
        if [ "$(basename "$(readlink "/proc/$p/cwd" 2>/dev/null)")" = "$dir" ]; then
            xargs -0 echo <"/proc/$p/cmdline" | cut -s -d' ' -f2-
            return 0
        fi
    done
}

# Makes sure that the prefix's wineserver stays while no program runs. One
# that Wine started by itself (for prefix.sh's regedit, say) ends a few
# seconds after the last program, and with it the driver's services, and
# beside it "wineserver -p" only fails (status 2): it is ended first, with
# whatever it serves; no other session is using it. A server that stays is
# kept as it is.
vk_persistent_wineserver() {
    local args
    args=$(vk_prefix_server_args)
    [ "$args" = -p ] && return 0
    [ -z "$args" ] || "$VK_WINESERVER" -k 2>/dev/null || true
    "$VK_WINESERVER" -p && return 0
    echo "the session's wineserver did not start" >&2
    return 1
}

vk_session_begin() {
    vk_session_claim
    # The display found before a wait may have ended with the session before.
    if [ -n "${VK_XVFB_DISPLAY:-}" ] && ! vk_xvfb_alive "$VK_XVFB_DISPLAY"; then
        vk_start_xvfb
    fi
    VK_OWN_XVFB=0
    [ -f "$VK_ROOT/build/xvfb.pid" ] && [ "$(cat "$VK_ROOT/build/xvfb.display" 2>/dev/null)" = "${DISPLAY#:}" ] && VK_OWN_XVFB=1
    "$VK_ROOT/scripts/prefix.sh"
    vk_persistent_wineserver || return 1
    # Start Wine's background services now, detached from our output:
    # started by a test, they would inherit CTest's pipes and keep it waiting.
    "$VK_WINE" cmd /c exit </dev/null >/dev/null 2>&1
    if [ -f "$VK_ROOT/build/x86_64/bin/veskora.sys" ] && [ -x "$VK_ROOT/scripts/driver.sh" ]; then
        "$VK_ROOT/scripts/driver.sh" install
        "$VK_ROOT/scripts/driver.sh" start
    fi
}

# Whether this machine runs 32-bit programs, natively or under the emulation
# registered now: the i686 build's probe must print its pointer width.
# Status 0: it runs them; 1: 32-bit code does not run at all (the 32-bit
# loader of Wine itself does not start); 2: it could, so a probe that fails
# is a fault of the build or of Wine, printed on stderr.
vk_run32_status() {
    local probe="$VK_ROOT/build/i686/bin/vk_probe.exe" out
    if [ ! -f "$probe" ]; then
        echo "the 32-bit probe $probe has not been built" >&2
        return 2
    fi
    out=$(timeout 300 "$VK_WINE" "$probe" </dev/null 2>&1 | tr -d '\r' || true)
    [ "$out" = 32 ] && return 0
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        return 1
    fi
    echo "the 32-bit probe failed although this machine runs 32-bit code:" >&2
    echo "$out" >&2
    return 2
}

vk_can_run32() {
    vk_run32_status 2>/dev/null
}

# The build to show the monitor with: the 32-bit release where this machine
# runs 32-bit programs natively; under emulation its window would take about
# half a minute to appear, so there the 64-bit build stands in.
vk_monitor_arch() {
    if vk_runs32_natively && vk_can_run32; then echo i686; else echo x86_64; fi
}

vk_session_end() {
    "$VK_WINESERVER" -k 2>/dev/null || true
    if [ "$VK_OWN_XVFB" = 1 ]; then
        kill "$(cat "$VK_ROOT/build/xvfb.pid")" 2>/dev/null || true
        rm -f "$VK_ROOT/build/xvfb.pid" "$VK_ROOT/build/xvfb.display"
    fi
    if [ -n "$VK_SESSION_OWNER_FILE" ] && [ "$(cat "$VK_SESSION_OWNER_FILE" 2>/dev/null)" = $$ ]; then
        rm -f "$VK_SESSION_OWNER_FILE"
    fi
    VK_SESSION_OWNER_FILE=""
}
