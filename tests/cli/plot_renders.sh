#!/usr/bin/env bash
# The plot of a sample trace is well-formed SVG that a real renderer draws.
#   plot_renders.sh OMBRIX_PROGRAM SAMPLES_DIR
set -euo pipefail
program=$1
samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" trace plot "$samples/drive.log" --dbc "$samples/engine.dbc" \
  --signal EngineData.Speed --signal EngineData.State -o "$work/plot.svg"
/usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$work/plot.svg"
rsvg-convert "$work/plot.svg" -o "$work/plot.png"
[ "$(head -c 8 "$work/plot.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  { echo "rsvg-convert made no PNG" >&2; exit 1; }
echo "plot renders: $(wc -c <"$work/plot.svg") bytes of SVG, $(wc -c <"$work/plot.png") of PNG"
