#!/usr/bin/env bash
# Makes the Windows SDK (x86_64-w64-mingw32, posix threads) that Quillon's Windows build links
# against, from Debian 12's own source packages, on a machine that does not have the archive:
#   $WIN_SDK/qt       qtbase (Debian's qt6-base): Core Gui Widgets Network Test, the windows,
#                     offscreen and minimal platform plugins, the windowsvista style, Schannel TLS;
#                     shared, release
#   $WIN_SDK/sodium   libsodium (Debian's libsodium): DLL and static
#   $WIN_SDK/mingw-toolchain.cmake, $WIN_SDK/VERSION
# and, with PACK=1, packs it as quillon-win-sdk-<version>.tar.xz for other machines (setup.sh
# unpacks that instead of building). About 60 minutes of two cores for qtbase, 6 for libsodium.
#
#   scripts/windows/build-sdk.sh
# Environment: WIN_SDK (default /opt/quillon-win-sdk), WORK (scratch, default
#   /var/tmp/quillon-win-sdk-build), JOBS (default 2), STAGES (default "sources sodium qt"),
#   QT_CONFIGURE_ONLY=1 (stop after configuring qtbase: a quick check), SKIP_APT=1, PACK=1.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
# shellcheck source=sdk-version.env
. "$here/sdk-version.env"

SDK=${WIN_SDK:-/opt/quillon-win-sdk}
WORK=${WORK:-/var/tmp/quillon-win-sdk-build}
JOBS=${JOBS:-2}
STAGES=" ${STAGES:-sources sodium qt} "
TRIPLE=x86_64-w64-mingw32
TOOLCHAIN=$SDK/mingw-toolchain.cmake
QT_SOURCE_DIR=$WORK/src/qt6-base-$WIN_SDK_QT_VERSION+dfsg
SODIUM_SOURCE_DIR=$WORK/src/libsodium-$WIN_SDK_SODIUM_VERSION
nice_cmd=(nice -n 19)

