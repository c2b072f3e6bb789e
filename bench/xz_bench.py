#!/usr/bin/env python3
"""xz setups against the peers vendors compare them with, on real software.

The corpus is a tree of Windows software as products ship it: the PE
programs and libraries of Debian's Wine packages (stripped with MinGW-w64's
strip), Python's standard library and Wine's data files, copied from this
machine's packages (or --folder DIR). On it, in one run:
  size     the xz setup's payload against `7zz a -mx9` of the folder and
           `xz -9` of its tar; the bzip2 setup beside them;
  unpack   the native launcher end to end (payload -> files -> a program that
           exits at once -> tree deleted) against `7zz x` of the archive into
           a fresh folder and `xz -dc -T0` of the tar.xz into /dev/null,
           round after round, medians;
  memory   the launcher's peak resident memory, and the dictionaries of the
           blocks it decoded at once;
  blocks   with --block-sizes, the same for each block size;
  sweep    with --sizes (MB), trees of about those sizes cut from the corpus
           (a deterministic spread of its files, so that each holds
           programs, library and data alike), and for each: payload / 7-Zip,
           unpack / `7zz x` (medians), pack / `7zz a -mx9` (lmpack at
           --jobs = cores), the launcher's peak RSS.
Run it with TMPDIR on tmpfs (TMPDIR=/dev/shm) to time decoding and writing
rather than the file system's choice of inodes.

Usage: bench/xz_bench.py [--repeat 3] [--folder DIR] [--block-sizes 64M,128M,1G]
                         [--sizes 10,40,120,200]
Needs the native build, 7zz and xz (scripts/setup.sh installs them).
"""
import argparse
import glob
import hashlib
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

from bench import build_quick, machine, peak_rss_kib, timed, timed_together
from presets import print_stub_sizes, program, require_built

LMPACK = program("native", "lmpack")
NATIVE_STUB = program("native", "lmsetup")
STRIP = {"i386-windows": "i686-w64-mingw32-strip", "x86_64-windows": "x86_64-w64-mingw32-strip"}


def make_software_corpus(root):
    """Wine's PE files, stripped; Python's library; Wine's data files."""
    os.makedirs(root)
    for folder in sorted(glob.glob("/usr/lib/*/wine/*-windows")):
        kind = os.path.basename(folder)
        target = os.path.join(root, "wine", kind)
        shutil.copytree(folder, target, symlinks=True)
        files = [os.path.join(target, name) for name in sorted(os.listdir(target))]
        subprocess.run([STRIP[kind], "--strip-unneeded"] + files, check=False, stderr=subprocess.DEVNULL)
    python = sorted(glob.glob("/usr/lib/python3.[0-9]*"))[-1]
    shutil.copytree(python, os.path.join(root, "python"), symlinks=True)
    shutil.copytree("/usr/share/wine", os.path.join(root, "share"), symlinks=True)
    # lmpack packs no links, nor anything a setup could not hold.
    for folder, _, names in os.walk(root):
        for name in names:
            if os.path.islink(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))


def listing(setup):
    text = subprocess.run([LMPACK, "list", setup], check=True, capture_output=True, text=True).stdout
    length = int(re.search(r"^compressed length: (\d+)", text, re.M).group(1))
    compression = re.search(r"^compression: (.*)$", text, re.M).group(1)
    return length, compression


def pack(corpus, quick, setup, extra):
    shutil.copy(quick, os.path.join(corpus, "quick"))
    try:
        return timed([LMPACK, "pack", "--quiet", "--target", "native", "--stub", NATIVE_STUB, "--run", "quick",
                      "-o", setup] + extra + [corpus], 1)
    finally:
        os.remove(os.path.join(corpus, "quick"))


def cut_tree(corpus, target, megabytes):
    """Hard links to about `megabytes` of the corpus's files, taken in an
    order set by a hash of their paths: a spread of every kind."""
    files = []
    for folder, _, names in os.walk(corpus):
        for name in names:
            path = os.path.join(folder, name)
            files.append((hashlib.sha1(os.path.relpath(path, corpus).encode()).hexdigest(), path))
    total = 0
    for _, path in sorted(files):
        if total >= megabytes * 1e6:
            break
        copy = os.path.join(target, os.path.relpath(path, corpus))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        os.link(path, copy)
        total += os.path.getsize(path)
    return total


