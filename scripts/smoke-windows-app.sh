#!/usr/bin/env bash
# ambrel.exe under Wine on a virtual X screen: the main window appears (a
# screenshot is kept), the settings beside the program are applied at start
# and Linux curl gets a file on port 80 from a folder named outside ASCII
# (kept in settings.dat in the ANSI code page, as the program's file calls
# take it), a new serving folder typed into the
# window and applied is served next, the scope list drops down, Browse shows
# the system's folder chooser, the About window opens and closes, a second
# ambrel.exe shows the one-instance box and ends, the tray icon docks,
# closing the window hides it and a double click on the icon shows it, the
# tray menu's "Close Process" ends the program, and at the session's end a
# running program writes its log out and ends. Called by
# scripts/test-windows.sh inside its network namespace, Wine server running.
#   scripts/smoke-windows-app.sh BUILD_FOLDER
set -euo pipefail
trap 'echo "smoke-windows-app: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

build="$1"
shots="$build/smoke-app"
work="$(mktemp -d /tmp/ambrel-app-smoke-XXXXXX)"
rm -rf "$shots"
mkdir -p "$shots"
xvfb_pid="" tray_pid="" app_pid="" second_pid=""
stop() { if [ -n "$1" ]; then kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi; }
cleanup() {
  stop "$second_pid"
  stop "$app_pid"
  stop "$tray_pid"
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  [ -n "${DISPLAY:-}" ] && import -window root "$shots/failure.png" 2>/dev/null || true
  echo "smoke-windows-app: FAILED: $* (screens in $shots)" >&2
  exit 1
}
say() { echo "smoke-windows-app: $*"; }

# A screen of its own; the display number is the one Xvfb picks.
exec 4> "$work/display"
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 4>&-
for _ in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# A real XEmbed system tray for Wine to dock the program's icon into.
trayer --edge bottom --align right --widthtype request --height 24 --SetDockType false \
  --transparent false --tint 0xc0c0c0 > "$work/trayer.log" 2>&1 &
tray_pid=$!

