#!/bin/sh
# Times "quillon-cli lora" against srec_cat laying out the same three pieces (32 KiB bootloader at 0,
# 200 KiB LoRaMAC at 0x8000, 1 MiB application at 0x40000), as whole processes, and checks that both
# produce the same bytes. Prints the ratio of the medians (quillon / srec_cat; at most 1 is the goal)
# and the peak memory of both, then the peak memory of the same build with a 64 MiB application: the
# pieces are streamed, so quillon-cli's should not grow with them.
#
# Usage: bench/assembly.sh [build-dir]   (default: build-release, configured if missing; quillon-cli is brought up to date)
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build-release}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build_dir" --target quillon-cli -j2 >/dev/null
# The timing runs in a temporary directory: a relative build directory must not get lost there.
build_dir=$(cd "$build_dir" && pwd)
cli=$build_dir/src/cli/quillon-cli
. "$source_dir/bench/peakmemory.sh"
for tool in srec_cat hyperfine cmp; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"
head -c 32768 /dev/urandom >"$work/boot.bin"
head -c 204800 /dev/urandom >"$work/lora.bin"
head -c 1048576 /dev/urandom >"$work/app.bin"
cd "$work"

quillon="$cli lora --out out --boot boot.bin --loramac lora.bin --app app.bin --loramac-offset 0x8000 --app-offset 0x40000 --name bench"
srec="srec_cat boot.bin -binary lora.bin -binary -offset 0x8000 app.bin -binary -offset 0x40000 -o srec.bin -binary"

$quillon >/dev/null 2>&1
$srec
# srec_cat writes nothing for the gaps' addresses it has no data for; fill them with zeros for the
# byte comparison (our gaps are zero bytes).
end=$((0x40000 + 1048576))
srec_cat '(' boot.bin -binary lora.bin -binary -offset 0x8000 app.bin -binary -offset 0x40000 ')' \
    -fill 0x00 0 "$end" -o filled.bin -binary
if cmp -s out/bench.bin filled.bin; then
    echo "outputs: identical ($(wc -c <out/bench.bin) bytes)"
else
    echo "outputs: DIFFERENT" >&2
    exit 1
fi

hyperfine --warmup 5 --runs 50 --style basic --export-json times.json \
    -n quillon-cli "$quillon" -n srec_cat "$srec" >&2
/usr/bin/python3 - times.json <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
q = results["quillon-cli"]["median"]
s = results["srec_cat"]["median"]
print(f"median quillon-cli {q * 1000:.2f} ms, srec_cat {s * 1000:.2f} ms, ratio {q / s:.2f}")
PY

echo "peak memory: quillon-cli $(mib "$(peak_kib $quillon)"), srec_cat $(mib "$(peak_kib $srec)") (image 1.3 MiB)"
head -c 67108864 /dev/urandom >"$work/big-app.bin"
big="$cli lora --out out --boot boot.bin --loramac lora.bin --app big-app.bin --loramac-offset 0x8000 --app-offset 0x40000 --name big"
echo "peak memory with a 64 MiB application: quillon-cli $(mib "$(peak_kib $big)") (image 64.3 MiB)," \
    "quillon-cli --version $(mib "$(peak_kib "$cli" --version)")"
