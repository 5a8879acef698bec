#!/usr/bin/env bash
# Builds the Debian package: a Release build without tests in build-pkg, then cpack -G DEB.
# The last line printed is the path of the .deb.
#
#   bash scripts/package.sh
#
# Run as root it installs the Debian packages it needs; otherwise it prints the apt-get
# line and stops. Environment: TOVRA_PKG_BUILD (default <repo>/build-pkg).
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$TOVRA_ROOT"
. scripts/deps.sh
# dpkg-shlibdeps (dpkg-dev) computes the package's dependencies; gzip packs the man pages.
# shellcheck disable=SC2086
tovra_ensure_packages $TOVRA_BUILD_PACKAGES dpkg-dev gzip

BUILD=${TOVRA_PKG_BUILD:-$TOVRA_ROOT/build-pkg}
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
werror=OFF
[ -n "${CI:-}" ] && werror=ON

cmake -S "$TOVRA_ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_TESTS=OFF \
    -DTOVRA_BUILD_GUI=ON -DTOVRA_BUILD_CLI=ON -DTOVRA_WERROR=$werror >/dev/null
cmake --build "$BUILD" -j"$jobs" >/dev/null

# A package left from an earlier version must not be taken for this one.
rm -f "$BUILD"/tovra-rf-tool_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
debs=("$BUILD"/tovra-rf-tool_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "package: expected one tovra-rf-tool_*.deb in $BUILD, found: ${debs[*]}" >&2
    exit 1
fi
echo "${debs[0]}"
