#!/usr/bin/env bash
# Publishes a release for the program's update check. Into OUTPUT_DIR (the folder served as
# "<update address>/QUILL/") it writes the executable as Quillon.exe, its manifest Quillon.exe.json
# (version, size and SHA-256 of the executable) and Quillon.exe.json.sig, the Ed25519 signature
# of the manifest's exact bytes made with the private key. Only programs that trust the key's
# public half (QUILLON_UPDATE_PUBLIC_KEY) install it, and only when its version is newer than theirs.
#
#   scripts/publish-update.sh PRIVATE_KEY EXECUTABLE VERSION OUTPUT_DIR
#   scripts/publish-update.sh --public-key PRIVATE_KEY     (prints QUILLON_UPDATE_PUBLIC_KEY)
#
# Make a key once, and keep it off the update server:
#   openssl genpkey -algorithm ed25519 -out update-key.pem
set -euo pipefail

usage() {
    sed -n '8,9s/^#   /usage: /p' "$0" >&2
    exit 2
}

# The raw 32-byte key is the tail of its DER SubjectPublicKeyInfo.
public_key() {
    openssl pkey -in "$1" -pubout -outform DER | tail -c 32 | base64
}

if [ "${1:-}" = "--public-key" ]; then
    [ $# -eq 2 ] || usage
    public_key "$2"
    exit 0
fi
[ $# -eq 4 ] || usage
key=$1
executable=$2
version=$3
out=$4

[[ $version =~ ^[0-9]{1,9}(\.[0-9]{1,9}){0,7}$ ]] ||
    { echo "the version must be numbers separated by dots (e.g. 2.4.0), not \"$version\"" >&2; exit 2; }
[ -f "$executable" ] || { echo "no executable at $executable" >&2; exit 2; }
[ -f "$key" ] || { echo "no private key at $key" >&2; exit 2; }

mkdir -p "$out"
staging=$(mktemp -d "$out/.publishing.XXXXXX")
trap 'rm -rf "$staging"' EXIT

cp -- "$executable" "$staging/Quillon.exe"
size=$(wc -c <"$staging/Quillon.exe" | tr -d ' ')
sha256=$(openssl dgst -sha256 -r "$staging/Quillon.exe" | cut -d ' ' -f 1)
printf '{"version": "%s", "size": %s, "sha256": "%s"}\n' "$version" "$size" "$sha256" >"$staging/Quillon.exe.json"
openssl pkeyutl -sign -rawin -inkey "$key" -in "$staging/Quillon.exe.json" -out "$staging/Quillon.exe.json.sig"
openssl pkeyutl -verify -rawin -inkey "$key" -in "$staging/Quillon.exe.json" \
    -sigfile "$staging/Quillon.exe.json.sig" >/dev/null
[ "$(wc -c <"$staging/Quillon.exe.json.sig" | tr -d ' ')" -eq 64 ] ||
    { echo "$key is not an Ed25519 key" >&2; exit 1; }

# A program checking meanwhile sees either the old release or the new one: a manifest that does
# not match its executable or signature is skipped, never installed.
for name in Quillon.exe Quillon.exe.json Quillon.exe.json.sig; do
    mv -f -- "$staging/$name" "$out/$name"
    echo "$out/$name"
done
echo "public key: $(public_key "$key")" >&2
