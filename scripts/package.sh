#!/usr/bin/env bash
# Builds the Debian package orva_VERSION_amd64.deb into build-package/ (a
# release build of its own), installing what the build needs first.
# Usage: scripts/package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
# dpkg-shlibdeps (dpkg-dev) finds the package's dependencies, `file` tells it
# which installed files are programs, fakeroot gives the files root as owner.
missing=()
for p in dpkg-dev file fakeroot; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Only what the package holds is built: the programs and the generated files.
targets="orva boardsim orva_install_files orva_changelog"
for d in tools/*/; do targets="$targets $(basename "$d")"; done
# Debian's hardening flags: fortified functions, stack protector, full RELRO
# (format warnings stay warnings: the simulator's log passes formats through).
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed 's/-Werror=format-security//'; }
ORVA_BUILD_TARGETS=$targets scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=Release -DORVA_BENCH=OFF \
  "-DCMAKE_C_FLAGS=$(flags CFLAGS) $(flags CPPFLAGS)" "-DCMAKE_CXX_FLAGS=$(flags CXXFLAGS) $(flags CPPFLAGS)" \
  "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
(cd "$build" && fakeroot cpack -G DEB > cpack.log) || { cat "$build/cpack.log"; exit 1; }
ls "$build"/orva_*_amd64.deb
