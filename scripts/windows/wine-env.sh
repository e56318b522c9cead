# shellcheck shell=bash
# Sourced by the Windows test scripts: one fresh Wine prefix per run (wineboot once, Wine being
# slow to start), an X server for the windows, and helpers for Windows paths.
# Debian 12 keeps wine64 off PATH.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=-all
# Wine reads arguments and environment in the Linux locale's encoding: Cyrillic paths need UTF-8.
export LC_ALL=C.UTF-8
# No Mono or Gecko installers asking to be downloaded.
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_say() { echo "wine: $*" >&2; }

# Makes a new prefix at $1 and sets what every test run needs. Wine passes no QT_* variable from
# Linux into a Windows process, so they are set in the user's Windows environment: the offscreen
# platform and its fonts (Debian's DejaVu), and Qt's messages and test logs on the standard streams
# (without a console window Qt sends them to the debugger). A crash ends the program at once
# instead of opening the debugger's dialog.
#
# The server and Wine's own services (started with the first program, and by the first window the
# desktop) stay up for the whole run: started by a test program, they would hold its output open
# and ctest would wait for them until the test's time-out. Start the X server first.
wine_prefix_init() {
    export WINEPREFIX=$1
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    wine_environment QT_QPA_PLATFORM offscreen
    wine_environment QT_QPA_FONTDIR 'Z:\usr\share\fonts\truetype\dejavu'
    wine_environment QT_FORCE_STDERR_LOGGING 1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null
    "$WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        >/dev/null 2>&1 || true
}

wine_environment() {
    "$WINE" reg add 'HKCU\Environment' /v "$1" /d "$2" /f >/dev/null
}

wine_prefix_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
}

# An X server for the windows; its display goes to DISPLAY.
xvfb_start() {
    local display
    for display in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] && continue
        Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$display"
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$display" ] && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
    done
    wine_say "no X server could be started"
    return 1
}

xvfb_stop() {
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}

# The Windows path of a Linux path: drive Z: is the Linux root.
windows_path() {
    local absolute
    absolute=$(realpath -m "$1")
    echo "Z:${absolute//\//\\}"
}

# The Linux path of a Windows path Wine reports (a user folder under C:, say).
linux_path() {
    "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'
}

# A variable of the Windows environment, as a Windows program sees it.
wine_variable() {
    "$WINE" cmd /c "echo %$1%" 2>/dev/null | tr -d '\r'
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.5
    done
}
