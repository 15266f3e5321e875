#!/usr/bin/env bash
# A new user's first steps, driven from outside: make the demo database,
# start the program on it, choose OPEN > "Reel ...", pick the first reel and
# press "Selected". A clip window must appear on the desktop and the log
# converter must write the reel's log within seconds.
set -u
prog=$1
demo_tool=$2
fail() { echo "FAIL: $*"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no DISPLAY"; exit 1; }
tmp=$(mktemp -d)
"$demo_tool" "$tmp/demo" >/dev/null || fail "orva-demo failed"
export ORVA_RSRC="$tmp/demo"

ORVA_NO_DETACH=1 "$prog" &
pid=$!
# Polls run up to 30 s: under a sanitizer on a busy machine the program
# takes seconds to answer.
wait_window() { # name -> id of the visible window, or empty
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
}
[ -n "$(wait_window '^Orva$')" ] || fail "main window not mapped"
read -r W H < <(xdpyinfo | awk '/dimensions:/{split($2,a,"x"); print a[1], a[2]}')
bar=$(( W - 250 ))

desk() { import -window root -crop 400x300+0+$(( H / 3 )) "$1"; }
desk "$tmp/empty.png"
# Pixels that differ between two pictures.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

# OPEN is the first title; "Reel ..." the first item of its menu, clicked
# once the menu is drawn.
menu() { import -window root -crop 200x60+0+30 "$1"; }
menu "$tmp/nomenu.png"
xdotool mousemove $(( bar / 16 )) 15 click 1
for _ in $(seq 1 100); do
  sleep 0.3
  menu "$tmp/menu.png"
  [ "$(differ "$tmp/nomenu.png" "$tmp/menu.png" | cut -d. -f1)" -gt 500 ] 2>/dev/null && break
done
xdotool mousemove $(( bar / 16 )) 52 click 1
dlg=$(wait_window 'Open Reel')
[ -n "$dlg" ] || fail "no Open Reel dialog"
eval "$(xdotool getwindowgeometry --shell "$dlg")"
xdotool mousemove $(( X + 40 )) $(( Y + 22 )) click 1   # first reel
sleep 0.3
xdotool mousemove $(( X + 55 )) $(( Y + HEIGHT - 32 )) click 1   # "Selected"

log=""
for _ in $(seq 1 300); do
  log=$(ls "$tmp/demo/CLIP/"*_Log 2>/dev/null | head -1)
  [ -n "$log" ] && break
  sleep 0.1
done
[ -n "$log" ] || fail "no log written for the opened reel"
for _ in $(seq 1 100); do
  sleep 0.3
  desk "$tmp/window.png"
  changed=$(differ "$tmp/empty.png" "$tmp/window.png")
  [ "${changed%.*}" -gt 5000 ] 2>/dev/null && break
done
[ "${changed%.*}" -gt 5000 ] 2>/dev/null || fail "no clip window on the desktop ($changed pixels changed)"

kill "$pid"
wait "$pid" 2>/dev/null
echo "open reel: ok ($(basename "$log"), window changed $changed pixels)"
rm -rf "$tmp"
exit 0
