#!/usr/bin/env bash
# The Debian package end to end, as root on this machine: installed with
# apt-get, used by a new ordinary user (tests/package/use_installed.py: the
# installed program serves on port 80 in a network namespace and saves into
# the user's own settings folder), then removed and purged, which must leave
# no file of the package. The user, the administrator's default settings
# and the package are gone again at the end, also when a step fails.
#   scripts/test-package.sh [BUILD_FOLDER]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
here="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (it installs a package and adds a user)"
deb=$(ls "$build"/ambrel_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package in $build; run make package"
! dpkg-query -W -f='${Status}' ambrel 2>/dev/null | grep -q 'ok installed' ||
  fail "ambrel is installed on this machine already; this test would replace it"

user="ambrel-test-$$"
scratch=$(mktemp -d /tmp/ambrel-package-XXXXXX)
apt() { timeout 600 apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@" >> "$scratch/apt.log" 2>&1; }
cleanup() {
  rm -f /usr/bin/settings.dat
  if id "$user" >/dev/null 2>&1; then userdel -r "$user" 2>/dev/null || true; fi
  dpkg-query -W ambrel >/dev/null 2>&1 && apt purge ambrel || true
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "test-package: installing $(basename "$deb")"
apt install "$deb" || { tail -20 "$scratch/apt.log"; fail "apt-get install"; }
dpkg-query -L ambrel > "$scratch/files"
getcap /usr/bin/ambrel | grep -q cap_net_bind_service || fail "no port-80 capability on /usr/bin/ambrel"
desktop-file-validate /usr/share/applications/ambrel.desktop || fail "the menu entry is not valid"
for size in 16 32 48 128 256; do
  identify -format '%w x %h' "/usr/share/icons/hicolor/${size}x$size/apps/ambrel.png" |
    grep -qx "$size x $size" || fail "the $size px icon"
done
[ -f /usr/share/doc/ambrel/README.md ] || fail "no README"

# The administrator's default beside the program: "Not Running", "CGI
# Enabled", the rest as a first start has it.
python3 - /usr/bin/settings.dat <<'PY'
import struct, sys
open(sys.argv[1], 'wb').write(struct.pack('<3I', 0, 0, 0) + struct.pack('<5i', 2, 3, 7, 8, 11))
PY
useradd -m "$user"
site="$scratch/site"
cp -r "$here/examples/site" "$site"
chmod -R a+rX "$scratch"
echo "test-package: $user uses the installed program"
timeout 180 unshare --net -- sh -c '
  ip link set lo up
  exec runuser -u "$0" -- env -i HOME="/home/$0" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    xvfb-run -a python3 "$1" "$2"' "$user" "$here/tests/package/use_installed.py" "$site" ||
  fail "the user's run"
[ "$(stat -c %U "/home/$user/.config/ambrel")" = "$user" ] || fail "the settings folder is not the user's"

echo "test-package: removing and purging"
rm -f /usr/bin/settings.dat
apt remove ambrel || fail "apt-get remove"
left=$(while read -r f; do if [ -f "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done < "$scratch/files")
[ -z "$left" ] || fail "apt-get remove left: $left"
[ ! -e /usr/share/doc/ambrel ] || fail "apt-get remove left /usr/share/doc/ambrel"
# Without configuration files nothing of it is left for a purge to take;
# should dpkg still know it, the purge goes.
if dpkg-query -W ambrel >/dev/null 2>&1; then apt purge ambrel || fail "apt-get purge"; fi
[ -f "/home/$user/.config/ambrel/settings.dat" ] || fail "the user's own settings went with the package"
echo "test-package: passed"
