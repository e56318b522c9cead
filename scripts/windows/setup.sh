#!/usr/bin/env bash
# Makes a Debian 12 machine ready to cross-build Quillon for Windows and test it under Wine: installs
# the packages that are missing, then puts the Windows SDK (Qt and libsodium built for MinGW-w64) in
# place. The SDK is unpacked from quillon-win-sdk-<version>.tar.xz when that archive lies in
# ../shared/win-sdk beside the checkout (or in $WIN_SDK_ARCHIVE_DIR) and its version is the one
# recorded in sdk-version.env; without it, build-sdk.sh makes the SDK from Debian's source packages
# (about an hour on two cores). Prints the SDK's folder as its last line.
#
#   scripts/windows/setup.sh            environment: WIN_SDK (where the SDK goes), WIN_SDK_ARCHIVE_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
# shellcheck source=sdk-version.env
. "$here/sdk-version.env"

say() { echo "windows setup: $*" >&2; }

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    cmake ninja-build pkgconf xz-utils zip unzip nsis wine64 xvfb xauth xdotool imagemagick fonts-dejavu-core openssl
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
)

install_missing_packages() {
    local missing=() package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ "${#missing[@]}" -eq 0 ] && return
    say "installing ${missing[*]}"
    local sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

default_sdk_dir() {
    if [ "$(id -u)" -eq 0 ]; then
        echo /opt/quillon-win-sdk
    else
        echo "${XDG_CACHE_HOME:-$HOME/.cache}/quillon-win-sdk"
    fi
}

# The version an unpacked SDK records, empty when there is none.
recorded_version() {
    if [ -f "$1/VERSION" ]; then head -n 1 "$1/VERSION"; fi
}

# The Qt version of an SDK as its CMake package states it.
qt_version_of() {
    sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$1/qt/lib/cmake/Qt6Core/Qt6CoreConfigVersionImpl.cmake" 2>/dev/null | head -n 1
}

unpack_archive() {
    local archive=$1 sdk=$2 staging
    say "unpacking $archive into $sdk"
    mkdir -p "$(dirname "$sdk")"
    staging=$(mktemp -d "$(dirname "$sdk")/.quillon-win-sdk.XXXXXX")
    tar -xJf "$archive" -C "$staging"
    local unpacked=$staging/quillon-win-sdk
    local qt_version
    qt_version=$(qt_version_of "$unpacked")
    if [ "$qt_version" != "$WIN_SDK_QT_VERSION" ]; then
        rm -rf "$staging"
        say "$archive holds Qt ${qt_version:-(none)}, this tree needs Qt $WIN_SDK_QT_VERSION"
        return 1
    fi
    # libsodium's pkg-config file names the folder it was built for.
    sed -i "s|^prefix=.*|prefix=$sdk/sodium|" "$unpacked/sodium/lib/pkgconfig/libsodium.pc"
    echo "$WIN_SDK_VERSION" >"$unpacked/VERSION"
    rm -rf "$sdk"
    mv "$unpacked" "$sdk"
    rmdir "$staging"
}

install_missing_packages

sdk=${WIN_SDK:-$(default_sdk_dir)}
archive_dir=${WIN_SDK_ARCHIVE_DIR:-$root/../shared/win-sdk}
archive=$archive_dir/quillon-win-sdk-$WIN_SDK_VERSION.tar.xz

if [ "$(recorded_version "$sdk")" = "$WIN_SDK_VERSION" ] && [ ! "$archive" -nt "$sdk/VERSION" ]; then
    say "SDK $WIN_SDK_VERSION in $sdk"
elif [ -f "$archive" ]; then
    unpack_archive "$archive" "$sdk"
else
    found=$(find "$archive_dir" -maxdepth 1 -name "quillon-win-sdk-*.tar.xz" -printf "%f " 2>/dev/null || true)
    say "no quillon-win-sdk-$WIN_SDK_VERSION.tar.xz in $archive_dir${found:+ (found: $found)}:"
    say "building the SDK from Debian's source packages into $sdk (about an hour on two cores)"
    WIN_SDK=$sdk "$here/build-sdk.sh" >&2
fi
echo "$sdk"