def sweep(corpus, work, quick, sizes, repeat, env, run_dir):
    """One row per size: payload / 7-Zip, unpack / 7zz x, pack / 7zz a."""
    cores = os.cpu_count() or 1
    out = os.path.join(work, "out")
    rows = []
    for megabytes in sizes:
        tree = os.path.join(work, "tree-%d" % megabytes)
        size = cut_tree(corpus, tree, megabytes)
        setup, archive = os.path.join(work, "sweep-setup"), os.path.join(work, "sweep.7z")
        pack_time = pack(tree, quick, setup, ["--jobs", str(cores)])
        length, compression = listing(setup)
        seven_time = timed(["7zz", "a", "-mx9", "-bd", "-bso0", archive, tree + "/*"], 1)

        def fresh_out():
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
        unpack = timed_together({
            "launcher": ([setup], {"cwd": run_dir, "env": env}),
            "7zz x": (["7zz", "x", "-bd", "-bso0", "-o" + out, archive], {"before": fresh_out}),
        }, repeat)
        rss = peak_rss_kib([setup], env, run_dir)
        rows.append((size, length / os.path.getsize(archive), unpack["launcher"], unpack["7zz x"], pack_time,
                     seven_time, rss, compression.split(";")[0]))
        for path in (setup, archive, out, tree):
            shutil.rmtree(path, ignore_errors=True) if os.path.isdir(path) else os.remove(path)
    print()
    print("%-8s %10s %22s %20s %9s  %s" % ("tree MB", "size/7zz", "unpack / 7zz x", "pack / 7zz a -mx9",
                                         "peak MiB", "xz setup"))
    for size, ratio, unpack, seven_x, pack_time, seven_a, rss, description in rows:
        print("%-8.1f %10.3f %8.3f (%5.2f/%5.2f s) %6.2f (%5.1f/%5.1f s) %9.1f  %s" % (
            size / 1e6, ratio, unpack / seven_x, unpack, seven_x, pack_time / seven_a, pack_time, seven_a,
            rss / 1024.0, description))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--folder", help="use this folder instead of the software corpus")
    parser.add_argument("--block-sizes", default="", help="also pack with these --block-size values")
    parser.add_argument("--sizes", default="", help="also a sweep over trees of these sizes in MB, e.g. 10,40,120,200")
    parser.add_argument("--sweep-only", action="store_true", help="only the sweep")
    args = parser.parse_args()
    require_built(LMPACK, NATIVE_STUB)
    for tool in ("7zz", "xz", "tar"):
        if not shutil.which(tool):
            sys.exit("%s is missing: bash scripts/setup.sh" % tool)

    work = tempfile.mkdtemp(prefix="lmxzbench-")
    try:
        quick, _ = build_quick(work)
        corpus = os.path.abspath(args.folder) if args.folder else os.path.join(work, "corpus")
        if not args.folder:
            make_software_corpus(corpus)
        files = sum(len(names) for _, _, names in os.walk(corpus))
        size = sum(os.path.getsize(os.path.join(d, n)) for d, _, ns in os.walk(corpus) for n in ns)
        tmp, run_dir, out = (os.path.join(work, name) for name in ("tmp", "run", "out"))
        for folder in (tmp, run_dir):
            os.makedirs(folder)
        env = dict(os.environ, TMPDIR=tmp)
        cores = os.cpu_count() or 1
        if args.sizes:
            print("lmsetup xz size sweep on %s; medians of %d unpack rounds, one pack each" % (machine(), args.repeat))
            sweep(corpus, work, quick, [int(s) for s in args.sizes.split(",")], args.repeat, env, run_dir)
            print("%-46s %10s" % ("left in the temp directory", "nothing" if not os.listdir(tmp) else "files"))
            if args.sweep_only:
                return

        # Pack: lmpack with each codec, 7-Zip, xz of the tar.
        times, sizes = {}, {}
        xz_setup, bz_setup = os.path.join(work, "setup-xz"), os.path.join(work, "setup-bz2")
        times["pack lmpack --codec xz"] = pack(corpus, quick, xz_setup, ["--codec", "xz"])
        sizes["lmpack --codec xz"], compression = listing(xz_setup)
        times["pack lmpack (bzip2)"] = pack(corpus, quick, bz_setup, ["--codec", "bzip2"])
        sizes["lmpack (bzip2)"], _ = listing(bz_setup)
        archive, tar = os.path.join(work, "corpus.7z"), os.path.join(work, "corpus.tar")
        times["pack 7zz a -mx9"] = timed(["7zz", "a", "-mx9", "-bd", "-bso0", archive, corpus + "/*"], 1)
        sizes["7zz a -mx9"] = os.path.getsize(archive)
        subprocess.run(["tar", "--sort=name", "-cf", tar, "-C", corpus, "."], check=True)
        times["pack xz -9 -T1 (tar)"] = timed("xz -9 -T1 -k -f %s" % tar, 1)
        sizes["xz -9 (tar)"] = os.path.getsize(tar + ".xz")

        # Unpack, round after round.
        def fresh_out():
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
        unpack = timed_together({
            "unpack launcher (xz)": ([xz_setup], {"cwd": run_dir, "env": env}),
            "unpack launcher (bzip2)": ([bz_setup], {"cwd": run_dir, "env": env}),
            "unpack 7zz x": (["7zz", "x", "-bd", "-bso0", "-o" + out, archive], {"before": fresh_out}),
            "unpack xz -dc -T0": ("xz -dc -T0 %s.xz > /dev/null" % tar, {}),
        }, args.repeat)
        rss = peak_rss_kib([xz_setup], env, run_dir)
        shutil.rmtree(out, ignore_errors=True)

        blocks = []
        for block_size in filter(None, args.block_sizes.split(",")):
            setup = os.path.join(work, "setup-" + block_size)
            pack(corpus, quick, setup, ["--codec", "xz", "--block-size", block_size])
            length, description = listing(setup)
            seconds = timed([setup], args.repeat, cwd=run_dir, env=env)
            blocks.append((block_size, length, seconds, peak_rss_kib([setup], env, run_dir), description))
            os.remove(setup)
        leftover = os.listdir(tmp)

        print("lmsetup xz benchmark on %s" % machine())
        print("corpus: %s, %d files, %.1f MB; medians of %d rounds; workers: %d" %
              ("folder " + corpus if args.folder else "Windows software (Wine's PE files, Python, data)", files,
               size / 1e6, args.repeat, min(cores, 8)))
        print("xz setup: %s" % compression)
        print()
        print("%-46s %10s %8s" % ("ratio", "value", "target"))
        seven = sizes["7zz a -mx9"]
        print("%-46s %10.3f %8s" % ("size: xz payload / 7zz a -mx9", sizes["lmpack --codec xz"] / seven, "<= 1.05"))
        print("%-46s %10.3f %8s" % ("size: xz -9 of the tar / 7zz a -mx9", sizes["xz -9 (tar)"] / seven, ""))
        print("%-46s %10.3f %8s" % ("size: bzip2 payload / 7zz a -mx9", sizes["lmpack (bzip2)"] / seven, ""))
        print("%-46s %10.3f %8s" % ("unpack: launcher (xz) / 7zz x",
                                    unpack["unpack launcher (xz)"] / unpack["unpack 7zz x"], "<= 1.0"))
        print("%-46s %10.3f %8s" % ("unpack: launcher (xz) / xz -dc -T0 > /dev/null",
                                    unpack["unpack launcher (xz)"] / unpack["unpack xz -dc -T0"], ""))
        print("%-46s %10.3f %8s" % ("unpack: launcher (xz) / launcher (bzip2)",
                                    unpack["unpack launcher (xz)"] / unpack["unpack launcher (bzip2)"], ""))
        print_stub_sizes(46)
        print()
        print("%-46s %10s" % ("absolute", "value"))
        for name, value in sizes.items():
            print("%-46s %8.2f MB" % ("size " + name, value / 1e6))
        for name, value in list(unpack.items()) + list(times.items()):
            print("%-46s %9.2fs" % (name, value))
        print("%-46s %7.1f MiB" % ("launcher (xz) peak RSS", rss / 1024.0))
        for block_size, length, seconds, peak, description in blocks:
            print("%-46s %8.2f MB %6.2fs %7.1f MiB  %s" % ("--block-size " + block_size, length / 1e6, seconds,
                                                        peak / 1024.0, description.split(";")[0]))
        print("%-46s %10s" % ("left in the temp directory", "nothing" if not leftover else ", ".join(leftover)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