stage() { [[ $STAGES == *" $1 "* ]]; }
stamp() { echo "$(date '+%F %T') $*" | tee -a "$WORK/times.log"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_build_packages() {
    [ -n "${SKIP_APT:-}" ] && return
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build perl pkgconf \
        dpkg-dev xz-utils autoconf automake libtool patch \
        qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
}

# apt-get source needs a deb-src entry; Debian 12's images often carry only binary ones.
ensure_source_entries() {
    if apt-get source --print-uris "$WIN_SDK_QT_SOURCE" >/dev/null 2>&1; then
        return
    fi
    local list=/etc/apt/sources.list.d/quillon-deb-src.sources
    echo "adding Debian's source packages to apt: $list"
    sed -n '/^Types:/s/.*/Types: deb-src/p; /^Types:/!p' /etc/apt/sources.list.d/debian.sources |
        as_root tee "$list" >/dev/null
    as_root apt-get update -qq
}

fetch_sources() {
    mkdir -p "$WORK/src"
    ensure_source_entries
    (cd "$WORK/src" && { [ -d "$QT_SOURCE_DIR" ] || apt-get source -qq "$WIN_SDK_QT_SOURCE"; })
    (cd "$WORK/src" && { [ -d "$SODIUM_SOURCE_DIR" ] || apt-get source -qq libsodium; })
    local patch_file
    for patch_file in "$here"/patches/qtbase-*.patch; do
        # A patch already applied (a second run over the same sources) is skipped.
        if patch -d "$QT_SOURCE_DIR" -p1 -N -s --dry-run <"$patch_file" >/dev/null 2>&1; then
            patch -d "$QT_SOURCE_DIR" -p1 -N -s <"$patch_file"
        fi
    done
    stamp "sources ready"
}

build_sodium() {
    local started=$SECONDS build=$WORK/build-sodium
    rm -rf "$SDK/sodium" "$build"
    # Debian's orig tarball is a git export without configure; autotools builds it in-tree.
    cp -a "$SODIUM_SOURCE_DIR" "$build"
    (
        cd "$build"
        "${nice_cmd[@]}" autoreconf -fi >"$WORK/sodium-autoreconf.log" 2>&1
        "${nice_cmd[@]}" ./configure --host=$TRIPLE --prefix="$SDK/sodium" CC=$TRIPLE-gcc-posix \
            CFLAGS="-O2 -fno-strict-aliasing" --enable-shared --enable-static \
            --disable-dependency-tracking >"$WORK/sodium-configure.log"
        "${nice_cmd[@]}" make -j"$JOBS" >"$WORK/sodium-make.log" 2>&1
        make install >"$WORK/sodium-install.log"
    )
    stamp "libsodium done in $((SECONDS - started)) s"
}

qt_cmake_arguments() {
    local arguments=(
        -G Ninja
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DWIN_SDK="$SDK"
        -DCMAKE_INSTALL_PREFIX="$SDK/qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
        -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
        # modules: Core Gui Widgets Network, and Test for the project's test programs
        -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
        -DFEATURE_xml=OFF -DFEATURE_testlib=ON
        # no OpenGL, Vulkan or Direct2D; bundled FreeType, without which there is no "offscreen"
        # platform plugin for the tests
        -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
        -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
        # Debian's +dfsg tarball drops src/3rdparty/wintab, which tablet support needs
        -DFEATURE_tabletevent=OFF
        # TLS through Schannel (Windows' own), no OpenSSL
        -DINPUT_openssl=no -DFEATURE_openssl=OFF -DFEATURE_schannel=ON
        -DFEATURE_networklistmanager=OFF -DFEATURE_libproxy=OFF -DFEATURE_brotli=OFF
        # image formats: PNG (the plugin's cursors) and ICO
        -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
        # bundled third-party code only, never the host's or the MinGW sysroot's libraries
        -DFEATURE_pkg_config=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
        # the host tools come from Debian's Qt
        -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF -DFEATURE_macdeployqt=OFF
    )
    printf '%s\n' "${arguments[@]}"
}

build_qt() {
    local started=$SECONDS build=$WORK/build-qt arguments
    mapfile -t arguments < <(qt_cmake_arguments)
    rm -rf "$SDK/qt" "$build"
    mkdir -p "$build"
    (cd "$build" && "${nice_cmd[@]}" cmake "${arguments[@]}" "$QT_SOURCE_DIR" >"$WORK/qt-configure.log" 2>&1)
    stamp "qtbase configured in $((SECONDS - started)) s"
    [ -n "${QT_CONFIGURE_ONLY:-}" ] && exit 0
    "${nice_cmd[@]}" ninja -C "$build" -j"$JOBS" >"$WORK/qt-build.log" 2>&1
    ninja -C "$build" install >"$WORK/qt-install.log" 2>&1
    # Qt's own Russian strings (standard buttons, file dialogs) for programs run from a build
    # tree, where QLibraryInfo looks: <prefix>/translations. The .qm files are platform-neutral.
    mkdir -p "$SDK/qt/translations"
    cp /usr/share/qt6/translations/qtbase_ru.qm "$SDK/qt/translations/"
    stamp "qtbase built and installed in $((SECONDS - started)) s"
}

pack_sdk() {
    local archive=$WORK/quillon-win-sdk-$WIN_SDK_VERSION.tar.xz
    tar -C "$(dirname "$SDK")" --transform "s|^$(basename "$SDK")|quillon-win-sdk|" \
        -cJf "$archive" "$(basename "$SDK")"
    stamp "packed $archive ($(du -h "$archive" | cut -f1))"
}

mkdir -p "$WORK" "$SDK"
# Written again only when every stage has passed.
rm -f "$SDK/VERSION"
install_build_packages
# The toolchain file and the patches travel with the SDK, as in the archive.
cp "$root/cmake/mingw-toolchain.cmake" "$TOOLCHAIN"
mkdir -p "$SDK/patches"
cp "$here"/patches/*.patch "$SDK/patches/"
stage sources && fetch_sources
stage sodium && build_sodium
stage qt && build_qt
echo "$WIN_SDK_VERSION" >"$SDK/VERSION"
[ -n "${PACK:-}" ] && pack_sdk
stamp "SDK $WIN_SDK_VERSION ready in $SDK: $(du -sh "$SDK" | cut -f1)"
