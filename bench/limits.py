#!/usr/bin/env python3
"""Resource limits: how fast, and in how little memory, the native launcher
and `lmpack verify` refuse hostile payloads. Prints wall time and peak RSS
(GNU time) per case. Run after `bash scripts/build.sh native`."""
import os
import struct
import subprocess
import sys
import tempfile

from presets import program

LAUNCHER = program("native", "lmsetup")
LMPACK = program("native", "lmpack")


def le(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def cases(stub):
    p = le(len(stub))
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
