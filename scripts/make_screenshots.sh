#!/usr/bin/env bash
# The README's pictures, made again whenever the look changes:
#   docs/main-window.png  the main window serving the demo site
#   docs/tray-menu.png    the tray icon's control menu
# The built program (build/ambrel) runs on a virtual screen with a real tray
# (trayer), in a network namespace of its own so it may serve on port 80.
# Root only (the namespace).
#   scripts/make_screenshots.sh [BUILD_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
if [ "${2:-}" != --inside ]; then
  exec timeout 120 unshare --net -- bash "$0" "$build" --inside
fi
ip link set lo up

# A fixed folder, so the pictures show the same paths on every machine.
work=/tmp/ambrel-demo
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null || true; wait "${pids[$i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "make_screenshots: $*" >&2; exit 1; }
await() { for _ in $(seq 1 300); do "$@" && return 0; sleep 0.1; done; return 1; }
rm -rf "$work"
mkdir -p "$work/logs"
cp -r "$root/examples/site" "$work/site"
cp "$build/ambrel" "$work/ambrel"
"$build/examples/ambrel_first_settings" "$work/settings.dat" "$work/site" /usr/bin "$work/logs" >/dev/null

exec 4> "$work/display"
Xvfb -displayfd 4 -screen 0 800x600x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
exec 4>&-
await test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
# A grey desktop, a tray in the bottom right corner, a window manager.
xsetroot -solid '#3a6ea5' 2>/dev/null || true
twm > /dev/null 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype request --height 24 --SetDockType false \
  --transparent false --tint 0xc0c0c0 > /dev/null 2>&1 &
pids+=($!)
"$work/ambrel" > "$work/ambrel.log" 2>&1 &
pids+=($!)

main=""
found_main() { main=$(xdotool search --onlyvisible --name '^Ambrel HTTP Server$' 2>/dev/null | head -1); [ -n "$main" ]; }
await found_main || fail "no main window"
await curl -s -o /dev/null http://127.0.0.1/ || fail "the demo site is not served"
xdotool mousemove 0 0
sleep 1  # the window's first paint after the server started
mkdir -p "$root/docs"
import -window "$main" -frame "$root/docs/main-window.png"

# The control menu: a right click on the docked icon.
tray=""
found_tray() { tray=$(xdotool search --onlyvisible --class trayer 2>/dev/null | tail -1); [ -n "$tray" ]; }
await found_tray || fail "no tray"
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.3 click 3
menu=""
found_menu() { menu=$(xdotool search --onlyvisible --class '^AmbrelPopup_WndClass$' 2>/dev/null | head -1); [ -n "$menu" ]; }
await found_menu || fail "no tray menu"
sleep 0.5
# The menu with the tray below it, as a user sees them together.
eval "$(xdotool getwindowgeometry --shell "$menu")"
mx=$X my=$Y mw=$WIDTH mh=$HEIGHT
eval "$(xdotool getwindowgeometry --shell "$tray")"
left=$((mx < X ? mx : X)) right=$(( (mx + mw) > (X + WIDTH) ? mx + mw : X + WIDTH ))
import -window root -crop "$((right - left + 8))x$((Y + HEIGHT - my + 8))+$((left - 4))+$((my - 4))" \
  +repage "$root/docs/tray-menu.png"
echo "make_screenshots: docs/main-window.png, docs/tray-menu.png"
