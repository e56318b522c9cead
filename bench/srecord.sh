#!/usr/bin/env bash
# Motorola S-record conversion speed of quillon-cli against srec_cat on firmware-like inputs (random
# bytes with some 4 KiB runs of 0xFF) at 0x08000000, as whole processes, median of repeated runs
# (hyperfine), in both directions: binary -> S-records (S3 records of 16 bytes, as both write them)
# and S-records -> binary. Checks that both tools' outputs hold the same bytes and prints the
# ratios and the peak memory of each.
#   bench/srecord.sh [SIZE_MIB...]        default: 1 16
# The build is build-release (Release, configured and built here), or QUILLON_BENCH_BUILD;
# QUILLON_BENCH_DIR picks where the files go (default /tmp); RUNS sets the runs (default 20).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLON_BENCH_BUILD:-$root/build-release}"
work="$(mktemp -d "${QUILLON_BENCH_DIR:-/tmp}/quillon-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 16)
runs="${RUNS:-20}"
for tool in srec_cat srec_cmp hyperfine /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-debian.sh installs it)" >&2; exit 2; }
done

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quillon-cli >/dev/null
cli="$build/src/cli/quillon-cli"
. "$root/bench/peakmemory.sh"
. "$root/bench/firmware.sh"

median() { # hyperfine JSON -> median seconds of command N
    /usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"
}
ratio() { /usr/bin/python3 -c 'import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print(f"{a/b:.2f}")' "$1" "$2"; }

offset=0x08000000
echo "work directory: $work ($(df --output=fstype "$work" | tail -1))"
for mib in "${sizes[@]}"; do
    bin="$work/fw$mib.bin"
    make_firmware "$bin" $((mib * 1024 * 1024))

    echo "== $mib MiB: binary -> S-records at $offset"
    hyperfine -N --warmup 3 --runs "$runs" --export-json "$work/tosrec.json" \
        "$cli convert $bin --to srec --offset 8000000 -o $work/q.srec" \
        "srec_cat $bin -Binary -offset $offset -o $work/s.srec -Motorola -address-length=4 -Output_Block_Size 16" \
        >/dev/null
    q=$(median "$work/tosrec.json" 0); s=$(median "$work/tosrec.json" 1)
    printf 'median s: quillon %.4f  srec_cat %.4f   quillon/srec_cat %s\n' "$q" "$s" "$(ratio "$q" "$s")"
    echo "peak KiB: quillon $(peak_kib "$cli" convert "$bin" --to srec --offset 8000000 -o "$work/q.srec")" \
        " srec_cat $(peak_kib srec_cat "$bin" -Binary -offset $offset -o "$work/s.srec" -Motorola \
            -address-length=4 -Output_Block_Size 16)"
    # quillon-cli leaves out the erased blocks of a binary, srec_cat writes them: the same image
    # once both are read with the gaps as 0xFF.
    srec_cmp "$work/q.srec" -Motorola -fill 0xFF $offset $((offset + mib * 1024 * 1024)) \
        "$work/s.srec" -Motorola 2>/dev/null && echo "outputs: same bytes"

    echo "== $mib MiB: S-records at $offset -> binary"
    srec="$work/s.srec"
    hyperfine -N --warmup 3 --runs "$runs" --export-json "$work/tobin.json" \
        "$cli convert $srec --to bin --base 8000000 -o $work/q.bin" \
        "srec_cat $srec -Motorola -offset -$offset -o $work/s.bin -Binary" >/dev/null
    q=$(median "$work/tobin.json" 0); s=$(median "$work/tobin.json" 1)
    printf 'median s: quillon %.4f  srec_cat %.4f   quillon/srec_cat %s\n' "$q" "$s" "$(ratio "$q" "$s")"
    echo "peak KiB: quillon $(peak_kib "$cli" convert "$srec" --to bin --base 8000000 -o "$work/q.bin")" \
        " srec_cat $(peak_kib srec_cat "$srec" -Motorola -offset -$offset -o "$work/s.bin" -Binary)"
    cmp "$work/q.bin" "$bin" && cmp "$work/s.bin" "$bin" && echo "outputs: same bytes as the input"
    rm -f "$work"/*.srec "$work"/*.bin "$work"/*.json
done
