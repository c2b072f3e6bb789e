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
