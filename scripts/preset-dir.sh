#!/usr/bin/env bash
# Prints the build directory of the configure preset named $1, as
# CMakePresets.json gives it: the one place that says where builds go.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
python3 - "$root" "$1" <<'PY'
import json, sys
root, name = sys.argv[1], sys.argv[2]
with open(root + "/CMakePresets.json") as presets:
    for preset in json.load(presets)["configurePresets"]:
        if preset["name"] == name:
            print(preset["binaryDir"].replace("${sourceDir}", root))
            sys.exit(0)
sys.exit("no configure preset named " + name)
PY
