#!/usr/bin/env bash
# Takes the README's picture of Quillon.exe under Wine on Xvfb: the deployed build (build.sh) in
# Wine's desktop window, on the demo workspace's LoRa tab, saved as docs/screenshots/windows.png.
#
#   scripts/windows/screenshot.sh [BUILD_DIR]       (default build-win)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build=$(cd "${1:-$root/build-win}" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
work=$(mktemp -d)
trap 'wine_prefix_stop; xvfb_stop; rm -rf "$work"' EXIT
xvfb_start
wine_prefix_init "$work/prefix"

workspace="$work/рабочая папка"
python3 "$root/examples/make-demo-workspace.py" "$workspace" >/dev/null
sed -i 's/^Tab=.*/Tab=0/' "$workspace/config.conf"
(cd "$workspace" && "$WINE" explorer /desktop=Quillon,600x680 "$build/Quillon/Quillon.exe" -platform windows \
    >/dev/null 2>&1 &)
wait_for 60 xdotool search --name '^Quillon_v' >/dev/null
sleep 5
# The window with its frame, at the desktop's top left corner.
import -window root -crop 542x647+0+0 +repage "$root/docs/screenshots/windows.png"
echo "$root/docs/screenshots/windows.png"
