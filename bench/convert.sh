#!/usr/bin/env bash
# Conversion speed of quillon-cli against objcopy and srec_cat on firmware-like inputs (random
# bytes with some 4 KiB runs of 0xFF), as whole processes, median of repeated runs (hyperfine).
# Checks that every tool's output holds the same bytes, prints peak memory and the ratios, and
# the cost of the window's progress handling against the bare conversion.
#   bench/convert.sh [SIZE_MIB...]        default: 1 16
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLON_BENCH_BUILD:-$root/build-release}"
# QUILLON_BENCH_DIR picks the file system (e.g. /dev/shm for tmpfs); the default /tmp is a real disk here.
work="$(mktemp -d "${QUILLON_BENCH_DIR:-/tmp}/quillon-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 16)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillon-cli quillon_gui >/dev/null
cli="$build/src/cli/quillon-cli"

includes=()
for folder in "$root"/src/*/; do includes+=(-I"$folder"); done
libraries=() # each layer after those that use it
for layer in gui memorymap build plan imagefile programmer settings discovery image common platform; do
    libraries+=("$build/src/$layer/libquillon_$layer.a")
done
# shellcheck disable=SC2046
g++ -std=c++17 -O2 -fPIC "${includes[@]}" -I"$build/src/gui/quillon_gui_autogen/include" \
    $(pkg-config --cflags Qt6Widgets Qt6Network) \
    "$root/bench/convert_window_overhead.cpp" "${libraries[@]}" \
    $(pkg-config --libs Qt6Widgets Qt6Network libcrypto) -o "$work/window_overhead"

median() { # hyperfine JSON -> median seconds of command N
    /usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"
}
ratio() { /usr/bin/python3 -c 'import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print(f"{a/b:.2f}")' "$1" "$2"; }
. "$root/bench/peakmemory.sh"
. "$root/bench/firmware.sh"

offset=0x08000000
echo "work directory: $work ($(df --output=fstype "$work" | tail -1))"
echo "peak KiB of quillon-cli --version (Qt libraries alone): $(peak_kib "$cli" --version)"
for mib in "${sizes[@]}"; do
    size=$((mib * 1024 * 1024))
    end=$(printf '0x%X' $((offset + size)))
    bin="$work/fw$mib.bin"
    make_firmware "$bin" "$size"
    echo "== $mib MiB: binary -> Intel HEX at $offset"
    hyperfine -N --warmup 3 --runs 30 --export-json "$work/tohex.json" \
        "$cli convert $bin --offset 8000000 -o $work/q.hex" \
        "objcopy -I binary -O ihex --change-addresses $offset $bin $work/o.hex" \
        "srec_cat $bin -Binary -offset $offset -o $work/s.hex -Intel -Output_Block_Size 16" >/dev/null
    q=$(median "$work/tohex.json" 0); o=$(median "$work/tohex.json" 1); s=$(median "$work/tohex.json" 2)
    printf 'median s: quillon %.4f  objcopy %.4f  srec_cat %.4f   quillon/objcopy %s  quillon/srec_cat %s\n' \
        "$q" "$o" "$s" "$(ratio "$q" "$o")" "$(ratio "$q" "$s")"
    echo "peak KiB: quillon $(peak_kib "$cli" convert "$bin" --offset 8000000 -o "$work/q.hex")" \
        " objcopy $(peak_kib objcopy -I binary -O ihex --change-addresses $offset "$bin" "$work/o.hex")"
    # The HEX texts differ in layout (erased blocks, start records); the bytes they hold must not.
    for h in q o s; do
        srec_cat "$work/$h.hex" -Intel -fill 0xFF $offset "$end" -o "$work/$h.decoded" -Binary
    done
    cmp "$work/q.decoded" "$work/o.decoded" && cmp "$work/q.decoded" "$work/s.decoded" && echo "outputs: same bytes"

    echo "== $mib MiB: Intel HEX at $offset -> flat binary from address 0"
    hex="$work/o.hex"
    hyperfine -N --warmup 2 --runs 11 --export-json "$work/tobin.json" \
        "$cli convert $hex -o $work/q.bin" \
        "objcopy -I ihex -O binary --gap-fill 0xFF --add-section .lead=/dev/null --set-section-flags .lead=alloc,load,contents --change-section-address .lead=0 $hex $work/o.bin" \
        "srec_cat $hex -Intel -fill 0xFF 0 $end -o $work/s.bin -Binary" >/dev/null
    q=$(median "$work/tobin.json" 0); o=$(median "$work/tobin.json" 1); s=$(median "$work/tobin.json" 2)
    printf 'median s: quillon %.4f  objcopy %.4f  srec_cat %.4f   quillon/objcopy %s  quillon/srec_cat %s\n' \
        "$q" "$o" "$s" "$(ratio "$q" "$o")" "$(ratio "$q" "$s")"
    echo "peak KiB: quillon $(peak_kib "$cli" convert "$hex" -o "$work/q.bin") (data $((size / 1024)) KiB)" \
        " objcopy $(peak_kib objcopy -I ihex -O binary --gap-fill 0xFF --add-section .lead=/dev/null \
            --set-section-flags .lead=alloc,load,contents --change-section-address .lead=0 "$hex" "$work/o.bin")"
    cmp "$work/q.bin" "$work/o.bin" && cmp "$work/q.bin" "$work/s.bin" && echo "outputs: same bytes"
    rm -f "$work"/*.bin.tmp "$work/o.bin" "$work/s.bin" "$work/q.bin"

    echo "== $mib MiB: window slot against the bare conversion (in one process)"
    "$work/window_overhead" "$bin" 0x08000000 21
    "$work/window_overhead" "$hex" 0 11
done
