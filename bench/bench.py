#!/usr/bin/env python3
"""Holds the launcher and the packer against their limits.

Builds a corpus deterministically (compressible text and incompressible
bytes in a few thousand files), packs it, and measures side by side:
  unpack   the native launcher end to end (payload -> files -> a program
           that exits at once -> tree deleted) against `bzip2 -dc` of the same
           compressed stream into /dev/null and `tar -xjf` of the same folder;
           the Windows launcher under Wine beside them;
  memory   the launcher's peak resident memory for a small and a large payload;
  latency  launcher start to program start for a one-program payload;
  pack     `lmpack pack` against `tar -cjf` and `bzip2 -9` of the same tar.
  peers    `lbzip2 -d -n<cores>` and `lbzip2 -9 -n<cores>` (Debian's lbzip2,
           run as a peer only, when installed) on the same stream and tar.
Prints one table: ratios first, absolute times second, the machine named.

Needs GNU time (/usr/bin/time, installed by scripts/setup.sh).

Usage: bench/bench.py [--size-mb 200] [--large-mb 500] [--repeat 3] [--folder DIR] [--no-wine] [--memory-only]
Needs the native and win32 builds (scripts/build.sh native win32).
"""
import argparse
import os
import platform
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from presets import TOP, build_dir, print_stub_sizes, program, require_built

LMPACK = program("native", "lmpack")
NATIVE_STUB = program("native", "lmsetup")
WINDOWS_STUB = program("win32", "lmsetup.exe")
WINE_RUN = os.path.join(TOP, "scripts", "wine-run.sh")

WORDS = ("setup launcher payload bzip2 stream directory install program vendor file "
         "compress table entry working temp start wait delete tree chunk buffer").split()


