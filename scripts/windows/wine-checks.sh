#!/usr/bin/env bash
# What the Windows build must do as a whole, under Wine (the Qt Test programs cover the rest):
#   cli        quillon-cli.exe writes the same bytes and prints the same text as the Linux build
#              for every command (compare-cli.py), given Windows paths and CRLF settings files;
#   window     Quillon.exe shows its main window on an X server in a fresh folder, writes
#              config.conf, keeps what config.conf holds across a restart, and a second start hands
#              over through the named pipe and exits 0;
#   programmer quillon-cli.exe finds the programmer at its default Windows path and on PATH, passes
#              the image's path intact, and a time-out ends the programmer and what it started;
#   installer  Quillon-<version>-setup.exe /S installs for the user, the installed Quillon.exe starts,
#              and the uninstaller removes what was installed and keeps config.conf and templates.
#
#   scripts/windows/wine-checks.sh BUILD_DIR LINUX_CLI [CHECK...]    (WINEPREFIX booted, DISPLAY set)
# With SCREENSHOT=FILE the window check also saves a picture of the main window there.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
build=$(cd "${1:?usage: wine-checks.sh BUILD_DIR LINUX_CLI [CHECK...]}" && pwd)
linux_cli=${2:?usage: wine-checks.sh BUILD_DIR LINUX_CLI [CHECK...]}
shift 2
checks=("$@")
[ "${#checks[@]}" -gt 0 ] || checks=(cli window programmer installer)
deployed=$build/Quillon
work=$(mktemp -d /tmp/quillon-wine-checks.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

window_shown() { xdotool search --name '^Quillon_v' >/dev/null 2>&1; }
window_gone() { ! window_shown; }
program_ended() { ! pgrep -f 'Quillon\.exe' >/dev/null; }
# Asks the running window to close as its close button would, so that it saves config.conf; done
# when the program has ended: it writes config.conf after its window has gone.
close_window() {
    "$WINE" taskkill /IM Quillon.exe >/dev/null 2>&1 || true
    wait_for 30 window_gone && wait_for 30 program_ended
}

check_cli() {
    python3 "$here/compare-cli.py" "$linux_cli" "$deployed/quillon-cli.exe" "$work/cli" ||
        fail "quillon-cli.exe and the Linux quillon-cli gave different outputs"
}

check_window() {
    local folder="$work/window/рабочая папка" second="$work/window/второй запуск" started
    mkdir -p "$folder" "$second"
    # The platform is named on the command line: the prefix's environment says offscreen.
    (cd "$folder" && "$WINE" "$deployed/Quillon.exe" -platform windows >/dev/null 2>&1 &)
    wait_for 60 test -f "$folder/config.conf" || { fail "the window wrote no config.conf"; return; }
    wait_for 60 window_shown || { fail "no main window appeared"; return; }
    sleep 3
    if [ -n "${SCREENSHOT:-}" ]; then
        import -window "$(xdotool search --name '^Quillon_v' | head -n 1)" "$SCREENSHOT"
    fi

    started=$SECONDS
    if ! (cd "$second" && timeout 60 "$WINE" "$deployed/Quillon.exe" -platform windows >/dev/null 2>&1); then
        fail "a second start did not exit 0"
    fi
    echo "second start handed over in $((SECONDS - started)) s"
    [ -z "$(ls -A "$second")" ] || fail "the second start wrote into its folder: $(ls -A "$second")"
    window_shown || fail "the first window went away when the second start handed over"

    close_window || { fail "the window did not close"; return; }
    grep -q '^\[StateWindow\]' "$folder/config.conf" || fail "config.conf holds no [StateWindow]"
    # What the window read at the start it writes back at its end, CRLF and all.
    sed -i 's/^LoRaTmpltNameOutFile=.*/LoRaTmpltNameOutFile=restart_check/; s/$/\r/' "$folder/config.conf"
    (cd "$folder" && "$WINE" "$deployed/Quillon.exe" -platform windows >/dev/null 2>&1 &)
    wait_for 60 window_shown || { fail "the window did not start again"; return; }
    close_window || { fail "the restarted window did not close"; return; }
    grep -q '^LoRaTmpltNameOutFile=restart_check' "$folder/config.conf" ||
        fail "the settings did not survive a restart"
    echo "window: started, handed over, kept its settings"
}

check_programmer() {
    # The folder on PATH has a blank but only ASCII letters: Wine hands a Windows program the
    # Linux environment's non-ASCII letters as "?".
    local program_files default_dir on_path="$work/programmer/ST tools & more" image_dir
    local log="$work/programmer/arguments.log" image out
    program_files=$(linux_path "$(wine_variable ProgramFiles)")
    default_dir="$program_files/STMicroelectronics/STM32Cube/STM32CubeProgrammer/bin"
    image_dir="$work/programmer/выпуск 1 & 100%"
    mkdir -p "$default_dir" "$on_path" "$image_dir"
    image="$image_dir/образ (1).bin"
    head -c 4096 /dev/urandom >"$image"
    export FAKE_PROGRAMMER_LOG
    FAKE_PROGRAMMER_LOG=$(windows_path "$log")

    cp "$build/fake_programmer.exe" "$default_dir/STM32_Programmer_CLI.exe"
    out=$("$WINE" "$deployed/quillon-cli.exe" flash "$(windows_path "$image")" 2>&1) ||
        fail "flash with the programmer at its default path: $out"
    grep -qxF -- "$(windows_path "$image")" <(tr -d '\r' <"$log") ||
        fail "the programmer at its default path did not get the image's path intact: $(cat "$log")"

    rm -f "$default_dir/STM32_Programmer_CLI.exe" "$log"
    cp "$build/fake_programmer.exe" "$on_path/STM32_Programmer_CLI.exe"
    out=$(WINEPATH=$(windows_path "$on_path") "$WINE" "$deployed/quillon-cli.exe" flash \
        "$(windows_path "$image")" 2>&1) || fail "flash with the programmer on PATH: $out"
    [ "$(grep -c '^#run' "$log" 2>/dev/null)" = 2 ] || fail "the programmer on PATH did not run twice"

    rm -f "$log"
    programmer_gone || { fail "a programmer runs before the time-out check"; return; }
    if WINEPATH=$(windows_path "$on_path") FAKE_PROGRAMMER_OB=hang-with-helper \
        timeout 120 "$WINE" "$deployed/quillon-cli.exe" flash --timeout 2 "$(windows_path "$image")" \
        >/dev/null 2>&1; then
        fail "a programmer that hangs was not reported"
    fi
    [ -s "$log.helpers" ] || fail "the hanging programmer started no helper"
    wait_for 20 programmer_gone || fail "the programmer or its helper outlived the time-out"
    echo "programmer: default path, PATH, time-out"
}

# Wine's processes show their Windows program as their Linux command line; its tasklist lists none.
programmer_gone() {
    ! pgrep -f 'STM32_Programmer_CLI' >/dev/null
}

check_installer() {
    local setup local_app_data installed menu
    setup=$(find "$build" -maxdepth 1 -name 'Quillon-*-setup.exe' | head -n 1)
    [ -n "$setup" ] || { fail "no installer in $build"; return; }
    "$WINE" "$setup" /S || { fail "the installer failed"; return; }
    local_app_data=$(linux_path "$(wine_variable LOCALAPPDATA)")
    installed="$local_app_data/Programs/Quillon"
    menu="$(linux_path "$(wine_variable APPDATA)")/Microsoft/Windows/Start Menu/Programs/Quillon"
    for expected in Quillon.exe quillon-cli.exe Uninstall.exe Qt6Core.dll platforms/qwindows.dll; do
        [ -f "$installed/$expected" ] || fail "not installed: $expected"
    done
    [ -f "$menu/Quillon.lnk" ] || fail "no Start-menu entry"
    "$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon' >/dev/null 2>&1 ||
        fail "no entry among the installed programs"

    # Started as its shortcut starts it: in its folder.
    (cd "$installed" && "$WINE" "$installed/Quillon.exe" -platform windows >/dev/null 2>&1 &)
    wait_for 60 window_shown || fail "the installed Quillon.exe showed no window"
    close_window || fail "the installed Quillon.exe did not close"
    [ -f "$installed/config.conf" ] || fail "the installed Quillon.exe wrote no config.conf"
    mkdir -p "$installed/Templates Setting"
    echo '[PathTo]' >"$installed/Templates Setting/mine.LoRa"

    "$WINE" "$installed/Uninstall.exe" /S || fail "the uninstaller failed"
    # The uninstaller goes on from a copy of itself in the temporary folder.
    wait_for 60 test ! -e "$installed/Uninstall.exe" || fail "the uninstaller did not finish"
    local left
    left=$(cd "$installed" && find . -type f | sort | tr '\n' ' ')
    [ "$left" = "./Templates Setting/mine.LoRa ./config.conf " ] ||
        fail "after uninstalling, the folder holds: $left"
    [ ! -e "$menu" ] || fail "the Start-menu entry is still there"
    echo "installer: installed, started, uninstalled; kept: $left"
}

for check in "${checks[@]}"; do
    echo "== wine check: $check"
    started=$SECONDS
    "check_$check"
    echo "($check: $((SECONDS - started)) s)"
done
[ "$failures" -eq 0 ] || { echo "wine checks: $failures failed" >&2; exit 1; }
echo "wine checks: all passed (${checks[*]})"
