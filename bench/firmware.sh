# Sourced by the benchmark scripts: make_firmware PATH SIZE writes SIZE bytes of firmware-like data:
# random bytes (seeded by the size, so runs compare alike) with erased 4 KiB pages of 0xFF here and
# there, as a real flash image has.
make_firmware() {
    /usr/bin/python3 - "$1" "$2" <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
rng = random.Random(size)
data = bytearray(rng.randbytes(size))
for _ in range(max(1, size // (256 * 1024))):
    page = rng.randrange(0, size // 4096) * 4096
    data[page:page + 4096] = b"\xff" * 4096
open(path, "wb").write(data)
PY
}
