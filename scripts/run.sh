#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quillon and opens its window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" "$root/build"
# config.conf and "Templates Setting/" live in the working directory: keep them out of the repository.
workspace="$root/build/workspace"
mkdir -p "$workspace"
cd "$workspace"
exec "$root/build/src/app/quillon" "$@"
