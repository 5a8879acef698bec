#!/usr/bin/env bash
# Builds everything in build/ and runs every test through ctest.
set -euo pipefail
TOVRA_ROOT=$(cd "$(dirname "$0")" && pwd)
cd "$TOVRA_ROOT"
. scripts/deps.sh
# shellcheck disable=SC2086
tovra_ensure_packages $TOVRA_BUILD_PACKAGES

werror=OFF
[ -n "${CI:-}" ] && werror=ON
tovra_build build -DTOVRA_WERROR=$werror
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
