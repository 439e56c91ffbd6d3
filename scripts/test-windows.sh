#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: every test program (ctest, each
# bounded in time), then a smoke run of ambrel_serve_folder.exe serving a
# folder on port 80 to Linux curl, then one of ambrel.exe itself on a
# virtual X screen (scripts/smoke-windows-app.sh), then the installer
# (scripts/test-windows-installer.sh). All of it happens in a network namespace of
# its own, with the Wine server started inside it: Wine's sockets are made by
# the Wine server, so port 80 and loopback must be the namespace's. The
# namespace has its own mounts too: a read-only folder for the settings
# tests (tests/readonly-folder), which the Wine server, opening files for
# its programs, must see.
#   scripts/test-windows.sh [BUILD_FOLDER]
set -euo pipefail
trap 'echo "test-windows: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

build="$(cd "${1:-build-windows}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer at prefix creation; no display for any window.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ "${1:-}" != "--inside" ] && [ "${2:-}" != "--inside" ]; then
  # A Wine server of this prefix left outside the namespace would make the
  # sockets there instead.
  wineserver -k 2>/dev/null || true
  exec unshare --net --mount --propagation private -- bash "$0" "$build" --inside
fi

ip link set lo up
# An interface with an address of this machine, and another private address
# on loopback standing for another machine of the network (the scope test).
{ ip link add ambrel0 type dummy 2>/dev/null || ip link add ambrel0 type veth peer name ambrel1; } &&
  ip addr add 198.51.100.7/24 dev ambrel0 && ip link set ambrel0 up &&
  ip addr add 10.9.8.7/32 dev lo &&
  export AMBREL_OWN_ADDRESS=198.51.100.7 AMBREL_OTHER_ADDRESS=10.9.8.7
stop_wine() { wineserver -k 2>/dev/null || true; }
fresh_wine_server() {
  stop_wine
  wineserver -w 2>/dev/null || true
  wineserver -p
}
trap stop_wine EXIT

start=$(date +%s)
readonly_folder="$build/readonly"
bash "$here/../tests/readonly-folder" "$readonly_folder"
export AMBREL_READONLY_FOLDER="Z:${readonly_folder//\//\\}"
# Kept up for the whole run (also while a fresh prefix is made), and warmed
# once, so no test pays the start-up.
mkdir -p "$WINEPREFIX"
wineserver -p
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 wineboot -i >/dev/null 2>&1
fi
# A crash must never wait on a dialog.
timeout 120 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1
echo "test-windows: Wine ready in $(( $(date +%s) - start )) s ($(wine --version))"

cd "$build"
# Every program's whole output goes to the log; the summary, and what Wine
# cannot show (skipped with a reason), to the terminal.
status=0
ctest -V --timeout 300 -LE display > "$build/test-windows.log" 2>&1 || status=$?
# The tests of the system's own focus and typed input, on a virtual screen.
# The Wine desktop of the runs without a screen lingers for a few seconds
# after them and would take these tests' windows too (with no screen nothing
# gets the focus), so the Wine server starts afresh; the screen's own desktop
# is started before ctest, since it stays up and would hold ctest's output
# open until the time limit.
fresh_wine_server
xvfb-run -a bash -c '
  timeout 120 wine reg query "HKCU\\Software\\Wine\\WineDbg" > /dev/null 2>&1 < /dev/null
  ctest -V --timeout 300 -L display' >> "$build/test-windows.log" 2>&1 || status=$?
grep -E 'Test +#[0-9]+:|tests passed|tests failed' "$build/test-windows.log" || true
grep -A1 ': Skipped$' "$build/test-windows.log" | grep -v -e ': Skipped$' -e '^--$' |
  sed -E 's/^[0-9]+: /test-windows: skipped: /' || true
if [ "$status" -ne 0 ]; then
  grep -E '^[0-9]+: ' "$build/test-windows.log" | grep -v -E '^[0-9]+: \[ +(OK|RUN) +\]' | tail -150
  echo "test-windows: FAILED (whole output in $build/test-windows.log)" >&2
  exit "$status"
fi

# Each smoke run starts from a fresh Wine server too: the desktop of the run
# before lingers for a few seconds, and a program started meanwhile would
# put its windows there, on no screen or a screen that is gone.
fresh_wine_server
bash "$here/smoke-windows.sh" "$build"
fresh_wine_server
bash "$here/smoke-windows-app.sh" "$build"
bash "$here/windows-package.sh" "$build"
fresh_wine_server
bash "$here/test-windows-installer.sh" "$build"
echo "test-windows: passed in $(( $(date +%s) - start )) s"
