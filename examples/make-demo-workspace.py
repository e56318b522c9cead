#!/usr/bin/env python3
"""Prepares a demo working directory for Quillon.

Writes sample firmware pieces with real name fields (a LoRaMAC stack holding its version and
region, an application holding its firmware name), their Intel HEX forms, and one saved template
per tab that points at them, so that a new user can double-click a template and press "Сборка".
Only the standard library is used; the output is the same on every run.

Usage: make-demo-workspace.py WORKSPACE_DIR
"""
import os
import random
import sys

BOOT_SIZE = 0x8000
LORAMAC_SIZE = 200 * 1024
APP_SIZE = 96 * 1024

BOOT_OFFSET = 0x0
LORAMAC_OFFSET = 0x8000
APP_OFFSET = 0x40000
# Where the name fields sit inside the pieces: 32 bytes in the LoRaMAC stack, 16 in the application.
REGION_FIELD_OFFSET = 0x100
FW_FIELD_OFFSET = 0x200

LORAMAC_NAME = b"1.0.4RU864"
APP_NAME = b"SENSOR_V2"
FLASH_BASE = 0x08000000


def firmware_like(size, seed):
    """Random code with a few 4 KiB runs of erased flash, like a real build."""
    rng = random.Random(seed)
    data = bytearray(rng.getrandbits(8) for _ in range(size))
    for start in range(0x3000, size - 0x1000, 0x9000):
        data[start:start + 0x1000] = b"\xff" * 0x1000
    return data


def with_name_field(data, offset, name, field_length):
    field = name + b"\x00" * (field_length - len(name))
    data[offset:offset + field_length] = field
    return data


def intel_hex(data, address):
    """Intel HEX text for data loaded at address: type 04 records, 16-byte data records, EOF."""
    def record(rtype, rec_address, payload):
        body = bytes([len(payload), (rec_address >> 8) & 0xFF, rec_address & 0xFF, rtype]) + payload
        checksum = (-sum(body)) & 0xFF
        return ":" + body.hex().upper() + "%02X" % checksum + "\r\n"

    lines = []
    upper = None
    for position in range(0, len(data), 16):
        absolute = address + position
        if absolute >> 16 != upper:
            upper = absolute >> 16
            lines.append(record(0x04, 0, bytes([(upper >> 8) & 0xFF, upper & 0xFF])))
        lines.append(record(0x00, absolute & 0xFFFF, bytes(data[position:position + 16])))
    lines.append(":00000001FF\r\n")
    return "".join(lines)


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(content, (bytes, bytearray)) else "w"
    with open(path, mode, newline="" if mode == "w" else None) as out:
        out.write(content)


