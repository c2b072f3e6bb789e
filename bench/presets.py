"""Where each preset builds, as CMakePresets.json says: the benchmarks' one
source for the paths of the programs they run."""

import json
import os

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))


def build_dir(preset):
    with open(os.path.join(TOP, "CMakePresets.json")) as presets:
        for entry in json.load(presets)["configurePresets"]:
            if entry["name"] == preset:
                return entry["binaryDir"].replace("${sourceDir}", TOP)
    raise KeyError("no configure preset named " + preset)


def program(preset, name):
    return os.path.join(build_dir(preset), "bin", name)


def require_built(*paths):
    """Stops with the command that builds them when a program is missing."""
    for path in paths:
        if not os.path.exists(path):
            raise SystemExit("build first: bash scripts/build.sh native win32 (missing %s)" % path)


# The Windows launchers every setup carries, and the size each must keep to.
STUB_LIMIT = 163840
WINDOWS_STUBS = (("lmsetup.exe (win32)", program("win32", "lmsetup.exe")),
                 ("lmsetup64.exe (win64)", program("win64", "lmsetup.exe")))


def print_stub_sizes(width):
    """One row per Windows launcher built: its size in bytes and the limit."""
    for label, path in WINDOWS_STUBS:
        if os.path.exists(path):
            print("%-*s %10d %8s" % (width, "stub: %s, bytes" % label, os.path.getsize(path), "<= %d" % STUB_LIMIT))
