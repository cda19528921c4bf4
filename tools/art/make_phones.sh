#!/usr/bin/env bash
# Regenerates our phones (skins/Standard, the built-in look, and
# skins/Wide320) from the vector sources in tools/art: configures a build with
# the generator, builds it and runs it. Pictures to look at (not part of the
# skins) go to tools/art/<phone>-*.png.
# Needs QtSvg and the Liberation fonts (Debian: qt6-svg-dev fonts-liberation);
# the same Qt and fonts give the same bytes.
# Usage: tools/art/make_phones.sh [BUILD_DIR]   (default: build-art)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-art}
cmake -S "$root" -B "$build" -DVIDORA_ART=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target vidora_art -j2
QT_QPA_PLATFORM=offscreen "$build/tools/art/vidora_art" "$root/tools/art" "$root/skins" "$root/tools/art"
