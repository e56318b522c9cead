#!/usr/bin/env bash
# Installs what building, running and testing Quillon needs on Debian 12, skipping what is there.
set -euo pipefail

packages=(
    cmake g++ make clang libclang-rt-14-dev pkgconf dpkg-dev
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n libgl-dev
    libsodium-dev libssl-dev openssl
    srecord binutils binutils-arm-none-eabi python3 python3-intelhex time hyperfine
    xvfb xauth
    xdotool imagemagick
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
