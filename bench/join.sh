#!/bin/sh
# Joins two Intel HEX files of 1 MiB data each with quillon-cli and with srec_cat, checks that both
# images carry the same data, and prints the median times and their ratio (hyperfine), then the peak
# memory of both, and of the join of two files of 16 MiB data: the join holds the decoded data of
# its files, not their text.
#
#   bench/join.sh [path/to/quillon-cli]     (default: build-release/src/cli/quillon-cli, a Release
#                                            build configured and brought up to date here)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
    cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
else
    if [ ! -f "$here/build-release/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$here/build-release" -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_TESTS=OFF >/dev/null
    fi
    cmake --build "$here/build-release" --target quillon-cli -j2 >/dev/null
    cli=$here/build-release/src/cli/quillon-cli
fi
runs=${RUNS:-20}
[ -x "$cli" ] || { echo "no quillon-cli at $cli" >&2; exit 2; }
for tool in srec_cat srec_cmp hyperfine /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
. "$here/bench/peakmemory.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

head -c 1048576 /dev/urandom > a.bin
head -c 1048576 /dev/urandom > b.bin
srec_cat a.bin -Binary -offset 0x08000000 -o a.hex -Intel -Output_Block_Size 16
srec_cat b.bin -Binary -offset 0x08200000 -o b.hex -Intel -Output_Block_Size 16
mkdir out

"$cli" intelhex --out out --name quillon a.hex b.hex >/dev/null 2>&1
srec_cat a.hex -Intel b.hex -Intel -o out/srec.hex -Intel
srec_cmp out/quillon.hex -Intel out/srec.hex -Intel
srec_cmp out/quillon.hex -Intel -crop 0x08000000 0x08100000 -offset -0x08000000 a.bin -Binary
srec_cmp out/quillon.hex -Intel -crop 0x08200000 0x08300000 -offset -0x08200000 b.bin -Binary
echo "both images carry the same data"

hyperfine --warmup 3 --runs "$runs" --export-json times.json \
    -n quillon-cli "$cli intelhex --out out --name quillon a.hex b.hex" \
    -n srec_cat "srec_cat a.hex -Intel b.hex -Intel -o out/srec.hex -Intel"

# The medians, and quillon-cli's time as a share of srec_cat's (below 1: faster).
sed -n 's/.*"median": *\([0-9.e-]*\).*/\1/p' times.json | {
    read -r quillon
    read -r srec
    awk -v q="$quillon" -v s="$srec" 'BEGIN {
        printf "median quillon-cli %.4f s, srec_cat %.4f s, ratio quillon/srec_cat %.3f\n", q, s, q / s
    }'
}

echo "peak memory: quillon-cli $(mib "$(peak_kib "$cli" intelhex --out out --name quillon a.hex b.hex)")," \
    "srec_cat $(mib "$(peak_kib srec_cat a.hex -Intel b.hex -Intel -o out/srec.hex -Intel)") (data 2 MiB)"
head -c 16777216 /dev/urandom > c.bin
head -c 16777216 /dev/urandom > d.bin
srec_cat c.bin -Binary -offset 0x08000000 -o c.hex -Intel -Output_Block_Size 16
srec_cat d.bin -Binary -offset 0x09000000 -o d.hex -Intel -Output_Block_Size 16
echo "peak memory joining two files of 16 MiB data ($(($(wc -c <c.hex) / 1048576)) MiB of text each):" \
    "quillon-cli $(mib "$(peak_kib "$cli" intelhex --out out --name big c.hex d.hex)")," \
    "srec_cat $(mib "$(peak_kib srec_cat c.hex -Intel d.hex -Intel -o out/big-srec.hex -Intel)")," \
    "quillon-cli --version $(mib "$(peak_kib "$cli" --version)")"
