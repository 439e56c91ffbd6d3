#!/usr/bin/env bash
# The Windows build's packages, beside its programs:
#   ambrel-<version>-setup.exe   the installer (packaging/windows/ambrel.nsi)
#   ambrel-<version>-windows.zip ambrel.exe and the README, for portable use
#   scripts/windows-package.sh [BUILD_FOLDER]
set -euo pipefail
build="$(cd "${1:-build-windows}" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
version=$(sed -n 's/^set(AMBREL_VERSION \(.*\))$/\1/p' "$root/CMakeLists.txt")
[ -f "$build/ambrel.exe" ] || { echo "windows-package: no $build/ambrel.exe; run make windows" >&2; exit 1; }

stage="$build/package/ambrel-$version"
rm -rf "$build/package"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/ambrel.exe" "$build/ambrel.exe"
cp "$root/README.md" "$stage/README.md"
# The installer's own icon: the program's, as the Windows build made it.
cp "$build/src/app/ambrel_rc/icon1.ico" "$stage/ambrel.ico"

makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$build/ambrel-$version-setup.exe" \
  "$root/packaging/windows/ambrel.nsi"
rm -f "$build/ambrel-$version-windows.zip"
(cd "$build/package" && zip -q -X "$build/ambrel-$version-windows.zip" \
  "ambrel-$version/ambrel.exe" "ambrel-$version/README.md")
echo "windows-package: $build/ambrel-$version-setup.exe"
echo "windows-package: $build/ambrel-$version-windows.zip"
