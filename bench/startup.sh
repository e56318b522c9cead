#!/usr/bin/env bash
# How long quillon takes, with no update address, from being started to showing its window
# (offscreen, in a working directory with the default config.conf), and how long a second start
# takes to hand over to the running one and end. Prints hyperfine's figures and the medians.
#
#   bench/startup.sh [path/to/quillon]     (default: build/src/app/quillon; RUNS sets the runs)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
quillon=$(realpath "${1:-$here/build/src/app/quillon}")
runs=${RUNS:-30}
[ -x "$quillon" ] || { echo "no quillon at $quillon" >&2; exit 2; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing" >&2; exit 2; }

work=$(mktemp -d)
first=
cleanup() {
    [ -n "$first" ] && kill "$first" 2>/dev/null && wait "$first" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/run" "$work/cwd"
cd "$work/cwd"
export QT_QPA_PLATFORM=offscreen QUILLON_UPDATE_URL= XDG_RUNTIME_DIR="$work/run"

# Starts quillon, waits (without starting other programs: they would compete for the CPU) until
# its start-up trace says the window is shown, and ends it.
cat >"$work/until-shown.sh" <<'EOF'
log=$1
rm -f "$log"
QUILLON_STARTUP_LOG="$log" "$2" &
pid=$!
exec {tick}<> <(:)
while :; do
    lines=()
    [ -f "$log" ] && mapfile -t lines <"$log"
    [[ " ${lines[*]-} " == *" shown "* ]] && break
    read -r -t 0.002 -u "$tick" || true
done
kill "$pid"
wait "$pid" 2>/dev/null || true
EOF

echo "== first start until the window is shown: $quillon"
hyperfine --warmup 3 --runs "$runs" --shell=none --export-json "$work/first.json" \
    "bash $work/until-shown.sh $work/first.log $quillon"

echo "== second start while one runs, until it has handed over and ended"
QUILLON_STARTUP_LOG="$work/running.log" "$quillon" 2>/dev/null &
first=$!
until grep -qs '^shown$' "$work/running.log"; do sleep 0.05; done
sleep 1
hyperfine --warmup 3 --runs "$runs" --shell=none --export-json "$work/second.json" "$quillon"

python3 - "$work/first.json" "$work/second.json" <<'PY'
import json, sys
for label, path in zip(("first start, median", "second start, median"), sys.argv[1:]):
    result = json.load(open(path))["results"][0]
    print(f"{label}: {result['median'] * 1000:.1f} ms (user {result['user'] * 1000:.1f} ms, "
          f"system {result['system'] * 1000:.1f} ms on average)")
PY
