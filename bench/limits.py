#!/usr/bin/env python3
"""Resource limits: how fast, and in how little memory, the native launcher
and `lmpack verify` refuse hostile payloads. Prints wall time and peak RSS
(GNU time) per case. Run after `bash scripts/build.sh native`."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from presets import program

LAUNCHER = program("native", "lmsetup")
LMPACK = program("native", "lmpack")


def le(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def vli(value):
    out = b""
    while value >= 0x80:
        out += bytes([value & 0x7F | 0x80])
        value >>= 7
    return out + bytes([value])


def with_crc32(data):
    return data + le(zlib.crc32(data))


def empty_blocks_xz(count):
    """An .xz stream (CRC-32 checks) of `count` LZMA2 blocks that decode to
    nothing: 20 bytes each, as the format allows and no writer makes."""
    flags = b"\0\x01"
    block = with_crc32(b"\x02\x00\x21\x01\x00\0\0\0") + b"\0" + b"\0\0\0" + le(0)
    index = b"\0" + vli(count) + (vli(17) + vli(0)) * count
    index += b"\0" * (-len(index) % 4)
    index = with_crc32(index)
    backward = le(len(index) // 4 - 1) + flags
    footer = le(zlib.crc32(backward)) + backward + b"YZ"
    return b"\xfd7zXZ\0" + with_crc32(flags) + block * count + index + footer


def setup_with(stub, data, empty_files):
    """A setup of the launch target "run" (empty) and `empty_files` more
    empty files, with `data` as its compressed data."""
    table = b"run\0" + le(1 + empty_files) + b"\\run\0" + le(1) + le(0)
    table += b"".join(b"\\e%d\0" % i + le(1) + le(0) for i in range(empty_files))
    return stub + table + le(len(data)) + data + le(len(stub))


def cases(stub):
    p = le(len(stub))
    xz = empty_blocks_xz(520000)
    yield "520,000 empty xz blocks", setup_with(stub, xz, 0)
    yield "... and 100,000 empty files", setup_with(stub, xz, 100000)
    yield "2^31-1 entries", stub + b"run\0" + le(0x7FFFFFFF) + le(0) + p
    yield "compressed length 2^31-1", stub + b"run\0" + le(1) + b"\\run\0" + le(1) + le(0) + le(0x7FFFFFFF) + b"BZh9" + p
    yield "trailer past the file", stub + b"run\0" + le(0) + le(0) + le(0x7FFFFFF0)
    yield "100 MB of zeros and a trailer", None  # written in pieces below


def measure(command, env):
    out = subprocess.run(["/usr/bin/time", "-f", "%e %M"] + command, env=env, capture_output=True, text=True)
    seconds, kib = out.stderr.strip().splitlines()[-1].split()
    return out.returncode, float(seconds), int(kib) / 1024.0


def main():
    stub = open(LAUNCHER, "rb").read()
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, TMPDIR=work)
        print("%-32s %-14s %6s %8s %10s" % ("case", "program", "exit", "seconds", "peak MiB"))
        for name, data in cases(stub):
            path = os.path.join(work, "setup")
            with open(path, "wb") as f:
                if data is None:
                    f.write(stub)
                    for _ in range(100):
                        f.write(b"\0" * (1 << 20))
                    f.write(le(len(stub)))
                else:
                    f.write(data)
            os.chmod(path, 0o755)
            for program, command in (("launcher", [path]), ("lmpack verify", [LMPACK, "verify", path])):
                code, seconds, mib = measure(command, env)
                print("%-32s %-14s %6d %8.3f %10.2f" % (name, program, code, seconds, mib))
        left = [n for n in os.listdir(work) if n != "setup"]
        print("left in the temp directory: %s" % (", ".join(left) if left else "nothing"))
        return 1 if left else 0


if __name__ == "__main__":
    sys.exit(main())
