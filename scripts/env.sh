# Sourced: the Wine environment of the project's own prefix (build/wineprefix),
# plus an X display. With DISPLAY unset, a virtual one (Xvfb) is started, or
# the one an earlier call started is reused.
VK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export VK_ROOT
export WINEPREFIX="$VK_ROOT/build/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8
export VK_WINE=/usr/lib/wine/wine64
export VK_WINESERVER=/usr/lib/wine/wineserver64

vk_xvfb_alive() { # display number
    [ -e "/tmp/.X11-unix/X$1" ] && [ -f "$VK_ROOT/build/xvfb.pid" ] \
        && kill -0 "$(cat "$VK_ROOT/build/xvfb.pid")" 2>/dev/null
}

vk_start_xvfb() {
    local n=${VK_XVFB_FIRST:-91} state="$VK_ROOT/build/xvfb.display"
    mkdir -p "$VK_ROOT/build"
    if [ -f "$state" ] && vk_xvfb_alive "$(cat "$state")"; then
        export DISPLAY=":$(cat "$state")"
        VK_XVFB_DISPLAY=$(cat "$state")
        return 0
    fi
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$VK_ROOT/build/xvfb.pid"
    echo "$n" >"$state"
    local i
    for i in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    export DISPLAY=":$n"
    VK_XVFB_DISPLAY=$n
}

if [ -z "${DISPLAY:-}" ]; then
    vk_start_xvfb
fi
