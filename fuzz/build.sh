#!/usr/bin/env bash
# Builds the fuzzers with clang++ (libFuzzer, AddressSanitizer, UBSan) against Qt Core (found through
# pkg-config): the record file reading path (the format decision, the Intel HEX and S-record readers
# and writers, and the join), the ELF reader and the folder searches' wildcard match.
#   fuzz/build.sh                 build only
#   fuzz/build.sh --run SECONDS   build, then fuzz each for that long starting from its seed corpus
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${QUILLON_FUZZ_DIR:-$root/build-fuzz}"
mkdir -p "$out"

image="$root/src/image"
common="$root/src/common"
discovery="$root/src/discovery"

# build_fuzzer NAME SOURCES...: builds $out/NAME.
build_fuzzer() {
    local name="$1"
    shift
    # shellcheck disable=SC2046
    clang++ -std=c++17 -g -O1 -fPIC -fno-omit-frame-pointer \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$image" -I"$common" -I"$discovery" $(pkg-config --cflags Qt6Core) \
        "$@" \
        $(pkg-config --libs Qt6Core) \
        -o "$out/$name"
}

# run_fuzzer NAME SEEDS SECONDS: new inputs go to a scratch corpus; the checked-in seeds are only read.
run_fuzzer() {
    local name="$1" seeds="$2" seconds="$3"
    mkdir -p "$out/$name-corpus"
    ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" UBSAN_OPTIONS="print_stacktrace=1" \
        "$out/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 "$out/$name-corpus" "$seeds"
}

build_fuzzer recordreader_fuzzer "$root/fuzz/recordreader_fuzzer.cpp" \
    "$image/intelhexreader.cpp" "$image/intelhexrecord.cpp" "$image/intelhexwriter.cpp" "$image/memoryimage.cpp" \
    "$image/inputformat.cpp" "$image/joinedhexwriter.cpp" "$image/datachunk.cpp" \
    "$image/srecord.cpp" "$image/srecordreader.cpp" "$image/srecordwriter.cpp" "$common/hextext.cpp" \
    "$common/systemerror.cpp" "$common/jobrun.cpp"
build_fuzzer elfreader_fuzzer "$root/fuzz/elfreader_fuzzer.cpp" \
    "$image/elfreader.cpp" "$image/memoryimage.cpp" "$common/inputfile.cpp" "$common/hextext.cpp" \
    "$common/systemerror.cpp" "$common/jobrun.cpp"
build_fuzzer wildcard_fuzzer "$root/fuzz/wildcard_fuzzer.cpp" "$discovery/wildcard.cpp"

if [ "${1:-}" = "--run" ]; then
    seconds="${2:-60}"
    run_fuzzer recordreader_fuzzer "$root/fuzz/corpus" "$seconds"
    run_fuzzer elfreader_fuzzer "$root/fuzz/elf-corpus" "$seconds"
    run_fuzzer wildcard_fuzzer "$root/fuzz/wildcard-corpus" "$seconds"
fi
