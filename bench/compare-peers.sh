#!/usr/bin/env bash
# quillon-cli against the standard tools on every job they share: the conversions, info, stamp,
# compare, the Intel HEX join and the start-up, on firmware-like data at 0x08000000 (bench/firmware.sh)
# written in address order, as a linker and objcopy write it.
#
# Each job runs as interleaved pairs of whole processes (quillon-cli then the peer, the peer then
# quillon-cli, ...), after one run of each whose outputs are checked by content: a binary byte for byte,
# a record file by what its records hold (srec_cmp against the input, addresses without records read
# as 0xFF). Any mismatch or failed run stops the script with a line naming the job. For every job it
# prints the median of the per-pair time ratios (quillon / peer; below 1 is faster), both medians and
# both peak memories (GNU time); at the end a Markdown table of all of them on standard output.
#
#   bench/compare-peers.sh [--runs PAIRS] [--jobs REGEX] [SIZE_MIB...]      default sizes: 1 16 128
#
# --runs sets the pairs per job (default 20 up to 1 MiB, 10 up to 16 MiB, 6 above); --jobs keeps the
# jobs whose name matches (bench/compare-peers.sh --list names them). The build is build-release
# (Release, configured if missing, quillon-cli brought up to date), or QUILLON_BENCH_BUILD;
# QUILLON_BENCH_DIR picks where the files go (default /tmp).
#
# A job is a function job_NAME that sets: title (with the peer's name), quillon and peer (the two
# command lines as arrays, writing into $out) and verify (a command run after one run of each that
# fails on a mismatch). Add one by writing the function and naming it in all_jobs.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
all_jobs=(hex-to-bin srec-to-bin elf-to-bin hex-to-bin-unordered hex-to-srec-unordered bin-to-hex bin-to-srec hex-to-srec srec-to-hex
    info-bin info-hex stamp-crc32 stamp-stm32 compare join startup)

usage() {
    sed -n 's/^#   //p' "$0" >&2
    exit 2
}

runs=
filter=.
sizes=()
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs="${2:?}"; shift 2 ;;
    --jobs) filter="${2:?}"; shift 2 ;;
    --list) printf '%s\n' "${all_jobs[@]}"; exit 0 ;;
    -h | --help) usage ;;
    -*) echo "unknown option $1" >&2; usage ;;
    *) sizes+=("$1"); shift ;;
    esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(1 16 128)
for mib in "${sizes[@]}"; do
    [[ "$mib" =~ ^[1-9][0-9]*$ && "$mib" -lt 512 ]] || { echo "$mib: not a size in MiB below 512" >&2; exit 2; }
