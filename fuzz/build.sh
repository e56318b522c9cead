#!/usr/bin/env bash
# Builds the fuzzer of the record file reading path (the format decision, the Intel HEX and S-record
# readers and writers, and the join) with clang++ (libFuzzer, AddressSanitizer, UBSan) against Qt Core (found through pkg-config).
#   fuzz/build.sh                 build only
#   fuzz/build.sh --run SECONDS   build, then fuzz for that long starting from the seed corpus
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${QUILLON_FUZZ_DIR:-$root/build-fuzz}"
mkdir -p "$out"

hex="$root/src/hex"
# shellcheck disable=SC2046
clang++ -std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$root/fuzz/recordreader_fuzzer.cpp" \
    "$hex/intelhexreader.cpp" "$hex/intelhexrecord.cpp" "$hex/intelhexwriter.cpp" "$hex/memoryimage.cpp" \
    "$hex/inputformat.cpp" "$hex/intelhexjoiner.cpp" "$hex/datachunk.cpp" \
    "$hex/srecord.cpp" "$hex/srecordreader.cpp" "$hex/srecordwriter.cpp" "$root/src/common/hextext.cpp" \
    $(pkg-config --libs Qt6Core) \
    -o "$out/recordreader_fuzzer"

if [ "${1:-}" = "--run" ]; then
    seconds="${2:-60}"
    # New inputs go to a scratch corpus; the checked-in seeds are only read.
    mkdir -p "$out/corpus"
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" UBSAN_OPTIONS="print_stacktrace=1" \
        "$out/recordreader_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 "$out/corpus" "$root/fuzz/corpus"
fi