def make_corpus(root, total_mb, seed, files=None):
    """A few thousand files: about 60% text, 40% random bytes, in nested folders.
    With `files`, exactly that many files of about equal size, each of text
    and random pieces of 64 KiB in a fixed pattern: every block of the stream
    then mixes the two alike whatever the files' size, so that payloads of
    different sizes compare."""
    rng = random.Random(seed)
    text_block = " ".join(rng.choice(WORDS) for _ in range(400000)).encode()
    total = total_mb << 20
    written = 0
    index = 0
    while written < total:
        folder = os.path.join(root, "d%02d" % (index % 37), "s%02d" % (index % 11))
        os.makedirs(folder, exist_ok=True)
        if files:
            size = min(total - written, total // files + 1)
        else:
            size = min(total - written, int(rng.lognormvariate(10.5, 1.3)))
        size = max(size, 0)
        if files:
            first, last = written // 65536, (written + size) // 65536
            data = b"".join(mixed_piece(rng, text_block, i) for i in range(first, last + 1))
            data = data[written - first * 65536:][:size]
            name = "f%05d.dat" % index
        elif rng.random() < 0.6:
            start = rng.randrange(0, len(text_block) - 1)
            data = (text_block[start:] + text_block)[:size]
            name = "f%05d.txt" % index
        else:
            data = rng.randbytes(size)
            name = "f%05d.bin" % index
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        written += size
        index += 1
    return index


def mixed_piece(rng, text_block, index):
    """The index-th 64 KiB of the corpus: text, random bytes, text, random
    bytes, text, and again; every stretch of a few pieces mixes the two alike."""
    if index % 5 not in (1, 3):
        start = rng.randrange(0, len(text_block) - 65536)
        return text_block[start:start + 65536]
    return rng.randbytes(65536)


def timed(command, repeat, cwd=None, env=None, before=None):
    times = []
    for _ in range(repeat):
        if before:
            before()
        start = time.perf_counter()
        subprocess.run(command, cwd=cwd, env=env, check=True, stdout=subprocess.DEVNULL, shell=isinstance(command, str))
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def timed_together(commands, repeat):
    """Medians of several commands run in turn, round after round, so that a
    machine that gets slower or faster during the run affects all alike.
    `commands` maps a name to (command, keyword arguments for timed)."""
    samples = {name: [] for name in commands}
    for _ in range(repeat):
        for name, (command, options) in commands.items():
            samples[name].append(timed(command, 1, **options))
    return {name: statistics.median(values) for name, values in samples.items()}


def peak_rss_kib(command, env, cwd):
    """Peak resident memory of `command`, through GNU time: a process forked
    from this (large) Python process would inherit its high-water mark."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, env=env, cwd=cwd, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return int(result.stderr.strip().splitlines()[-1])


def machine():
    cpu = platform.processor() or "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d cores, %s %s" % (cpu, os.cpu_count(), platform.system(), platform.release())


def build_quick(work):
    quick = os.path.join(work, "quick")
    subprocess.run(["cc", "-O2", "-o", quick, os.path.join(TOP, "bench", "quick.c")], check=True)
    quick_exe = os.path.join(work, "quick.exe")
    subprocess.run(["i686-w64-mingw32-gcc-posix", "-O2", "-s", "-static", "-mwindows", "-o", quick_exe,
                    os.path.join(TOP, "bench", "quick.c"), "-lpthread"], check=True)
    return quick, quick_exe


def pack(folder, program, stub, output, target):
    shutil.copy(program, os.path.join(folder, os.path.basename(program)))
    subprocess.run([LMPACK, "pack", "--quiet", "--codec", "bzip2", "--target", target, "--stub", stub, "--run",
                    os.path.basename(program), "-o", output, folder], check=True)
    os.remove(os.path.join(folder, os.path.basename(program)))


def compressed_stream(setup, stream_path):
    """The payload's bzip2 stream, cut out of a setup executable."""
    listing = subprocess.run([LMPACK, "list", setup], check=True, capture_output=True, text=True).stdout
    length = int([l for l in listing.splitlines() if l.startswith("compressed length:")][0].split(":")[1])
    with open(setup, "rb") as f:
        f.seek(-4 - length, 2)
        data = f.read(length)
    with open(stream_path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mb", type=int, default=200)
    parser.add_argument("--small-mb", type=int, default=10)
    parser.add_argument("--large-mb", type=int, default=500)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--folder", help="use this folder instead of a generated corpus")
    parser.add_argument("--no-wine", action="store_true")
    parser.add_argument("--memory-only", action="store_true", help="only the peak-memory figures")
    args = parser.parse_args()
    require_built(LMPACK, NATIVE_STUB)
    wine = not args.no_wine and os.path.exists(WINDOWS_STUB) and shutil.which("wine")

    work = tempfile.mkdtemp(prefix="lmbench-")
    try:
        quick, quick_exe = build_quick(work)
        if args.memory_only:
            tmp, run_dir = os.path.join(work, "tmp"), os.path.join(work, "run")
            os.makedirs(tmp)
            os.makedirs(run_dir)
            print_memory(measure_memory(work, quick, dict(os.environ, TMPDIR=tmp), run_dir, args), os.cpu_count() or 1)
            return
        if args.folder:
            corpus = os.path.abspath(args.folder)
            files = sum(len(f) for _, _, f in os.walk(corpus))
        else:
            corpus = os.path.join(work, "corpus")
            files = make_corpus(corpus, args.size_mb, 1)
        size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(corpus) for f in fs)
        tmp = os.path.join(work, "tmp")
        run_dir = os.path.join(work, "run")
        os.makedirs(tmp)
        os.makedirs(run_dir)
        env = dict(os.environ, TMPDIR=tmp)
        results = {}

        # Pack.
        setup = os.path.join(work, "setup")
        tar = os.path.join(work, "corpus.tar")
        # Tars in lmpack's order (names sorted), so that bzip2 sees the same data.
        subprocess.run(["tar", "--sort=name", "-cf", tar, "-C", corpus, "."], check=True)
        cores = os.cpu_count() or 1
        lbzip2 = shutil.which("lbzip2")
        packers = {
            "pack lmpack": (lambda_cmd(LMPACK, corpus, quick, setup), {}),
            "pack tar -cjf": ("tar --sort=name -cjf %s/c.tar.bz2 -C %s ." % (work, corpus), {}),
            "pack bzip2 -9 (tar)": ("bzip2 -9 -c %s > %s/c.bz2" % (tar, work), {}),
        }
        if lbzip2:
            packers["pack lbzip2 -9 (tar)"] = ("lbzip2 -9 -n%d -c %s > %s/l.bz2" % (cores, tar, work), {})
        results.update(timed_together(packers, args.repeat))
        # The same folder with one job must give the same bytes.
        single = os.path.join(work, "setup-jobs1")
        command = lambda_cmd(LMPACK, corpus, quick, single)
        results["pack lmpack --jobs 1"] = timed(command[:2] + ["--jobs", "1"] + command[2:], 1)
        with open(setup, "rb") as a, open(single, "rb") as b:
            identical = a.read() == b.read()
        os.remove(single)

        # Unpack.
        pack(corpus, quick, NATIVE_STUB, setup, "native")
        stream = os.path.join(work, "stream.bz2")
        compressed_stream(setup, stream)
        extract = os.path.join(work, "extract")

        def fresh_extract():
            shutil.rmtree(extract, ignore_errors=True)
            os.makedirs(extract)
        results.update(timed_together({
            "unpack launcher": ([setup], {"cwd": run_dir, "env": env}),
            "unpack bzip2 -dc": ("bzip2 -dc %s > /dev/null" % stream, {}),
            "unpack bzip2 -dc > file": ("bzip2 -dc %s > %s/out.bin && rm %s/out.bin" % (stream, work, work), {}),
            "unpack tar -xjf": ("tar -xjf %s/c.tar.bz2 -C %s" % (work, extract), {"before": fresh_extract}),
            **({"unpack lbzip2 -d": ("lbzip2 -d -n%d -c %s > /dev/null" % (cores, stream), {})} if lbzip2 else {}),
        }, args.repeat))
        shutil.rmtree(extract, ignore_errors=True)
        if wine:
            setup_exe = os.path.join(work, "setup.exe")
            pack(corpus, quick_exe, WINDOWS_STUB, setup_exe, "windows")
            wine_env = dict(os.environ, LM_WINEPREFIX=os.path.join(build_dir("win32"), ".wine"))
            subprocess.run([WINE_RUN, "cmd", "/c", "exit"], env=wine_env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            results["unpack launcher (wine)"] = timed([WINE_RUN, setup_exe], args.repeat, cwd=run_dir, env=wine_env)
            results["wine start (cmd /c exit)"] = timed([WINE_RUN, "cmd", "/c", "exit"], args.repeat, env=wine_env)

        rss = measure_memory(work, quick, env, run_dir, args)

        # Start latency.
        folder = os.path.join(work, "latency")
        os.makedirs(folder)
        target = os.path.join(work, "setup-latency")
        pack(folder, quick, NATIVE_STUB, target, "native")
        latencies = []
        for _ in range(max(20, args.repeat)):
            started = os.path.join(run_dir, "started")
            if os.path.exists(started):
                os.remove(started)
            t0 = time.time_ns()
            subprocess.run([target], env=env, cwd=run_dir, check=True)
            with open(started) as f:
                latencies.append((int(f.read()) - t0) / 1e6)
        latency = statistics.median(latencies)
        leftover = os.listdir(tmp)

        # Report.
        r = results
        print("lmsetup benchmark on %s" % machine())
        print("corpus: %s, %d files, %.1f MB unpacked; medians of %d runs" %
              ("folder " + corpus if args.folder else "generated", files, size / 1e6, args.repeat))
        print()
        print("%-44s %10s %8s" % ("ratio", "value", "target"))
        print("workers: %d (one per core, at most 8)" % min(cores, 8))
        print("%-44s %10.3f %8s" % ("unpack: launcher / bzip2 -dc", r["unpack launcher"] / r["unpack bzip2 -dc"], "<= 0.60"))
        if lbzip2:
            print("%-44s %10.3f %8s" % ("unpack: launcher / lbzip2 -d -n%d" % cores, r["unpack launcher"] / r["unpack lbzip2 -d"], "<= 1.35"))
        print("%-44s %10.3f %8s" % ("unpack: launcher / bzip2 -dc into one file",
                                    r["unpack launcher"] / r["unpack bzip2 -dc > file"], ""))
        print("%-44s %10.3f %8s" % ("unpack: launcher / tar -xjf", r["unpack launcher"] / r["unpack tar -xjf"], ""))
        if wine:
            print("%-44s %10.3f %8s" % ("unpack: Wine launcher / native launcher",
                                        r["unpack launcher (wine)"] / r["unpack launcher"], ""))
        print("%-44s %10.3f %8s" % ("pack: lmpack / bzip2 -9 of the tar", r["pack lmpack"] / r["pack bzip2 -9 (tar)"], "<= 0.60"))
        if lbzip2:
            print("%-44s %10.3f %8s" % ("pack: lmpack / lbzip2 -9 -n%d of the tar" % cores, r["pack lmpack"] / r["pack lbzip2 -9 (tar)"], ""))
        print("%-44s %10.3f %8s" % ("pack: lmpack / tar -cjf", r["pack lmpack"] / r["pack tar -cjf"], ""))
        print("%-44s %10s %8s" % ("pack: --jobs %d and --jobs 1 give" % cores, "the same" if identical else "DIFFERENT",
                                  "the same"))
        print_stub_sizes(44)
        print()
        print("%-44s %10s" % ("absolute", "value"))
        for key in ("unpack launcher", "unpack bzip2 -dc", "unpack bzip2 -dc > file", "unpack tar -xjf", "unpack lbzip2 -d",
                    "unpack launcher (wine)", "wine start (cmd /c exit)", "pack lmpack", "pack lmpack --jobs 1",
                    "pack bzip2 -9 (tar)",
                    "pack lbzip2 -9 (tar)", "pack tar -cjf"):
            if key in r:
                print("%-44s %9.3fs" % (key, r[key]))
        print_memory(rss, cores)
        print("%-44s %8.2fms %8s" % ("start latency (launcher start -> program start)", latency, "< 10"))
        print("%-44s %10s" % ("left in the temp directory", "nothing" if not leftover else ", ".join(leftover)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def measure_memory(work, quick, env, run_dir, args):
    """Peak RSS (KiB) for a small and a large payload with the same table
    (200 files), so that only the payload's size differs; then for a large
    table, for what an entry costs."""
    rss = {}
    for label, mb, count in (("small", args.small_mb, 200), ("large", args.large_mb, 200), ("table", 1, 20000)):
        folder = os.path.join(work, "mem-" + label)
        make_corpus(folder, mb, 2, files=count)
        target = os.path.join(work, "setup-" + label)
        pack(folder, quick, NATIVE_STUB, target, "native")
        shutil.rmtree(folder)
        rss[label] = peak_rss_kib([target], env, run_dir)
        rss[label + " mb"] = mb
        os.remove(target)
    return rss


def print_memory(rss, cores):
    limit = "<= %d" % (8 + 6 * min(cores, 8))
    print("%-44s %10.2f %8s" % ("memory: large - small payload (MiB)", (rss["large"] - rss["small"]) / 1024.0, "< 1"))
    print("%-44s %8.2fMiB %8s" % ("peak RSS, %d MB payload, 200 files" % rss["small mb"], rss["small"] / 1024.0, limit))
    print("%-44s %8.2fMiB %8s" % ("peak RSS, %d MB payload, 200 files" % rss["large mb"], rss["large"] / 1024.0, limit))
    print("%-44s %8.2fMiB %8s" % ("peak RSS, 20000 files of 1 MB in all", rss["table"] / 1024.0, ""))
    print("%-44s %8.0f B" % ("table cost per entry", (rss["table"] - rss["small"]) * 1024.0 / (20000 - 200)))


def lambda_cmd(lmpack, corpus, quick, setup):
    """The lmpack command that packs the corpus as it is (any file as the launch name)."""
    return [lmpack, "pack", "--quiet", "--codec", "bzip2", "--target", "native", "--stub", NATIVE_STUB, "--run",
            "f00000.txt" if os.path.exists(os.path.join(corpus, "f00000.txt")) else first_file(corpus), "-o", setup, corpus]


def first_file(corpus):
    for d, _, fs in sorted(os.walk(corpus)):
        for f in sorted(fs):
            return os.path.relpath(os.path.join(d, f), corpus).replace("/", "\\")
    raise RuntimeError("empty corpus")


if __name__ == "__main__":
    main()
