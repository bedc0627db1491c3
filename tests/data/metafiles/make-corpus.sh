#!/usr/bin/env bash
# Makes the metafile corpus from the sources in sources/ with independent producers, and the
# reference renderings by LibreOffice. Needs the tools of `scripts/setup --corpus-tools`.
#
#   tests/data/metafiles/make-corpus.sh
#
# Writes <producer>_<name>.emf / .wmf and reference/<same name>.png beside this script, and
# records the tool versions in versions.txt.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
src="$here/sources"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"  # LibreOffice and Inkscape keep a profile there
mkdir -p "$HOME" "$here/reference"

soffice_convert() {  # format input output
  soffice --headless --convert-to "$1" --outdir "$work/out" "$2" >/dev/null 2>&1
  mv "$work/out/$(basename "${2%.*}").$1" "$3"
}

soffice_convert emf "$src/drawing.svg" "$here/libreoffice_drawing.emf"
soffice_convert wmf "$src/drawing.svg" "$here/libreoffice_drawing.wmf"
inkscape "$src/drawing.svg" --export-type=emf --export-filename="$here/inkscape_drawing.emf" 2>/dev/null
inkscape "$src/drawing.svg" --export-type=wmf --export-filename="$here/inkscape_drawing.wmf" 2>/dev/null
gnuplot -c "$src/plot.gp" "$here/gnuplot_plot.emf"
gnuplot -c "$src/surface.gp" "$here/gnuplot_surface.emf"
fig2dev -L emf "$src/shapes.fig" "$here/fig2dev_shapes.emf"
# Without -OO pstoedit states its frame in logical units, and LibreOffice shows nothing.
pstoedit -q -f "emf:-OO" "$src/figure.ps" "$here/pstoedit_figure.emf" 2>/dev/null

# LibreOffice's own rendering of each file, as the reference the tests compare with.
for file in "$here"/*.emf "$here"/*.wmf; do
  name="$(basename "$file")"
  cp "$file" "$work/$name"
  soffice --headless --convert-to png --outdir "$work/png" "$work/$name" >/dev/null 2>&1
  mv "$work/png/${name%.*}.png" "$here/reference/${name//./_}.png"
done

{
  soffice --version
  inkscape --version 2>/dev/null
  gnuplot --version
  fig2dev -V
  pstoedit -help 2>&1 | head -1
} > "$here/versions.txt"
