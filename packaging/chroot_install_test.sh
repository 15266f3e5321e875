#!/usr/bin/env bash
# Tries the Debian package as a new user would, on a clean Debian 12 made
# with debootstrap: apt installs the package, a fresh user runs orva-demo,
# orva --help and man svjtool, starts orva on the demo under a private X
# server and opens a reel from it; then the package is purged and no file of
# it may be left. Needs root and a reachable Debian mirror.
# Usage: packaging/chroot_install_test.sh PACKAGE.deb [WORKDIR]
# WORKDIR/base keeps the clean system between runs; WORKDIR/root is the copy
# that is used and thrown away.
set -euo pipefail
deb=$(realpath "$1")
work=${2:-/tmp/orva-chroot}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
display=:${ORVA_TEST_DISPLAY:-87}
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot)"
for t in debootstrap Xvfb xdotool; do command -v "$t" > /dev/null || fail "$t is not installed"; done

mkdir -p "$work"
if [ ! -x "$work/base/bin/bash" ]; then
  echo "== debootstrap bookworm into $work/base"
  debootstrap --variant=minbase bookworm "$work/base" "$mirror" > "$work/debootstrap.log" 2>&1 ||
    fail "debootstrap (see $work/debootstrap.log)"
fi
root=$work/root
rm -rf "$root"
cp -a "$work/base" "$root"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null
  mountpoint -q "$root/tmp/.X11-unix" && umount "$root/tmp/.X11-unix"
  mountpoint -q "$root/proc" && umount "$root/proc"
  return 0
}
trap cleanup EXIT
mount -t proc proc "$root/proc"
cp "$deb" "$root/root/"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive bash -c "$1"; }
as_user() { in_root "su - editor -c $(printf '%q' "$1")"; }
snapshot='find / -xdev \( -path /proc -o -path /tmp -o -path /var/cache -o -path /var/log -o -path /var/lib/apt -o -path /root -o -path /home \) -prune -o -print | sort'

echo "== apt install ./$(basename "$deb")"
in_root "apt-get update -qq && $snapshot > /root/before.txt"
in_root "cd /root && apt-get install -y ./$(basename "$deb") > /root/install.log 2>&1" ||
  { tail -20 "$root/root/install.log"; fail "apt install"; }
in_root "useradd -m -s /bin/bash editor"

echo "== the installed programs, as a new user"
as_user 'orva --version && orva --help | grep -q "ORVA_RSRC"' || fail "orva --help"
as_user 'orva-demo ~/orva-demo > /dev/null && test -f ~/orva-demo/OrvaDB' || fail "orva-demo"
as_user 'man svjtool 2> /dev/null | grep -q "svjtool - inspect"' || fail "man svjtool"
for p in svjtool imgtool worktool boardtool boardsim orva-demo; do
  as_user "$p --version > /dev/null && man -w $p > /dev/null" || fail "$p --version or its page"
done

echo "== orva on the demo under Xvfb $display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
sleep 1
as_user "DISPLAY=$display ORVA_RSRC=\$HOME/orva-demo orva" 2> /dev/null || fail "orva did not start"
export DISPLAY=$display
wait_window() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
}
[ -n "$(wait_window '^Orva$')" ] || fail "no main window"
# OPEN > "Reel ...", the first reel, "Selected": the log converter writes its log.
bar=$((1280 - 250))
xdotool mousemove $((bar / 16)) 15 click 1
sleep 0.5
xdotool mousemove $((bar / 16)) 52 click 1
dlg=$(wait_window 'Open Reel')
[ -n "$dlg" ] || fail "no Open Reel dialog"
eval "$(xdotool getwindowgeometry --shell "$dlg")"
xdotool mousemove $((X + 40)) $((Y + 22)) click 1
sleep 0.3
xdotool mousemove $((X + 55)) $((Y + HEIGHT - 32)) click 1
for _ in $(seq 1 100); do
  ls "$root"/home/editor/orva-demo/CLIP/*_Log > /dev/null 2>&1 && break
  sleep 0.1
done
ls "$root"/home/editor/orva-demo/CLIP/*_Log > /dev/null 2>&1 || fail "the opened reel got no log"
for p in $(pgrep -x orva); do
  [ "$(readlink "/proc/$p/root")" = "$(realpath "$root")" ] && kill "$p"
done
sleep 1

echo "== apt purge orva"
in_root "dpkg -L orva > /root/files.txt && apt-get purge -y orva > /root/purge.log 2>&1 &&
  apt-get autoremove --purge -y > /root/autoremove.log 2>&1"
in_root 'while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "left: $f"; done < /root/files.txt
  for d in /usr/share/doc/orva /usr/share/X11/app-defaults/Orva; do [ -e "$d" ] && echo "left: $d"; done
  true' > "$work/left.txt"
[ ! -s "$work/left.txt" ] || { cat "$work/left.txt"; fail "files of the package are left"; }
in_root "$snapshot > /root/after.txt"
# What else differs from before the install: files of packages that apt keeps
# because an essential package names them (apt's rule, not this package's).
diff "$root/root/before.txt" "$root/root/after.txt" | grep '^[<>]' > "$work/diff.txt" || true
grep -i orva "$work/diff.txt" && fail "orva files left after the purge"
echo "outside the package, left by apt: $(grep -c . "$work/diff.txt") paths (see $work/diff.txt)"
echo "chroot install test: ok"
