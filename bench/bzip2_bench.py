#!/usr/bin/env python3
"""Parallel bzip2 decoding and encoding against bzip2 and lbzip2.

Builds a corpus deterministically (about 60% text, 40% random bytes, as
bench.py's), compresses it with `bzip2 -9`, then times, round after round:
`bzip2 -dc`, `lbzip2 -d -n2`, the preset's bzip2_bench decode with 1 and
2 workers; `bzip2 -9`, bzip2_bench encode with 1 and 2 jobs. Prints ratios
first, medians second. Run on an otherwise idle machine.

--preset win32 or win64 times the Windows build under Wine (the prefix in
the preset's build directory), which is how the launcher's decoding speed
is compared between builds; Wine's start (about half a second) is in each
time.
"""
import argparse
import os
import random
import statistics
import subprocess
import tempfile
import time

from presets import TOP, build_dir, program

WINE_RUN = os.path.join(TOP, "scripts", "wine-run.sh")
WORDS = ("the setup launcher unpacks files into a fresh working directory and starts installer "
         "payload of bzip2 stream block with checksum table entry windows program data").split()


def make_corpus(path, size_mb, seed):
    rng = random.Random(seed)
    text = " ".join(rng.choice(WORDS) for _ in range(400000)).encode()
    total = size_mb << 20
    with open(path, "wb") as out:
        written = 0
        while written < total:
            size = min(total - written, int(rng.lognormvariate(10.5, 1.3)))
            if rng.random() < 0.6:
                start = rng.randrange(0, len(text) - 1)
                data = (text[start:] + text)[:size]
            else:
                data = rng.randbytes(size)
            out.write(data)
            written += len(data)


def bench_command(preset):
    """The command line that runs the preset's bzip2_bench, and its environment."""
    if preset == "native":
        return [program(preset, "bzip2_bench")], None
    env = dict(os.environ, LM_WINEPREFIX=os.path.join(build_dir(preset), ".wine"),
               LM_WINEARCH="win64" if preset == "win64" else "win32")
    return [WINE_RUN, program(preset, "bzip2_bench.exe")], env


def timed(command, stdin_path=None, env=None, ours=False):
    with open(stdin_path or os.devnull, "rb") as stdin:
        start = time.perf_counter()
        result = subprocess.run(command, stdin=stdin, stdout=subprocess.PIPE if ours else subprocess.DEVNULL,
                                env=env, check=True)
        elapsed = time.perf_counter() - start
    line = result.stdout.decode().strip() if result.stdout else ""
    return elapsed, line


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--size-mb", type=int, default=150)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--preset", default="native", help="whose bzip2_bench: native, win32 or win64")
    args = parser.parse_args()
    bench, env = bench_command(args.preset)
    with tempfile.TemporaryDirectory() as tmp:
        corpus = os.path.join(tmp, "corpus")
        packed = corpus + ".bz2"
        make_corpus(corpus, args.size_mb, 1)
        with open(packed, "wb") as out:
            subprocess.run(["bzip2", "-9", "-c", corpus], stdout=out, check=True)
        commands = {
            "bzip2 -dc": (["bzip2", "-dc", packed], None),
            "lbzip2 -d -n2": (["lbzip2", "-d", "-n2", "-c", packed], None),
            "decode, 1 worker": (bench + ["decode", packed, "1"], env),
            "decode, 2 workers": (bench + ["decode", packed, "2"], env),
            "bzip2 -9": (["bzip2", "-9", "-c", corpus], None),
            "encode -9, 1 job": (bench + ["encode", corpus, "9", "1"], env),
            "encode -9, 2 jobs": (bench + ["encode", corpus, "9", "2"], env),
        }
        times = {name: [] for name in commands}
        details = {}
        for _ in range(args.repeat):
            for name, (command, command_env) in commands.items():
                elapsed, line = timed(command, env=command_env, ours=command[:len(bench)] == bench)
                times[name].append(elapsed)
                if line:
                    details[name] = line
        median = {name: statistics.median(values) for name, values in times.items()}
        print("corpus: %d MiB, %d compressed bytes; medians of %d runs" %
              (args.size_mb, os.path.getsize(packed), args.repeat))
        print("%-44s %7.3f  (target <= 0.60)" % ("decode 2 workers / bzip2 -dc",
                                                  median["decode, 2 workers"] / median["bzip2 -dc"]))
        print("%-44s %7.3f  (target <= 1.35)" % ("decode 2 workers / lbzip2 -d -n2",
                                                  median["decode, 2 workers"] / median["lbzip2 -d -n2"]))
        print("%-44s %7.3f  (target <= 0.60)" % ("encode 2 jobs / bzip2 -9",
                                                  median["encode -9, 2 jobs"] / median["bzip2 -9"]))
        for name in commands:
            print("%-44s %7.3fs  %s" % (name, median[name], details.get(name, "")))


if __name__ == "__main__":
    main()
