#!/usr/bin/env bash
# Configures and builds the project into ./build (or $KVR_BUILD_DIR); with
# arguments, only those targets.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
# ccache, where installed, lets several build folders share their objects.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$top")}
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
if (($#)); then
    cmake --build "$build" -j "$(nproc)" --target "$@"
else
    cmake --build "$build" -j "$(nproc)"
fi
