#!/bin/sh
# The tree `make install` makes, staged under DESTDIR with another PREFIX:
# the program, a menu entry desktop-file-validate accepts, the icon at each
# size in the hicolor theme (each really that size) and the README.
#   install_tree_test.sh BUILD_FOLDER
set -eu
stage=$(mktemp -d /tmp/ambrel-install-XXXXXX)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$1" --prefix /opt/ambrel > /dev/null
root="$stage/opt/ambrel"
fail() { echo "install_tree_test: $*" >&2; exit 1; }
[ -x "$root/bin/ambrel" ] || fail "no bin/ambrel"
desktop-file-validate --no-hints "$root/share/applications/ambrel.desktop" || fail "the menu entry"
grep -qx 'Categories=Development;WebDevelopment;Network;' "$root/share/applications/ambrel.desktop" ||
  fail "the menu entry's categories"
for size in 16 32 48 128 256; do
  icon="$root/share/icons/hicolor/${size}x$size/apps/ambrel.png"
  [ "$(identify -format '%w x %h' "$icon")" = "$size x $size" ] || fail "the $size px icon"
done
[ -s "$root/share/doc/ambrel/README.md" ] || fail "no README"
# Nothing else: the tests and tools of the build stay out.
[ "$(find "$root" -type f | wc -l)" -eq 8 ] || fail "unexpected files: $(find "$root" -type f)"
echo "install_tree_test: $(find "$root" -type f | wc -l) files under PREFIX, all as expected"
