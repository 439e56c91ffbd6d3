#!/usr/bin/env bash
# The Windows installer under Wine: "setup.exe /S" puts ambrel.exe and the
# README into Program Files, a Start-menu entry and an uninstaller listed
# under installed programs; the installed ambrel.exe starts, on a virtual
# screen, and serves on port 80; the uninstaller Windows would call removes
# all of it but the settings beside the program. Called by
# scripts/test-windows.sh inside its network namespace, Wine server running.
#   scripts/test-windows-installer.sh BUILD_FOLDER
set -euo pipefail
build="$1"
work="$(mktemp -d /tmp/ambrel-installer-XXXXXX)"
app_pid=""
fail() { echo "test-windows-installer: FAILED: $*" >&2; exit 1; }
say() { echo "test-windows-installer: $*"; }
winpath() { echo "Z:${1//\//\\}"; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ambrel'
folder="$WINEPREFIX/drive_c/Program Files/Ambrel"
entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ambrel HTTP Server.lnk"
xvfb_pid=""
stop() { if [ -n "$1" ]; then kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi; }
cleanup() {
  stop "$app_pid"
  stop "$xvfb_pid"
  rm -rf "$work" "$folder"
}
trap cleanup EXIT
# Waits up to 60 s for a command to succeed.
await() { for _ in $(seq 1 600); do "$@" && return 0; sleep 0.1; done; return 1; }

# One screen for every step: the desktop Wine makes for the first program
# stays a while, and a window of a later program would land there.
exec 4> "$work/display"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 4>&-
await test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
uninstall_string() {
  timeout 60 wine reg query "$key" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *QuietUninstallString *REG_SZ *//p'
}

setup=$(ls "$build"/ambrel-*-setup.exe | head -1)
[ -n "$setup" ] || fail "no installer in $build; run make windows-package"
timeout 300 wine "$setup" /S > "$work/setup.out" 2>&1 || fail "setup.exe /S: $(cat "$work/setup.out")"
await test -f "$folder/ambrel.exe" || fail "no ambrel.exe in Program Files"
for f in README.md uninstall.exe; do [ -f "$folder/$f" ] || fail "no $f in Program Files"; done
[ -f "$entry" ] || fail "no Start-menu entry"
uninstall=$(uninstall_string)
[ "$uninstall" = '"C:\Program Files\Ambrel\uninstall.exe" /S' ] || fail "uninstaller not listed: '$uninstall'"
say "setup.exe /S installed ambrel.exe, the README, the Start-menu entry and a listed uninstaller"

# The installed program with settings beside it (Wine's Program Files lets
# its user write there, as a portable folder): one folder served on port 80.
mkdir -p "$work/site"
printf 'installed' > "$work/site/hello.txt"
timeout 120 wine "$build/ambrel_first_settings.exe" "C:\\Program Files\\Ambrel\\settings.dat" \
  "$(winpath "$work/site")\\" "$(winpath "$work")\\" "$(winpath "$work")\\" > "$work/first.out" 2>&1 ||
  fail "settings not written: $(cat "$work/first.out")"
timeout 300 wine "C:\\Program Files\\Ambrel\\ambrel.exe" > "$work/app.out" 2>&1 &
app_pid=$!
serving() { [ "$(timeout 10 curl -s http://127.0.0.1/hello.txt || true)" = installed ]; }
await serving || fail "the installed ambrel.exe does not serve: $(cat "$work/app.out")"
say "the installed ambrel.exe serves on port 80"
stop "$app_pid"
app_pid=""
# Every Wine process of the run ends with its server; a fresh one follows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p

# The uninstaller as Windows calls it; it copies itself away and works on
# after the first process ends, so the result is awaited.
eval "timeout 120 wine $uninstall" > "$work/uninstall.out" 2>&1 || fail "uninstall: $(cat "$work/uninstall.out")"
gone() { [ ! -e "$folder/ambrel.exe" ] && [ ! -e "$folder/uninstall.exe" ] && [ ! -e "$entry" ] &&
         [ -z "$(uninstall_string)" ]; }
await gone || fail "the uninstaller left: $(ls "$folder" 2>/dev/null) $(ls "$entry" 2>/dev/null)"
[ ! -e "$folder/README.md" ] || fail "the uninstaller left the README"
[ -f "$folder/settings.dat" ] || fail "the uninstaller took the settings"
say "the uninstaller removed the program, the README, the entry and its listing; the settings stay"
