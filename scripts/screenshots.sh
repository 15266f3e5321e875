#!/usr/bin/env bash
# Makes the pictures of docs/guide.md from the real program: starts a private
# X server (Xvfb, 1280x1024), makes the demo database, starts the program on
# it and drives it with xdotool, saving each picture as a small PNG.
#
# Usage: scripts/screenshots.sh [OUTDIR [BUILDDIR]]
#   OUTDIR    where the pictures go (default docs/images)
#   BUILDDIR  the build tree holding desktop/orva and tools/ (default build)
#
# SCREENSHOTS_WAIT: seconds to wait for each window (default 30).
# The program runs with the board simulator (boardsim on a tape folder of the
# demo, as scripts/run.sh starts it) and its VTR panel ("-vtr");
# SCREENSHOTS_BOARD=0 leaves both out, and the VTR panel's picture with them.
#
# Exits 1, naming it, when a window it waits for does not appear. Each
# picture is one function, called once at the end: a new picture is a new
# function and one more line there.
set -u
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/images}")
build=$(realpath -m "${2:-build}")
prog=$build/desktop/orva
demo_tool=$build/tools/orva-demo

say() { echo "screenshots: $*"; }
fail() {
  echo "screenshots: FAIL: $*" >&2
  cleanup
  exit 1
}
cleanup() {
  [ -n "${orva_pid:-}" ] && kill "$orva_pid" 2>/dev/null && wait "$orva_pid" 2>/dev/null
  [ -n "${board_pid:-}" ] && kill "$board_pid" 2>/dev/null && wait "$board_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "${tmp:-}" ] && rm -rf "$tmp"
  orva_pid="" board_pid="" xvfb_pid="" tmp=""
}
trap 'cleanup' EXIT
trap 'fail "interrupted"' INT TERM

for tool in Xvfb xdotool xwininfo import convert; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
[ -x "$prog" ] || fail "no program at $prog (build first)"
[ -x "$demo_tool" ] || fail "no orva-demo at $demo_tool (build first)"
mkdir -p "$out" || fail "cannot make $out"
tmp=$(mktemp -d)

# ---- the X server and the program ----

