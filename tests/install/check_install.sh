#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that both programs, the desktop entry, the
# application icon, the manual pages, the completion and the AppStream metadata land where the
# desktop, man and bash look for them, and that the metadata validate.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" > /dev/null
for f in bin/corvane bin/corvane-batch share/applications/corvane.desktop \
         share/icons/hicolor/48x48/apps/corvane.png share/icons/hicolor/256x256/apps/corvane.png \
         share/icons/hicolor/scalable/apps/corvane.svg share/man/man1/corvane.1.gz \
         share/man/man1/corvane-batch.1.gz share/bash-completion/completions/corvane-batch \
         share/metainfo/org.example.corvane.metainfo.xml share/doc/corvane/copyright \
         share/corvane/translations/corvane_en.qm; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
[ -x "$prefix/bin/corvane" ] || { echo "corvane is not executable"; exit 1; }
desktop-file-validate "$prefix/share/applications/corvane.desktop"
grep -qx 'Exec=corvane' "$prefix/share/applications/corvane.desktop"
grep -qx 'Icon=corvane' "$prefix/share/applications/corvane.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.example.corvane.metainfo.xml"
# The installed program finds its English catalogue in <prefix>/share/corvane/translations/.
CORVANE_LANG=en "$prefix/bin/corvane-batch" --help | grep -qF "single path (Single)" ||
  { echo "the installed corvane-batch finds no English"; exit 1; }
echo "installed layout ok"
