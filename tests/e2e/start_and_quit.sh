#!/usr/bin/env bash
# Starts the real program on the test X server, checks its main window from
# outside (class, title, menu bar drawn), opens the popup with button 3, then
# quits through QUIT > "  Yes  " and checks that the process ends with status
# 0, leaves no child behind and has written the defaults and the exit work.
set -u
prog=$1
fail() { echo "FAIL: $*"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }
command -v xdotool >/dev/null || fail "xdotool missing"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"

# A database to start on (without one the program says so first).
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
mkdir -p "$db/SVJ" "$db/CLIP" "$db/WORK" "$db/IMAGES"
printf 'DATABASE e2e\nPATH %s/\n' "$db" > "$db/OrvaDB"

ORVA_RSRC=$db ORVA_NO_DETACH=1 "$prog" &
pid=$!
# Polls below run up to 30 s: under a sanitizer on a busy machine the
# program takes seconds to answer.
win=""
for _ in $(seq 1 300); do
  win=$(xdotool search --onlyvisible --class orva 2>/dev/null | head -1)
  [ -n "$win" ] && xwininfo -id "$win" 2>/dev/null | grep -q IsViewable && break
  win=""
  sleep 0.1
done
[ -n "$win" ] || fail "main window not mapped"
xprop -id "$win" WM_CLASS | grep -q '"orva", "orva"' || fail "WM_CLASS is not orva"
[ "$(xdotool getwindowname "$win")" = "Orva" ] || fail "title is not Orva"

read -r W H < <(xdpyinfo | awk '/dimensions:/{split($2,a,"x"); print a[1], a[2]}')
bar=$(( W - 250 ))

# Button 3 on the main form (right of the logo) maps the popup menu over
# the desktop below the pointer.
shot() { import -window root -crop 300x300+$(( W - 300 ))+20 "$1"; }
# Pixels that differ between the picture before and one taken now.
changed_now() {
  shot "$tmp/now.png"
  compare -metric AE "$tmp/before.png" "$tmp/now.png" null: 2>&1 | cut -d' ' -f1
}
tmp=$(mktemp -d)
shot "$tmp/before.png"
xdotool mousemove $(( W - 4 )) 20 click 3
changed=0
for _ in $(seq 1 100); do
  sleep 0.3
  changed=$(changed_now)
  [ "${changed%.*}" -gt 2000 ] 2>/dev/null && break
done
xdotool key Escape
xdotool mousemove $(( W - 4 )) 20 click 1
# The menu bar takes the next click only once the popup is gone.
for _ in $(seq 1 100); do
  sleep 0.3
  [ "$(changed_now | cut -d. -f1)" -lt 2000 ] 2>/dev/null && break
done
rm -rf "$tmp"
[ "${changed%.*}" -gt 2000 ] 2>/dev/null || fail "button 3 showed no popup menu ($changed pixels changed)"

# QUIT is the eighth title of the menu bar.
xdotool mousemove $(( bar * 15 / 16 )) 15 click 1
box=""
for _ in $(seq 1 300); do
  box=$(xdotool search --onlyvisible --name '^Warning$' 2>/dev/null | head -1)
  [ -n "$box" ] && xwininfo -id "$box" 2>/dev/null | grep -q IsViewable && break
  box=""
  sleep 0.1
done
[ -n "$box" ] || fail "QUIT did not ask"
# The pointer has been moved to "  No  "; "  Yes  " is the left button.
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $(( X + WIDTH / 4 )) $(( Y + HEIGHT - 30 )) click 1

for _ in $(seq 1 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running after Yes"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
pgrep -P "$pid" >/dev/null && fail "child left behind"
# The exit wrote the user's defaults beside the list file, naming the
# database, and saved the desktop as the exit work.
grep -qx ' Database name  : e2e' "$db/.orva_def.${USER:-}" || fail "no defaults written at exit"
[ -f "$db/WORK/.orva.${USER:-}.wrk" ] || fail "no exit work saved"
echo "start and quit: ok (popup changed $changed pixels)"
exit 0
