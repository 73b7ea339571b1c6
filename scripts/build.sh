#!/usr/bin/env bash
# Configures and builds the project into ./build (or $KVR_BUILD_DIR); with
# arguments, only those targets.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if (($#)); then
    cmake --build "$build" -j "$(nproc)" --target "$@"
else
    cmake --build "$build" -j "$(nproc)"
fi
