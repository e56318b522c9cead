# Sourced by the benchmark scripts: peak resident memory of one run of a command, in KiB, as GNU time
# (-v, "Maximum resident set size") reports it. The command's own output is discarded.
peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p'
}

# "12.3 MiB" for a figure in KiB.
mib() {
    awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'
}