winpath() { echo "Z:${1//\//\\}"; }
curl_() { timeout 30 curl -s "$@"; }
shot() { import -window root "$shots/$1.png"; }
# Waits for a top-level window whose title is exactly $1; prints its id.
find_window() {
  local id=""
  for _ in $(seq 1 ${2:-300}); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_gone() {
  for _ in $(seq 1 ${2:-300}); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
serves() {  # serves URL_PATH EXPECTED_BODY
  for _ in $(seq 1 300); do
    [ "$(curl_ "http://127.0.0.1$1" || true)" = "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# The program in a folder of its own, with settings.dat beside it written by
# the program's own save code: serving site1 ("café"), running, this machine
# only.
app="$work/app"
site1="$work/site1-café"
mkdir -p "$app" "$site1" "$work/site2" "$work/php" "$work/logs"
cp "$build/ambrel.exe" "$app/"
printf 'one' > "$site1/hello.txt"
printf 'two' > "$work/site2/hello.txt"
timeout 120 wine "$build/ambrel_first_settings.exe" "$(winpath "$app")\\settings.dat" \
  "$(winpath "$site1")\\" "$(winpath "$work/php")\\" "$(winpath "$work/logs")\\" \
  > "$work/first.out" 2>&1 || fail "settings not written: $(cat "$work/first.out")"
# The program's text is the ANSI code page: "é" is the one byte 0xE9 of 1252.
acp="$(timeout 60 wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
  tr -d '\r' | awk '$1 == "ACP" { print $3 }')"
LC_ALL=C grep -q $'site1-caf\xe9\\\\' "$app/settings.dat" ||
  fail "settings.dat lacks the folder in code page ${acp:-?}: $(od -c "$app/settings.dat" | head -n 8)"
say "settings.dat holds the folder \"site1-café\" in the ANSI code page ${acp:-?}"

cd "$app"
timeout 600 wine "$app/ambrel.exe" > "$work/app.out" 2>&1 &
app_pid=$!
main="$(find_window "Ambrel HTTP Server")" || fail "no main window"
sleep 1
shot 1-main-window
say "main window up (window $main)"

# Applied at start: site1 on port 80.
serves /hello.txt one || fail "site1-café not served after start-up"
say "start-up applied settings.dat: curl got the file of site1-café on port 80"

# Another folder typed into "Serving Directory:" and applied.
eval "$(xdotool getwindowgeometry --shell "$main")"
wx=$X wy=$Y
xdotool mousemove $((wx + 218)) $((wy + 159)) click 1
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 20 "$(winpath "$work/site2")\\"
sleep 0.3
shot 2-typed-folder
xdotool mousemove $((wx + 356)) $((wy + 430)) click 1
serves /hello.txt two || fail "Apply did not serve site2"
sleep 0.5
shot 3-applied
say "Apply restarted the engine on the typed folder: curl got site2's file"

# The scope selector's list drops down as a popup of its own, and Escape
# closes it with the choice unchanged.
count_popups() { xdotool search --onlyvisible --class "ambrel" 2>/dev/null | wc -l; }
before=$(count_popups)
xdotool mousemove $((wx + 314)) $((wy + 129)) click 1
for _ in $(seq 1 300); do [ "$(count_popups)" -gt "$before" ] && break; sleep 0.1; done
[ "$(count_popups)" -gt "$before" ] || fail "the scope list did not drop down"
sleep 0.5
shot 4-scope-list
xdotool key Escape
for _ in $(seq 1 300); do [ "$(count_popups)" -le "$before" ] && break; sleep 0.1; done
[ "$(count_popups)" -le "$before" ] || fail "Escape did not close the scope list"
say "the scope selector's list dropped down and Escape closed it"

# "Browse" beside the serving folder: the system's folder chooser, modal over
# the window; cancelled, the field keeps its text.
xdotool mousemove $((wx + 344)) $((wy + 158)) click 1
chooser="$(find_window "Browse for Folder" 300)" || fail "no folder chooser"
sleep 1
shot 5-folder-chooser
# Escape is pressed again while the chooser stays up: one that comes before
# the dialog holds the keyboard is lost.
for _ in $(seq 1 10); do
  xdotool key --window "$chooser" Escape
  wait_gone "Browse for Folder" 30 && break
done
wait_gone "Browse for Folder" 300 || fail "the folder chooser did not close"
serves /hello.txt two || fail "not serving after the chooser"
say "Browse showed the system's folder chooser; cancelled, nothing changed"

# The About window from the main window's About button, closed by its OK.
xdotool mousemove $((wx + 44)) $((wy + 430)) click 1
about_title='About Ambrel HTTP Server \.\.\.'
about="$(find_window "$about_title" 300)" || fail "no About window"
sleep 0.5
shot 6-about
eval "$(xdotool getwindowgeometry --shell "$about")"
xdotool mousemove $((X + 305)) $((Y + 451)) click 1  # its OK button
wait_gone "$about_title" 300 || fail "the About window did not close on OK"
say "About opened and closed"

# A second instance: the one-instance box, and the program ends once it is closed.
timeout 120 wine "$app/ambrel.exe" > "$work/second.out" 2>&1 &
second_pid=$!
box="$(find_window "Error")" || fail "no one-instance box"
sleep 0.5
shot 7-one-instance-box
# A Return that reaches the box before Wine has given its button the
# keyboard is lost, so it is pressed again while the box is still up.
for _ in $(seq 1 10); do
  xdotool search --onlyvisible --name "^Error\$" >/dev/null 2>&1 || break
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool mousemove 0 0
  xdotool key --window "$box" Return
  for _ in $(seq 1 30); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$second_pid" 2>/dev/null || break
done
for _ in $(seq 1 300); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second_pid" 2>/dev/null && fail "the second instance did not end"
wait "$second_pid" || true
second_pid=""
serves /hello.txt two || fail "the first instance stopped serving"
say "second ambrel.exe showed the one-instance box and ended; the first still serves"

# The tray icon: docked by Wine into the tray (a child of trayer's window
# holding Wine's icon window). Closing the window hides it and a double
# click on the icon shows it; a right click opens the control menu, whose
# last item "Close Process" ends the program and its server.
tray=""
for _ in $(seq 1 300); do
  tray="$(xdotool search --onlyvisible --class trayer 2>/dev/null | tail -n1 || true)"
  [ -n "$tray" ] && xwininfo -tree -id "$tray" | grep -q '"explorer.exe"' && break
  tray=""
  sleep 0.1
done
[ -n "$tray" ] || fail "the tray icon did not dock"
eval "$(xdotool getwindowgeometry --shell "$tray")"
tx=$((X + WIDTH / 2)) ty=$((Y + HEIGHT / 2))
shot 8-tray-icon
say "the tray icon docked into the XEmbed tray at $tx,$ty"
# Closing the window (Alt+F4, the system's close command) only hides it and
# the server goes on; a double click on the tray icon brings it back.
xdotool mousemove $((wx + 200)) $((wy + 20)) click 1
xdotool key alt+F4
wait_gone "Ambrel HTTP Server" 300 || fail "closing the window did not hide it"
kill -0 "$app_pid" 2>/dev/null || fail "closing the window ended the program"
serves /hello.txt two || fail "not serving with the window hidden"
xdotool mousemove "$tx" "$ty" click --repeat 2 --delay 120 1
main="$(find_window "Ambrel HTTP Server" 300)" || fail "a double click on the icon did not show the window"
say "Alt+F4 hid the window, the server went on, a double click on the icon showed it again"

before=$(count_popups)
xdotool mousemove "$tx" "$ty" click 3
for _ in $(seq 1 300); do [ "$(count_popups)" -gt "$before" ] && break; sleep 0.1; done
[ "$(count_popups)" -gt "$before" ] || fail "no control menu on a right click"
sleep 0.5
shot 9-tray-menu
menu=""
for w in $(xdotool search --onlyvisible --class ambrel); do
  [ "$w" = "$main" ] && continue
  eval "$(xdotool getwindowgeometry --shell "$w")"
  [ "$HEIGHT" -gt 60 ] && [ "$WIDTH" -gt 100 ] && menu=$w && break
done
[ -n "$menu" ] || fail "the control menu is not on screen"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 12))
sleep 0.3
xdotool click 1
for _ in $(seq 1 300); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "Close Process did not end the program"
wait "$app_pid" || true
app_pid=""
[ "$(curl_ -o /dev/null -w '%{http_code}' http://127.0.0.1/hello.txt || true)" != 200 ] ||
  fail "the server still answers after Close Process"
say "Close Process from the tray menu ended the program and its server"

# The session ends (Wine's end-session broadcast, as at logoff): the program
# stops its engine, so the access log holds the last request, and ends.
timeout 600 wine "$app/ambrel.exe" > "$work/app2.out" 2>&1 &
app_pid=$!
find_window "Ambrel HTTP Server" > /dev/null || fail "no main window on the second start"
serves /hello.txt two || fail "not serving on the second start"
curl_ -o /dev/null "http://127.0.0.1/hello.txt?session-end" || true
timeout 120 wineboot --end-session > /dev/null 2>&1 || true
for _ in $(seq 1 300); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the session's end did not end the program"
wait "$app_pid" || true
app_pid=""
grep -qs 'GET /hello.txt?session-end ' "$work"/logs/* || fail "the access log lacks the last request"
say "the session's end stopped the engine (the log holds the last request) and ended the program"
