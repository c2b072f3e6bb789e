#!/usr/bin/env python3
"""Parallel bzip2 decoding and encoding against bzip2 and lbzip2.

Builds a corpus deterministically (about 60% text, 40% random bytes, as
bench.py's), compresses it with `bzip2 -9`, then times, round after round:
`bzip2 -dc`, `lbzip2 -d -n2`, the native preset's bzip2_bench decode with 1 and
2 workers; `bzip2 -9`, bzip2_bench encode with 1 and 2 jobs. Prints ratios
first, medians second. Run on an otherwise idle machine.
"""
import argparse
import os
import random
import statistics
import subprocess
import tempfile
import time

from presets import program

BENCH = program("native", "bzip2_bench")
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


def timed(command, stdin_path=None):
    with open(stdin_path or os.devnull, "rb") as stdin:
        start = time.perf_counter()
        result = subprocess.run(command, stdin=stdin, stdout=subprocess.PIPE if command[0] == BENCH else subprocess.DEVNULL,
                                check=True)
        elapsed = time.perf_counter() - start
    line = result.stdout.decode().strip() if result.stdout else ""
    return elapsed, line


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--size-mb", type=int, default=150)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        corpus = os.path.join(tmp, "corpus")
        packed = corpus + ".bz2"
        make_corpus(corpus, args.size_mb, 1)
        with open(packed, "wb") as out:
            subprocess.run(["bzip2", "-9", "-c", corpus], stdout=out, check=True)
        commands = {
            "bzip2 -dc": (["bzip2", "-dc", packed], None),
            "lbzip2 -d -n2": (["lbzip2", "-d", "-n2", "-c", packed], None),
            "decode, 1 worker": ([BENCH, "decode", packed, "1"], None),
            "decode, 2 workers": ([BENCH, "decode", packed, "2"], None),
            "bzip2 -9": (["bzip2", "-9", "-c", corpus], None),
            "encode -9, 1 job": ([BENCH, "encode", corpus, "9", "1"], None),
            "encode -9, 2 jobs": ([BENCH, "encode", corpus, "9", "2"], None),
        }
        times = {name: [] for name in commands}
        details = {}
        for _ in range(args.repeat):
            for name, (command, stdin) in commands.items():
                elapsed, line = timed(command, stdin)
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
