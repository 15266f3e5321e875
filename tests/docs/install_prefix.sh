#!/usr/bin/env bash
# Installs the build into a temporary prefix with `cmake --install` and checks
# what lands there: every program, its manual page, the X resource file made
# from the fallback table, the desktop entry and the icon; then runs the
# installed programs from there (no build tree on the path).
# Usage: install_prefix.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$tmp/usr" > "$tmp/install.log"
usr=$tmp/usr

programs="orva boardsim"
for d in "$src"/tools/*/; do programs="$programs $(basename "$d")"; done
for p in $programs; do
  [ -x "$usr/bin/$p" ] || fail "bin/$p missing"
  [ -s "$usr/share/man/man1/$p.1.gz" ] || fail "man page of $p missing"
  gzip -t "$usr/share/man/man1/$p.1.gz" || fail "man page of $p is not gzip"
done

res=$usr/share/X11/app-defaults/Orva
[ -f "$res" ] || fail "app-defaults file missing"
n=$(grep -c '^orva\*' "$res")
[ "$n" -eq 61 ] || fail "app-defaults has $n resources, not 61"
grep -q '^orva\*background: *#555560$' "$res" || fail "app-defaults lacks the background colour"

desk=$usr/share/applications/orva.desktop
grep -q '^Exec=orva$' "$desk" || fail "desktop entry missing or without Exec=orva"
grep -q '^Icon=orva$' "$desk" || fail "desktop entry names no icon"
icon=$usr/share/icons/hicolor/scalable/apps/orva.svg
head -c 4 "$icon" | grep -q '<svg' || fail "icon missing or not SVG"
grep -q 'fill="#eeeeee"' "$icon" || fail "icon lacks the logo's letters"

# The installed programs, run from the prefix.
PATH=$usr/bin:/usr/bin:/bin
[ "$(orva --version)" = "$(cd "$build" && desktop/orva --version)" ] || fail "orva --version"
orva-demo "$tmp/demo" > /dev/null || fail "orva-demo"
[ -f "$tmp/demo/OrvaDB" ] || fail "orva-demo made no OrvaDB"
reel=$(ls "$tmp/demo/SVJ/" | head -1)
svjtool info "$tmp/demo/SVJ/$reel" > /dev/null || fail "svjtool info on the demo"
page=$(MANPATH=$usr/share/man man -w svjtool)
[ "$page" = "$usr/share/man/man1/svjtool.1.gz" ] || fail "man finds $page for svjtool"
echo "installed $(echo $programs | wc -w) programs into a prefix: ok"
