#!/usr/bin/env bash
# Takes the README's pictures of the memory map under the offscreen platform, in a copy of the demo
# workspace: docs/screenshots/map-overlap.png and map-lora.png from the window, and map-demo.svg
# from quillon-cli.
#
# Usage: scripts/map-screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$root/build}"
shots="$root/docs/screenshots"
[ -f "$build_dir/CMakeCache.txt" ] || "$root/scripts/build.sh" "$build_dir"
cmake --build "$build_dir" --target map_screenshots quillon-cli demo_workspace -j2 >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$build_dir/workspace" "$work/workspace"
mkdir -p "$shots"
cd "$work/workspace"
QT_QPA_PLATFORM=offscreen "$build_dir/tests/gui/map_screenshots" "$shots"
# The LoRa demo in a 512 KiB flash.
"$build_dir/src/cli/quillon-cli" map lora --settings "Templates Setting/demo.LoRa" --flash-size 512K \
    --svg "$shots/map-demo.svg" >/dev/null
# The templates name their files by absolute path; the README shows them under /home/you/quillon.
sed -i "s|$root/|/home/you/quillon/|g" "$shots/map-demo.svg"
echo "$shots/map-demo.svg"