done
[[ -z "$runs" || "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "--runs $runs: not a number of pairs" >&2; exit 2; }
jobs=()
for name in "${all_jobs[@]}"; do
    [[ "$name" =~ $filter ]] && jobs+=("$name")
done
[ ${#jobs[@]} -gt 0 ] || { echo "no job matches $filter (--list names them)" >&2; exit 2; }

for tool in objcopy arm-none-eabi-as arm-none-eabi-ld arm-none-eabi-objcopy srec_cat srec_cmp srec_info \
    /usr/bin/time /usr/bin/python3 sha256sum; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup-debian.sh installs it)" >&2; exit 2; }
done

build="${QUILLON_BENCH_BUILD:-$root/build-release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target quillon-cli -j2 >/dev/null
cli="$(cd "$build" && pwd)/src/cli/quillon-cli"
. "$root/bench/peakmemory.sh"
. "$root/bench/firmware.sh"

work="$(mktemp -d "${QUILLON_BENCH_DIR:-/tmp}/quillon-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
in="$work/in"
out="$work/out"
mkdir "$in"

base=0x08000000
base_hex=8000000 # quillon-cli's offsets are hexadecimal digits

# ---- inputs ------------------------------------------------------------------------------------------

# The firmware as a binary, an ELF with it in one section at 0x08000000 (as a linker lays out flash),
# the Intel HEX and S-records arm-none-eabi-objcopy makes of that ELF, its two halves as Intel HEX
# files for the join, and a copy with one byte changed for compare.
make_inputs() { # SIZE_BYTES
    local size=$1 half=$(($1 / 2))
    make_firmware "$in/fw.bin" "$size"
    printf '    .section .firmware, "ax"\n    .global _start\n_start:\n    .incbin "%s"\n' "$in/fw.bin" >"$in/fw.s"
    cat >"$in/fw.ld" <<EOF
ENTRY(_start)
MEMORY { FLASH (rx) : ORIGIN = $base, LENGTH = 512M }
SECTIONS { .firmware : { KEEP(*(.firmware)) } > FLASH }
EOF
    arm-none-eabi-as -o "$in/fw.o" "$in/fw.s"
    arm-none-eabi-ld -T "$in/fw.ld" -o "$in/fw.elf" "$in/fw.o"
    rm "$in/fw.o"
    arm-none-eabi-objcopy -O ihex "$in/fw.elf" "$in/fw.hex"
    arm-none-eabi-objcopy -O srec "$in/fw.elf" "$in/fw.srec"

    head -c "$half" "$in/fw.bin" >"$in/low.bin"
    tail -c "+$((half + 1))" "$in/fw.bin" >"$in/high.bin"
    objcopy -I binary -O ihex --change-addresses $base "$in/low.bin" "$in/low.hex"
    objcopy -I binary -O ihex --change-addresses $((base + half)) "$in/high.bin" "$in/high.hex"
    rm "$in/low.bin" "$in/high.bin"
    # The upper half first: addresses that go back once, as when files are joined in the wrong order.
    grep -v '^:00000001FF' "$in/high.hex" >"$in/unordered.hex"
    cat "$in/low.hex" >>"$in/unordered.hex"

    cp "$in/fw.bin" "$in/changed.bin"
    printf '\001' | dd of="$in/changed.bin" bs=1 seek="$half" conv=notrunc status=none
}

# ---- checks ------------------------------------------------------------------------------------------

mismatch() {
    echo "MISMATCH in $job ($label): $*" >&2
    exit 1
}

# "quillon-cli's q.bin" or "the peer's p.bin" for an output file.
whose() {
    case "$(basename "$1")" in
    q.*) echo "quillon-cli's $(basename "$1")" ;;
    *) echo "${peer[0]}'s $(basename "$1")" ;;
    esac
}

# Each binary holds the firmware's bytes exactly.
same_as_firmware() { # FILE...
    local file
    for file in "$@"; do
        cmp -s "$file" "$in/fw.bin" || mismatch "$(whose "$file") is not the firmware byte for byte"
    done
}

# Each record file holds the firmware at 0x08000000 and nothing else; addresses it has no record for
# count as 0xFF (quillon-cli leaves out erased blocks).
records_hold_firmware() { # FILE FORMAT...
    while [ $# -gt 0 ]; do
        srec_cmp "$1" "$2" -fill 0xFF $base $((base + size)) "$in/fw.bin" -binary -offset $base >/dev/null 2>&1 ||
            mismatch "$(whose "$1") does not hold the firmware at $base"
        shift 2
    done
}

# The firmware plus a CRC, and the same bytes from both tools.
same_stamp() {
    local difference
    difference=$(cd "$out" && cmp q.bin p.bin 2>&1) || mismatch "the stamped images differ: $difference"
    [ "$(wc -c <"$out/q.bin")" -eq $((size + 4)) ] || mismatch "the stamped image is not the firmware plus 4 bytes"
    cmp -s -n "$size" "$out/q.bin" "$in/fw.bin" || mismatch "the stamp changed the firmware's bytes"
}

# info's sums and range are the firmware's; srec_info sees the same last address.
info_matches() { # FILE FORMAT FIRST_ADDRESS
    local file=$1 format=$2 first=$3 text
    text=$("$cli" info "$file")
    grep -Fqx "sha256: $fw_sha256" <<<"$text" || mismatch "info's sha256 is not the firmware's ($fw_sha256)"
    grep -Fqx "crc32: $fw_crc32" <<<"$text" || mismatch "info's crc32 is not the firmware's ($fw_crc32)"
    if [ "$format" != -binary ]; then
        grep -Fqx "$(printf 'range: 0x%08X-0x%08X (%d bytes)' "$first" $((first + size - 1)) "$size")" <<<"$text" ||
            mismatch "info does not list the one range of the firmware"
    fi
    local last
    last=$(srec_info "$file" "$format" | sed -n 's/^Data:.* - *\([0-9A-Fa-f]*\)$/\1/p')
    if [ -z "$last" ] || [ $((16#$last)) -ne $((first + size - 1)) ]; then
        mismatch "srec_info's data range ends elsewhere"
    fi
}

# Both say "same" for the file against its binary, and "different" against the changed copy.
same_verdicts() {
    local verdict
    "$cli" compare "$in/fw.hex" "$in/changed.bin" --offset $base_hex >/dev/null 2>&1 && verdict=0 || verdict=$?
    [ "$verdict" -eq 1 ] || mismatch "quillon-cli compare gave exit code $verdict for a changed byte (expected 1)"
    ! srec_cmp "$in/fw.hex" -intel "$in/changed.bin" -binary -offset $base >/dev/null 2>&1 ||
        mismatch "srec_cmp did not see the changed byte"
}

# ---- jobs --------------------------------------------------------------------------------------------

job_hex_to_bin() {
    title="Intel HEX → bin (objcopy)"
    quillon=("$cli" convert "$in/fw.hex" --to bin --base "$base_hex" -o "$out/q.bin")
    peer=(objcopy -I ihex -O binary "$in/fw.hex" "$out/p.bin")
    verify=(same_as_firmware "$out/q.bin" "$out/p.bin")
}

job_srec_to_bin() {
    title="S-records → bin (objcopy)"
    quillon=("$cli" convert "$in/fw.srec" --to bin --base "$base_hex" -o "$out/q.bin")
    peer=(objcopy -I srec -O binary "$in/fw.srec" "$out/p.bin")
    verify=(same_as_firmware "$out/q.bin" "$out/p.bin")
}

job_elf_to_bin() {
    title="ELF → bin (arm-none-eabi-objcopy)"
    quillon=("$cli" convert "$in/fw.elf" --to bin --base "$base_hex" -o "$out/q.bin")
    peer=(arm-none-eabi-objcopy -O binary "$in/fw.elf" "$out/p.bin")
    verify=(same_as_firmware "$out/q.bin" "$out/p.bin")
}

job_hex_to_bin_unordered() {
    title="Intel HEX, upper half first → bin (objcopy)"
    quillon=("$cli" convert "$in/unordered.hex" --to bin --base "$base_hex" -o "$out/q.bin")
    peer=(objcopy -I ihex -O binary "$in/unordered.hex" "$out/p.bin")
    verify=(same_as_firmware "$out/q.bin" "$out/p.bin")
}

job_hex_to_srec_unordered() {
    title="Intel HEX, upper half first → S-records (objcopy)"
    quillon=("$cli" convert "$in/unordered.hex" --to srec -o "$out/q.srec")
    peer=(objcopy -I ihex -O srec "$in/unordered.hex" "$out/p.srec")
    verify=(records_hold_firmware "$out/q.srec" -motorola "$out/p.srec" -motorola)
}

job_bin_to_hex() {
    title="bin → Intel HEX (objcopy)"
    quillon=("$cli" convert "$in/fw.bin" --to hex --offset "$base_hex" -o "$out/q.hex")
    peer=(objcopy -I binary -O ihex --change-addresses "$base" "$in/fw.bin" "$out/p.hex")
    verify=(records_hold_firmware "$out/q.hex" -intel "$out/p.hex" -intel)
}

job_bin_to_srec() {
    title="bin → S-records (objcopy)"
    quillon=("$cli" convert "$in/fw.bin" --to srec --offset "$base_hex" -o "$out/q.srec")
    peer=(objcopy -I binary -O srec --change-addresses "$base" "$in/fw.bin" "$out/p.srec")
    verify=(records_hold_firmware "$out/q.srec" -motorola "$out/p.srec" -motorola)
}

job_hex_to_srec() {
    title="Intel HEX → S-records (objcopy)"
    quillon=("$cli" convert "$in/fw.hex" --to srec -o "$out/q.srec")
    peer=(objcopy -I ihex -O srec "$in/fw.hex" "$out/p.srec")
    verify=(records_hold_firmware "$out/q.srec" -motorola "$out/p.srec" -motorola)
}

job_srec_to_hex() {
    title="S-records → Intel HEX (objcopy)"
    quillon=("$cli" convert "$in/fw.srec" --to hex -o "$out/q.hex")
    peer=(objcopy -I srec -O ihex "$in/fw.srec" "$out/p.hex")
    verify=(records_hold_firmware "$out/q.hex" -intel "$out/p.hex" -intel)
}

job_info_bin() {
    title="\`info\` of a binary (srec_info)"
    quillon=("$cli" info "$in/fw.bin")
    peer=(srec_info "$in/fw.bin" -binary)
    verify=(info_matches "$in/fw.bin" -binary 0)
}

job_info_hex() {
    title="\`info\` of Intel HEX (srec_info)"
    quillon=("$cli" info "$in/fw.hex")
    peer=(srec_info "$in/fw.hex" -intel)
    verify=(info_matches "$in/fw.hex" -intel $((base)))
}

job_stamp_crc32() { stamp_job crc32 -crc32-l-e; }
job_stamp_stm32() { stamp_job stm32 -stm32-l-e; }
stamp_job() { # ALGORITHM SREC_CAT_FILTER: a CRC of the binary placed at 0x08000000, right behind it
    local at=$((base + size))
    title="\`stamp --algorithm $1\` of a binary (srec_cat $2)"
    quillon=("$cli" stamp "$in/fw.bin" --offset "$base_hex" --at "$(printf %X "$at")" --algorithm "$1" -o "$out/q.bin")
    peer=(srec_cat "$in/fw.bin" -binary -offset "$base" "$2" "$at" -offset "-$base" -o "$out/p.bin" -binary)
    verify=(same_stamp)
}

job_compare() {
    title="\`compare\` Intel HEX with its binary (srec_cmp)"
    quillon=("$cli" compare "$in/fw.hex" "$in/fw.bin" --offset "$base_hex")
    peer=(srec_cmp "$in/fw.hex" -intel "$in/fw.bin" -binary -offset "$base")
    verify=(same_verdicts)
}

job_join() {
    title="\`intelhex\` join of two halves (srec_cat)"
    quillon=("$cli" intelhex --out "$out" --name q "$in/low.hex" "$in/high.hex")
    # 16 data bytes a record, as quillon-cli writes them (srec_cat's default is 32).
    peer=(srec_cat "$in/low.hex" -intel "$in/high.hex" -intel -o "$out/p.hex" -intel -Output_Block_Size 16)
    verify=(records_hold_firmware "$out/q.hex" -intel "$out/p.hex" -intel)
}

job_startup() {
    title="\`--version\` (objcopy --version)"
    quillon=("$cli" --version)
    peer=(objcopy --version)
    verify=(true)
}

# ---- running -----------------------------------------------------------------------------------------

fresh_output() {
    rm -rf "$out"
    mkdir "$out"
}

# Runs "$@" with its output discarded and appends its wall time in seconds to the named array; a
# failed run stops the script with the command's messages.
timed_run() { # ARRAY COMMAND...
    local -n into=$1
    shift
    local start=$EPOCHREALTIME
    if ! "$@" >/dev/null 2>"$work/stderr"; then
        echo "FAILED in $job ($label): $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    local end=$EPOCHREALTIME
    into+=("$(awk -v s="${start/,/.}" -v e="${end/,/.}" 'BEGIN { printf "%.6f", e - s }')")
}

# A timed run that starts from an empty output directory, as the first run did.
fresh_run() { # ARRAY COMMAND...
    fresh_output
    timed_run "$@"
}

# The medians of both sides and of the per-pair ratios, as "RATIO QUILLON_MS PEER_MS".
medians() {
    /usr/bin/python3 - "$1" "$2" <<'PY'
import statistics, sys
q = [float(x) for x in sys.argv[1].split()]
p = [float(x) for x in sys.argv[2].split()]
ratio = statistics.median(a / b for a, b in zip(q, p))
print(f"{ratio:.2f} {statistics.median(q) * 1000:.1f} {statistics.median(p) * 1000:.1f}")
PY
}

default_pairs() {
    if [ "$size" -le $((1 << 20)) ]; then echo 20; elif [ "$size" -le $((16 << 20)) ]; then echo 10; else echo 6; fi
}

rows=()
run_job() { # NAME SIZE_LABEL
    job=$1
    label=$2
    local function="job_${1//-/_}" pairs=${runs:-$(default_pairs)} pair
    "$function"
    # shellcheck disable=SC2034 # timed_run fills them; the checked run's times are not counted
    local qt=() pt=() checked=()
    fresh_output
    timed_run checked "${quillon[@]}"
    timed_run checked "${peer[@]}"
    "${verify[@]}"
    for ((pair = 0; pair < pairs; pair++)); do
        if ((pair % 2 == 0)); then
            fresh_run qt "${quillon[@]}"
            fresh_run pt "${peer[@]}"
        else
            fresh_run pt "${peer[@]}"
            fresh_run qt "${quillon[@]}"
        fi
    done
    fresh_output
    local qpeak ppeak
    qpeak=$(mib "$(peak_kib "${quillon[@]}")")
    fresh_output
    ppeak=$(mib "$(peak_kib "${peer[@]}")")
    local ratio qms pms
    read -r ratio qms pms < <(medians "${qt[*]}" "${pt[*]}")
    echo "$title, $label: ratio $ratio (median ${qms} ms / ${pms} ms over $pairs pairs)," \
        "peak ${qpeak% MiB} / ${ppeak% MiB} MiB, load $(cut -d' ' -f1 /proc/loadavg)" >&2
    rows+=("| $title | $label | $ratio | $qms / $pms | ${qpeak% MiB} / ${ppeak% MiB} |")
}

load_before=$(uptime)
echo "work directory: $work ($(df --output=fstype "$work" | tail -1)); $load_before" >&2
for mib in "${sizes[@]}"; do
    size=$((mib << 20))
    rm -rf "${in:?}"/*
    make_inputs "$size"
    fw_sha256=$(sha256sum "$in/fw.bin" | cut -d' ' -f1)
    fw_crc32=$(/usr/bin/python3 -c 'import sys, zlib; print("0x%08X" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$in/fw.bin")
    for name in "${jobs[@]}"; do
        if [ "$name" != startup ]; then run_job "$name" "$mib MiB"; fi
    done
done
# The start-up does not depend on the size: once.
size=0
for name in "${jobs[@]}"; do
    if [ "$name" = startup ]; then run_job startup "—"; fi
done

echo
echo "$("$cli" --version | head -n 1) ($build), $(nproc) cores, files on" \
    "$(df --output=fstype "$work" | tail -1); load before: ${load_before##*load average: }," \
    "after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| Job | Size | Ratio quillon / peer | Median ms quillon / peer | Peak MiB quillon / peer |"
echo "|-----|------|----------------------|--------------------------|-------------------------|"
printf '%s\n' "${rows[@]}"
