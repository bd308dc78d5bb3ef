# The test desktop: an X server (Xvfb), a window manager (openbox), a notification area (trayer),
# an audio server (PulseAudio with a null sink) and a printer (a CUPS server of its own with a PDF queue),
# started only when no display is given.
# Source this file, call start_test_desktop, and stop_test_desktop when done (also on failure).

desktop_pids=()
desktop_runtime=""
desktop_cups=""

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
    start_test_printer
    sleep 0.5
    echo "desktop: Xvfb, openbox, trayer, PulseAudio and CUPS on $DISPLAY"
}

# A CUPS server apart from the system's, on a socket of its own (CUPS_SERVER), with one PDF queue as the
# default printer; cups-pdf writes each job into its owner's ~/PDF. The scheduler runs its filters as the
# user lp, so its folders are open to it.
start_test_printer() {
    if [ "$(id -u)" -ne 0 ] || [ ! -x /usr/sbin/cupsd ]; then
        echo "desktop: no printer (the CUPS server needs root and the cups package)" >&2
        return 0
    fi
    desktop_cups=$(mktemp -d /tmp/quillet-cups.XXXXXX)
    chmod 755 "$desktop_cups"
    mkdir -p "$desktop_cups"/{spool,tmp,cache,state,log,ppd}
    chmod 1777 "$desktop_cups/tmp"
    chown root:lp "$desktop_cups/spool" "$desktop_cups/cache" "$desktop_cups/state"
    chmod 770 "$desktop_cups/spool"
    printf '%s\n' "Listen $desktop_cups/cups.sock" "LogLevel warn" "WebInterface No" "Browsing No" \
        "<Location />" "  Order allow,deny" "  Allow all" "</Location>" \
        "<Location /admin>" "  Order allow,deny" "  Allow all" "</Location>" >"$desktop_cups/cupsd.conf"
    printf '%s\n' "ServerRoot $desktop_cups" "RequestRoot $desktop_cups/spool" "TempDir $desktop_cups/tmp" \
        "CacheDir $desktop_cups/cache" "StateDir $desktop_cups/state" "ErrorLog $desktop_cups/log/error_log" \
        "AccessLog $desktop_cups/log/access_log" "PageLog $desktop_cups/log/page_log" \
        "ServerBin /usr/lib/cups" "DataDir /usr/share/cups" >"$desktop_cups/cups-files.conf"
    /usr/sbin/cupsd -f -c "$desktop_cups/cupsd.conf" -s "$desktop_cups/cups-files.conf" &
    desktop_pids+=($!)
    export CUPS_SERVER="$desktop_cups/cups.sock"
    local i
    for i in $(seq 1 200); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        sleep 0.1
    done
    # Poppler's cairo renderer keeps the text of the PDF it is given readable to pdftotext; Ghostscript's
    # turns every glyph into an unnamed shape.
    local added=""
    for i in 1 2 3 4 5; do
        if lpadmin -p quillet-pdf -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
            -o pdftops-renderer-default=pdftocairo 2>/dev/null && lpadmin -d quillet-pdf 2>/dev/null; then
            added=yes
            break
        fi
        sleep 1
    done
    [ -n "$added" ] || echo "desktop: the CUPS server took no PDF queue (printing tests will say so)" >&2
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
    [ -n "$desktop_cups" ] && rm -rf "$desktop_cups"
    desktop_cups=""
}
