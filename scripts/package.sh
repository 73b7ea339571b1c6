#!/usr/bin/env bash
# Builds the Debian packages kvr-appserver and kvr-client with CPack into
# $KVR_PACKAGE_DIR (default: the build folder's packages/) and prints their
# paths. --lintian checks them with lintian; --no-build packs what the build
# folder already holds (the tests do, while other tests run from it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
out=${KVR_PACKAGE_DIR:-$build/packages}
lint=0
make=1
for argument in "$@"; do
    case $argument in
    --lintian) lint=1 ;;
    --no-build) make=0 ;;
    *) echo "uso: scripts/package.sh [--lintian] [--no-build]" >&2; exit 2 ;;
    esac
done
((make)) && "$top/scripts/build.sh" kvr-appserver kvr-client kvr51400 >/dev/null
mkdir -p "$out"
rm -f "$out"/kvr-appserver_*.deb "$out"/kvr-client_*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/kvr-appserver_*.deb "$out"/kvr-client_*.deb
if ((lint)); then
    # Errors and warnings fail; the informational tags are explained in the README.
    lintian --fail-on error,warning --tag-display-limit 0 "$out"/kvr-appserver_*.deb \
        "$out"/kvr-client_*.deb
fi
