#!/usr/bin/env bash
# Takes the README's screenshots of the real window under a private X server: the three tabs with
# the demo workspace's templates loaded, and the LoRa tab widened to show its offsets.
#
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build; quillon and the demo workspace are
# brought up to date). Writes docs/screenshots/{lora,lora-offsets,binary,intelhex}.png.
# Needs Xvfb, xdotool and ImageMagick's import (scripts/setup-debian.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Absolute: the window is started from a copy of the workspace.
build_dir="$(realpath -m "${1:-$root/build}")"
shots="$root/docs/screenshots"

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed; run scripts/setup-debian.sh" >&2; exit 1; }
done
[ -f "$build_dir/CMakeCache.txt" ] || "$root/scripts/build.sh" "$build_dir"
cmake --build "$build_dir" --target quillon demo_workspace >/dev/null
quillon="$build_dir/src/app/quillon"

# A copy of the demo workspace as the working directory, so the real one is never touched; a
# runtime directory of its own also keeps the single-instance lock apart from any other running
# window.
work="$(mktemp -d)"
xvfb_pid=""
quillon_pid=""
cleanup() {
    [ -n "$quillon_pid" ] && kill "$quillon_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp -r "$build_dir/workspace" "$work/workspace"
mkdir -m 700 "$work/run"

# Xvfb picks a free display number and writes it to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"

cd "$work/workspace"
XDG_RUNTIME_DIR="$work/run" QUILLON_UPDATE_URL="" LANG=ru_RU.UTF-8 "$quillon" >/dev/null 2>&1 &
quillon_pid=$!
window=""
for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --pid "$quillon_pid" 2>/dev/null | head -n 1)" && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }

# Window coordinates of the places clicked: the tab bar runs along the top of the tab widget, and
# a tab page starts below it (the .ui geometry plus the page's origin).
page_x=8
page_y=33
click() { xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"; sleep 0.4; }
double_click() { xdotool mousemove --window "$window" "$1" "$2" click --repeat 2 --delay 80 1; sleep 0.6; }
shoot() { sleep 0.3; import -window "$window" "$shots/$1"; echo "$shots/$1"; }
mkdir -p "$shots"
sleep 1

# The first template of each list is demo.<tab>; list rows start at the list's top edge.
click 28 18                                           # "LoRa"
double_click $((page_x + 289 + 40)) $((page_y + 354 + 10))
shoot lora.png
click $((page_x + 289 + 112)) $((page_y + 220 + 15))  # "Настройка смещений записи >>"
shoot lora-offsets.png
click $((page_x + 289 + 112)) $((page_y + 220 + 15))  # back to the narrow window

click 82 18                                           # "Binary"
double_click $((page_x + 289 + 40)) $((page_y + 382 + 10))
shoot binary.png

click 146 18                                          # "IntelHEX"
double_click $((page_x + 289 + 40)) $((page_y + 320 + 10))
shoot intelhex.png
