#!/usr/bin/env bash
# Builds the .deb from a build directory, unpacks it into a temporary directory and runs what it
# installed: the file list must hold both programs, the icon, the desktop entry and the translation,
# the dependencies must name libsodium and no ELF library, and the unpacked quillon-cli must answer
# --version, convert a file and read an ELF executable.
set -euo pipefail
build_dir="${1:?usage: check-package.sh BUILD_DIR}"
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/quillon_*.deb | head -n 1)
echo "package: $package"
dpkg-deb -I "$package" | grep -E '^ (Package|Version|Depends):'
# The window checks update signatures with libsodium: the package must pull it in.
dpkg-deb -f "$package" Depends | grep -q 'libsodium23' || { echo "the package does not depend on libsodium23"; exit 1; }
# ELF executables are read by Quillon's own reader: no ELF library is needed.
if dpkg-deb -f "$package" Depends | grep -q 'libelf'; then echo "the package depends on libelf"; exit 1; fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
for expected in usr/bin/quillon usr/bin/quillon-cli usr/share/applications/quillon.desktop \
    usr/share/icons/hicolor/64x64/apps/quillon.png usr/share/quillon/translations/Quillon_pro_ru_RU.qm; do
    [ -e "$unpacked/$expected" ] || { echo "missing from the package: $expected"; exit 1; }
done

cli="$unpacked/usr/bin/quillon-cli"
"$cli" --version
printf '\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11' > "$unpacked/sample.bin"
"$cli" convert "$unpacked/sample.bin" --offset 8000000 >/dev/null
grep -q '^:020000040800F2' "$unpacked/sample.hex" || { echo "the packaged converter wrote no type 04 record"; exit 1; }
# An ELF executable at hand on every Debian machine: the packaged quillon-cli itself.
"$cli" info "$cli" | grep -q '^format: elf$' || { echo "the packaged quillon-cli does not read ELF"; exit 1; }
echo "package check passed"
