#!/usr/bin/env bash
# The window against the command-line converter on the same clip, five
# alternating runs each: how soon the window shows, the conversion's time from
# the window and from the converter, and the longest stall of the window's GUI
# thread during the conversion. Usage: bench/window_vs_cli.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source bench/common.sh
cmake --build "$build" --target window_bench vidora3gp-cli >/dev/null
make_source

: > "$work/window" ; : > "$work/cli"
for run in 1 2 3 4 5; do
  rm -f "$work"/source_*
  "$build/bench/window_bench" "$work/source.mp4" >> "$work/window"
  rm -f "$work"/source_*
  measure "$build/src/cli/vidora3gp-cli" -q "$work/source.mp4" >> "$work/cli"
done
shown=$(cut -d' ' -f1 "$work/window" | median)
window=$(cut -d' ' -f2 "$work/window" | median)
stall=$(cut -d' ' -f3 "$work/window" | median)
cli=$(cut -d' ' -f1 "$work/cli" | median)
echo "window shown after ${shown} ms (median of 5)"
echo "conversion: window ${window} s, converter ${cli} s, ratio $(echo "scale=3; $window / $cli" | bc)"
echo "longest GUI-thread stall beyond its 10 ms tick: ${stall} ms (median of 5)"
