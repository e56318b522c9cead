#!/usr/bin/env bash
# Packs the deployed Windows folder (deploy.sh) twice: Quillon-<version>-setup.exe, an NSIS installer
# for one user under %LOCALAPPDATA%\Programs\Quillon whose uninstaller removes exactly the files it
# installed, and Quillon-<version>-win64.zip, the same folder to unpack anywhere.
#
#   scripts/windows/package.sh DEPLOYED_DIR OUT_DIR VERSION
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
deployed=$(cd "${1:?usage: package.sh DEPLOYED_DIR OUT_DIR VERSION}" && pwd)
out=${2:?usage: package.sh DEPLOYED_DIR OUT_DIR VERSION}
version=${3:?usage: package.sh DEPLOYED_DIR OUT_DIR VERSION}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The installer's file list: one File per file into its folder, and the same files, then their
# folders (deepest first, each only when empty), for the uninstaller.
write_file_list() {
    local file folder
    echo '!macro InstallFiles'
    while read -r folder; do
        echo "    SetOutPath \"\$INSTDIR${folder:+\\${folder//\//\\}}\""
        find "$deployed/$folder" -maxdepth 1 -type f -printf '%f\n' | sort | while read -r file; do
            echo "    File \"$deployed/${folder:+$folder/}$file\""
        done
    done < <(cd "$deployed" && find . -type d -printf '%P\n' | sort)
    echo '!macroend'
    echo '!macro UninstallFiles'
    (cd "$deployed" && find . -type f -printf '%P\n' | sort) | while read -r file; do
        echo "    Delete \"\$INSTDIR\\${file//\//\\}\""
    done
    (cd "$deployed" && find . -mindepth 1 -type d -printf '%P\n' | sort -r) | while read -r folder; do
        echo "    RMDir \"\$INSTDIR\\${folder//\//\\}\""
    done
    echo '!macroend'
}

files=$(mktemp --suffix=.nsh)
trap 'rm -f "$files"' EXIT
write_file_list >"$files"

setup=$out/Quillon-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSOURCE_DIR="$deployed" -DFILES="$files" \
    -DOUT_FILE="$setup" -DICON="$root/resources/Icon.ico" "$root/packaging/windows/installer.nsi"

zip=$out/Quillon-$version-win64.zip
staging=$(mktemp -d)
trap 'rm -f "$files"; rm -rf "$staging"' EXIT
cp -a "$deployed" "$staging/Quillon"
rm -f "$zip"
(cd "$staging" && zip -q -9 -r -X "$zip" Quillon)

for made in "$setup" "$zip"; do
    echo "$made: $(numfmt --to=iec --suffix=B "$(stat -c %s "$made")")"
done
