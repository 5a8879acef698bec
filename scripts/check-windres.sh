#!/usr/bin/env bash
# Compiles the window's Windows resources (icon, manifest, version record) with mingw-w64's
# windres and checks what went into them. Run from anywhere; needs g++-mingw-w64-x86-64
# (binutils-mingw-w64-x86-64 provides windres).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WINDRES=${WINDRES:-x86_64-w64-mingw32-windres}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! command -v "$WINDRES" >/dev/null; then
    echo "check-windres: $WINDRES not found (install g++-mingw-w64-x86-64)" >&2
    exit 1
fi

fail() { echo "check-windres: $*" >&2; exit 1; }

# The version numbers come from project() in the top-level CMakeLists.txt, as in the build.
version=$(sed -n 's/^project(tovra_rf_tool VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' \
    "$ROOT/CMakeLists.txt")
[ -n "$version" ] || fail "no project(tovra_rf_tool VERSION x.y.z) in CMakeLists.txt"
IFS=. read -r major minor patch <<<"$version"
defines=(-DTOVRA_VERSION_MAJOR="$major" -DTOVRA_VERSION_MINOR="$minor" -DTOVRA_VERSION_PATCH="$patch")

cd "$ROOT/app"
"$WINDRES" "${defines[@]}" --input-format=rc --output-format=coff -i tovra-rf-tool.rc \
    -o "$out/resources.o"
"$WINDRES" "${defines[@]}" --input-format=rc --output-format=rc -i tovra-rf-tool.rc \
    -o "$out/resources.rc"
# Without the numbers the resource must not compile to a made-up version.
if "$WINDRES" --input-format=rc --output-format=coff -i tovra-rf-tool.rc -o "$out/bare.o" \
    2>/dev/null; then
    fail "tovra-rf-tool.rc compiles without the version numbers"
fi

decompiled="$out/resources.rc"
grep -q '^"MAINICON" 14 /\* RT_GROUP_ICON' "$decompiled" || fail "no MAINICON icon group"
icons=$(grep -c '^[0-9]\+ 3 /\* RT_ICON' "$decompiled" || true)
[ "$icons" -eq 6 ] || fail "MAINICON holds $icons images, expected 6"
grep -q "FILEVERSION $major, $minor, $patch, 0" "$decompiled" || fail "file version is not $version.0"
grep -q "PRODUCTVERSION $major, $minor, $patch, 0" "$decompiled" ||
    fail "product version is not $version.0"
grep -q '^1 24 /\* RT_MANIFEST' "$decompiled" || fail "no application manifest (resource 1)"
if grep -q 'StringFileInfo' "$decompiled"; then fail "the version record must carry no strings"; fi
# The six images: 48, 32 and 16 pixels, each in 16 colours (4 bits) and 256 colours (8 bits).
images=$(od -An -tu1 -j4 -N2 tovra-rf-tool.ico | awk '{print $1 + 256 * $2}')
[ "$images" -eq 6 ] || fail "tovra-rf-tool.ico holds $images images, expected 6"
found=""
for i in 0 1 2 3 4 5; do
    read -r width _ _ _ _ _ bits _ < <(od -An -tu1 -j$((6 + 16 * i)) -N8 tovra-rf-tool.ico)
    found="$found ${width}x${bits}"
done
for want in 48x4 48x8 32x4 32x8 16x4 16x8; do
    case " $found " in *" $want "*) ;; *) fail "tovra-rf-tool.ico lacks a ${want%x*} px ${want#*x}-bit image ($found)";; esac
done
grep -q 'requireAdministrator' tovra-rf-tool.manifest || fail "manifest lacks requireAdministrator"
grep -q 'Microsoft.Windows.Common-Controls" version="6.0.0.0"' tovra-rf-tool.manifest ||
    fail "manifest does not bind common controls 6.0.0.0"
echo "check-windres: resources compile ($(stat -c %s "$out/resources.o") bytes, 6 icon images)"
