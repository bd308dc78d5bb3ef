# The test desktop: an X server (Xvfb), a window manager (openbox), a notification area (trayer)
# and an audio server (PulseAudio with a null sink), started only when no display is given.
# Source this file, call start_test_desktop, and stop_test_desktop when done (also on failure).

desktop_pids=()
desktop_runtime=""

start_test_desktop() {
    if [ -n "${DISPLAY:-}" ]; then
        echo "desktop: using the display $DISPLAY"
        return 0
    fi
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    export DISPLAY=":$n"
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    desktop_pids+=($!)
    local i
    for i in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || { echo "desktop: Xvfb did not start" >&2; return 1; }

    # Qt would talk to a StatusNotifier host over D-Bus when a session bus is around; the test
    # desktop's notification area is trayer's XEmbed tray.
    unset DBUS_SESSION_BUS_ADDRESS

    openbox >/dev/null 2>&1 &
    desktop_pids+=($!)
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --SetPartialStrut true --transparent false >/dev/null 2>&1 &
    desktop_pids+=($!)

    desktop_runtime=$(mktemp -d /tmp/quillet-runtime.XXXXXX)
    chmod 700 "$desktop_runtime"
    export XDG_RUNTIME_DIR="$desktop_runtime"
    export PULSE_RUNTIME_PATH="$desktop_runtime/pulse"
    pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit -n \
        --load="module-native-protocol-unix" \
        --load="module-null-sink sink_name=quillet_null" \
        --load="module-always-sink" >"$desktop_runtime/pulse.log" 2>&1 &
    desktop_pids+=($!)
    for i in $(seq 1 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || echo "desktop: PulseAudio did not answer (sound tests will say so)" >&2
    sleep 0.5
    echo "desktop: Xvfb, openbox, trayer and PulseAudio on $DISPLAY"
}

stop_test_desktop() {
    local pid
    for pid in "${desktop_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${desktop_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    desktop_pids=()
    [ -n "$desktop_runtime" ] && rm -rf "$desktop_runtime"
    desktop_runtime=""
}
