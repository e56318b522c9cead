#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon with its tests and runs the whole suite headless.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-debian.sh"
build_dir="${QUILLON_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh" "$build_dir" "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
