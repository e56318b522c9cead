#!/usr/bin/env bash
# Cross-builds Quillon for Windows on Debian 12 and packs it: installs what is missing and puts the
# Windows SDK in place (setup.sh), builds Quillon.exe, quillon-cli.exe and the test programs with
# MinGW-w64, lays out the deployable folder and makes the installer and the portable zip. Nothing is
# downloaded but Debian's packages.
#
#   scripts/windows/build.sh [BUILD_DIR] [CMAKE OPTIONS...]      (BUILD_DIR default: build-win)
# Results in BUILD_DIR: Quillon/ (the folder), Quillon-<version>-setup.exe, Quillon-<version>-win64.zip.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build_dir="${1:-$root/build-win}"
shift || true

sdk=$("$here/setup.sh" | tail -n 1)

cmake -G Ninja -S "$root" -B "$build_dir" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-toolchain.cmake" -DWIN_SDK="$sdk" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
"$here/deploy.sh" "$sdk" "$build_dir" "$build_dir/Quillon"
"$here/package.sh" "$build_dir/Quillon" "$build_dir" "$version"
