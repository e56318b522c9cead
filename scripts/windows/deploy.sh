#!/usr/bin/env bash
# Lays out the deployable Windows folder (what windeployqt would, which cannot run on Linux):
# Quillon.exe and quillon-cli.exe, every DLL they load from the SDK and the MinGW runtime (found by
# following their import tables), the Qt plugins the window loads at run time (the windows platform,
# the ICO reader for its icon, Schannel TLS for https updates, the windowsvista style), Qt's Russian
# translation, and a qt.conf that makes Qt look for all of it beside the executables. Everything
# copied is stripped of symbols.
#
#   scripts/windows/deploy.sh WIN_SDK BUILD_DIR DEST
set -euo pipefail
sdk=${1:?usage: deploy.sh WIN_SDK BUILD_DIR DEST}
build=${2:?usage: deploy.sh WIN_SDK BUILD_DIR DEST}
dest=${3:?usage: deploy.sh WIN_SDK BUILD_DIR DEST}
triple=x86_64-w64-mingw32
search=("$sdk/qt/bin" "$sdk/sodium/bin" "/usr/lib/gcc/$triple/12-posix" "/usr/$triple/lib")
plugins=(platforms/qwindows.dll imageformats/qico.dll tls/qschannelbackend.dll styles/qwindowsvistastyle.dll)

declare -A copied

# Copies the DLLs FILE imports, and theirs, into DEST; Windows' own DLLs are in none of the folders
# searched and stay out.
copy_imports() {
    local dll dir
    for dll in $($triple-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [ -n "${copied[${dll,,}]:-}" ] && continue
        copied[${dll,,}]=1
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$dest/"
                copy_imports "$dir/$dll"
                break
            fi
        done
    done
}

rm -rf "$dest"
mkdir -p "$dest/translations"
for program in Quillon.exe quillon-cli.exe; do
    found=$(find "$build" -maxdepth 3 -name "$program" -type f | head -n 1)
    [ -n "$found" ] || { echo "deploy: no $program in $build" >&2; exit 1; }
    cp "$found" "$dest/"
    copy_imports "$found"
done
for plugin in "${plugins[@]}"; do
    mkdir -p "$dest/$(dirname "$plugin")"
    cp "$sdk/qt/plugins/$plugin" "$dest/$plugin"
    copy_imports "$sdk/qt/plugins/$plugin"
done
cp /usr/share/qt6/translations/qtbase_ru.qm "$dest/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$dest/qt.conf"
find "$dest" -type f \( -iname '*.dll' -o -iname '*.exe' \) -exec $triple-strip --strip-unneeded {} +

# Every DLL an executable or plugin imports is either shipped or one of Windows' own.
missing=()
while read -r dll; do
    [ -f "$dest/$dll" ] && continue
    for dir in "${search[@]}"; do
        if [ -f "$dir/$dll" ]; then missing+=("$dll"); fi
    done
done < <(find "$dest" -type f \( -iname '*.dll' -o -iname '*.exe' \) -exec $triple-objdump -p {} + |
    sed -n 's/^\s*DLL Name: //p' | sort -u)
[ "${#missing[@]}" -eq 0 ] || { echo "deploy: not shipped: ${missing[*]}" >&2; exit 1; }
echo "deployed $(find "$dest" -type f | wc -l) files, $(du -sh "$dest" | cut -f1), into $dest"