start_x() {
  local fd_file=$tmp/display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$fd_file" ] && break
    sleep 0.05
  done
  [ -s "$fd_file" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$fd_file")"
}

# The board simulator on the demo's tape folder; the program started after
# this opens the board through SCSIVIDEO_CMD.
start_board() {
  local sim=$build/boardsim/boardsim
  [ -x "$sim" ] || fail "no boardsim at $sim (build first)"
  mkdir -p "$tmp/demo/tape"
  "$sim" "$tmp/board" "$tmp/demo/tape" --log "$tmp/boardsim.log" >"$tmp/board.out" 2>&1 &
  board_pid=$!
  for _ in $(seq 1 300); do
    grep -q "boardsim: ready" "$tmp/board.out" 2>/dev/null && break
    sleep 0.1
  done
  grep -q "boardsim: ready" "$tmp/board.out" || fail "the board simulator did not start"
  export SCSIVIDEO_CMD="SCSI,dev=$tmp/board"
}

make_demo() {
  "$demo_tool" "$tmp/demo" >/dev/null || fail "orva-demo failed"
}

# start_orva [ARGS...]: the program on the demo database.
start_orva() {
  (cd "$tmp" && ORVA_RSRC="$tmp/demo" ORVA_NO_DETACH=1 USER=x exec "$prog" "$@" >"$tmp/orva.log" 2>&1) &
  orva_pid=$!
  wait_window '^Orva$' "the main window" >/dev/null
}

# ---- waiting and driving ----

# wait_window NAME-REGEX WHAT [SECONDS] -> id of the visible window; fails
# naming WHAT when it does not appear in time.
wait_window() {
  find_window "$1" "$2" "${3:-${SCREENSHOTS_WAIT:-30}}" ||
    fail "$2 did not appear (no window named '$1')"
}

# find_window NAME-REGEX WHAT SECONDS -> id, or status 1 when it does not
# appear in time.
find_window() {
  local id
  for _ in $(seq 1 $(( $3 * 10 ))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$orva_pid" 2>/dev/null || fail "the program ended while waiting for $2"
    sleep 0.1
  done
  return 1
}

# wait_gone NAME-REGEX WHAT
wait_gone() {
  for _ in $(seq 1 300); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "$2 did not close"
}

# geometry ID -> sets X Y WIDTH HEIGHT
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }

# menu TITLE-X ITEM: the ITEM-th entry (from 1) of the menu under the title
# at TITLE-X (OPEN 40, SAVE 150, DELETE 300, IMPORT 420, EXPORT 545,
# EFFECTS 685, TOOLS 806).
menu() {
  click "$1" 20 0.5
  click "$1" $(( 52 + 30 * ($2 - 1) )) 0.5
}

# Clicks at DX,DY inside the window ID.
click_in() {
  geometry "$1"
  click $(( X + $2 )) $(( Y + $3 )) "${4:-0.3}"
}

# Types TEXT into the field at DX,DY of the window ID (the pointer stays in
# the window: there is no window manager to give the focus).
type_in() {
  click_in "$1" "$2" "$3" 0.2
  xdotool type --delay 20 "$4"
}

# The desktop's clip windows (frame and picture) on the screen, one a line as
# "X Y WxH", left to right.
clip_window_list() {
  xwininfo -root -tree | awk '$0 ~ / 206x214\+/ {print $(NF-1), $NF}' |
    sed 's/^\(206x214\)+[0-9]*+[0-9]* +\([0-9]*\)+\([0-9]*\)$/\2 \3 \1/' | sort -n
}

# The first clip window on the screen, as WxH+X+Y.
clip_window_area() {
  clip_window_list | awk 'NR == 1 {print $3 "+" $1 "+" $2}'
}

# busy_in FILE: true when the picture holds the yellow of a clip window whose
# clip a job is still making (its frame number box).
busy_in() {
  [ "$(convert "$1" txt:- 2>/dev/null | grep -c '#FEB900')" -gt 20 ]
}

# ---- saving pictures ----

# save NAME GEOMETRY [SCALE%]: the screen area (WxH+X+Y, or "root") as
# OUTDIR/NAME.png, reduced to few colours so it stays small.
save() {
  local file=$out/$1.png raw=$tmp/$1.raw.png
  if [ "$2" = root ]; then
    import -window root "$raw" || fail "cannot grab the screen for $1"
  else
    import -window root -crop "$2" +repage "$raw" || fail "cannot grab $1"
  fi
  local resize=()
  [ -n "${3:-}" ] && resize=(-resize "$3%")
  convert "$raw" "${resize[@]}" -strip -colors 128 PNG8:"$file" || fail "cannot write $file"
  if command -v optipng >/dev/null; then optipng -quiet -o2 "$file" >/dev/null 2>&1; fi
  say "$1.png ($(($(stat -c %s "$file") / 1024)) KB)"
}

save_window() { # NAME ID
  geometry "$2"
  save "$1" "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# ---- the scene: reels on the desktop, two in the master area ----

open_all_reels() {
  menu 40 1 # OPEN > Reel ...
  local id
  id=$(wait_window 'Open Reel' "the Open Reel dialog")
  geometry "$id"
  click $(( X + WIDTH / 2 )) $(( Y + HEIGHT - 33 )) 0.5 # "All"
  wait_gone 'Open Reel' "the Open Reel dialog"
  for _ in $(seq 1 100); do
    [ "$(ls "$tmp/demo/CLIP/"*_Log 2>/dev/null | wc -l)" -ge 4 ] && break
    sleep 0.1
  done
  [ -n "$(clip_window_area)" ] || fail "no clip window appeared on the desktop"
}

# Drags the desktop window whose picture is at X,Y up into the master area.
drag_to_master() {
  xdotool mousemove "$1" "$2" mousedown 1
  sleep 0.2
  local y
  for y in 380 340 300 250 200 150 120; do
    xdotool mousemove "$1" "$y"
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.8
}

fill_master() {
  local before after changed
  import -window root -crop 1060x180+4+44 "$tmp/master0.png"
  drag_to_master 105 400
  drag_to_master 310 400
  import -window root -crop 1060x180+4+44 "$tmp/master1.png"
  changed=$(compare -metric AE "$tmp/master0.png" "$tmp/master1.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt 5000 ] 2>/dev/null || fail "no clip window reached the master area"
}

# ---- the pictures ----

shot_main_window() {
  save main-window root 75
}

shot_clip_window() {
  local area
  area=$(clip_window_area)
  [ -n "$area" ] || fail "no clip window for the clip window picture"
  save clip-window "$area"
}

shot_display() {
  xdotool mousemove 720 400 key d # over the last desktop window
  local id
  id=$(wait_window 'Frame +1/' "the full-size display")
  sleep 0.5
  save_window display "$id"
  xdotool key Escape
  wait_gone 'Frame +1/' "the full-size display"
}

shot_export() {
  click 520 400 # select the first desktop window
  menu 545 1    # EXPORT > Selected ...
  local id
  id=$(wait_window ' - Export$' "the export dialog")
  sleep 0.3
  save_window export-dialog "$id"
  click_in "$id" 392 567 # Cancel
  wait_gone ' - Export$' "the export dialog"
}

# Starts a job: the master area's frames exported as JPEG pictures NAME.
export_master() {
  menu 545 2 # EXPORT > Master ...
  local id
  id=$(wait_window ' - Export$' "the master export dialog")
  click_in "$id" 285 362 0.2 # JPEG
  type_in "$id" 250 512 "$1"
  click_in "$id" 107 567 0.2 # OK
}

# The processes dialog while an export runs. An export that ends before the
# dialog opens leaves the box "No process running": it is closed and the
# export started again, at most three times.
shot_processes() {
  local id="" try box
  for try in 1 2 3; do
    export_master "shot$try"
    menu 806 5 # TOOLS > Processes ...
    id=$(find_window '^Running processes$' "the processes dialog" 3) && break
    box=$(find_window '^Warning$' "the message box" 2) || break
    click_in "$box" 20 20 0.1
    xdotool key Return
    sleep 0.5
  done
  [ -n "$id" ] || fail "the processes dialog did not appear (no window named 'Running processes')"
  sleep 0.3
  save_window processes-dialog "$id"
  click_in "$id" 320 267 # Cancel
  wait_gone '^Running processes$' "the processes dialog"
  for _ in $(seq 1 100); do
    [ "$(ls "$tmp/demo/IMAGES/" | grep -c "^shot$try\.")" -ge 370 ] && break
    sleep 0.1
  done
}

# A softcut being rendered: gradient_sweep (second cell) and colour_bars
# (third) selected, EFFECTS > "Softcut ..." with the longest transition, OK;
# the new window is caught while its frame number box is yellow. When the
# render ends before a picture is taken, the finished window is shown and the
# script says so. Both windows are unselected again afterwards.
shot_softcut() {
  click 311 400 0.2
  xdotool mousemove 517 400 keydown ctrl click 1 keyup ctrl
  sleep 0.3
  menu 685 3 # EFFECTS > Softcut ...
  local id
  id=$(wait_window '^Effect - Softcut$' "the softcut dialog")
  geometry "$id"
  # Holding the button at the slider's right end runs it to the most frames.
  xdotool mousemove $(( X + 330 )) $(( Y + 65 )) mousedown 1
  sleep 1.2
  xdotool mouseup 1
  local before new="" raw=$tmp/softcut.raw.png crop=$tmp/softcut.win.png caught=0
  before=$(clip_window_list)
  click_in "$id" 116 316 0 # OK
  for _ in $(seq 1 $(( ${SCREENSHOTS_WAIT:-30} * 10 ))); do
    new=$(clip_window_list | grep -vxF "$before" | head -1)
    [ -n "$new" ] && break
    sleep 0.1
  done
  [ -n "$new" ] || fail "the softcut's window did not appear"
  local nx ny first
  read -r nx ny _ <<<"$new"
  first=$(clip_window_list | awk 'NR == 2 {print $1}')
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    import -window root "$raw" || fail "cannot grab the screen for softcut"
    convert "$raw" -crop "206x214+$nx+$ny" +repage "$crop"
    if busy_in "$crop"; then
      caught=1
      break
    fi
    sleep 0.05
  done
  local shown=$tmp/softcut.shown.png
  convert "$raw" -crop "$(( nx + 206 - first ))x214+$first+$ny" +repage "$shown"
  convert "$shown" -strip -colors 128 PNG8:"$out/softcut.png" || fail "cannot write softcut.png"
  if command -v optipng >/dev/null; then optipng -quiet -o2 "$out/softcut.png" >/dev/null 2>&1; fi
  if [ "$caught" = 1 ]; then
    say "softcut.png ($(($(stat -c %s "$out/softcut.png") / 1024)) KB, while rendering)"
  else
    say "softcut.png ($(($(stat -c %s "$out/softcut.png") / 1024)) KB): the render ended first, the result window is shown"
  fi
  for _ in $(seq 1 100); do
    import -window root -crop "206x214+$nx+$ny" +repage "$crop"
    busy_in "$crop" || break
    sleep 0.1
  done
  xdotool mousemove 311 400 keydown ctrl click 1 keyup ctrl
  sleep 0.2
  xdotool mousemove 517 400 keydown ctrl click 1 keyup ctrl
  sleep 0.3
}

# The VTR panel with two ranges in the grab list: each typed into the In and
# Out fields (Return marks them) and added with "+".
shot_vtr_panel() {
  local field oy list0 list1 changed
  field=$(xwininfo -root -tree | awk '$0 ~ / 140x40\+544\+8 / {print $NF}' | head -1)
  [ -n "$field" ] || fail "the VTR panel did not appear (no In field)"
  oy=$(( ${field##*+} - 8 ))
  import -window root -crop "230x84+726+$(( oy + 8 ))" "$tmp/list0.png"
  local range
  for range in "00:00:01:00 00:00:03:00" "00:00:05:10 00:00:08:00"; do
    set -- $range
    xdotool mousemove 614 $(( oy + 28 )) click 1 key End
    xdotool type --delay 20 "$1"
    xdotool key Return
    xdotool mousemove 614 $(( oy + 72 )) click 1 key End
    xdotool type --delay 20 "$2"
    xdotool key Return
    sleep 0.2
    click 707 $(( oy + 21 )) 0.4 # +
  done
  import -window root -crop "230x84+726+$(( oy + 8 ))" "$tmp/list1.png"
  changed=$(compare -metric AE "$tmp/list0.png" "$tmp/list1.png" null: 2>&1 | cut -d' ' -f1)
  [ "${changed%.*}" -gt 500 ] 2>/dev/null || fail "no range reached the grab list"
  save vtr-panel "1280x$(( 1024 - oy ))+0+$oy"
}

shot_import() {
  menu 420 1 # IMPORT > System ...
  local id
  id=$(wait_window ' - Import$' "the import dialog")
  click_in "$id" 70 22 0.5 # the first sequence
  save_window import-dialog "$id"
  click_in "$id" 392 409 # Cancel
  wait_gone ' - Import$' "the import dialog"
}

board=${SCREENSHOTS_BOARD:-1}
start_x
make_demo
if [ "$board" = 1 ]; then
  start_board
  start_orva -vtr
else
  start_orva
fi
open_all_reels
shot_softcut
fill_master
shot_main_window
shot_clip_window
shot_display
shot_export
shot_processes
shot_import
[ "$board" = 1 ] && shot_vtr_panel
say "done: pictures in $out"
exit 0
