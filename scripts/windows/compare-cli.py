#!/usr/bin/env python3
"""Runs every quillon-cli command twice on the same inputs, with the Linux build and with the
Windows build under Wine, and fails unless both write the same bytes and print the same text.

The Windows side works in a folder whose name holds a blank and Cyrillic letters, is handed its
files as Windows paths (Z:\\..., backslashes) and reads settings files with CRLF line ends; the
Linux side has the same inputs with LF. Printed text, and the maps' pictures that name their file,
are compared once each side's own folder is replaced by a placeholder and separators are made
alike; release manifests are compared without their creation time and with their source paths
made relative in the same way.

Usage: compare-cli.py LINUX_CLI WINDOWS_CLI WORK_DIR   (WINEPREFIX set, Wine's prefix booted)
"""
import json
import os
import pathlib
import shutil
import subprocess
import sys

WINE = "/usr/lib/wine/wine64"
FOLDER = "папка с пробелом"


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def make_workspace(root, crlf):
    """The demo workspace, its settings files with CRLF line ends or LF."""
    subprocess.run([sys.executable, str(SOURCE / "examples/make-demo-workspace.py"), str(root)],
                   check=True, stdout=subprocess.DEVNULL)
    settings = [root / "config.conf"] + sorted((root / "Templates Setting").iterdir())
    for path in settings:
        text = path.read_bytes().replace(b"\r\n", b"\n")
        path.write_bytes(text.replace(b"\n", b"\r\n") if crlf else text)
    for name, _, outputs in cases(Side("", "", root, False)):
        if outputs:
            (root / outputs).mkdir(parents=True, exist_ok=True)


class Side:
    def __init__(self, name, cli, root, wine):
        self.name, self.cli, self.root, self.wine = name, cli, root, wine

    def path(self, relative):
        """A file of the workspace by its full path, as this side's program is given it."""
        full = self.root / relative
        return windows_path(full) if self.wine else str(full)

    def relative(self, relative):
        """A file of the workspace relative to the working folder, with this side's separators."""
        return relative.replace("/", "\\") if self.wine else relative

    def run(self, arguments):
        command = ([WINE, self.cli] if self.wine else [self.cli]) + arguments
        done = subprocess.run(command, cwd=self.root, capture_output=True, timeout=300)
        return done.returncode, self.normalise(done.stdout), self.normalise(done.stderr)

    def normalise(self, text):
        text = text.decode("utf-8", errors="replace")
        for prefix in (windows_path(self.root), str(self.root.resolve())):
            text = text.replace(prefix, "<WS>").replace(prefix.replace("\\", "/"), "<WS>")
        return text.replace("\\", "/")


def manifest_view(data, side):
    document = json.loads(data)
    document.pop("created", None)
    for piece in document.get("pieces", []):
        piece["source"] = side.normalise(piece["source"].encode())
    return json.dumps(document, sort_keys=True, ensure_ascii=False)


def files_under(folder):
    return sorted(p.relative_to(folder) for p in folder.rglob("*") if p.is_file())


