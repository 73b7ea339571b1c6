#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with.
# Needs root when something is missing; does nothing when all is there.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libgtest-dev
          qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev
          qt6-translations-l10n
          libsimdjson-dev libsqlite3-dev libsodium-dev
          file lintian # scripts/package.sh (CPack finds binaries with file) and --lintian
          postgresql xvfb xauth
          clang libclang-rt-14-dev llvm-14) # the fuzz targets (scripts/fuzz.sh)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "root is needed to install packages (run with sudo)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