def ini(groups):
    text = []
    for group, keys in groups:
        text.append("[%s]" % group)
        text.extend("%s=%s" % (key, value) for key, value in keys)
        text.append("")
    return "\n".join(text)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    workspace = os.path.abspath(sys.argv[1])
    pieces = os.path.join(workspace, "pieces")
    release = os.path.join(workspace, "release")
    os.makedirs(release, exist_ok=True)

    boot = firmware_like(BOOT_SIZE, 1)
    loramac = with_name_field(firmware_like(LORAMAC_SIZE, 2), REGION_FIELD_OFFSET, LORAMAC_NAME, 32)
    app = with_name_field(firmware_like(APP_SIZE, 3), FW_FIELD_OFFSET, APP_NAME, 16)

    boot_bin = os.path.join(pieces, "bootloader", "bootloader.bin")
    # The LoRa tab lists the LoRaMAC stack by its ".hex" release name and takes raw images only.
    loramac_bin = os.path.join(pieces, "loramac", "LoraMAC_1.0.4_RU864.hex")
    app_bin = os.path.join(pieces, "application", "sensor_app.bin")
    write(boot_bin, boot)
    write(loramac_bin, loramac)
    write(app_bin, app)

    loramac_raw = os.path.join(pieces, "binary", "loramac.bin")
    write(loramac_raw, loramac)

    boot_hex = os.path.join(pieces, "intelhex", "bootloader.hex")
    loramac_hex = os.path.join(pieces, "intelhex", "loramac.hex")
    app_hex = os.path.join(pieces, "intelhex", "sensor_app.hex")
    write(boot_hex, intel_hex(boot, FLASH_BASE + BOOT_OFFSET))
    write(loramac_hex, intel_hex(loramac, FLASH_BASE + LORAMAC_OFFSET))
    write(app_hex, intel_hex(app, FLASH_BASE + APP_OFFSET))

    lora = [
        ("PathTo", [("LoRaPathToBoot", os.path.dirname(boot_bin)),
                    ("LoRaPathToLoRa", os.path.dirname(loramac_bin)),
                    ("LoRaPathToApp", os.path.dirname(app_bin)),
                    ("LoRaPathToRelease", release)]),
        ("Offsets", [("LoRaOffsetWrtBoot", "0"),
                     ("LoRaOffsetWrtFmwLora", "%X" % LORAMAC_OFFSET),
                     ("LoRaOffsetWrtFmw", "%X" % APP_OFFSET),
                     ("LoRaOffsetSrchNameLora", "%X" % REGION_FIELD_OFFSET),
                     ("LoRaOffsetSrchNameFmw", "%X" % FW_FIELD_OFFSET)]),
        ("Templates_Name", [("LoRaTmpltNameOutFile", "region_lora_fw")]),
    ]
    binary_paths = [boot_bin, loramac_raw, app_bin, "", "", ""]
    binary_offsets = ["0", "%X" % LORAMAC_OFFSET, "%X" % APP_OFFSET, "0", "0", "0"]
    binary = [
        ("PathTo", [("BinaryPathFile_%d" % (i + 1), p) for i, p in enumerate(binary_paths)]
         + [("BinaryPathRelease", release)]),
        ("Offsets", [("BinaryOffsetFile_%d" % (i + 1), o) for i, o in enumerate(binary_offsets)]),
        ("Templates_Name", [("BinaryTmpltNameOutFile", "demo_binary")]),
        ("StateWindow", [("Bin%d" % (i + 1), "true" if i < 3 else "false") for i in range(6)]),
    ]
    intelhex = [
        ("PathTo", [("IntelHEXPathBoot", boot_hex),
                    ("IntelHEXPathApp", loramac_hex),
                    ("IntelHEXPathMain", app_hex),
                    ("IntelHEXPathAddictFile_1", ""),
                    ("IntelHEXPathAddictFile_2", ""),
                    ("IntelHEXPathAddictFile_3", ""),
                    ("IntelHEXPathRelease", release)]),
        ("Templates_Name", [("IntelHEXTmpltNameOutFile", "demo_intelhex")]),
        ("StateWindow", [("HEX%d" % (i + 1), "true" if i < 3 else "false") for i in range(6)]),
    ]

    # Paths relative to the workspace, which is the working directory the program runs in: a copied
    # or moved workspace keeps working.
    for tab in (lora, binary, intelhex):
        for group_name, keys in tab:
            if group_name == "PathTo":
                keys[:] = [(key, os.path.relpath(value, workspace) if value else "") for key, value in keys]

    templates = os.path.join(workspace, "Templates Setting")
    write(os.path.join(templates, "demo.LoRa"), ini(lora))
    write(os.path.join(templates, "demo.binary"), ini(binary))
    write(os.path.join(templates, "demo.IntelHEX"), ini(intelhex))

    # The working state starts as the three templates, so the file fields of the Binary and
    # IntelHEX tabs (which offer a loaded template's paths in their drop-downs without switching
    # to them) already hold the demo pieces. A config.conf the user has since changed is kept.
    config = os.path.join(workspace, "config.conf")
    if not os.path.exists(config):
        def group(name):
            return [key for tab in (lora, binary, intelhex) for g, keys in tab if g == name for key in keys]
        write(config, ini([
            ("PathTo", group("PathTo")),
            ("Offsets", group("Offsets")),
            ("STMSetting", [("FlashAdress", "0"), ("LoRaHW_ID", "0")]),
            ("Templates_Name", group("Templates_Name")),
            ("StateWindow", [("Tab", "0")] + group("StateWindow")),
        ]))


if __name__ == "__main__":
    main()