def cases(side):
    """(name, arguments, folder of outputs) for every command."""
    p, r = side.path, side.relative
    return [
        ("lora from a template", ["lora", "--settings", p("Templates Setting/demo.LoRa"),
                                  "--out", p("out/lora")], "out/lora"),
        ("lora from config.conf", ["lora", "--settings", "config.conf", "--out", p("out/lora-conf")],
         "out/lora-conf"),
        ("binary from a template", ["binary", "--settings", p("Templates Setting/demo.binary"),
                                    "--out", p("out/binary")], "out/binary"),
        ("binary as Intel HEX", ["binary", "--settings", p("Templates Setting/demo.binary"), "--hex",
                                 "--out", p("out/binary-hex"), "--name", "образ"], "out/binary-hex"),
        ("binary one after another", ["binary", "--sequential", "--out", p("out/sequential"),
                                      "--name", "seq", "--file", p("pieces/bootloader/bootloader.bin"),
                                      "--file", r("pieces/application/sensor_app.bin")], "out/sequential"),
        ("intelhex from a template", ["intelhex", "--settings", p("Templates Setting/demo.IntelHEX"),
                                      "--out", p("out/intelhex")], "out/intelhex"),
        ("convert HEX to binary", ["convert", p("pieces/intelhex/sensor_app.hex"),
                                   "-o", p("out/convert/app.bin"), "--base", "8040000"], "out/convert"),
        ("convert HEX to S-records", ["convert", p("pieces/intelhex/loramac.hex"), "--to", "srec",
                                      "-o", p("out/srec/loramac.srec")], "out/srec"),
        ("convert binary to HEX", ["convert", p("pieces/bootloader/bootloader.bin"),
                                   "--offset", "8000000", "-o", p("out/tohex/boot.hex")], "out/tohex"),
        ("convert S-records to HEX", ["convert", p("out/srec/loramac.srec"), "--to", "hex",
                                      "-o", p("out/fromsrec/loramac.hex")], "out/fromsrec"),
        ("info on Intel HEX", ["info", p("pieces/intelhex/bootloader.hex")], None),
        ("info on a binary", ["info", r("pieces/binary/loramac.bin")], None),
        ("map of a file", ["map", p("pieces/intelhex/sensor_app.hex"),
                           "--svg", p("out/map/app.svg")], "out/map"),
        ("map of a job", ["map", "lora", "--settings", p("Templates Setting/demo.LoRa"),
                          "--flash-size", "512K", "--svg", p("out/map-job/lora.svg")], "out/map-job"),
        ("stamp", ["stamp", p("out/binary/demo_binary.bin"), "--at", "3fffc", "--force",
                   "--range", "0", "3fffc", "-o", p("out/stamp/stamped.bin")], "out/stamp"),
        ("stamp STM32 CRC", ["stamp", p("out/tohex/boot.hex"), "--at", "8010000", "--algorithm",
                             "stm32", "-o", p("out/stamp-hex/boot.hex")], "out/stamp-hex"),
        ("compare, same", ["compare", p("pieces/intelhex/bootloader.hex"),
                           p("pieces/bootloader/bootloader.bin"), "--offset", "8000000"], None),
        ("compare, different", ["compare", p("pieces/intelhex/loramac.hex"),
                                p("pieces/intelhex/sensor_app.hex")], None),
        ("a bad option", ["convert", "--to", "elf", p("pieces/intelhex/loramac.hex")], None),
    ]


def compare(linux, windows):
    failures = []
    for (name, linux_args, outputs), (_, windows_args, _) in zip(cases(linux), cases(windows)):
        got = linux.run(linux_args), windows.run(windows_args)
        if got[0] != got[1]:
            failures.append(f"{name}: Linux {got[0]!r}\n    Windows {got[1]!r}")
            continue
        if outputs is None:
            continue
        listed = files_under(linux.root / outputs), files_under(windows.root / outputs)
        if listed[0] != listed[1]:
            failures.append(f"{name}: files {listed[0]} on Linux, {listed[1]} on Windows")
            continue
        for relative in listed[0]:
            data = [(side.root / outputs / relative).read_bytes() for side in (linux, windows)]
            if str(relative).endswith(".manifest.json"):
                data = [manifest_view(d, side) for d, side in zip(data, (linux, windows))]
            elif str(relative).endswith(".svg"):  # names the file it maps
                data = [side.normalise(d) for d, side in zip(data, (linux, windows))]
            if data[0] != data[1]:
                failures.append(f"{name}: {relative} differs")
        print(f"same: {name} ({len(listed[0])} files)")
    return failures


def main():
    linux_cli, windows_cli, work = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    shutil.rmtree(work, ignore_errors=True)
    sides = []
    for name, cli, wine in (("linux", linux_cli, False), ("windows", windows_cli, True)):
        root = work / name / FOLDER
        make_workspace(root, crlf=wine)
        sides.append(Side(name, cli, root, wine))
    failures = compare(*sides)
    for failure in failures:
        print("DIFFERENT: " + failure)
    print(f"compare-cli: {len(cases(sides[0]))} commands, {len(failures)} with different outputs")
    return 1 if failures else 0


SOURCE = pathlib.Path(__file__).resolve().parents[2]
if __name__ == "__main__":
    sys.exit(main())
