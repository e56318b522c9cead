#!/usr/bin/env bash
# Builds, packs and tests the Windows build on Debian 12 (CI's Windows step): build.sh, then under
# Wine, in one fresh prefix, the test programs of the Windows build (ctest runs them through Wine,
# the build's cross-compiling emulator) and the checks of the whole program (wine-checks.sh)
# against the Linux quillon-cli (built when missing).
#
#   scripts/windows/test.sh          environment: QUILLON_WIN_BUILD_DIR (default build-win),
#                                    QUILLON_BUILD_DIR (the Linux build, default build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build_dir=${QUILLON_WIN_BUILD_DIR:-$root/build-win}
linux_build=${QUILLON_BUILD_DIR:-$root/build}

"$here/build.sh" "$build_dir"
[ -x "$linux_build/src/cli/quillon-cli" ] || "$root/scripts/build.sh" "$linux_build"

# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
trap 'wine_prefix_stop; xvfb_stop' EXIT
xvfb_start
wine_prefix_init "$build_dir/wineprefix"

ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
"$here/wine-checks.sh" "$build_dir" "$linux_build/src/cli/quillon-cli"
