#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that both programs, the desktop entry and the
# application icon land where the desktop looks for them. Usage: check_install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" > /dev/null
for f in bin/corvane bin/corvane-batch share/applications/corvane.desktop \
         share/icons/hicolor/48x48/apps/corvane.png share/icons/hicolor/256x256/apps/corvane.png \
         share/icons/hicolor/scalable/apps/corvane.svg; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
[ -x "$prefix/bin/corvane" ] || { echo "corvane is not executable"; exit 1; }
desktop-file-validate "$prefix/share/applications/corvane.desktop"
grep -qx 'Exec=corvane' "$prefix/share/applications/corvane.desktop"
grep -qx 'Icon=corvane' "$prefix/share/applications/corvane.desktop"
echo "installed layout ok"
