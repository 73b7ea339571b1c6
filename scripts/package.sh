#!/usr/bin/env bash
# Builds the Debian packages kvr-appserver and kvr-client with CPack into
# $KVR_PACKAGE_DIR (default: the build folder's packages/) and prints their
# paths; with --lintian, checks them with lintian too.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KVR_BUILD_DIR:-$top/build}
out=${KVR_PACKAGE_DIR:-$build/packages}
lint=0
[ "${1:-}" = "--lintian" ] && lint=1
"$top/scripts/build.sh" kvr-appserver kvr-client kvr51400 >/dev/null
mkdir -p "$out"
rm -f "$out"/kvr-appserver_*.deb "$out"/kvr-client_*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/kvr-appserver_*.deb "$out"/kvr-client_*.deb
if ((lint)); then
    lintian --tag-display-limit 0 "$out"/kvr-appserver_*.deb "$out"/kvr-client_*.deb
fi
